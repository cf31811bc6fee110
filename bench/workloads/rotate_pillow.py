"""Rotation by 90 degrees clockwise with Pillow's pixel access. Arguments:
input, output."""
import sys

from PIL import Image

source = Image.open(sys.argv[1]).convert("RGB")
width, height = source.size
target = Image.new("RGB", (height, width))
inp = source.load()
out = target.load()
for y in range(height):
    for x in range(width):
        out[height - 1 - y, x] = inp[x, y]
target.save(sys.argv[2])
