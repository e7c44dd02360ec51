#!/usr/bin/env bash
# Uses an installed zk_data as a consumer would, from a built tree:
#  1. cmake --install into a temporary prefix, which must hold the public
#     headers only; tests/consumer built against it through find_package and
#     through pkg-config, with an expat.h that fails to compile first on the
#     include path (no public header may need expat's), and run; the Lua
#     module loaded from its installed place by lua5.4.
#  2. cpack makes the .deb; dpkg installs it, zkdata --version, the Lua module
#     and the consumer run from /usr, and the package is purged again
#     (needs root or sudo; zk-data must not be installed already).
# scripts/consumer_test.sh [BUILD_DIR]     default build/ (scripts/test.sh makes it)
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${1:-build}")
tmp=$(mktemp -d)
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
deb_installed=0
cleanup() {
  if ((deb_installed)); then $sudo dpkg -P zk-data >/dev/null || echo "consumer: could not remove zk-data" >&2; fi
  rm -rf "$tmp"
}
trap cleanup EXIT
say() { echo "consumer: $*"; }
expect() {  # expect PATTERN COMMAND...: runs COMMAND, prints its output, fails unless PATTERN is in it
  local pattern=$1 out
  shift
  out=$("$@")
  echo "  $out"
  grep -qF -- "$pattern" <<<"$out" || { echo "consumer: expected '$pattern' from $*" >&2; exit 1; }
}

cmake --build "$build" -j"$(nproc)" >/dev/null
# First on every consumer's include path: any use of expat's headers fails.
mkdir -p "$tmp/no-expat"
echo '#error "a public zk_data header included expat.h"' >"$tmp/no-expat/expat.h"
cp "$tmp/no-expat/expat.h" "$tmp/no-expat/expat_external.h"
version=$(sed -n 's/^#define ZK_DATA_VERSION_STRING "\(.*\)"$/\1/p' "$build/generated/zk_data/value/version.h")
json='{"name":"abc","n":5}'
lua_check='local zk = require "zk_data"
local v = assert(zk.decode("json", assert(zk.encode("json", {name = "abc", n = 5}))))
assert(v.name == "abc" and v.n == 5)
print("lua5.4 loaded " .. package.searchpath("zk_data", package.cpath))'

# Checks the install under PREFIX; TAG names the run.
check_prefix() {
  local prefix=$1 tag=$2 lib pcdir luadir
  lib=$(dirname "$(find "$prefix"/lib* -name "libzk_data.so.${version%%.*}" | head -1)")
  say "$tag: SONAME"
  expect "libzk_data.so.${version%%.*}]" sh -c "readelf -d '$lib/libzk_data.so' | grep SONAME"
  for f in include/zk_data/zk_data.h include/zk_data/value/version.h include/zk_data/codec/format_switch.h \
           share/man/man1/zkdata.1 share/doc/zk_data/README.md share/doc/zk_data/CHANGELOG.md; do
    [ -f "$prefix/$f" ] || { echo "consumer: $tag: $prefix/$f missing" >&2; exit 1; }
  done
  say "$tag: the installed headers are the public ones"
  diff <(cd "$prefix/include/zk_data" && find . -name '*.h' | sort) \
       <(cd include/zk_data && { find . -name '*.h'; echo ./value/version.h; } | sort) ||
    { echo "consumer: $tag: installed headers differ from include/zk_data" >&2; exit 1; }
  say "$tag: zkdata --version"
  expect "zkdata $version" "$prefix/bin/zkdata" --version

  say "$tag: find_package(zk_data) and tests/consumer"
  local where=(-DCMAKE_PREFIX_PATH="$prefix")
  [ "$prefix" != /usr ] || where=()  # the .deb: found on CMake's own path
  cmake -S tests/consumer -B "$tmp/cmake-$tag" "${where[@]}" -DCMAKE_COMPILE_WARNING_AS_ERROR=ON \
    -DCMAKE_CXX_FLAGS="-I$tmp/no-expat" >/dev/null
  cmake --build "$tmp/cmake-$tag" >/dev/null
  expect "zk_data $version: $json" "$tmp/cmake-$tag/consumer_core"
  expect "DataObject holds 42" "$tmp/cmake-$tag/consumer_module"

  say "$tag: pkg-config zk_data"
  pcdir=$(dirname "$(find "$prefix"/lib* -name zk_data.pc | head -1)")
  expect "$version" env PKG_CONFIG_PATH="$pcdir" pkg-config --modversion zk_data
  # shellcheck disable=SC2046
  # The core is a static archive: --static adds what linking it needs (expat).
  g++ -std=c++20 -Wall -Wextra -Werror -I"$tmp/no-expat" tests/consumer/core.cpp \
    $(PKG_CONFIG_PATH="$pcdir" pkg-config --static --cflags --libs zk_data) -o "$tmp/pc-$tag"
  expect "zk_data $version: $json" "$tmp/pc-$tag"

  say "$tag: Lua module"
  luadir=$(dirname "$(find "$prefix"/lib* -path '*/lua/5.4/zk_data.so' | head -1)")
  if [ "$prefix" = /usr ]; then  # the .deb: found on lua5.4's own path
    expect "$luadir/zk_data.so" lua5.4 -e "$lua_check"
  else
    expect "$luadir/zk_data.so" env LUA_CPATH="$luadir/?.so" lua5.4 -e "$lua_check"
  fi
}

say "cmake --install $build --prefix $tmp/prefix"
cmake --install "$build" --prefix "$tmp/prefix" >/dev/null
check_prefix "$tmp/prefix" prefix

if [ -n "$sudo" ] && ! command -v sudo >/dev/null; then
  say "SKIPPED the .deb: needs root or sudo"
  exit 0
fi
if dpkg-query -W -f='${Status}' zk-data 2>/dev/null | grep -q "install ok installed"; then
  echo "consumer: zk-data is already installed; remove it to test the .deb" >&2
  exit 1
fi
say "cpack -G DEB"
cpack --config "$build/CPackConfig.cmake" -G DEB -B "$tmp/deb" >"$tmp/cpack.log" 2>&1 || { cat "$tmp/cpack.log"; exit 1; }
deb=$(ls "$tmp"/deb/zk-data_"$version"_*.deb)
echo "  $(basename "$deb"): Depends: $(dpkg-deb -f "$deb" Depends)"
deb_installed=1
$sudo dpkg -i "$deb" >/dev/null 2>"$tmp/dpkg.log" || { cat "$tmp/dpkg.log"; exit 1; }
check_prefix /usr deb
say "passed"
