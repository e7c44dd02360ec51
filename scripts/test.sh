#!/usr/bin/env bash
# Sets up, builds and runs the whole test suite through CTest.
# scripts/test.sh            the normal build (build/)
# scripts/test.sh sanitize   AddressSanitizer + UndefinedBehaviorSanitizer (build-sanitize/)
set -euo pipefail
cd "$(dirname "$0")/.."
preset="${1:-default}"
scripts/setup.sh
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" -j"$(nproc)"
ctest --preset "$preset" -j"$(nproc)"
