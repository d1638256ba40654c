#!/usr/bin/env bash
# Renders every manual page with man as a reader would and checks that groff had nothing to
# complain about, that the usual sections are there, and that each option the tools' --help
# lists is described in their page.
# Usage: Manual_pages_test.sh MAN_FOLDER KALVORA_LOOKUP KALVORA_MKDIC [KALVORA]
set -euo pipefail

folder=$1
lookup=$2
mkdic=$3
window=${4:-}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

# The options a --help text lists: the long names at the start of its lines ("-h, --help" too).
help_options() {
    "$1" --help | grep -oE '^ +(-[a-z], )?--[a-z-]+' | grep -oE -- '--[a-z-]+' | sort -u
}

render() {
    MANWIDTH=80 LC_ALL=C.UTF-8 man --warnings -l "$folder/$1.gz" >"$work/$1.txt" 2>"$work/$1.err" \
        || fail "man -l $1 failed: $(cat "$work/$1.err")"
    [ -s "$work/$1.err" ] && fail "$1: groff warns: $(cat "$work/$1.err")"
    for section in NAME SYNOPSIS DESCRIPTION OPTIONS "EXIT STATUS" "SEE ALSO"; do
        grep -q "^$section\$" "$work/$1.txt" || fail "$1 has no $section section"
    done
    grep -qE "^ +${1%.1} - " "$work/$1.txt" || fail "$1: NAME does not name ${1%.1}"
}

for page in kalvora-lookup.1 kalvora-mkdic.1 kalvora.1; do
    if [ ! -f "$folder/$page.gz" ]; then
        [ "$page" = kalvora.1 ] && continue # built without the window program
        fail "$page.gz was not built"
        continue
    fi
    render "$page"
done

# The window program's --help needs no display.
for tool in "$lookup" "$mkdic" $window; do
    page=$(basename "$tool").1
    options=$(QT_QPA_PLATFORM=offscreen help_options "$tool")
    [ -n "$options" ] || fail "$(basename "$tool") --help lists no options"
    for option in $options; do
        # A described option starts a line of its own in the OPTIONS section.
        grep -qE "^ +(-[a-z], )?$option( |,|\$)" "$work/$page.txt" || fail "$page does not describe $option"
    done
done

[ "$failures" -eq 0 ] || exit 1
echo "rendered $(ls "$folder" | wc -l) manual pages; every option of --help is described"
