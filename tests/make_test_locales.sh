#!/usr/bin/env bash
# Makes the locales that locale tests run under, in DIR, so that the machine
# needs none installed: run a program with LOCPATH=DIR LC_ALL=NAME.
#   de_DE.UTF-8, it_IT.UTF-8  "," as the decimal point
#   de_DE.ISO-8859-1          also a single-byte locale, where isalpha(0xE0) is true
# Usage: make_test_locales.sh DIR
# Locales already in DIR are kept. Exits with 1 and says why on stderr when a
# locale cannot be made (localedef comes with libc-bin, the locale sources
# with the "locales" package).
set -u
dir=${1:?usage: make_test_locales.sh DIR}
mkdir -p "$dir" || exit 1

# Whether NAME works from DIR: the decimal point is "," and the character set
# is the one asked for (an unknown locale falls back to C, with ".").
works() {
    local name=$1 charmap=$2
    [ "$(LOCPATH=$dir LC_ALL=$name locale decimal_point 2>/dev/null)" = "," ] &&
        [ "$(LOCPATH=$dir LC_ALL=$name locale charmap 2>/dev/null)" = "$charmap" ]
}

if ! command -v localedef >/dev/null || ! command -v locale >/dev/null; then
    echo "make_test_locales.sh: localedef and locale are needed (package libc-bin)" >&2
    exit 1
fi
for wanted in de_DE:UTF-8 it_IT:UTF-8 de_DE:ISO-8859-1; do
    source=${wanted%%:*}
    charmap=${wanted#*:}
    name=$source.$charmap
    works "$name" "$charmap" && continue
    # localedef exits with 1 after mere warnings; whether the locale works decides.
    localedef -i "$source" -f "$charmap" "$dir/$name" > "$dir/$name.log" 2>&1
    if ! works "$name" "$charmap"; then
        echo "make_test_locales.sh: cannot make $name in $dir (is the package 'locales' installed?):" >&2
        cat "$dir/$name.log" >&2
        exit 1
    fi
done
