#!/usr/bin/env bash
# Instructions per MakeSymbol call for every workload, counted by callgrind:
# exact and repeatable, whatever else the machine is doing.
#   bash bench/callgrind.sh [build-dir]     (default build/release)
set -euo pipefail
build=${1:-build/release}
iterations=${ITERATIONS:-20}
tool="$build/bench/encoder_callgrind"
printf '%-4s %8s %14s\n' case version instr/call
for w in W1 W2 W3 W4 W5 W6; do
  out=$(mktemp)
  line=$(valgrind --tool=callgrind --callgrind-out-file="$out" \
      --toggle-collect='zub::QrEncoder::MakeSymbol*' "$tool" "$w" "$iterations" 2>/dev/null)
  total=$(callgrind_annotate "$out" 2>/dev/null | awk '/PROGRAM TOTALS/ {gsub(",", "", $1); print $1}')
  rm -f "$out"
  version=$(sed -n 's/.*version \([0-9]*\).*/\1/p' <<<"$line")
  printf '%-4s %8s %14d\n' "$w" "$version" $((total / iterations))
done
