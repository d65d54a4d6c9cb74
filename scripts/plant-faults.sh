#!/usr/bin/env bash
# Plants known faults one at a time, builds, runs the suites and reports what
# caught each: a static_assert at compile time, or the failing tests. For a
# fault caught by a table check it then removes that file's table checks and runs again,
# to show which test catches the fault at run time too. Every file is put
# back from git afterwards. Not run by CI.
#
#   scripts/plant-faults.sh [BUILD_DIR]      (default build/dev, configured)
set -u
cd "$(dirname "$0")/.."
build=${1:-build/dev}

# file | sed expression | test binary | what the fault is
faults=(
    "core/bardef/code39.cpp|s/sum % 43;/sum % 42;/|core_tests_kavrel|Code 39 check sum modulo 42"
    "core/bardef/code93.cpp|s/kCode93\[c % 47\]/kCode93[c % 46]/|core_tests_kavrel|Code 93 C check modulo 46"
    "core/bardef/code93.cpp|s/kWeight == 15 ?/kWeight == 16 ?/|core_tests_kavrel|Code 93 K weights wrapping after 16"
    "core/bardef/code39.cpp|s/{'Q', \"505050616\"/{'Q', \"505060516\"/|core_tests_kavrel|Code 39 row Q"
    "core/bardef/code39.cpp|s/{'Z', \"516060505\"/{'Z', \"516050605\"/|core_tests_kavrel|Code 39 row Z"
    "core/bardef/code39.cpp|s/{'\\$', \"515151505\"/{'\$', \"505151515\"/|core_tests_kavrel|Code 39 row \$"
    "core/bardef/code128.cpp|s/\"113141\"/\"113114\"/|core_tests_kavrel|Code 128 value 99"
    "core/bardef/eanupc.cpp|s/\"3505\", \"1525\", \"2515\"/\"3505\", \"2515\", \"2515\"/|core_tests_kavrel|EAN set B digit 7"
    "core/bardef/eanupc.cpp|s/\"EoEooE\", \"EooEoE\"}/\"EoEooE\", \"EooEEo\"}/|core_tests_kavrel|UPC-E parity row 9"
    "core/bardef/msi_postnet_codabar.cpp|s/\"51A1A151A1\", \"51A151A1A1\"}/\"51A1A151A1\", \"51A1A151A1\"}/|core_tests_kavrel|PostNet digit 9"
    "core/bardef/msi_postnet_codabar.cpp|s/\"60515151\", \"60515160\"}/\"60515151\", \"60516051\"}/|core_tests_kavrel|MSI digit 9"
    "core/geometry.cpp|s/dx = -Round(w \* sc.c);/dx = Round(w * sc.c);/|core_tests_kavrel|box placement between 90 and 180 degrees"
    "platform/graphics/canvas.cpp|s#const double lo = (width - 1) / 2, hi = width / 2;#const double lo = 0, hi = 0;#|platform_tests|thick lines drawn 1 pixel wide on vector surfaces"
    "platform/graphics/canvas.cpp|s/out.Stroke(color, penWidth,/out.Stroke(color, 1,/|platform_tests|thick outlines stroked 1 pixel wide on vector surfaces"
)

run() { # file binary -> prints what caught the fault
    local file=$1 binary=$2 log
    log=$(cmake --build "$build" -j2 --target "$binary" 2>&1)
    if [ $? -ne 0 ]; then
        if grep -q "static assertion failed\|static_assert" <<<"$log"; then
            echo "compile: static_assert in $file"
        else
            echo "compile error (not a table check)"
        fi
        return
    fi
    local failed
    failed=$("$build/tests/$binary" --gtest_brief=1 2>&1 | sed -n 's/^\[  FAILED  \] \([A-Za-z_]*\.[A-Za-z_]*\).*/\1/p' | sort -u | paste -sd' ')
    echo "${failed:-NOT CAUGHT}"
}

for entry in "${faults[@]}"; do
    IFS='|' read -r file expr binary what <<<"$entry"
    if ! git diff --quiet -- "$file"; then
        echo "$file has uncommitted changes; not planting" >&2
        exit 1
    fi
    sed -i "$expr" "$file"
    if git diff --quiet -- "$file"; then
        echo "$what: PLANT DID NOT APPLY"
        continue
    fi
    caught=$(run "$file" "$binary")
    echo "$what -> $caught"
    if [[ $caught == compile:* ]]; then
        sed -i '/^static_assert(Check/d' "$file"
        echo "  without the table checks -> $(run "$file" "$binary")"
    fi
    git checkout -q -- "$file"
done
cmake --build "$build" -j2 --target core_tests_kavrel platform_tests >/dev/null
