#!/usr/bin/env bash
# Fails when an ELF file under the given folders has a library search path
# (RUNPATH or RPATH) with an empty or relative entry: the dynamic loader
# reads those against the working folder, so whoever controls that folder
# chooses the libraries loaded. Absolute entries and entries starting with
# $ORIGIN (the file's own folder) pass.
#
# Usage: scripts/check-runpath.sh DIR...      checks every ELF file below each DIR
#        scripts/check-runpath.sh --self-test links libraries with good and bad
#                                             search paths and expects the check
#                                             to tell them apart
set -euo pipefail

# Prints "FILE: [PATH]" for every file below the folders whose search path
# has an empty or relative entry.
bad_paths() {
    # readelf fails on the files that are no ELF files; they have no path.
    { find "$@" -type f -exec readelf -d {} + 2>/dev/null || true; } | awk '
        /^File: / { file = substr($0, 7) }
        /\((RUNPATH|RPATH)\)/ {
            path = $0
            sub(/^[^[]*\[/, "", path); sub(/\][[:space:]]*$/, "", path)
            n = split(path, entries, ":")
            for (i = 1; i <= n; ++i)
                if (entries[i] !~ /^(\/|\$ORIGIN(\/|$)|\$\{ORIGIN\}(\/|$))/) {
                    print file ": [" path "]"
                    break
                }
        }'
}

self_test() {
    local scratch status=0
    scratch=$(mktemp -d)
    trap 'rm -rf "$scratch"' RETURN
    echo 'int f() { return 0; }' >"$scratch/f.c"
    # Each library alone in a folder; the name says what the check must say.
    for path in good:'$ORIGIN' good:'$ORIGIN/../lib:/usr/lib' bad:'$ORIGIN:' bad:':::' bad:'lib' bad:'$ORIGINAL' \
        bad:'/usr/lib:.'; do
        local dir="$scratch/${path%%:*}-$(ls "$scratch" | wc -l)"
        mkdir "$dir"
        cc -shared -fPIC -o "$dir/libf.so" "$scratch/f.c" "-Wl,--enable-new-dtags,-rpath,${path#*:}"
        local found
        found=$(bad_paths "$dir")
        if [[ ${path%%:*} == good && -n $found ]] || [[ ${path%%:*} == bad && -z $found ]]; then
            echo "FAIL: search path '${path#*:}' should be ${path%%:*}" >&2
            status=1
        fi
    done
    [[ $status == 0 ]] && echo "the check tells good search paths from bad ones"
    return $status
}

if [[ ${1:-} == --self-test ]]; then
    self_test
    exit
fi
[[ $# -gt 0 ]] || { echo "usage: $0 DIR... | --self-test" >&2; exit 2; }
found=$(bad_paths "$@")
if [[ -n $found ]]; then
    echo "Library search paths with empty or relative entries (read against the working folder):" >&2
    echo "$found" >&2
    exit 1
fi
echo "every library search path under $* is absolute or relative to \$ORIGIN"
