#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test: once in a
# Release build, once under AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh

# Every C++ source of the repository as clang-format writes it.
{ git ls-files -z -- '*.cpp' '*.h' 2>/dev/null ||
  find . -path ./build -prune -o \( -name '*.cpp' -o -name '*.h' \) -print0; } |
  xargs -0 clang-format --dry-run --Werror
# ... and every name in them ASCII.
{ git ls-files -z -- '*.cpp' '*.h' 2>/dev/null ||
  find . -path ./build -prune -o \( -name '*.cpp' -o -name '*.h' \) -print0; } |
  xargs -0 perl scripts/ascii-identifiers.pl

jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen

cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build build/release -j "$jobs"
ctest --test-dir build/release --output-on-failure -j "$jobs"
# The Debian package of the Release build: contents, lintian, install and removal.
bash scripts/package-test.sh build/release

cmake -S . -B build/sanitize -G Ninja -DCMAKE_BUILD_TYPE=Debug -DZUB_SANITIZE=ON -DZUB_BENCH=OFF
cmake --build build/sanitize -j "$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
LSAN_OPTIONS=suppressions=$PWD/tests/lsan.supp:print_suppressions=0 \
  ctest --test-dir build/sanitize --output-on-failure -j "$jobs"
bash scripts/fuzz.sh
