#!/usr/bin/env bash
# Sets up, builds and runs the example program: it builds a tree, writes it
# to a caller buffer in several formats and prints the bytes.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake --preset default >/dev/null
cmake --build --preset default -j"$(nproc)" --target quick_start
./build/quick_start
