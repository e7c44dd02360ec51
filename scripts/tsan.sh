#!/usr/bin/env bash
# Builds the module libzk_data.so with ThreadSanitizer in build-tsan/ and runs
# tests/tsan/threads_test.cpp against it. Any ThreadSanitizer report fails.
set -euo pipefail
cd "$(dirname "$0")/.."
out=build-tsan
flags="-fsanitize=thread -fno-omit-frame-pointer -g -O1"
cmake -S . -B "$out" -DCMAKE_BUILD_TYPE=Debug -DZK_BUILD_TESTS=OFF -DZK_BUILD_BENCH=OFF \
  -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_C_FLAGS="$flags" \
  -DCMAKE_SHARED_LINKER_FLAGS=-fsanitize=thread -DCMAKE_EXE_LINKER_FLAGS=-fsanitize=thread >/dev/null
cmake --build "$out" --target zk_data -j"$(nproc)"
g++ -std=c++20 $flags -Wall -Wextra -I. -Iinclude tests/tsan/threads_test.cpp \
  -L"$out" -lzk_data -Wl,-rpath,"$PWD/$out" -pthread -o "$out/threads_test"
# Some kernels map memory where ThreadSanitizer does not expect it; running
# without address randomisation avoids that.
run=("$out/threads_test")
command -v setarch >/dev/null && run=(setarch "$(uname -m)" -R "${run[@]}")
TSAN_OPTIONS="halt_on_error=1 exitcode=66 ${TSAN_OPTIONS:-}" "${run[@]}"
