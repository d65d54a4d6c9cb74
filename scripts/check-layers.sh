#!/usr/bin/env bash
# Fails when a source file includes a header of a layer it may not use, or a
# private header of another folder, or when a CMake target exports the
# repository root (or another folder's private headers) as an include path.
#
# Usage: scripts/check-layers.sh [ROOT]     checks the tree at ROOT (default: this repository)
#        scripts/check-layers.sh --self-test  plants an upward include in a scratch tree and
#                                            expects the check to catch it
#
# Public headers are included as "qbarcode/<name>.h"; each belongs to the
# folder whose include/qbarcode/ holds it.
set -euo pipefail

self="$(cd "$(dirname "$0")" && pwd)/$(basename "$0")"

# The layers each folder may include, besides its own. "*" is every layer.
declare -A allowed=(
    [platform/sysutils]=""
    [platform/classes]="platform/sysutils"
    [platform/graphics]="platform/sysutils platform/classes"
    [platform/printers]="platform/sysutils platform/classes platform/graphics"
    [platform/controls]="platform/sysutils platform/classes platform/graphics"
    [platform/db]="platform/sysutils platform/classes"
    [platform/packages]="platform/sysutils platform/classes"
    # The unit routines of the runtime libraries, each built into the library
    # of the layers it starts and stops.
    [platform/packages/runtime]="platform/sysutils platform/classes platform/graphics platform/printers platform/controls platform/db platform/packages"
    [core]="platform/sysutils platform/graphics platform/printers"
    [controls]="core platform/sysutils platform/classes platform/graphics platform/printers platform/controls platform/db platform/packages"
    [package]="controls core platform/sysutils platform/classes platform/graphics platform/printers platform/controls platform/db platform/packages"
    [qt]="package controls core platform/sysutils platform/classes platform/graphics platform/printers platform/controls platform/db platform/packages"
    [examples]="*"
    [cli]="*"
    [tests]="*"
    [bench]="*"
    [fuzz]="*"
)
# The folders that may include Qt's headers: the Qt layer and what builds on
# it; nothing below the Qt layer (nor the command) compiles against Qt.
qtUsers=" qt examples tests bench "
# Folders whose private headers others may include: the test, benchmark and
# fuzzing harnesses reach into what they test.
harnesses=" tests bench fuzz "

self_test() {
    local scratch
    scratch="$(mktemp -d)"
    trap 'rm -rf "$scratch"' RETURN
    mkdir -p "$scratch"/{platform/sysutils,platform/graphics,core}/include/qbarcode
    echo '#pragma once' >"$scratch/platform/sysutils/include/qbarcode/sysutils.h"
    echo '#include "qbarcode/sysutils.h"' >"$scratch/platform/graphics/include/qbarcode/graphics.h"
    echo '#include "qbarcode/graphics.h"' >"$scratch/core/include/qbarcode/qbarcode.h"
    printf '#include "qbarcode/graphics.h"\n#include "local.h"\n' >"$scratch/platform/graphics/canvas.cpp"
    echo '#pragma once' >"$scratch/platform/graphics/local.h"
    if ! "$self" "$scratch" >/dev/null; then
        echo "self-test: a clean tree was refused" >&2
        return 1
    fi
    local planted=(
        'platform/graphics/canvas.cpp:#include "qbarcode/qbarcode.h"'       # platform includes core
        'platform/sysutils/io.cpp:#include <qbarcode/graphics.h>'          # below includes above
        'core/draw.cpp:#include "local.h"'                                 # another folder's private header
        'core/CMakeLists.txt:target_include_directories(x PUBLIC ${PROJECT_SOURCE_DIR})' # the root exported
        'core/draw.cpp:#include <QPainter>'                                # Qt below the Qt layer
    )
    local plant file line out
    for plant in "${planted[@]}"; do
        file="$scratch/${plant%%:*}"
        line="${plant#*:}"
        cp -a "$scratch" "$scratch.orig"
        echo "$line" >>"$file"
        if out="$("$self" "$scratch" 2>&1)"; then
            echo "self-test: not caught: $plant" >&2
            rm -rf "$scratch.orig"
            return 1
        fi
        echo "caught: $out"
        rm -rf "$scratch"
        mv "$scratch.orig" "$scratch"
    done
}

if [[ "${1:-}" == "--self-test" ]]; then
    self_test
    exit
fi

root="$(cd "${1:-$(dirname "$0")/..}" && pwd)"
cd "$root"

# Header name -> layer, from every <folder>/include/qbarcode/*.h.
declare -A layerOf=()
while IFS= read -r header; do
    folder="${header%/include/qbarcode/*}"
    layerOf["qbarcode/${header##*/}"]="$folder"
