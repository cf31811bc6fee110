"""Greyscale with Pillow's pixel access: every pixel becomes the average of its
red, green and blue. Arguments: input, output."""
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
        grey = (red + green + blue) // 3
        out[x, y] = (grey, grey, grey)
target.save(sys.argv[2])
