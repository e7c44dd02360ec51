#!/usr/bin/env bash
# Installs the Debian packages the project builds with, when missing.
# Safe to run again: it only calls apt-get for what is not installed.
set -euo pipefail

packages=(build-essential cmake pkg-config libgtest-dev libbenchmark-dev libexpat1-dev liblua5.4-dev lua5.4
          clang-14 libclang-rt-14-dev)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "setup: installing ${missing[*]}"
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -qq
  $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
