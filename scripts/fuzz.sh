#!/usr/bin/env bash
# Builds the encoder's fuzz targets with clang, libFuzzer, AddressSanitizer
# and UndefinedBehaviorSanitizer in build/fuzz and runs each for a bounded
# time, starting from its seed corpus and its saved regression inputs.
# Fails on any crash, sanitizer report, broken property or hang; the input
# that caused it is kept in build/fuzz/findings/<target>/.
#   ZUB_FUZZ_SECONDS  run time per target, default 60
#   ZUB_FUZZ_JOBS     parallel build jobs, default 2
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${ZUB_FUZZ_SECONDS:-60}
jobs=${ZUB_FUZZ_JOBS:-2}
build=build/fuzz

cmake -S . -B "$build" -G Ninja \
  -DCMAKE_CXX_COMPILER=clang++-14 \
  -DCMAKE_BUILD_TYPE=Debug \
  -DCMAKE_CXX_FLAGS_DEBUG="-g -O1" \
  -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer" \
  -DZUB_FUZZ=ON -DZUB_GUI=OFF -DZUB_TESTS=OFF -DZUB_BENCH=OFF
cmake --build "$build" -j "$jobs"

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

# The longest message that can fit a symbol is 7089 digits; longer inputs
# must come back as "does not fit".
declare -A max_len=([make_symbol]=8192 [data_bits_and_coder]=4096)

status=0
for target in make_symbol data_bits_and_coder; do
  corpus=$build/corpus/$target # grows from run to run; the seeds stay as committed
  findings=$build/findings/$target
  mkdir -p "$corpus" "$findings"
  inputs=(fuzz/corpus/$target)
  [ -d fuzz/regressions/$target ] && inputs+=(fuzz/regressions/$target)
  echo "== fuzz $target for ${seconds}s"
  if ! "$build/fuzz/fuzz_$target" "$corpus" "${inputs[@]}" \
    -max_total_time="$seconds" -max_len="${max_len[$target]}" -timeout=20 \
    -artifact_prefix="$findings/" -print_final_stats=1; then
    echo "fuzz $target: finding kept in $findings" >&2
    status=1
  fi
done
exit $status
