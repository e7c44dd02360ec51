#!/usr/bin/env bash
# The Windows build: Debian's mingw-w64 cross compilers (posix thread model)
# for x86_64 and i686, and Wine to run the x86_64 programs.
#
# scripts/windows.sh setup    installs the cross compilers, widl and Wine when missing
# scripts/windows.sh deps     builds expat, Lua 5.4 and GoogleTest for both architectures
# scripts/windows.sh build    the above, then the library, zkdata.exe, the Lua
#                             module zk_data.dll and the test programs for both
# scripts/windows.sh test     the above, then under Wine (x86_64): the test suites
#                             through CTest, zkdata.exe against the Linux zkdata,
#                             GBK against the Linux build, and the Lua module's
#                             script in lua.exe (the default)
#
# Dependencies come from Debian's source packages at pinned versions, fetched
# with a private apt state (the machine's own lists and cache stay untouched),
# and are built once into build-windows/deps/<arch>; ZK_WINDOWS_CACHE moves
# that cache elsewhere. Each builds in well under a minute per architecture.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
cache=${ZK_WINDOWS_CACHE:-$root/build-windows}
archs=(x86_64 i686)
expat_version=2.5.0-1+deb12u2
lua_version=5.4.4-3+deb12u1
say() { echo "windows: $*"; }

