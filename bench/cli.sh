#!/usr/bin/env bash
# The command line as a whole process, next to two peers run as black boxes:
#   1. one code:   zubqr encode TEXT -o x.png   against  qrencode -o x.png TEXT
#   2. a batch:    zubqr encode --batch of 10,000 URLs to PNG
#                  against  zint --batch on the same file
#   3. with logos: zubqr compose --batch of 1,000 texts with a logo
#                  against  a shell loop of 1,000 single zubqr compose calls
#   4. for print:  zubqr compose --scale 8 of one code (4416 x 3272 pixels)
#                  against  the same code at its own size
# hyperfine runs each pair side by side in one go; the peers (Debian's
# qrencode and zint) are installed here when missing, for this script only.
#   bash bench/cli.sh [build-dir]            (default build/release)
#   RUNS=100 BATCH_RUNS=5 bash bench/cli.sh
set -euo pipefail
build=$(realpath "${1:-build/release}")
runs=${RUNS:-100}
batchRuns=${BATCH_RUNS:-5}
zubqr="$build/cli/zubqr"
logo=$(realpath "$(dirname "$0")/../assets/default-logo-64.png")
[ -x "$zubqr" ] || { echo "no $zubqr: build the target zubqr first" >&2; exit 2; }

missing=()
for p in hyperfine qrencode zint; do
  command -v "$p" >/dev/null || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo_cmd=""
  [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
echo "machine: $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg)"

echo "== 1. one code, the whole process"
hyperfine -N --warmup 10 --runs "$runs" --export-markdown one.md \
  "$zubqr encode https://example.com/q7x -o z.png" \
  "qrencode -o q.png https://example.com/q7x"

echo "== 2. 10,000 URLs to PNG"
for i in $(seq 1 10000); do echo "https://example.com/item/$((i * 7919))"; done >urls.txt
hyperfine --warmup 1 --runs "$batchRuns" --export-markdown batch.md \
  --prepare 'rm -rf zo zi; mkdir zo zi' \
  "$zubqr encode --batch urls.txt -o zo" \
  "zint -b QRCODE --batch -i urls.txt -o 'zi/~~~~~.png'"

# Level H, as a code with a logo wants; PNG, and the window's own bitmap.
echo "== 3. 1,000 texts with a logo"
for i in $(seq 1 1000); do echo "Ticket $i, seat $((i % 40 + 1)), gate $((i % 7))"; done >texts.txt
for format in png bmp; do
  cat >loop-$format.sh <<LOOP
n=0
while IFS= read -r text; do
  n=\$((n + 1))
  "$zubqr" compose -l H "\$text" --logo "$logo" -o "lo/\$n.$format"
done <texts.txt
LOOP
  hyperfine --warmup 0 --runs "${COMPOSE_RUNS:-1}" --export-markdown compose-$format.md \
    --prepare 'rm -rf co lo; mkdir co lo' \
    "$zubqr compose -l H --batch texts.txt --logo $logo --format $format -o co" \
    "sh loop-$format.sh"
done
echo "== 4. one code drawn 8 times larger, for print"
hyperfine -N --warmup 2 --runs "${SCALE_RUNS:-20}" --export-markdown scale.md \
  "$zubqr compose -l H Ticket --logo $logo --scale 8 -o s8.png" \
  "$zubqr compose -l H Ticket --logo $logo -o s1.png"
cat one.md batch.md compose-png.md compose-bmp.md scale.md
