#!/usr/bin/env bash
# Labels per second and peak memory of `qbarcode labels` over SQLite tables
# of 10,000 and 100,000 products (EAN-13 codes and names), written into a PDF
# in the memory file system. Peak memory must not grow with the record count
# beyond the rows of the table itself.
# Usage: bench/labels-memory.sh [QBARCODE_BINARY]   (default: build/bench/qbarcode or build/release/qbarcode)
set -euo pipefail
cd "$(dirname "$0")/.."
qb="${1:-}"
if [ -z "$qb" ]; then
    for candidate in build/bench/qbarcode build/bench/cli/qbarcode build/release/qbarcode build/release/cli/qbarcode; do
        [ -x "$candidate" ] && qb=$candidate && break
    done
fi
[ -x "$qb" ] || { echo "qbarcode not built: give its path" >&2; exit 2; }
dir=$(mktemp -d "${TMPDIR:-/dev/shm}/qb-labels-bench-XXXXXX" 2>/dev/null || mktemp -d)
trap 'rm -rf "$dir"' EXIT

printf '%9s %10s %10s %13s %12s %10s\n' records "wall s" "CPU s" "labels/CPU s" "peak RSS KB" "PDF KB"
for n in 10000 100000; do
    sqlite3 "$dir/p$n.db" "
        CREATE TABLE products (id INTEGER PRIMARY KEY, code TEXT, name TEXT);
        WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < $n)
        INSERT INTO products (code, name)
            SELECT printf('4%011d', (i * 7919) % 100000000 + i), 'Product number ' || i FROM n;"
    /usr/bin/time -f '%e %U %S %M' -o "$dir/time" \
        "$qb" labels --db "$dir/p$n.db" --table products --field code --caption-field name \
        --type ean13 --checksum --layout a4-3x8 -o "$dir/labels.pdf" 2>"$dir/err"
    read -r seconds user sys rss <"$dir/time"
    cpu=$(awk -v u="$user" -v s="$sys" 'BEGIN { print u + s }')
    rate=$(awk -v n="$n" -v s="$cpu" 'BEGIN { if (s > 0) printf "%.0f", n / s; else print "-" }')
    printf '%9d %10s %10s %13s %12s %10d\n' "$n" "$seconds" "$cpu" "$rate" "$rss" $(( $(stat -c %s "$dir/labels.pdf") / 1024 ))
    tail -1 "$dir/err"
done