setup() {
  local packages=(g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix mingw-w64-tools wine wine64 libwine-dev
                  cmake dpkg-dev patch)
  local missing=() p
  for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  ((${#missing[@]})) || return 0
  say "installing ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo env DEBIAN_FRONTEND=noninteractive apt-get update -qq
  $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# Fetches and unpacks the pinned source packages into $cache/src, once.
fetch_sources() {
  local src=$cache/src apt=$cache/src/apt
  [ -f "$src/expat/expat/CMakeLists.txt" ] && [ -f "$src/lua/src/lua.c" ] && return 0
  say "fetching expat $expat_version and lua5.4 $lua_version (Debian source packages)"
  rm -rf "$src" && mkdir -p "$apt/lists/partial" "$apt/cache/archives/partial" "$apt/parts"
  printf '%s\n' "deb-src http://deb.debian.org/debian bookworm main" \
                "deb-src http://deb.debian.org/debian-security bookworm-security main" >"$apt/sources.list"
  local options=(-o "Dir::Etc::SourceList=$apt/sources.list" -o "Dir::Etc::SourceParts=$apt/parts"
                 -o "Dir::State::Lists=$apt/lists" -o "Dir::Cache=$apt/cache" -o "APT::Sandbox::User=root")
  apt-get "${options[@]}" update -qq
  (cd "$src" && apt-get "${options[@]}" source --download-only -qq "expat=$expat_version" "lua5.4=$lua_version")
  (cd "$src" && dpkg-source --no-check -x expat_*.dsc expat >/dev/null)
  # Lua: the upstream tarball with Debian's source fixes; Debian's own build
  # system (libtool, Linux paths) is left out in favour of upstream's mingw target.
  mkdir -p "$src/lua" "$src/lua-debian"
  tar -xzf "$src"/lua5.4_*.orig.tar.gz -C "$src/lua" --strip-components=1
  tar -xJf "$src"/lua5.4_*.debian.tar.xz -C "$src/lua-debian"
  local patch
  for patch in 0003-extern_C 0004-cve-2022-28805 0005-cve-2022-33099; do
    patch -d "$src/lua" -p1 -s <"$src/lua-debian/debian/patches/$patch.patch"
  done
}

# expat as a static library. Debian's patches test "#if XML_DTD == 1", which
# the generated configuration header defines without a value.
build_expat() {
  local arch=$1 prefix=$2 work=$cache/work/$1/expat
  cmake -S "$cache/src/expat/expat" -B "$work" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchains/mingw-$arch.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" -DEXPAT_SHARED_LIBS=OFF \
    -DEXPAT_BUILD_TOOLS=OFF -DEXPAT_BUILD_EXAMPLES=OFF -DEXPAT_BUILD_TESTS=OFF -DEXPAT_BUILD_DOCS=OFF \
    -DEXPAT_BUILD_PKGCONFIG=OFF >/dev/null
  sed -i 's/^#define XML_DTD$/#define XML_DTD 1/' "$work/expat_config.h"
  cmake --build "$work" -j"$(nproc)" >/dev/null
  cmake --install "$work" >/dev/null
}

# Lua 5.4: lua54.dll, lua.exe and the headers. The library itself links no
# Lua; the DLL and the interpreter are what its tests run against.
build_lua() {
  local arch=$1 prefix=$2 work=$cache/work/$1/lua triplet=$1-w64-mingw32
  rm -rf "$work" && mkdir -p "$work" && cp -r "$cache/src/lua/." "$work"
  make -C "$work" mingw CC="$triplet-gcc-posix" AR="$triplet-ar rc" RANLIB="$triplet-ranlib" \
    -j"$(nproc)" >/dev/null
  mkdir -p "$prefix/include/lua5.4" "$prefix/bin"
  cp "$work"/src/{lua.h,luaconf.h,lualib.h,lauxlib.h,lua.hpp} "$prefix/include/lua5.4/"
  cp "$work"/src/{lua54.dll,lua.exe} "$prefix/bin/"
}

build_gtest() {
  local arch=$1 prefix=$2 work=$cache/work/$1/googletest
  cmake -S /usr/src/googletest -B "$work" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchains/mingw-$arch.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" -DBUILD_GMOCK=OFF -DINSTALL_GTEST=ON >/dev/null
  cmake --build "$work" -j"$(nproc)" >/dev/null
  cmake --install "$work" >/dev/null
}

deps() {
  fetch_sources
  local arch prefix stamp
  for arch in "${archs[@]}"; do
    prefix=$cache/deps/$arch
    stamp="$prefix/.built-expat-$expat_version-lua-$lua_version"
    [ -f "$stamp" ] && continue
    say "building expat, Lua and GoogleTest for $arch"
    rm -rf "$prefix" && mkdir -p "$prefix"
    build_expat "$arch" "$prefix"
    build_lua "$arch" "$prefix"
    build_gtest "$arch" "$prefix"
    touch "$stamp"
  done
  say "dependencies ready in $cache/deps"
}

# Both architectures build the tests; only the x86_64 ones can run here, the
# i686 build proves that they compile for 32-bit Windows.
build() {
  local arch
  for arch in "${archs[@]}"; do
    say "building for $arch in $cache/$arch"
    cmake -S "$root" -B "$cache/$arch" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchains/mingw-$arch.cmake" \
      -DZK_WINDOWS_DEPS="$cache/deps/$arch" -DCMAKE_BUILD_TYPE=Release -DZK_BUILD_TESTS=ON -DZK_BUILD_BENCH=OFF \
      -DCMAKE_COMPILE_WARNING_AS_ERROR=ON >/dev/null
    cmake --build "$cache/$arch" -j"$(nproc)" >/dev/null
  done
}

# Wine 8 on Debian: the 64-bit loader is not on PATH. One wineserver is kept
# for the whole run, in a prefix of our own. Without winedbg a crash ends
# with its exception code as status; with it, sometimes with 0.
start_wine() {
  export WINEPREFIX=$cache/wineprefix WINELOADER=/usr/lib/wine/wine64 WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"
  unset DISPLAY
  mkdir -p "$WINEPREFIX"
  /usr/lib/wine/wineserver -p
  trap '/usr/lib/wine/wineserver -k 2>/dev/null || true' EXIT
  "$WINELOADER" wineboot --init >/dev/null 2>&1  # fills the prefix (about 8 s the first time)
}

# Runs the same zkdata command on Linux and under Wine; the bytes written and
# the exit status must be the same.
same_as_linux() {
  local linux_out wine_out linux_status=0 wine_status=0
  linux_out=$(cd "$root/examples" && "$root/build/zkdata" "$@" | od -An -tx1) || linux_status=$?
  wine_out=$(cd "$root/examples" && "$WINELOADER" "$cache/x86_64/zkdata.exe" "$@" | od -An -tx1) || wine_status=$?
  if [ "$linux_out" != "$wine_out" ] || [ "$linux_status" != "$wine_status" ]; then
    echo "windows: zkdata $* differs: Linux exit $linux_status, Windows exit $wine_status" >&2
    diff <(echo "$linux_out") <(echo "$wine_out") | head -20 >&2
    return 1
  fi
  echo "  zkdata $*"
}

# The x86_64 build's CTest: every program runs under Wine through
# scripts/wine-run.sh, the toolchain's emulator. The whole log stays in
# ctest.log; failures are shown here. Wine very rarely ends a program with a
# failure and no output at all, so a failed test gets one more run; a real
# failure fails both, and a test that needed the second run is named.
test_suites() {
  say "the test suites under Wine (CTest, $cache/x86_64)"
  local log=$cache/x86_64/ctest.log
  if ctest --test-dir "$cache/x86_64" -j"$(nproc)" --timeout 300 --output-on-failure --repeat until-pass:2 \
       >"$log" 2>&1; then
    grep -E 'Test +#[0-9]+: .*\*\*\*Failed' "$log" | sed 's/^/  passed on its second run: /' >&2 || true
    sed -n '/tests passed/,$p' "$log"
  else
    grep -vE '^ *(Start +[0-9]+:|[0-9]+/[0-9]+ Test +#[0-9]+: .* (Passed|Skipped) )' "$log" >&2
    return 1
  fi
}

test_zkdata() {
  (cd "$root" && cmake --preset default >/dev/null && cmake --build --preset default --target zkdata zk_gbk_tables >/dev/null)
  say "zkdata.exe under Wine, compared with Linux"
  local failed=0 f
  for f in order.json catalog.xml telemetry.xml release.torrent request.http response.http settings.ini; do
    local from=()
    [[ $f == catalog.xml || $f == telemetry.xml ]] && from=(--from xml:free_form)
    same_as_linux dump "${from[@]}" "$f" || failed=1
    same_as_linux convert "${from[@]}" --to json "$f" || failed=1
  done
  same_as_linux convert --to xml order.json || failed=1
  same_as_linux convert --to bencode order.json || failed=1
  same_as_linux convert --from xml:free_form --to xml:free_form,gbk catalog.xml || failed=1
  # Text through GBK and back (Chinese, Latin accents); an emoji, which GBK
  # lacks, and the euro sign, a lone byte the GBK reader cannot take, are
  # refused alike.
  local text=$cache/gbk-sample.xml gbk=$cache/gbk-sample.gbk.xml refused=$cache/gbk-refused.xml
  printf '<doc><t>\xe4\xb8\xad\xe6\x96\x87 caf\xc3\xa9</t><n a="\xe4\xb8\xad">1</n></doc>' >"$text"
  "$root/build/zkdata" convert --from xml:free_form --to xml:free_form,gbk -o "$gbk" "$text"
  same_as_linux convert --from xml:free_form --to xml:free_form,gbk "$text" || failed=1
  same_as_linux convert --from xml:free_form --to json "$gbk" || failed=1
  for char in '\xf0\x9f\x98\x80' '\xe2\x82\xac'; do
    printf "<doc><t>$char</t></doc>" >"$refused"
    same_as_linux convert --from xml:free_form --to xml:free_form,gbk "$refused" || failed=1
  done
  same_as_linux convert --from bencode --to json order.json || failed=1  # refused the same way
  say "GBK, every unit and byte pair: Linux against code page 936 under Wine"
  if ! diff <("$root/build/zk_gbk_tables") <("$WINELOADER" "$cache/x86_64/zk_gbk_tables.exe" | tr -d '\r') \
       >"$cache/gbk-differences.txt"; then
    echo "windows: the GBK conversions differ ($cache/gbk-differences.txt):" >&2
    head -20 "$cache/gbk-differences.txt" >&2
    failed=1
  fi
  say "the Lua module in lua.exe"
  LUA_CPATH="$(winepath -w "$cache/x86_64/lua")\\?.dll" \
    "$WINELOADER" "$cache/deps/x86_64/bin/lua.exe" "$root/tests/lua/module_test.lua" | tr -d '\r' || failed=1
  say "what the programs need beside them, and what the COM module exports"
  local arch program
  for arch in "${archs[@]}"; do
    for program in "$cache/$arch/zkdata.exe" "$cache/$arch/lua/zk_data.dll" "$cache/$arch/zk_data.dll"; do
      if "$arch-w64-mingw32-objdump" -p "$program" | awk '/DLL Name:/ {print $3}' |
           grep -viqE '^(kernel32|msvcrt|lua54|oleaut32|ole32)\.dll$'; then
        echo "windows: $program needs more than the system and Lua:" >&2
        "$arch-w64-mingw32-objdump" -p "$program" | grep "DLL Name" >&2
        failed=1
      fi
    done
    local exports
    exports=$("$arch-w64-mingw32-objdump" -p "$cache/$arch/zk_data.dll" |
              sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' | awk '/\[/ && NR > 1 {print $NF}' | sort | xargs)
    if [ "$exports" != "DllCanUnloadNow DllGetClassObject DllRegisterServer DllUnregisterServer" ]; then
      echo "windows: $arch zk_data.dll exports: $exports" >&2
      failed=1
    fi
  done
  ((failed == 0)) || { say "FAILED"; exit 1; }
}

# Every check runs; the suites' failures are reported after the others'.
run_tests() {
  start_wine
  local suites=0
  test_suites || suites=1
  test_zkdata
  ((suites == 0)) || { say "FAILED"; exit 1; }
  say "passed ($SECONDS s in all)"
}

case "${1:-test}" in
  setup) setup ;;
  deps) setup && deps ;;
  build) setup && deps && build ;;
  test) setup && deps && build && run_tests ;;
  *) echo "usage: $0 setup | deps | build | test" >&2; exit 2 ;;
esac
