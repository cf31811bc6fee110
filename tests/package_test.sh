#!/usr/bin/env bash
# tools/make-package builds a Debian package that holds the program, its
# desktop module, the desktop entry, icon, MIME type, manual page, shell
# completion and copyright file; its control fields are complete, its
# dependencies resolve, and what it installs works.
# Usage: package_test.sh SOURCE_DIR WORK_DIR SANITIZED
# The package build is kept in WORK_DIR/build, so a second run is quick.
set -euo pipefail
source_dir="$1"
work="$(realpath -m "$2")"
if [ "${3:-0}" = 1 ]; then
    echo "SKIP: the package is a Release build without sanitizers; the normal build's suite tests it"
    exit 77
fi
for tool in dpkg-deb dpkg-shlibdeps apt-get; do
    if ! command -v "$tool" >/dev/null; then
        echo "SKIP: $tool is missing (packages dpkg, dpkg-dev, apt): no Debian package can be built or checked"
        exit 77
    fi
done
fail() { echo "FAIL: $*" >&2; exit 1; }

mkdir -p "$work" && rm -rf "$work/out"
"$source_dir/tools/make-package" "$work/build" "$work/out" > "$work/make-package.log" 2>&1 ||
    fail "tools/make-package failed: $(tail -20 "$work/make-package.log")"
