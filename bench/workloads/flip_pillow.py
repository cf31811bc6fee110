"""Mirror with Pillow's pixel access: the image flipped left to right.
Arguments: input, output."""
import sys

from PIL import Image

source = Image.open(sys.argv[1]).convert("RGB")
target = Image.new("RGB", source.size)
width, height = source.size
inp = source.load()
out = target.load()
for y in range(height):
    for x in range(width):
        out[width - 1 - x, y] = inp[x, y]
target.save(sys.argv[2])
