#!/usr/bin/env bash
# `cmake --install` puts the program, its desktop entry, icon and MIME type in
# place, and the entry and the MIME type agree on the script type.
# Usage: install_test.sh BUILD_DIR WORK_DIR
set -euo pipefail
build="$1"
prefix="$2/prefix"
rm -rf "$prefix"
cmake --install "$build" --prefix "$prefix" >/dev/null
fail() { echo "FAIL: $*" >&2; exit 1; }
for file in bin/tarvil share/applications/tarvil.desktop \
    share/icons/hicolor/scalable/apps/tarvil.svg share/mime/packages/tarvil.xml; do
    [ -f "$prefix/$file" ] || fail "$file is not installed"
done
[ -x "$prefix/bin/tarvil" ] || fail "bin/tarvil is not executable"
"$prefix/bin/tarvil" --version | grep -q '^tarvil ' || fail "the installed program does not run"
desktop="$prefix/share/applications/tarvil.desktop"
grep -qx 'Exec=tarvil %f' "$desktop" || fail "the desktop entry does not start tarvil with the file"
grep -qx 'Icon=tarvil' "$desktop" || fail "the desktop entry names another icon"
type="$(sed -n 's/^MimeType=\(.*\);$/\1/p' "$desktop")"
mime="$prefix/share/mime/packages/tarvil.xml"
grep -q "mime-type type=\"$type\"" "$mime" || fail "the MIME package does not define $type"
grep -q 'pattern="\*.bas"' "$mime" && grep -q 'pattern="\*.BAS"' "$mime" ||
    fail "the MIME type does not match *.bas and *.BAS"
head -c 5 "$prefix/share/icons/hicolor/scalable/apps/tarvil.svg" | grep -q '<' || fail "the icon is not SVG"
echo PASS
