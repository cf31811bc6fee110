"""Sobel edges of a grey image with Pillow's pixel access: the length of the
gradient, at most 255; the border stays black. Arguments: input, output."""
import math
import sys

from PIL import Image

source = Image.open(sys.argv[1]).convert("L")
target = Image.new("L", source.size)
width, height = source.size
inp = source.load()
out = target.load()
for y in range(1, height - 1):
    for x in range(1, width - 1):
        a = inp[x - 1, y - 1]
        b = inp[x, y - 1]
        c = inp[x + 1, y - 1]
        d = inp[x - 1, y]
        f = inp[x + 1, y]
        g = inp[x - 1, y + 1]
        h = inp[x, y + 1]
        k = inp[x + 1, y + 1]
        gx = (c + 2 * f + k) - (a + 2 * d + g)
        gy = (g + 2 * h + k) - (a + 2 * b + c)
        out[x, y] = int(min(math.sqrt(gx * gx + gy * gy), 255))
target.save(sys.argv[2])
