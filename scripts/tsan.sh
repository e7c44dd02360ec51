#!/usr/bin/env bash
# Builds the module libzk_data.so with ThreadSanitizer in build-tsan/ and runs
# tests/tsan/threads_test.cpp against it, then the node pool's tests, whose
# threads free each other's nodes. Any ThreadSanitizer report fails.
set -euo pipefail
cd "$(dirname "$0")/.."
out=build-tsan
flags="-fsanitize=thread -fno-omit-frame-pointer -g -O1"
cmake -S . -B "$out" -DCMAKE_BUILD_TYPE=Debug -DZK_BUILD_TESTS=OFF -DZK_BUILD_BENCH=OFF \
  -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_C_FLAGS="$flags" \
  -DCMAKE_SHARED_LINKER_FLAGS=-fsanitize=thread -DCMAKE_EXE_LINKER_FLAGS=-fsanitize=thread >/dev/null
cmake --build "$out" --target zk_data zk_core -j"$(nproc)"
g++ -std=c++20 $flags -Wall -Wextra -I. -Iinclude tests/tsan/threads_test.cpp \
  -L"$out" -lzk_data -Wl,-rpath,"$PWD/$out" -pthread -o "$out/threads_test"
# Some kernels map memory where ThreadSanitizer does not expect it; running
# without address randomisation avoids that.
run=("$out/threads_test")
command -v setarch >/dev/null && run=(setarch "$(uname -m)" -R "${run[@]}")
g++ -std=c++20 $flags -Wall -Wextra -I. -Iinclude -I"$out/generated" tests/node_pool_test.cpp \
  "$out/libzk_data_core.a" -lgtest -lgtest_main -lexpat -pthread -o "$out/node_pool_test"
export TSAN_OPTIONS="halt_on_error=1 exitcode=66 ${TSAN_OPTIONS:-}"
"${run[@]}"
pool=("$out/node_pool_test")
command -v setarch >/dev/null && pool=(setarch "$(uname -m)" -R "${pool[@]}")
"${pool[@]}"
