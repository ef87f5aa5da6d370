#!/usr/bin/env bash
# Installs what is missing, builds the program and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build build/release -j "$(nproc)"
if [ -x build/release/app/zubqr-gui ]; then
  exec build/release/app/zubqr-gui "$@"
fi
# Until the window exists: encode a sample text with the command-line front end.
build/release/cli/zubqr encode --text "HELLO WORLD" --output /tmp/zubqr-sample.bmp
echo "wrote /tmp/zubqr-sample.bmp"
