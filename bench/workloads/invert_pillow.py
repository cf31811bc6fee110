"""Negative with Pillow's pixel access: every component becomes 255 minus
itself. Arguments: input, output."""
import sys

from PIL import Image

source = Image.open(sys.argv[1]).convert("RGB")
target = Image.new("RGB", source.size)
width, height = source.size
inp = source.load()
out = target.load()
for y in range(height):
    for x in range(width):
        red, green, blue = inp[x, y]
        out[x, y] = (255 - red, 255 - green, 255 - blue)
target.save(sys.argv[2])
