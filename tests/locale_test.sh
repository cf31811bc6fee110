#!/usr/bin/env bash
# Numbers and names read and show the same in every locale: scripts run in
# batch mode under German, Italian and Latin-1 locales (batch mode takes the
# user's locale, as the desktop does) must give exactly the expected output
# beside them, which is also their output under the C locale.
# Usage: locale_test.sh TARVIL WORK_DIR TESTS_DIR
set -u
tarvil=$(realpath "$1")
work=$2
tests=$3
# The generated locales are kept between runs; everything else starts afresh.
locales=$work/locales
rm -rf "$work/run" && mkdir -p "$work/run" || exit 1

if ! bash "$tests/make_test_locales.sh" "$locales"; then
    echo "FAIL: the test locales could not be made; this test cannot pass without them"
    exit 1
fi
failures=0
for locale in de_DE.UTF-8 it_IT.UTF-8 de_DE.ISO-8859-1; do
    point=$(LOCPATH=$locales LC_ALL=$locale locale decimal_point)
    if [ "$point" != "," ]; then
        echo "FAIL: $locale is not in effect (decimal point '$point')"
        failures=$((failures + 1))
    fi
done

expected() {  # expected FILE DEFAULT: the file's text, or DEFAULT when absent
    if [ -f "$1" ]; then cat "$1"; else printf '%s' "$2"; fi
}

for script in language/numbers errors/missing_operator errors/exponent_without_digits \
    errors/name_characters; do
    name=$(basename "$script")
    for locale in C de_DE.UTF-8 it_IT.UTF-8 de_DE.ISO-8859-1; do
        dir=$work/run/$name-$locale
        mkdir -p "$dir" && cp "$tests/scripts/$script.bas" "$dir/" || exit 1
        (cd "$dir" && LOCPATH=$locales LC_ALL=$locale "$tarvil" --batch "$name.bas" > out 2> err
            echo $? > status)
        ok=true
        for part in out err; do
            if ! cmp -s <(expected "$tests/scripts/$script.$part" "") "$dir/$part"; then
                echo "FAIL $script under $locale: std$part differs"
                diff <(expected "$tests/scripts/$script.$part" "") "$dir/$part"
                ok=false
            fi
        done
        if [ "$(expected "$tests/scripts/$script.status" 0)" != "$(cat "$dir/status")" ]; then
            echo "FAIL $script under $locale: status $(cat "$dir/status")"
            ok=false
        fi
        if $ok; then echo "ok   $script under $locale"; else failures=$((failures + 1)); fi
    done
done

[ $failures -eq 0 ] && echo "locales: all passed" || exit 1
