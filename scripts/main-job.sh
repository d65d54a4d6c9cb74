#!/usr/bin/env bash
# The main job: builds the qbarcode command and runs it on samples.
# Usage: scripts/main-job.sh [OUTPUT_DIR]   (default: out/)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh

out="${1:-out}"
mkdir -p "$out"
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DQB_TESTS=OFF -DQB_BENCH=OFF >/dev/null
cmake --build build/release -j2 --target qbarcode Kavrel Kavrin
qb=build/release/cli/qbarcode

echo "== Symbologies"
$qb types
echo
echo "== Encodings"
$qb encode --type bcCodeEAN13 --text 590123412345 --checksum
$qb encode --type code128b --text "Hello, World" --json
$qb encode --type code39 --text "CODE 39" --checksum --modules

echo
echo "== Drawings: one PNG per symbology, an SVG and a PDF"
samples=(
    "i25 1234567890" "industrial25 1234567890" "matrix25 1234567890" "code39 CODE-39" "code39ext Code39ext"
    "code128a CODE-128A" "code128b Code 128B" "code128c 12345678" "code93 CODE-93" "code93ext Code93ext"
    "msi 1234567" "postnet 555551237" "codabar 40156-12" "ean8 9638507" "ean13 590123412345"
    "upca 03600029145" "upce0 0123456" "upce1 0123456" "upc2 12" "upc5 52495"
    "ean128a 12345678" "ean128b 0101234567890128" "ean128c 0101234567890128"
)
for sample in "${samples[@]}"; do
    type=${sample%% *}
    text=${sample#* }
    $qb draw --type "$type" --text "$text" --checksum --caption both --font "DejaVu Sans:9" -o "$out/$type.png"
done
$qb draw --type code128b --text "Vector 128" --caption code -o "$out/code128b.svg"
$qb draw --type ean13 --text 590123412345 --checksum --angle 90 -o "$out/ean13.pdf"
ls "$out"/*.png | wc -l | xargs echo "PNG files:"

echo
echo "== Printing: a sample page at 600 dpi, sizes in millimetres"
$qb measure --type ean13 --text 590123412345 --checksum --units mm --modul 0.33 --height 20
$qb print --type ean13 --text 590123412345 --checksum --units mm --left 20 --top 20 --modul 0.33 --height 20 \
    --font "DejaVu Sans:9" -o "$out/sample-page.pdf"
echo "Printed $out/sample-page.pdf"

echo
echo "== Component packages: each loaded as a host does, its palette listed and its bitmaps written"
$qb palette build/release/lib/libKavrel.so --bitmaps "$out/palette-Kavrel"
$qb palette build/release/lib/libKavrin.so --json --bitmaps "$out/palette-Kavrin"

echo
echo "Main job done; output in $out/"
