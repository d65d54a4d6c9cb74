#!/usr/bin/env bash
# qbarcode beside the fastest tools that write the same files, 10,000 EAN-13
# codes each, whole processes, files in the memory file system:
#   labels on A4 3 x 8 sheets, PostScript and PDF, beside GNU barcode's label
#   table to PostScript (Debian package `barcode`, `barcode -e ean13 -t 3x8
#   -p a4`);
#   one PNG and one SVG file per code (`draw --batch`), beside zint's batch
#   mode (Debian package `zint`).
# The peers are not installed here: a missing one is named with the command
# that installs it, and its pairs are left out. Each round runs every command
# once, in turn, so that a busy moment of the machine weighs on all alike;
# the table gives medians of wall and CPU time (user + system) and the ratio
# of the peer's median to ours (above 1: ours is faster).
#
# Usage: bench/peers.sh [QBARCODE] [ROUNDS] [CODES]   (default: build/release/qbarcode, 7, 10000)
set -euo pipefail
cd "$(dirname "$0")/.."

qb="$(realpath "${1:-build/release/qbarcode}")"
rounds="${2:-7}"
codes="${3:-10000}"
[[ -x "$qb" ]] || { echo "no qbarcode at $qb: build it first (scripts/main-job.sh)" >&2; exit 2; }
[[ -x /usr/bin/time ]] || { echo "/usr/bin/time is missing: apt-get install time" >&2; exit 2; }

dir="$(mktemp -d /dev/shm/qb-peers-XXXXXX 2>/dev/null || mktemp -d "${TMPDIR:-/tmp}/qb-peers-XXXXXX")"
trap 'rm -rf "$dir"' EXIT
awk -v n="$codes" 'BEGIN { for (i = 0; i < n; ++i) printf "4%011d\n", (i * 7919) % 100000000 + i }' >"$dir/codes.txt"
{ echo code; cat "$dir/codes.txt"; } >"$dir/codes.csv"

gnu="$(command -v barcode || true)"
zint="$(command -v zint || true)"
[[ -n "$gnu" ]] || echo "GNU barcode is not installed (apt-get install barcode): its pairs are left out" >&2
[[ -n "$zint" ]] || echo "zint is not installed (apt-get install zint): its pairs are left out" >&2

labels="$qb labels --csv $dir/codes.csv --field code --type ean13 --checksum --layout a4-3x8"
names=(labels-ps labels-pdf draw-png draw-svg)
commands=("$labels -o $dir/l.ps" "$labels -o $dir/l.pdf"
          "$qb draw --type ean13 --checksum --batch $dir/codes.txt -o $dir/png/c.png"
          "$qb draw --type ean13 --checksum --batch $dir/codes.txt -o $dir/svg/c.svg")
peers=(gnu-ps gnu-ps zint-png zint-svg)
if [[ -n "$gnu" ]]; then
    names+=(gnu-ps)
    commands+=("$gnu -e ean13 -t 3x8 -p a4 -i $dir/codes.txt -o $dir/g.ps")
fi
if [[ -n "$zint" ]]; then
    names+=(zint-png zint-svg)
    commands+=("$zint -b EANX --batch -i $dir/codes.txt --filetype=png -o $dir/zpng/~~~~~.png"
               "$zint -b EANX --batch -i $dir/codes.txt --filetype=svg -o $dir/zsvg/~~~~~.svg")
fi

for ((round = 0; round <= rounds; ++round)); do # round 0 warms the caches
    for i in "${!names[@]}"; do
        rm -rf "$dir/png" "$dir/svg" "$dir/zpng" "$dir/zsvg"
        mkdir -p "$dir/png" "$dir/svg" "$dir/zpng" "$dir/zsvg"
        read -ra argv <<<"${commands[$i]}"
        t0=${EPOCHREALTIME/./}
        /usr/bin/time -f '%U %S' -o "$dir/cpu" "${argv[@]}" >/dev/null 2>&1 ||
            { echo "failed: ${commands[$i]}" >&2; exit 1; }
        t1=${EPOCHREALTIME/./}
        ((round > 0)) || continue
        echo "$(((t1 - t0) / 1000))" >>"$dir/${names[$i]}.wall"
        awk '{ printf "%d\n", ($1 + $2) * 1000 }' "$dir/cpu" >>"$dir/${names[$i]}.cpu"
    done
done

median() { sort -n "$1" | awk '{ v[NR] = $1 } END { print (NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2) }'; }
ratio() { awk -v p="$1" -v o="$2" 'BEGIN { if (o > 0) printf "%.2f", p / o; else print "-" }'; }
printf '%-11s %9s %9s   %-9s %9s %9s   %8s %8s\n' job "wall ms" "CPU ms" peer "wall ms" "CPU ms" "x wall" "x CPU"
for i in 0 1 2 3; do
    name=${names[$i]} peer=${peers[$i]}
    w=$(median "$dir/$name.wall") c=$(median "$dir/$name.cpu")
    if [[ -f "$dir/$peer.wall" ]]; then
        pw=$(median "$dir/$peer.wall") pc=$(median "$dir/$peer.cpu")
        printf '%-11s %9s %9s   %-9s %9s %9s   %8s %8s\n' "$name" "$w" "$c" "$peer" "$pw" "$pc" \
            "$(ratio "$pw" "$w")" "$(ratio "$pc" "$c")"
    else
        printf '%-11s %9s %9s   %-9s\n' "$name" "$w" "$c" "(none)"
    fi
done
