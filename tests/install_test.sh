#!/usr/bin/env bash
# `cmake --install` puts the program, its desktop module, desktop entry, icon,
# MIME type, manual page, shell completion and copyright file in place, and the entry and the MIME type agree on the script
# type. The installed program finds its module; a program without one says so.
# Usage: install_test.sh BUILD_DIR WORK_DIR
set -euo pipefail
build="$1"
prefix="$2/prefix"
rm -rf "$prefix"
cmake --install "$build" --prefix "$prefix" >/dev/null
fail() { echo "FAIL: $*" >&2; exit 1; }
for file in bin/tarvil share/applications/tarvil.desktop \
    share/icons/hicolor/scalable/apps/tarvil.svg share/mime/packages/tarvil.xml \
    share/man/man1/tarvil.1.gz share/bash-completion/completions/tarvil share/doc/tarvil/copyright \
    share/doc/tarvil/changelog.gz; do
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

# The Qt side is a module of its own, which the program loads only when needed.
module="$(find "$prefix" -name libtarvil_desktop.so)"
case "$module" in
    "$prefix"/lib*/tarvil/libtarvil_desktop.so) ;;
    "") fail "the desktop module is not installed" ;;
    *) fail "the desktop module lies at ${module#"$prefix"/}" ;;
esac
! ldd "$prefix/bin/tarvil" | grep -q 'libQt6' || fail "the program itself links Qt"
# The codec libraries too are opened only when a file of their format is met.
codecs="$(ldd "$prefix/bin/tarvil" | awk '$1 ~ /^lib(png|jpeg|tiff|webp|gif|z)[0-9]*\.so/ {print $1}')"
[ -z "$codecs" ] || fail "the program itself links" $codecs

work="$2/run"
rm -rf "$work" && mkdir -p "$work"
cd "$work"
printf 'DevCon img
img=CreateImage(3,2,24)
SaveImage(img,"CLIPBOARD")
DspMes("saved")
' > put.bas
printf 'DevCon img
img=LoadImage("CLIPBOARD")
' > get.bas
# A script document (count, then the text) that ends the application at once.
printf '\x06\x00\x00\x00EXIT\r\n' > exit.bas
unset DISPLAY WAYLAND_DISPLAY
export QT_QPA_PLATFORM=offscreen XDG_CONFIG_HOME="$work/config"

# Batch mode asks the module for the clipboard: here the module starts Qt on
# the offscreen platform, which has no clipboard other programs could read.
status=0
"$prefix/bin/tarvil" --batch put.bas > out 2> err || status=$?
[ $status -eq 1 ] &&
    [ "$(sed -n 1p err)" = "tarvil: no system clipboard: the 'offscreen' platform has no system clipboard" ] ||
    fail "saving to the offscreen clipboard ended with $status: $(cat err)"
# The desktop application comes from the module too.
timeout 60 "$prefix/bin/tarvil" exit.bas > out 2> err || fail "the desktop application failed: $(cat err)"

# The same program without its module.
mkdir alone && cp "$prefix/bin/tarvil" alone/
status=0
timeout 60 alone/tarvil exit.bas > out 2> err || status=$?
[ $status -eq 1 ] || fail "the desktop application without its module ended with $status"
grep -qx 'tarvil: cannot start the desktop application: libtarvil_desktop.so is neither in .*' err ||
    fail "the desktop application without its module said: $(cat err)"
status=0
alone/tarvil --batch get.bas > out 2> err || status=$?
[ $status -eq 1 ] || fail "batch mode without the module ended with $status"
grep -qx "tarvil: no system clipboard: libtarvil_desktop.so is neither in .*" err &&
    [ "$(sed -n 2p err)" = "Error: Loading image 'CLIPBOARD'" ] &&
    [ "$(sed -n 3p err)" = "tarvil: line 2 of get.bas" ] && [ "$(wc -l < err)" -eq 3 ] ||
    fail "batch mode without the module said: $(cat err)"
# Without a display the module is not even looked for.
out="$(env -u QT_QPA_PLATFORM alone/tarvil --batch put.bas 2> err)" && fail "no display, yet a clipboard"
[ "$(cat err)" = "tarvil: no system clipboard: no display (DISPLAY and WAYLAND_DISPLAY are not set)
Error: Writing image 'CLIPBOARD'
tarvil: line 3 of put.bas" ] || fail "batch mode without a display said: $(cat err)"
echo PASS
