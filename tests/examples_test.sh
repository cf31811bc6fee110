#!/usr/bin/env bash
# The README's example: make the sample images, copy each with the template
# script, and check that every copy equals its input byte for byte.
set -eu
tarvil=$1
work=$2
examples=$3
rm -rf "$work" && mkdir -p "$work" && cd "$work"
"$tarvil" --batch "$examples/make_sample_images.bas" > /dev/null
for depth in 1 4 8 24; do
    "$tarvil" --batch "$examples/copy_image.bas" "sample$depth.bmp" "copy$depth.bmp" > /dev/null
    cmp "sample$depth.bmp" "copy$depth.bmp"
done
echo "examples: copies equal their inputs"
