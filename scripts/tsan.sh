#!/usr/bin/env bash
# The threaded tests under ThreadSanitizer (the tsan preset, build-tsan/):
# threads sharing one factory and its objects through the module
# libzk_data.so, and the node pool's threads freeing each other's nodes. Any
# ThreadSanitizer report fails.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset tsan >/dev/null
cmake --build --preset tsan -j"$(nproc)"
ctest --preset tsan
