#!/usr/bin/env bash
# Runs a Windows program under Wine: the CTest emulator of the Windows builds
# (cmake/toolchains/mingw-common.cmake). scripts/windows.sh keeps one
# wineserver running for a whole test run; alone, Wine starts its own.
#
#   scripts/wine-run.sh program.exe [arguments...]
#
# The prefix is $WINEPREFIX, else build-windows/wineprefix; Wine makes it on
# first use.
# Carriage returns at line ends are dropped from both outputs, so that CTest
# and gtest_discover_tests read the program's text-mode lines as they read a
# Linux program's. The exit status is the program's.
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
export WINEPREFIX=${WINEPREFIX:-$root/build-windows/wineprefix}
# Without winedbg, a program that crashes ends with its exception code (its
# low byte) as status; the debugger's ending is sometimes 0.
export WINELOADER=/usr/lib/wine/wine64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"
unset DISPLAY

# Through files, not pipes: Wine's own background processes, started by the
# first program of a session, inherit its output and would hold a pipe open.
out=$(mktemp) err=$(mktemp)
trap 'rm -f "$out" "$err"' EXIT
status=0
"$WINELOADER" "$@" >"$out" 2>"$err" || status=$?
sed 's/\r$//' "$out"
sed 's/\r$//' "$err" >&2
if [ "$status" != 0 ] && [ ! -s "$out" ] && [ ! -s "$err" ]; then
  echo "wine-run.sh: $1 ended with status $status and wrote nothing" >&2
fi
exit "$status"
