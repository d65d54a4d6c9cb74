#!/usr/bin/env bash
# Whole-process time of one qbarcode call, as a script or a web back end pays
# it once per barcode: start, dynamic linking, fonts, drawing, writing, exit.
# Prints the median and spread of RUNS runs (default 30) per command, after
# /bin/true as the floor of starting any process here.
#
# Usage: bench/latency.sh [QBARCODE] [RUNS]   (default: build/release/qbarcode)
# Needs hyperfine (scripts/setup.sh --tests installs it).
set -euo pipefail
cd "$(dirname "$0")/.."

qb="$(realpath "${1:-build/release/qbarcode}")"
runs="${2:-30}"
command -v hyperfine >/dev/null || { echo "hyperfine is missing: run scripts/setup.sh --tests" >&2; exit 2; }
[[ -x "$qb" ]] || { echo "no qbarcode at $qb: build it first (scripts/main-job.sh)" >&2; exit 2; }

out="$(mktemp -d "${TMPDIR:-/tmp}/qb-latency-XXXXXX")"
trap 'rm -rf "$out"' EXIT
ean="--type ean13 --text 590123412345 --checksum"

names=(nothing encode draw-png draw-svg draw-pdf measure-mm print-pdf)
commands=(
    "/bin/true"
    "$qb encode $ean"
    "$qb draw $ean -o $out/e.png"
    "$qb draw $ean -o $out/e.svg"
    "$qb draw $ean -o $out/e.pdf"
    "$qb measure $ean --units mm --modul 0.33 --height 20"
    "$qb print $ean --units mm --left 20 --top 20 --modul 0.33 --height 20 -o $out/p.pdf"
)

# Without a shell in between (-N), so only qbarcode is timed.
args=()
for i in "${!names[@]}"; do
    args+=(-n "${names[$i]}" "${commands[$i]}")
done
hyperfine -N --style none --warmup 3 --runs "$runs" --export-csv "$out/times.csv" "${args[@]}" >/dev/null

# Columns: command, mean, stddev, median, user, system, min, max (seconds).
# CPU is user + system time: steadier than wall time on a busy machine.
# "over floor" is the median less that of /bin/true: what qbarcode itself
# costs, comparable between machines (and days) whose process start differs.
awk -F, 'NR == 1 { printf "%-12s %10s %10s %10s %10s %12s\n", "command", "median ms", "min ms", "max ms", "cpu ms", "over floor" }
         NR == 2 { floor = $4 }
         NR > 1  { printf "%-12s %10.2f %10.2f %10.2f %10.2f %12.2f\n", $1, $4 * 1e3, $7 * 1e3, $8 * 1e3, ($5 + $6) * 1e3,
                          ($4 - floor) * 1e3 }' \
    "$out/times.csv"
