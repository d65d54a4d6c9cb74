#!/usr/bin/env bash
# The main job: builds the qbarcode command and runs it on samples.
# Usage: scripts/main-job.sh [OUTPUT_DIR]   (default: out/)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh

out="${1:-out}"
mkdir -p "$out"
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DQB_TESTS=OFF -DQB_BENCH=OFF >/dev/null
cmake --build build/release -j2 --target qbarcode Kavrel Kavrin qt_labels
qb=build/release/qbarcode

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
    "upca 03600029145" "upce0 012345" "upce1 012345" "upc2 12" "upc5 52495"
    "ean128a 12345678" "ean128b 0101234567890128" "ean128c 0101234567890128"
)
for sample in "${samples[@]}"; do
    type=${sample%% *}
    text=${sample#* }
    $qb draw --type "$type" --text "$text" --caption both --font "DejaVu Sans:9" -o "$out/$type.png"
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
echo "== Forms: a form file with four barcode controls, rendered; one written from options"
cat > "$out/sample-form.txt" <<'FORM'
object Labels: TForm
  Width = 600
  Height = 330
  Color = clWhite
  object Shipping: TBarCode
    Left = 10
    Top = 10
    Width = 300
    Height = 100
    BarType = bcCode128B
    BarCode = 'SHIP-2041'
    Modul = 1
    Ratio = 2.0
    TextShow = tsBoth
  end
  object Article: TBarCode
    Left = 330
    Top = 10
    Width = 110
    Height = 260
    BarType = bcCodeEAN13
    BarCode = '590123412345'
    Modul = 1
    Ratio = 2.0
    CheckSum = csModulo10
    Orientation = toTopBottom
    TextShow = tsBarCode
  end
  object Batch: TBarCode
    Left = 460
    Top = 10
    Width = 110
    Height = 300
    BevelInner = bvLowered
    BorderWidth = 2
    BarType = bcCode39
    BarCode = 'LOT 7'
    Modul = 1
    Ratio = 2.5
    Orientation = toBottomTop
    TextShow = tsBarCode
  end
  object Serial: TBarCode
    Left = 10
    Top = 130
    Width = 300
    Height = 100
    BorderStyle = bsSingle
    Ctl3D = True
    BarType = bcCode93
    BarCode = 'SN-93'
    Modul = 1
    Ratio = 2.0
    TextShow = tsBarCode
    TextPosition = tpTopCenter
  end
end
FORM
$qb form render "$out/sample-form.txt" -o "$out/sample-form.png"
$qb form render "$out/sample-form.txt" -o "$out/sample-form.svg"
$qb form new --name Price --type ean13 --text 590123412345 --checksum --modul 2 -o "$out/price-form.txt"
$qb form render "$out/price-form.txt" -o "$out/price-form.pdf"
$qb form properties TBarCode | wc -l | xargs echo "TBarCode properties:"
# A form laid out in Qt Designer, rendered as a form file is.
$qb form render examples/qt_labels/labels.ui -o "$out/qt-labels-form.png"
$qb form render examples/qt_labels/labels.ui -o "$out/qt-labels-form.pdf"
echo "Rendered examples/qt_labels/labels.ui into $out/qt-labels-form.png and .pdf"

echo
echo "== Labels: a sample product database and a sheet of labels from it"
rm -f "$out/products.db"
sqlite3 "$out/products.db" < scripts/sample-products.sql
$qb labels --list-layouts
$qb labels --db "$out/products.db" --table products --field code --caption-field name \
    --type ean13 --checksum --layout a4-3x8 --font "DejaVu Sans:9" -o "$out/labels.pdf"
echo "Printed $out/labels.pdf"

echo
echo "== GS1-128 and Code 128: element strings checked and encoded; shipping labels built from the shipments' fields"
gs1="(01)09501101530003(17)261231(10)AB-123"
$qb encode --type gs1-128 --text "$gs1"
$qb draw --type gs1-128 --text "$gs1" -o "$out/gs1-128.png"
$qb draw --type code128 --text "Größe 12345" --caption both -o "$out/code128.png"
$qb labels --db "$out/products.db" --table shipments --ai 01=gtin --ai 17=expiry --ai 10=batch \
    --caption-field name --layout a4-2x7 --modul 0.25 --height 15 --font "DejaVu Sans:9" -o "$out/shipping-labels.pdf"
echo "Printed $out/shipping-labels.pdf"

echo
echo "== Retail captions: EAN and UPC as a till expects them, with add-ons"
$qb draw --type ean13 --text 590123412345 --caption retail --add-on 52495 --quiet-zone-marks -o "$out/ean13-retail.png"
$qb draw --type upca --text 03600029145 --caption retail --add-on 12 -o "$out/upca-retail.png"
$qb draw --type upce0 --text 505646 --caption retail -o "$out/upce0-retail.png"

echo
echo "== Batches: one process for many barcodes"
printf '590123412345\n400638133393\n978014300723\n' | $qb encode --type ean13 --batch - --json
printf '590123412345\n400638133393\n' | $qb measure --type ean13 --units mm --batch - --json

echo
echo "== Component packages: each loaded as a host does, its palette listed and its bitmaps written"
$qb palette build/release/lib/libKavrel.so --bitmaps "$out/palette-Kavrel"
$qb palette build/release/lib/libKavrin.so --json --bitmaps "$out/palette-Kavrin"

echo
echo "Main job done; output in $out/"