done < <(find . -path ./build -prune -o -path '*/include/qbarcode/*.h' -print | sed 's|^\./||')
# Public headers a layer's build generates (under generated/include/qbarcode/).
while IFS=: read -r cmake generated; do
    layerOf["qbarcode/${generated##*/}"]="${cmake%/CMakeLists.txt}"
done < <(find . -path ./build -prune -o -name CMakeLists.txt -print | sed 's|^\./||' |
    xargs grep -oiE 'generated\}?/include/qbarcode/[A-Za-z0-9_]+\.h' /dev/null || true)

# The layer a path belongs to: the longest folder of the table it lies in.
layer_of_path() {
    local path="$1" best="" l
    for l in "${!allowed[@]}"; do
        if [[ "$path" == "$l/"* && ${#l} -gt ${#best} ]]; then
            best="$l"
        fi
    done
    echo "$best"
}

may_use() { # layer, used layer
    [[ "$1" == "$2" ]] && return 0
    local a=" ${allowed[$1]} "
    [[ "$a" == *" * "* || "$a" == *" $2 "* ]]
}

failures=0
fail() {
    echo "$1" >&2
    failures=$((failures + 1))
}

mapfile -t sources < <(find . -path ./build -prune -o -path './build-*' -prune -o -path './.git' -prune -o \
    -type f \( -name '*.cpp' -o -name '*.h' -o -name '*.hpp' -o -name '*.cc' \) -print | sed 's|^\./||' | sort)
declare -A layerOfFile=()
for file in "${sources[@]}"; do
    layerOfFile["$file"]="$(layer_of_path "$file")"
done
include_re='^([^:]*):([0-9]+):[[:space:]]*#[[:space:]]*include[[:space:]]*(["<])([^">]*)[">]'
while IFS= read -r match; do
    [[ "$match" =~ $include_re ]] || continue
    file="${BASH_REMATCH[1]}" lineno="${BASH_REMATCH[2]}" quote="${BASH_REMATCH[3]}" name="${BASH_REMATCH[4]}"
    layer="${layerOfFile[$file]}"
    [[ -z "$layer" ]] && continue
    if [[ -n "${layerOf[$name]:-}" ]]; then
        used="${layerOf[$name]}"
        may_use "$layer" "$used" || fail "$file:$lineno: includes \"$name\" of $used, which $layer may not use"
    elif [[ "$name" == qbarcode/* ]]; then
        fail "$file:$lineno: includes \"$name\", which no folder publishes"
    elif [[ "$quote" == '"' && "$name" != *.moc && "$name" != ui_*.h && "$harnesses" != *" ${layer%%/*} "* ]]; then
        # (name.moc and ui_name.h are what Qt's moc and uic make of the sources)
        # A private header: the file's own folder or its layer's, or one the
        # layer's build generates (under generated/ in its build folder).
        [[ -f "$(dirname "$file")/$name" || -f "$layer/$name" ]] ||
            grep -qF "/generated/$name" "$layer/CMakeLists.txt" 2>/dev/null ||
            fail "$file:$lineno: includes \"$name\", a header outside $layer"
    fi
done < <(((${#sources[@]})) && grep -nHE '^[[:space:]]*#[[:space:]]*include[[:space:]]*("|<qbarcode/)' "${sources[@]}" || true)

# Qt's headers (<QWidget>, <QtCore/qglobal.h>...) only where Qt is linked.
while IFS= read -r match; do
    file="${match%%:*}"
    [[ "$qtUsers" == *" ${file%%/*} "* ]] || fail "$match: a Qt header outside the Qt layer"
done < <(((${#sources[@]})) && grep -nHE '^[[:space:]]*#[[:space:]]*include[[:space:]]*<Q[A-Za-z]*(/[^>]*)?>' "${sources[@]}" || true)

# Include paths: a layer exports only its own folders; nothing exports the
# repository root.
while IFS= read -r cmake; do
    layer="$(layer_of_path "$cmake")"
    flat="$(tr '\n' ' ' <"$cmake")"
    while IFS= read -r command; do
        [[ -z "$command" ]] && continue
        if grep -qE '\$\{(PROJECT_SOURCE_DIR|CMAKE_SOURCE_DIR)\}/?([[:space:])]|$)' <<<"$command"; then
            fail "$cmake: the repository root is an include path: $command"
        elif [[ -n "$layer" && "$harnesses" != *" ${layer%%/*} "* ]] &&
            grep -qE '\$\{(PROJECT_SOURCE_DIR|CMAKE_SOURCE_DIR)\}' <<<"$command"; then
            fail "$cmake: $layer takes another folder's headers by path: $command"
        fi
    done < <(grep -oE '(target_)?include_directories[[:space:]]*\([^)]*\)' <<<"$flat" || true)
done < <(find . -path ./build -prune -o -path './build-*' -prune -o -name CMakeLists.txt -print | sed 's|^\./||')

if ((failures)); then
    echo "check-layers: $failures violation(s)" >&2
    exit 1
fi
