#!/usr/bin/env bash
# Builds the Debian packages (qbarcode, qbarcode-dev, qbarcode-qt), checks them with
# lintian (any error or warning fails, apart from the overrides the packages
# ship with their reasons), installs them with dpkg, runs the command from the
# PATH (its symbologies, a package's palette, a PDF, its manual page, a .ui file through the Qt module) and the
# development files through pkg-config,
# removes both and checks that none of their files is left behind.
# Usage: scripts/check-deb.sh [BUILD_DIR]   (as root, or with sudo available)
#   BUILD_DIR: an existing build to package as it is configured (CI passes its
#   test build); by default build/deb, configured for a release into /usr.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh --deb

sudo=""
[[ $(id -u) -ne 0 ]] && sudo="sudo"
packages=(qbarcode qbarcode-dev qbarcode-qt)
for p in "${packages[@]}"; do
    if dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        echo "$p is already installed; remove it first (dpkg -r $p)" >&2
        exit 1
    fi
done

build=${1:-build/deb}
if [[ $# -eq 0 ]]; then
    cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr -DQB_TESTS=OFF -DQB_BENCH=OFF \
        >/dev/null
fi
cmake --build "$build" -j2 --target qbarcode Kavrel Kavrin qb_manual qbarcode-qt qbarcode_designer qbarcode-ui
rm -f "$build"/qbarcode*.deb
(cd "$build" && cpack -G DEB >/dev/null)
debs=("$build"/qbarcode_*.deb "$build"/qbarcode-dev_*.deb "$build"/qbarcode-qt_*.deb)
for deb in "${debs[@]}"; do
    [[ -f $deb ]] || { echo "no package $deb" >&2; exit 1; }
    echo "== $(basename "$deb")"
    dpkg-deb -f "$deb" Package Version Depends
done

echo "== lintian"
lintian --fail-on error,warning --tag-display-limit 0 "${debs[@]}"

trap '$sudo dpkg -r "${packages[@]}" >/dev/null 2>&1 || true' EXIT
$sudo dpkg -i "${debs[@]}" >/dev/null
installed=$(dpkg -L "${packages[@]}")

qb=$(command -v qbarcode)
echo "== qbarcode from the PATH: $qb"
file -L "$qb" | grep -q "pie executable, .*dynamically linked" || { file -L "$qb" >&2; exit 1; }
if ldd "$qb" | grep -Eq "libcairo|libpixman"; then
    echo "$qb links a 2-D graphics library it has no use for" >&2
    exit 1
fi
qbarcode types | head -3
# The installed command loads the installed package in its own process.
kavrel=$(grep -m1 '/libKavrel\.so\.[0-9]*$' <<<"$installed")
qbarcode palette "$kavrel" | grep -q "TBarCode, TDBBarcode" || { echo "qbarcode palette $kavrel failed" >&2; exit 1; }
echo "== qbarcode palette: the installed command lists $(basename "$kavrel")"
work=$(mktemp -d)
trap 'rm -rf "$work"; $sudo dpkg -r "${packages[@]}" >/dev/null 2>&1 || true' EXIT
qbarcode draw --type ean13 --text 590123412345 --checksum -o "$work/ean13.pdf"
[[ $(head -c 5 "$work/ean13.pdf") == "%PDF-" ]] || { echo "qbarcode draw -o x.pdf wrote no PDF" >&2; exit 1; }
echo "== qbarcode draw: a PDF"
MANWIDTH=80 man qbarcode 2>/dev/null | grep -q "qbarcode draw" || { echo "man qbarcode shows no manual page" >&2; exit 1; }
echo "== man qbarcode: $(MANWIDTH=80 man qbarcode 2>/dev/null | wc -l) lines"
echo "== pkg-config: qbarcode $(pkg-config --modversion qbarcode)"
grep -q '/qt6/plugins/designer/libqbarcode_designer\.so$' <<<"$installed" || { echo "no Designer plugin in Qt's folder" >&2; exit 1; }
qbarcode form render examples/qt_labels/labels.ui -o "$work/labels.png"
[[ $(head -c 4 "$work/labels.png" | tail -c 3) == "PNG" ]] || { echo "qbarcode form render labels.ui wrote no PNG" >&2; exit 1; }
echo "== qbarcode form render: a .ui file through the installed Qt module"

$sudo dpkg -r "${packages[@]}" >/dev/null
trap 'rm -rf "$work"' EXIT
left=()
while read -r path; do
    # Folders such as /usr/lib stay when other packages use them; files and
    # folders of our own may not.
    if [[ -L $path || -f $path ]]; then
        left+=("$path")
    elif [[ -d $path && $path == *qbarcode* ]]; then
        left+=("$path/")
    fi
done <<<"$installed"
if ((${#left[@]})); then
    printf 'left after dpkg -r: %s\n' "${left[@]}" >&2
    exit 1
fi
# dpkg -r keeps the maintainer scripts' record (state "rc"); drop it too.
$sudo dpkg --purge "${packages[@]}" >/dev/null 2>&1
echo "Debian packages: lintian clean, installed, ran and removed cleanly"
