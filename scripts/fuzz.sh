#!/usr/bin/env bash
# Builds the libFuzzer targets of tests/fuzz/ with clang (ASan + UBSan) in
# build-fuzz/ and runs them on their corpora in tests/fuzz/corpus/<target>/.
# scripts/fuzz.sh build               build only
# scripts/fuzz.sh ci [seconds]        each target for a short fixed time (default 20 s)
# scripts/fuzz.sh campaign [seconds]  each target for a long time (default 600 s),
#                                     two at a time; new inputs go to build-fuzz/found/
# scripts/fuzz.sh run TARGET [args]   one target with libFuzzer arguments
# Crashes are written to build-fuzz/artifacts/.
set -euo pipefail
cd "$(dirname "$0")/.."
mode="${1:-ci}"
root="$PWD"
out="$root/build-fuzz"
# Every tests/fuzz/fuzz_*.cpp is a target; FUZZ_TARGETS="a b" limits a run to those.
all_targets=$(cd tests/fuzz && ls fuzz_*.cpp | sed 's/\.cpp$//')
# shellcheck disable=SC2206
targets=(${FUZZ_TARGETS:-$all_targets})

build() {  # the fuzz preset: the fuzz targets over the core, built by CMake
  cmake --preset fuzz >/dev/null
  cmake --build --preset fuzz -j"$(nproc)"
  mkdir -p "$out/artifacts"
}

run() {  # target seconds [extra libFuzzer arguments]
  local t="$1" secs="$2"
  shift 2
  mkdir -p "$out/found/$t"
  "$out/$t" -max_total_time="$secs" -timeout=60 -rss_limit_mb=2048 -max_len=65536 -print_final_stats=1 \
    -artifact_prefix="$out/artifacts/$t-" "$@" "$out/found/$t" "tests/fuzz/corpus/$t"
}

case "$mode" in
  build) build ;;
  ci)
    build
    secs="${2:-20}"
    mkdir -p "$out/logs"
    for t in "${targets[@]}"; do
      # The corpus is replayed first, then mutated; new inputs are not kept.
      rm -rf "$out/ci/$t" && mkdir -p "$out/ci/$t"
      if "$out/$t" -max_total_time="$secs" -timeout=60 -rss_limit_mb=2048 -max_len=65536 -print_final_stats=1 \
          -artifact_prefix="$out/artifacts/$t-" "$out/ci/$t" "tests/fuzz/corpus/$t" > "$out/logs/$t.ci.log" 2>&1; then
        echo "$t: $(grep -o 'number_of_executed_units: [0-9]*' "$out/logs/$t.ci.log") in ${secs} s"
      else
        tail -n 60 "$out/logs/$t.ci.log"
        echo "$t: FAILED (input saved in $out/artifacts/)" >&2
        exit 1
      fi
      rm -rf "$out/ci/$t"
    done
    ;;
  campaign)
    build
    secs="${2:-600}"
    mkdir -p "$out/logs"
    printf '%s\n' "${targets[@]}" | xargs -P2 -I{} sh -c \
      "mkdir -p '$out/found/{}' && '$out/{}' -max_total_time=$secs -timeout=60 -rss_limit_mb=2048 -max_len=65536 \
        -print_final_stats=1 -artifact_prefix='$out/artifacts/{}-' '$out/found/{}' 'tests/fuzz/corpus/{}' \
        > '$out/logs/{}.log' 2>&1; echo '{}: exit' \$?; grep -E 'stat::number_of_executed_units|==ERROR|SUMMARY' '$out/logs/{}.log'"
    ;;
  run)
    build
    t="$2"
    shift 2
    run "$t" 600 "$@"
    ;;
  *) echo "usage: $0 build | ci [seconds] | campaign [seconds] | run TARGET [args]" >&2; exit 2 ;;
esac
