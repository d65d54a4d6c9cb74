#!/usr/bin/env bash
# Whole-process time of one qbarcode call, as a script or a web back end pays
# it once per barcode: start, dynamic linking, fonts, drawing, writing, exit.
# Every command runs once per round, round after round (RUNS rounds, default
# 30), so that a busy moment of the machine weighs on all of them alike:
# /bin/true (the floor of starting any process here), each qbarcode call,
# and, when zint is installed (Debian's zint package, a general-purpose
# barcode generator), the same captioned EAN-13 drawn by it, as the peer.
#
# Then the batches: one process encoding, measuring and drawing (PNG files)
# BATCH EAN-13 numbers (default 10,000), BATCH_RUNS times (default 3), as the
# median time per barcode beside the peer's one-shot call.
#
# Usage: bench/latency.sh [QBARCODE] [RUNS]   (default: build/release/qbarcode)
#        BATCH=N BATCH_RUNS=N bench/latency.sh ...
set -euo pipefail
cd "$(dirname "$0")/.."

qb="$(realpath "${1:-build/release/qbarcode}")"
runs="${2:-30}"
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
if command -v zint >/dev/null; then
    names+=(peer-png)
    commands+=("$(command -v zint) --barcode=EANX --data=590123412345 --output=$out/z.png")
fi

# Wall time in microseconds, read from the shell itself (no process to start).

for ((round = 0; round < runs + 3; ++round)); do # the first three warm the caches
    for i in "${!names[@]}"; do
        read -ra argv <<<"${commands[$i]}"
        t0=${EPOCHREALTIME/./}
        "${argv[@]}" >/dev/null 2>&1 || { echo "failed: ${commands[$i]}" >&2; exit 1; }
        t1=${EPOCHREALTIME/./}
        ((round < 3)) || echo "$((t1 - t0))" >>"$out/${names[$i]}.times"
    done
done

# Median, minimum and maximum of each; "over floor" is the median less that of
# /bin/true (what the call itself costs, comparable between machines whose
# process start differs); "x peer" the median over the peer's.
median() { sort -n "$1" | awk '{ v[NR] = $1 } END { print (NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2) }'; }
floor=$(median "$out/nothing.times")
peer=""
[[ -f "$out/peer-png.times" ]] && peer=$(median "$out/peer-png.times")
printf '%-12s %10s %10s %10s %12s %8s\n' command "median ms" "min ms" "max ms" "over floor" "x peer"
for name in "${names[@]}"; do
    m=$(median "$out/$name.times")
    lo=$(sort -n "$out/$name.times" | head -1)
    hi=$(sort -n "$out/$name.times" | tail -1)
    awk -v n="$name" -v m="$m" -v lo="$lo" -v hi="$hi" -v f="$floor" -v p="$peer" 'BEGIN {
        printf "%-12s %10.2f %10.2f %10.2f %12.2f %8s\n", n, m / 1e3, lo / 1e3, hi / 1e3, (m - f) / 1e3,
               p == "" ? "-" : sprintf("%.2f", m / p) }'
done

# Batches: the same numbers every run, each with its own check digit added.
batch="${BATCH:-10000}"
batchRuns="${BATCH_RUNS:-3}"
seq -f "5901234%05g" 0 $((batch - 1)) >"$out/codes.txt"
batchNames=(encode-batch measure-batch draw-batch)
batchCommands=(
    "$qb encode --type ean13 --batch $out/codes.txt --json"
    "$qb measure --type ean13 --batch $out/codes.txt --json"
    "$qb draw --type ean13 --batch $out/codes.txt -o $out/png/b-%d.png"
)
for ((round = 0; round < batchRuns; ++round)); do
    for i in "${!batchNames[@]}"; do
        rm -rf "$out/png" && mkdir "$out/png"
        read -ra argv <<<"${batchCommands[$i]}"
        t0=${EPOCHREALTIME/./}
        "${argv[@]}" >/dev/null 2>&1 || { echo "failed: ${batchCommands[$i]}" >&2; exit 1; }
        t1=${EPOCHREALTIME/./}
        echo "$((t1 - t0))" >>"$out/${batchNames[$i]}.times"
    done
done
echo
printf '%-14s %12s %14s %10s\n' batch "total ms" "per barcode us" "of peer"
for name in "${batchNames[@]}"; do
    m=$(median "$out/$name.times")
    awk -v n="$name" -v m="$m" -v b="$batch" -v p="$peer" 'BEGIN {
        printf "%-14s %12.1f %14.1f %10s\n", n, m / 1e3, m / b, p == "" ? "-" : sprintf("1/%d", p * b / m) }'
done
