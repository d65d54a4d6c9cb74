#!/usr/bin/env bash
# Installs the build into a temporary prefix and uses it as an application
# would: its headers alone, a CMake build (find_package) and a pkg-config
# build, each program run and its drawing decoded by an independent reader.
# Usage: consumer_test.sh BUILD_DIR DECODER [CMAKE]
set -euo pipefail
build=$(realpath "$1")
decoder=$2
cmake=${3:-cmake}
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix

fail() { echo "FAIL: $*" >&2; exit 1; }

# Installing copies what the build made; it never builds.
"$cmake" --install "$build" --prefix "$prefix" >/dev/null
libdir=$(dirname "$(find "$prefix" -name libqbrtl.so -print -quit)")
[[ -d $libdir ]] || fail "no libqbrtl.so installed"
[[ -x $prefix/bin/qbarcode ]] || fail "no bin/qbarcode installed"
# No installed program or library looks for libraries relative to the working folder.
"$here/../../scripts/check-runpath.sh" "$prefix" >/dev/null || fail "library search paths of the installed files"

# Shared libraries carry the major version in their SONAME.
for lib in qbrtl qbvisual qbdbrtl qbdbaware Kavrel Kavrin; do
    soname=$(objdump -p "$libdir/lib$lib.so" | awk '$1 == "SONAME" {print $2}')
    [[ $soname =~ ^lib$lib\.so\.[0-9]+$ ]] || fail "lib$lib.so has SONAME '$soname'"
    [[ -e $libdir/$soname ]] || fail "$soname is not installed"
done

# Every header an installed header includes with quotes is installed, and none
# pulls in a library the application would have to find itself.
for header in "$prefix"/include/qbarcode/*.h; do
    while read -r included; do
        [[ -f $prefix/include/$included ]] || fail "$(basename "$header") includes $included, which is not installed"
    done < <(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^"]*\)".*/\1/p' "$header")
    if grep -Eq '^[[:space:]]*#[[:space:]]*include[[:space:]]*[<"](cairo|sqlite3|zlib|ft2build|fontconfig)' "$header"; then
        fail "$(basename "$header") includes a system library's header"
    fi
done
# ... and all of them compile with the installed folder alone (below, in a
# program with names of its own at global scope); the Qt widgets' headers
# with Qt's.
qt_headers=()
for header in "$prefix"/include/qbarcode/*.h; do
    if grep -Eq '^[[:space:]]*#[[:space:]]*include[[:space:]]*<Q' "$header"; then
        qt_headers+=("$header")
    else
        echo "#include \"qbarcode/$(basename "$header")\""
    fi
done > "$work/all_headers.h"
if ((${#qt_headers[@]})); then
    for header in "${qt_headers[@]}"; do echo "#include \"qbarcode/$(basename "$header")\""; done >"$work/qt_headers.cpp"
    c++ -std=c++20 -fPIC -fsyntax-only -I"$prefix/include" $(pkg-config --cflags Qt6Widgets) "$work/qt_headers.cpp" \
        || fail "the Qt widgets' headers do not compile with Qt's"
fi

expect_decoded() { # png expected
    local got
    got=$("$decoder" "$1") || fail "no barcode read from $1"
    [[ $got == "$2" ]] || fail "$1 reads as '$got', expected '$2'"
}

# A CMake application: find_package and one imported target.
qt=()
[[ -f $libdir/libqbarcode-qt.so ]] && qt=(-DQB_CONSUMER_UI="$here/../../examples/qt_labels/labels.ui")
"$cmake" -S "$here/consumer" -B "$work/cmake-app" -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_BUILD_TYPE=Release "${qt[@]}" \
    >"$work/cmake.log" 2>&1 || { cat "$work/cmake.log"; fail "configuring the CMake application"; }
"$cmake" --build "$work/cmake-app" >"$work/cmake.log" 2>&1 || { cat "$work/cmake.log"; fail "building the CMake application"; }
"$work/cmake-app/draw_ean13" "$work/cmake.png" || fail "the CMake application failed"
expect_decoded "$work/cmake.png" "EAN-13 5901234123457"
if ((${#qt[@]})); then # the Qt component: the widgets, the example form through uic
    QT_QPA_PLATFORM=offscreen "$work/cmake-app/labels_form" "$work/qt.png" 2>/dev/null || fail "the Qt application failed"
    expect_decoded "$work/qt.png" "EAN-13 5901234123457"
    plugin=$(find "$prefix" -path '*/plugins/designer/libqbarcode_designer.so' -print -quit)
    [[ -n $plugin ]] || fail "no Designer plugin installed"
    [[ -f $libdir/qbarcode/qbarcode-ui.so ]] || fail "no .ui module installed"
    "$prefix/bin/qbarcode" form render "$here/../../examples/qt_labels/labels.ui" -o "$work/form.png" \
        || fail "bin/qbarcode form render labels.ui"
    expect_decoded "$work/form.png" "EAN-13 5901234123457"
fi
if [[ -f $libdir/libqb_sysutils.a ]]; then # QB_INSTALL_STATIC
    [[ -x $work/cmake-app/draw_ean13_static ]] || fail "no static application built"
    "$work/cmake-app/draw_ean13_static" "$work/static.png" || fail "the static application failed"
    expect_decoded "$work/static.png" "EAN-13 5901234123457"
fi

# A pkg-config application: one compiler command.
export PKG_CONFIG_PATH=$libdir/pkgconfig
c++ "$here/draw_code128.cpp" $(pkg-config --cflags --libs qbarcode) -o "$work/pkg-app" \
    || fail "building with pkg-config"
LD_LIBRARY_PATH=$libdir "$work/pkg-app" "$work/pkg.png" || fail "the pkg-config application failed"
expect_decoded "$work/pkg.png" "Code128 pkg-config 42"
# Every installed header beside an application's own Round, Format,
# Exception, Trim and HDC, the library used across its shared libraries.
c++ -I"$work" "$here/global_scope.cpp" $(pkg-config --cflags --libs qbarcode) -o "$work/global-scope" \
    || fail "the installed headers do not compile beside an application's own global names"
LD_LIBRARY_PATH=$libdir "$work/global-scope" || fail "the global-scope application failed"

# The installed command runs from its prefix.
"$prefix/bin/qbarcode" types >/dev/null || fail "bin/qbarcode types"
"$prefix/bin/qbarcode" palette "$libdir/libKavrel.so" | grep -q "TBarCode, TDBBarcode" \
    || fail "bin/qbarcode palette"
echo "install, CMake and pkg-config applications: ok"
