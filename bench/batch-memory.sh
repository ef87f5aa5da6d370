#!/usr/bin/env bash
# The memory of a batch, at its peak (GNU time's maximum resident set):
#   1. a million URLs written as PNG files, the whole batch run;
#   2. a million named URLs read from a pipe, the last line the first one's
#      name: every line read and named, and nothing written;
#   3. 256 MB of two-byte lines (the most a batch may be, 134 million
#      lines), the last line another's name: every line read and named,
#      under an address-space limit of 3 GB, and nothing written.
#   bash bench/batch-memory.sh [build-dir]      (default build/release)
set -euo pipefail
build=$(realpath "${1:-build/release}")
zubqr="$build/cli/zubqr"
[ -x "$zubqr" ] || { echo "no $zubqr: build the target zubqr first" >&2; exit 2; }
[ -x /usr/bin/time ] || { echo "GNU time is missing: scripts/install-deps.sh installs it" >&2; exit 2; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
echo "machine: $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg)"

peak() { # what, then the command; prints the status, the peak and the time
  local what=$1
  shift
  local status=0
  /usr/bin/time -f '%M %e' -o time.txt "$@" 2>err.txt >/dev/null || status=$?
  # GNU time says first when the command failed; the figures come last.
  read -r kb seconds < <(tail -n 1 time.txt)
  printf '%-36s status %d, peak %7.1f MB, %6.1f s: %s\n' "$what" "$status" \
    "$(awk "BEGIN { print $kb / 1024 }")" "$seconds" "$(tail -n 1 err.txt)"
}

seq -f 'https://example.com/item/%07g' 1 1000000 >million.txt
peak "1. a million URLs to PNG" "$zubqr" encode --batch million.txt -o one
awk '{ print "n" NR "\t" $0 } END { print "n1\tagain" }' million.txt >named.txt
peak "2. a million named, from a pipe" sh -c "cat named.txt | '$zubqr' encode --batch - -o two"

{
  printf 'x\tfirst\n'
  (yes a || true) | head -c $(((256 << 20) - 16))
  printf 'x\tlast\n'
} >short.txt
peak "3. 256 MB of short lines, in 3 GB" sh -c "ulimit -v 3145728; exec '$zubqr' encode --batch short.txt -o three"
