"""Sepia with Pillow's pixel access: the usual weighted sums of red, green and
blue, at most 255. Arguments: input, output."""
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
        tr = 0.393 * red + 0.769 * green + 0.189 * blue
        tg = 0.349 * red + 0.686 * green + 0.168 * blue
        tb = 0.272 * red + 0.534 * green + 0.131 * blue
        out[x, y] = (int(min(tr, 255)), int(min(tg, 255)), int(min(tb, 255)))
target.save(sys.argv[2])
