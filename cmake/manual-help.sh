#!/bin/sh
# The qbarcode command's help as help2man reads it to write the manual page:
# --help prints the command's own help, then that of each subcommand (and of
# each of theirs) under a heading of its own; --version prints the version.
# Usage: manual-help.sh QBARCODE VERSION --help|--version
set -eu
qb=$1
version=$2
if [ "${3:-}" = "--version" ]; then
    echo "qbarcode $version"
    exit 0
fi
# The subcommands a help text lists.
subcommands() {
    "$qb" "$@" --help | sed -n '/^Subcommands:$/,/^$/s/^  \([a-z][a-z-]*\) .*/\1/p'
}
# A help text with the command's own name, without the headings help2man
# makes itself.
tidy() {
    sed -e "s|^Usage: [^ ]*|Usage: qbarcode|" -e '/^Options:$/d' -e '/^Subcommands:$/d'
}
# One help text; a subcommand's as a section headed by its command words
# (help2man takes a line ending in a colon and followed by an indented one
# for a heading).
help() {
    if [ $# -eq 0 ]; then
        "$qb" --help | tidy
    else
        printf '\nqbarcode %s:\n' "$*"
        "$qb" "$@" --help | tidy | sed -e 's/^Usage:/\nUsage:/' -e 's/^\([^ ]\)/  \1/'
    fi
}
help
for sub in $(subcommands); do
    help "$sub"
    for subsub in $(subcommands "$sub"); do
        help "$sub" "$subsub"
    done
done
