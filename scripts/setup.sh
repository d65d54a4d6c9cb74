#!/usr/bin/env bash
# Installs the Debian packages the project needs, when any is missing.
# Usage: scripts/setup.sh [--tests | --deb | --format]   (--tests adds the test-only packages,
#        Qt Designer and Xvfb among them; --deb the Debian package checker, --format only the formatter)
set -euo pipefail

packages=(build-essential cmake pkg-config libfreetype-dev libfontconfig-dev zlib1g-dev libdeflate-dev libsqlite3-dev
          libcli11-dev fonts-dejavu-core fontconfig sqlite3 help2man
          qt6-base-dev qt6-base-dev-tools qt6-tools-dev qt6-tools-dev-tools qt6-svg-dev libqt6sql6-sqlite)
if [[ "${1:-}" == "--tests" ]]; then
    packages+=(libgtest-dev libgmock-dev libbenchmark-dev libzxing-dev libzbar-dev libzint-dev libcairo2-dev poppler-utils ghostscript doxygen
              designer-qt6 xvfb xauth)
elif [[ "${1:-}" == "--deb" ]]; then
    packages+=(lintian man-db)
elif [[ "${1:-}" == "--format" ]]; then
    packages=(clang-format)
fi

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
    echo "Installing: ${missing[*]}"
    sudo=""
    [[ $(id -u) -ne 0 ]] && sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >/dev/null
fi
