#!/usr/bin/env bash
# Compares zk_data with peer libraries (RapidJSON, nlohmann::json, expat,
# pugixml), measures the codecs without a peer (bencode, binary records,
# HTTP), the value tree's operations and the heap every tree takes, and
# writes docs/performance.md from that one run. The peers' Debian packages
# are installed here when missing, for this benchmark only: the library never
# depends on them.
#
# Usage: scripts/perf_report.sh [repetitions] [zk_peers_bench options...]
#   scripts/perf_report.sh                  full report, 5 repetitions
#   scripts/perf_report.sh 3 --benchmark_filter='json|tree'
#                                            a quick subset; the report then
#                                            holds only what ran
# ZK_JOBS sets the build's parallel jobs (default 2), ZK_MIN_TIME the
# minimum time of one repetition of a case (default 0.5 s).
set -euo pipefail
cd "$(dirname "$0")/.."
reps=${1:-5}
shift || true

packages=(rapidjson-dev nlohmann-json3-dev libpugixml-dev libexpat1-dev libbenchmark-dev)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "perf_report: installing ${missing[*]}"
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -qq
  $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

cmake -S . -B build-perf -DCMAKE_BUILD_TYPE=Release -DZK_BUILD_TESTS=OFF -DZK_BUILD_BENCH=ON >/dev/null
cmake --build build-perf --target zk_peers_bench -j"${ZK_JOBS:-2}"

json=build-perf/peers.json
build-perf/zk_peers_bench --benchmark_format=json --benchmark_repetitions="$reps" \
  --benchmark_report_aggregates_only=true --benchmark_min_time="${ZK_MIN_TIME:-0.5}" "$@" >"$json"

cpu=$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//')
mem=$(awk '/MemTotal/ {printf "%.1f GiB", $2 / 1048576}' /proc/meminfo)
ZK_CPU="$cpu" ZK_MEM="$mem" ZK_REPS="$reps" ZK_ARGS="$*" python3 bench/peers/report.py "$json" >docs/performance.md
echo "perf_report: wrote docs/performance.md"