debs=("$work"/out/tarvil_*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "not one package in out/: ${debs[*]}"
deb="${debs[0]}"

# Control fields.
field() { dpkg-deb -f "$deb" "$1"; }
version="$(sed -n 's/^project(Tarvil VERSION \([0-9.]*\).*/\1/p' "$source_dir/CMakeLists.txt")"
[ -n "$version" ] || fail "no version in CMakeLists.txt"
[ "$(field Package)" = tarvil ] || fail "Package: $(field Package)"
[ "$(field Version)" = "$version" ] || fail "Version: $(field Version), not $version"
[ "$(field Architecture)" = "$(dpkg --print-architecture)" ] || fail "Architecture: $(field Architecture)"
[ "$(field Section)" = graphics ] || fail "Section: $(field Section)"
[ "$(field Priority)" = optional ] || fail "Priority: $(field Priority)"
field Maintainer | grep -Eq '^[^<]+ <[^@ ]+@[^> ]+>$' || fail "Maintainer: $(field Maintainer)"
description="$(field Description)"
[ "$(sed -n 1p <<< "$description")" = "edit bitmap images by script" ] ||
    fail "the description's summary: $(sed -n 1p <<< "$description")"
[ "$(wc -l <<< "$description")" -ge 4 ] || fail "no long description"
! awk 'length > 80' <<< "$description" | grep -q . || fail "description lines longer than 80"
[ "$(dpkg-deb -I "$deb" | grep -c '^ Homepage:')" -le 1 ] || fail "several Homepage fields"
# Triggers of other packages do the work that scripts would.
control_files="$(dpkg-deb -I "$deb" | awk '$2 == "bytes," {print $NF}' | sort | paste -sd ' ')"
[ "$control_files" = "control md5sums" ] || fail "the control archive holds: $control_files"
depends="$(field Depends)"
# Every library the program and the module link comes with a dependency on
# the package that holds it, as dpkg-shlibdeps found it.
depends_on() { tr ',' '\n' <<< "$depends" | sed 's/^ *//; s/ .*//' | grep -qx "$1"; }
depends_on qt6-qpa-plugins || fail "no dependency on Qt's platform plugins: $depends"
# The codec libraries are opened by name when a file of their format is met,
# so no link shows them.
# (awk reads the whole cache: stopping at the first match would kill ldconfig
# with SIGPIPE now and then, and pipefail would end the test without a word.)
cache="$(ldconfig -p)"
for soname in libpng16.so.16 libjpeg.so.62 libtiff.so.6 libwebp.so.7 libgif.so.7; do
    library="$(awk -v lib="$soname" '$1 == lib && !found {print $NF; found = 1}' <<< "$cache")"
    [ -n "$library" ] || fail "$soname is not installed here"
    owner="$(dpkg -S "$(realpath "$library")" | cut -d: -f1)"
    depends_on "$owner" || fail "no dependency on $owner, which holds $soname: $depends"
done

# The files, and nothing else.
multiarch="$(dpkg-architecture -qDEB_HOST_MULTIARCH 2>/dev/null || gcc -print-multiarch)"
expected="./usr/bin/tarvil
./usr/lib/$multiarch/tarvil/libtarvil_desktop.so
./usr/share/applications/tarvil.desktop
./usr/share/bash-completion/completions/tarvil
./usr/share/doc/tarvil/changelog.gz
./usr/share/doc/tarvil/copyright
./usr/share/icons/hicolor/scalable/apps/tarvil.svg
./usr/share/man/man1/tarvil.1.gz
./usr/share/mime/packages/tarvil.xml"
listing="$(dpkg-deb -c "$deb")"
files="$(awk '$1 !~ /^d/ {print $6}' <<< "$listing" | sort)"
[ "$files" = "$expected" ] || fail "the package holds:
$files
and should hold:
$expected"
grep -q '^-rwxr-xr-x root/root .* \./usr/bin/tarvil$' <<< "$listing" || fail "usr/bin/tarvil: $listing"
! awk '$2 != "root/root"' <<< "$listing" | grep -q . || fail "files not owned by root"

root="$work/root"
rm -rf "$root" && dpkg-deb -x "$deb" "$root"
for binary in usr/bin/tarvil "usr/lib/$multiarch/tarvil/libtarvil_desktop.so"; do
    ldd_out="$(ldd "$root/$binary")"
    for soname in $(objdump -p "$root/$binary" | awk '$1 == "NEEDED" {print $2}'); do
        # "libx.so.1 => /path (address)", or the loader's "/path (address)".
        path="$(awk -v lib="$soname" '$1 == lib && $2 == "=>" {print $3}
            $1 ~ "/" lib "$" {print $1}' <<< "$ldd_out")"
        [ -n "$path" ] || fail "$binary: $soname is not found"
        owner=""
        for candidate in "$path" "${path#/usr}" "/usr$path" "$(realpath "$path")"; do
            owner="$(dpkg -S "$candidate" 2>/dev/null | awk -F: 'NR == 1 {print $1}')" && [ -n "$owner" ] && break
        done
        [ -n "$owner" ] || fail "$binary: no package holds $path"
        depends_on "$owner" || fail "$binary links $soname of $owner, which Depends lacks: $depends"
    done
done

# The changelog's newest entry is this version.
zcat "$root/usr/share/doc/tarvil/changelog.gz" > "$work/changelog"
[ "$(dpkg-parsechangelog -l "$work/changelog" -S Version)" = "$version" ] ||
    fail "the changelog's newest entry is $(dpkg-parsechangelog -l "$work/changelog" -S Version)"

# The dependencies resolve (simulated: no root needed, nothing changes).
apt-get install -s "$deb" > "$work/apt.log" 2>&1 || fail "apt-get install -s: $(tail -20 "$work/apt.log")"
grep -q '^Inst tarvil ' "$work/apt.log" || fail "apt-get would not install tarvil: $(cat "$work/apt.log")"
# The simulation needs no root: as root, try it as nobody too.
if [ "$(id -u)" -eq 0 ] && command -v setpriv >/dev/null; then
    shared="$(mktemp -d)" && chmod 755 "$shared" && cp "$deb" "$shared/" && chmod 644 "$shared"/*.deb
    status=0
    setpriv --reuid=65534 --regid=65534 --clear-groups \
        apt-get install -s "$shared/$(basename "$deb")" > "$work/apt-user.log" 2>&1 || status=$?
    rm -rf "$shared"
    [ $status -eq 0 ] && grep -q '^Inst tarvil ' "$work/apt-user.log" ||
        fail "apt-get install -s as an unprivileged user: $(tail -20 "$work/apt-user.log")"
fi

# What it installs works: the version, a batch run, and the editor, which
# needs the module from the multiarch folder.
run="$work/run"
rm -rf "$run" && mkdir -p "$run"
cd "$run"
[ "$("$root/usr/bin/tarvil" --version)" = "tarvil $version" ] || fail "the packaged program says $("$root/usr/bin/tarvil" --version)"
printf 'DevCon img\nimg=CreateImage(5,3,24)\nSaveImage(img,ClArg[1])\nDspMes(img.Width," x ",img.Height)\n' > make.bas
out="$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$root/usr/bin/tarvil" --batch make.bas made.bmp)" ||
    fail "the packaged batch mode failed"
[ "$out" = "5 x 3" ] && [ "$(head -c 2 made.bmp)" = BM ] || fail "the packaged batch run gave '$out'"
printf '\x06\x00\x00\x00EXIT\r\n' > exit.bas
QT_QPA_PLATFORM=offscreen XDG_CONFIG_HOME="$run/config" XDG_DATA_HOME="$run/data" \
    timeout 60 "$root/usr/bin/tarvil" exit.bas > desktop.log 2>&1 ||
    fail "the packaged editor did not start and end: $(cat desktop.log)"

# The desktop entry passes desktop-file-validate, hints and all.
if command -v desktop-file-validate >/dev/null; then
    report="$(desktop-file-validate "$root/usr/share/applications/tarvil.desktop" 2>&1)" &&
        [ -z "$report" ] || fail "desktop-file-validate: $report"
else
    echo "note: desktop-file-validate is missing (desktop-file-utils): the desktop entry is not validated"
fi

# The manual page renders without warnings and has its sections.
man_page="$root/usr/share/man/man1/tarvil.1.gz"
gzip -t "$man_page" || fail "the manual page is not gzip"
warnings="$(zcat "$man_page" | groff -man -Tutf8 -ww -z 2>&1)"
[ -z "$warnings" ] || fail "groff warns about the manual page: $warnings"
[ "$(lexgrog "$man_page" 2>&1)" = "$man_page: \"tarvil - edit bitmap images by script\"" ] ||
    fail "the manual page's NAME line: $(lexgrog "$man_page" 2>&1)"
text="$(MANWIDTH=80 man -l "$man_page" 2>/dev/null | col -b)"
for section in NAME SYNOPSIS DESCRIPTION OPTIONS "EXIT STATUS" ENVIRONMENT FILES EXAMPLES; do
    grep -qx "$section" <<< "$text" || fail "the manual page has no $section section"
done
for word in --batch --help --version DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM LC_ALL \
    TARVIL_COUNT_INSTRUCTIONS Tarvil.conf recovery/; do
    grep -q -- "$word" <<< "$text" || fail "the manual page does not mention $word"
done

# The completion loads in a plain bash and completes the command line:
# options, then script files and folders, then any file.
mkdir complete && cd complete
touch a.bas B.TXT c.bmp "d e.BAS" && mkdir sub
cases='tarvil --b|--batch
tarvil --|--batch|--help|--version
tarvil |B.TXT|a.bas|d e.BAS|sub
tarvil --batch |B.TXT|a.bas|d e.BAS|sub
tarvil --batch a|a.bas
tarvil --batch a.bas |B.TXT|a.bas|c.bmp|d e.BAS|sub
tarvil --batch a.bas c|c.bmp
tarvil a.bas |B.TXT|a.bas|c.bmp|d e.BAS|sub
tarvil --help |'
while IFS='|' read -r line expected_reply; do
    reply="$(bash --norc --noprofile -c '
        source "$1"
        function="$(complete -p tarvil | sed -n "s/.* -F \([^ ]*\) .*/\1/p")"
        read -r -a COMP_WORDS <<< "$2"
        [[ $2 == *" " ]] && COMP_WORDS+=("")
        COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
        COMP_LINE="$2" COMP_POINT=${#2}
        "$function" tarvil "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
        ((${#COMPREPLY[@]} == 0)) || printf "%s\n" "${COMPREPLY[@]}" | LC_ALL=C sort | paste -sd "|"
    ' completion "$root/usr/share/bash-completion/completions/tarvil" "$line")" ||
        fail "the completion does not load: $reply"
    [ "$reply" = "${expected_reply}" ] || fail "'$line' completes to '$reply', not '$expected_reply'"
done <<< "$cases"
echo PASS
