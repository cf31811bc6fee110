"""Enlargement by 2, nearest neighbour, with Pillow's pixel access: every output
pixel takes the input pixel at half its coordinates. Arguments: input, output."""
import sys

from PIL import Image

source = Image.open(sys.argv[1]).convert("RGB")
width, height = source.size
target = Image.new("RGB", (width * 2, height * 2))
inp = source.load()
out = target.load()
for y in range(height * 2):
    for x in range(width * 2):
        out[x, y] = inp[x // 2, y // 2]
target.save(sys.argv[2])
