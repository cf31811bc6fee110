#!/usr/bin/env bash
# Runs every cookbook example in batch mode on images made by
# cookbook/make_inputs.bas, as the table cookbook/cases lists them, and
# compares what each run prints, followed by what its checking script
# (CASE.check.bas, run by tarvil too) reports about the written images,
# with CASE.expected. Every example in the examples folder must have a case.
set -u
tarvil=$1
work=$2
examples=$3
cases_dir=$4

rm -rf "$work" && mkdir -p "$work" && cd "$work" || exit 1
"$tarvil" --batch "$cases_dir/make_inputs.bas" || { echo "cookbook: the inputs could not be made"; exit 1; }

failures=0
fail() {
    echo "cookbook: $*"
    failures=$((failures + 1))
}

while read -r case_name example args; do
    case "$case_name" in '' | '#'*) continue ;; esac
    # shellcheck disable=SC2086  # the arguments are blank-separated words
    "$tarvil" --batch "$examples/$example.bas" $args > "$case_name.out" 2> "$case_name.err"
    status=$?
    [ "$status" -eq 0 ] || fail "$case_name: $example exited with $status: $(cat "$case_name.err")"
    if [ -f "$cases_dir/$case_name.check.bas" ]; then
        "$tarvil" --batch "$cases_dir/$case_name.check.bas" >> "$case_name.out" 2>> "$case_name.err" ||
            fail "$case_name: the check failed: $(cat "$case_name.err")"
    fi
    if [ ! -f "$cases_dir/$case_name.expected" ]; then
        fail "$case_name: no $case_name.expected"
    elif ! diff -u "$cases_dir/$case_name.expected" "$case_name.out"; then
        fail "$case_name: the results differ from $case_name.expected"
    fi
done < "$cases_dir/cases"

# The folder loop of convert_to_png's opening comment (and the README): every
# BMP file in the folder gets its PNG, which loads with the same pixels.
mkdir photos && cp bw1.bmp pal4.bmp pal8.bmp grad24.bmp photos/
(
    cd photos || exit 1
    set --
    for f in ./*.bmp; do set -- "$@" "$f" "${f%.*}.png"; done
    "$tarvil" --batch "$examples/convert_to_png.bas" "$@" > /dev/null &&
        "$tarvil" --batch "$cases_dir/convert_to_png.check.bas" > check.out
) || fail "convert_to_png: the folder loop failed"
[ "$(find photos -name '*.png' | wc -l)" -eq 4 ] || fail "convert_to_png: not one PNG for every BMP in the folder"
# ... and each is a PNG file, not a BMP file under a .png name.
for png in photos/*.png; do
    [ "$(head -c 8 "$png" | od -An -tx1 | tr -d ' \n')" = 89504e470d0a1a0a ] ||
        fail "convert_to_png: $png is not a PNG file"
done
tail -n 4 "$cases_dir/convert_to_png.expected" | diff -u - photos/check.out ||
    fail "convert_to_png: the folder's PNGs differ from their BMPs"

# convert_folder_to_png on a folder: FILEFIND finds every BMP, each gets
# NAME.bmp.png beside it, a PNG file with the BMP's pixels, and nothing else
# is written.
mkdir folder && cp bw1.bmp pal4.bmp pal8.bmp grad24.bmp folder/
"$tarvil" --batch "$examples/convert_folder_to_png.bas" 'folder/*.bmp' > folder.out ||
    fail "convert_folder_to_png: the run failed"
[ "$(cat folder.out)" = "Converted 4 images" ] || fail "convert_folder_to_png printed: $(cat folder.out)"
[ "$(find folder -type f | wc -l)" -eq 8 ] || fail "convert_folder_to_png: not one PNG for every BMP"
for png in folder/*.bmp.png; do
    [ "$(head -c 8 "$png" | od -An -tx1 | tr -d ' \n')" = 89504e470d0a1a0a ] ||
        fail "convert_folder_to_png: $png is not a PNG file"
done
"$tarvil" --batch "$cases_dir/convert_to_png.check.bas" folder/ .bmp.png > folder_check.out ||
    fail "convert_folder_to_png: the check failed"
sed 's|^\([a-z0-9]*\)\.png|folder/\1.bmp.png|' <(tail -n 4 "$cases_dir/convert_to_png.expected") |
    diff -u - folder_check.out || fail "convert_folder_to_png: the PNGs differ from their BMPs"

# The sample maker and the template copy have a test of their own.
for script in "$examples"/*.bas; do
    example=$(basename "$script" .bas)
    case "$example" in make_sample_images | copy_image) continue ;; esac
    grep -Eq "^[^#[:space:]]+[[:space:]]+$example([[:space:]]|\$)" "$cases_dir/cases" ||
        fail "$example has no case in cases"
done

if [ "$failures" -ne 0 ]; then
    echo "cookbook: $failures failures"
    exit 1
fi
echo "cookbook: every example gave the expected results"
