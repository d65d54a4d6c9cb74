#!/usr/bin/env bash
# Fails when a shared library exports a C++ symbol outside namespace qb, or an
# unmangled symbol that is not one of the C entry points (a package's
# Initialize, Finalize, GetPackageInfoTable and GetPackageResources, the units'
# start-up and shut-down routines, the Register procedures, the runtime
# library's palette, and the leak checker's
# suppressions in the sanitizer builds). A C++ variable at
# global scope has an unmangled name, so it is caught too.
# Usage: check-exports.sh LIBRARY...   (lists every offending symbol)
#        check-exports.sh --self-test  (proves the check catches such symbols)
set -euo pipefail

entry_points='^(Initialize|Finalize|GetPackageInfoTable|GetPackageResources|[A-Za-z0-9]+_(Startup|Shutdown|Register)|Classes_Palette|__lsan_default_suppressions)$'
# What the compiler adds for a class or variable of the namespace: type
# information, virtual tables and their thunks, guards, thread-local helpers.
prefixes='^(typeinfo for |typeinfo name for |vtable for |VTT for |construction vtable for |non-virtual thunk to |virtual thunk to |covariant return thunk to |guard variable for |TLS init function for |TLS wrapper function for )'

check() { # library...: prints the offending symbols, fails when there is one
    local lib bad=0 mangled name rest symbols
    for lib in "$@"; do
        [[ -f $lib ]] || { echo "no such library: $lib" >&2; return 2; }
        symbols=$(nm -D --defined-only "$lib" | awk 'NF >= 3 { sub(/@.*/, "", $3); print $3 }')
        [[ -n $symbols ]] || continue
        while IFS=$'\t' read -r mangled name; do
            if [[ $mangled == _Z* ]]; then
                rest=$name
                [[ $name =~ $prefixes ]] && rest=${name:${#BASH_REMATCH[0]}}
                [[ $rest == qb::* ]] && continue
            elif [[ $mangled =~ $entry_points ]]; then
                continue
            fi
            echo "$(basename "$lib"): $mangled ($name)"
            bad=1
        done < <(paste <(echo "$symbols") <(echo "$symbols" | c++filt))
    done
    return $bad
}

if [[ ${1:-} == --self-test ]]; then
    work=$(mktemp -d)
    trap 'rm -rf "$work"' EXIT
    # A library with one symbol of each kind the check must refuse, and one
    # with only what it must accept.
    cat >"$work/leaky.cpp" <<'EOF'
#include <string>
#include <vector>
namespace qb { struct Item { virtual ~Item(); }; Item::~Item() = default; }
long Round(double v) { return static_cast<long>(v); }
namespace gfx { int Surface() { return 1; } }
int GlobalCount = 3;
std::vector<std::string> Names() { return {"a"}; }
extern "C" int Helper() { return 2; }
EOF
    cat >"$work/clean.cpp" <<'EOF'
namespace qb { struct Item { virtual ~Item(); }; Item::~Item() = default; int Count = 1; thread_local int Width = 2; }
extern "C" void Initialize() {}
extern "C" void Pbarcode_Register() {}
EOF
    c++ -shared -fPIC -o "$work/libleaky.so" "$work/leaky.cpp"
    c++ -shared -fPIC -o "$work/libclean.so" "$work/clean.cpp"
    check "$work/libclean.so" >"$work/clean.out" || { cat "$work/clean.out"; echo "FAIL: a clean library refused"; exit 1; }
    if check "$work/libleaky.so" >"$work/leaky.out"; then
        echo "FAIL: symbols outside qb:: not caught"
        exit 1
    fi
    for symbol in 'Round(double)' 'gfx::Surface()' 'GlobalCount' 'Names[abi:cxx11]()' 'Helper' 'std::vector<'; do
        grep -qF "$symbol" "$work/leaky.out" || { cat "$work/leaky.out"; echo "FAIL: $symbol not reported"; exit 1; }
    done
    if grep -q 'qb::Item' "$work/leaky.out"; then
        cat "$work/leaky.out"
        echo "FAIL: a symbol of qb:: reported"
        exit 1
    fi
    echo "self-test ok"
    exit 0
fi

(($#)) || { echo "usage: $0 LIBRARY... | --self-test" >&2; exit 2; }
check "$@" && echo "every exported symbol is in namespace qb or a C entry point"
