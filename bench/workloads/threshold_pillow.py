"""Threshold with Pillow's pixel access: a 1-bit image, white where the average
of red, green and blue is above 127. Arguments: input, output."""
import sys

from PIL import Image

source = Image.open(sys.argv[1]).convert("RGB")
target = Image.new("1", source.size)
width, height = source.size
inp = source.load()
out = target.load()
for y in range(height):
    for x in range(width):
        red, green, blue = inp[x, y]
        if (red + green + blue) // 3 > 127:
            out[x, y] = 255
        else:
            out[x, y] = 0
target.save(sys.argv[2])
