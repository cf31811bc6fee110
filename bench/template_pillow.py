"""The new-document template written with Pillow's pixel access: copies one
image into another pixel by pixel. Arguments: input, output."""
import sys

from PIL import Image

source = Image.open(sys.argv[1])
target = Image.new(source.mode, source.size)
if source.mode == "P":
    target.putpalette(source.getpalette())
width, height = source.size
inp = source.load()
out = target.load()
for y in range(height):
    for x in range(width):
        pix = inp[x, y]
        if source.mode == "P":
            out[x, y] = pix
        else:
            red, green, blue = pix
            out[x, y] = (red, green, blue)
target.save(sys.argv[2])
