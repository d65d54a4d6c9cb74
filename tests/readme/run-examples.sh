#!/usr/bin/env bash
# Runs the examples of README.md as a reader would, in the README's order:
# every command of its ```sh blocks, and its ```cpp blocks through the
# program examples.awk made of them (built with the tests).
#
# Usage: run-examples.sh SOURCE_DIR BUILD_DIR QBARCODE CPP_EXAMPLES
#
# They run in a scratch folder laid out as the repository: `scripts` is the
# source tree's, `build/release` is BUILD_DIR, `qbarcode` on the PATH is
# QBARCODE. The files the examples treat as the reader's own are made here:
# data.bin, parcels.csv (a field `tracking`), products.csv and shop.db (a
# table `products` of EAN-13 codes). A print queue exists: `lp` takes every
# job.
#
# A command runs with `bash -o pipefail` and must exit with 0, or with N
# when its comment says "exit N". Not run, and listed as skipped: commands
# that build, install or package the project or need what a test cannot
# have (root, a prefix, a second build): those starting with scripts/,
# cmake, cpack, dpkg, apt, apt-get, c++, export, sudo, ldconfig, a
# subshell, a NAME=value assignment, or a program of build/bench or
# build/fuzz.
set -uo pipefail

source_dir=$(cd "$1" && pwd)
build_dir=$(cd "$2" && pwd)
qbarcode=$3
cpp_examples=$4
readme=$source_dir/README.md
here=$(cd "$(dirname "$0")" && pwd)

scratch=$(mktemp -d "${TMPDIR:-/tmp}/qb-readme-XXXXXX")
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$scratch/build" "$scratch/.bin"
ln -s "$source_dir/scripts" "$scratch/scripts"
ln -s "$build_dir" "$scratch/build/release"
ln -s "$qbarcode" "$scratch/.bin/qbarcode"
printf '#!/bin/sh\nexit 0\n' >"$scratch/.bin/lp"
chmod +x "$scratch/.bin/lp"
export PATH="$scratch/.bin:$PATH"

cd "$scratch"
printf 'DATA-42' >data.bin
printf 'tracking\n1Z999AA10123456784\nJJD000390007301234\n' >parcels.csv
printf 'code,name\n590123412345,Apple\n400638133393,Pear\n' >products.csv
sqlite3 shop.db "CREATE TABLE products (id INTEGER PRIMARY KEY, code TEXT, price REAL);
                 INSERT INTO products (code, price) VALUES ('590123412345', 1.5), ('400638133393', 2.5);"

skipped='^[[:space:]]*(scripts/|cmake[[:space:]]|cpack[[:space:]]|dpkg[[:space:]]|apt(-get)?[[:space:]]|c\+\+[[:space:]]|export[[:space:]]|sudo[[:space:]]|ldconfig|\(|[A-Za-z_][A-Za-z0-9_]*=|build/(bench|fuzz)/)'
ran=0 failed=0
while IFS=$'\t' read -r kind line what; do
    if [[ $kind == cpp ]]; then
        label="C++ example $what (README.md:$line)"
        command=("$cpp_examples" "$what")
        expected=0
    else
        label="README.md:$line: $what"
        if [[ $what =~ $skipped ]]; then
            echo "skipped $label"
            continue
        fi
        command=(bash -o pipefail -c "$what")
        expected=0
        [[ $what =~ \#.*exit\ ([0-9]+) ]] && expected=${BASH_REMATCH[1]}
    fi
    output=$("${command[@]}" 2>&1 </dev/null)
    status=$?
    ran=$((ran + 1))
    if [[ $status -ne $expected ]]; then
        failed=$((failed + 1))
        echo "FAILED (exit $status, not $expected) $label"
        printf '%s\n' "$output" | head -20 | sed 's/^/    /'
    else
        echo "ok      $label"
    fi
done < <(awk -v mode=steps -f "$here/examples.awk" "$readme")

echo "$ran examples run, $failed failed"
[[ $ran -gt 0 && $failed -eq 0 ]]
