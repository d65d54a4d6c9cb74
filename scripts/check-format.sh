#!/usr/bin/env bash
# Fails when a tracked C++ file is not formatted as .clang-format says.
# Usage: scripts/check-format.sh   (lists the files clang-format would change)
set -euo pipefail
cd "$(dirname "$0")/.."
if ! command -v clang-format >/dev/null; then
    scripts/setup.sh --format
fi
mapfile -t files < <(git ls-files '*.cpp' '*.h' '*.hpp' '*.cc')
((${#files[@]})) || exit 0
clang-format --dry-run --Werror "${files[@]}"
