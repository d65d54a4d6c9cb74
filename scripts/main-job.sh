#!/usr/bin/env bash
# The main job: builds the qbarcode command and runs it on samples.
# Usage: scripts/main-job.sh [OUTPUT_DIR]   (default: out/)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh

out="${1:-out}"
mkdir -p "$out"
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DQB_TESTS=OFF -DQB_BENCH=OFF >/dev/null
cmake --build build/release -j2 --target qbarcode
qb=build/release/qbarcode

echo "== Symbologies"
$qb types
echo
echo "== Encodings"
$qb encode --type bcCodeEAN13 --text 590123412345 --checksum
$qb encode --type code128b --text "Hello, World" --json
$qb encode --type code39 --text "CODE 39" --checksum --modules
echo
echo "Main job done; output in $out/"
