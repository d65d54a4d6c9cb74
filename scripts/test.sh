#!/usr/bin/env bash
# Builds everything and runs every test suite (both assertion flavours).
# Usage: scripts/test.sh [--sanitize]   (--sanitize: AddressSanitizer + UBSan build)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh --tests

build=build/tests-release
# Installed into /usr, as the Debian packages are: scripts/check-deb.sh packages this very build.
flags=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX=/usr)
if [[ "${1:-}" == "--sanitize" ]]; then
    build=build/tests-sanitize
    flags=(-DCMAKE_BUILD_TYPE=Debug -DQB_SANITIZE=ON -DQB_BENCH=OFF)
fi
cmake -S . -B "$build" "${flags[@]}" >/dev/null
cmake --build "$build" -j2
cd "$build"
ctest --output-on-failure -j2
