"""Palette remap with Pillow's pixel access: the colour table reordered by a
table of new indices and every pixel's index mapped through it. Arguments:
input, output."""
import sys

from PIL import Image

source = Image.open(sys.argv[1])
new_index = [(i * 173 + 29) % 256 for i in range(256)]
palette = source.getpalette()
new_palette = [0] * 768
for i in range(256):
    new_palette[3 * new_index[i]:3 * new_index[i] + 3] = palette[3 * i:3 * i + 3]
target = Image.new("P", source.size)
target.putpalette(new_palette)
width, height = source.size
inp = source.load()
out = target.load()
for y in range(height):
    for x in range(width):
        out[x, y] = new_index[inp[x, y]]
target.save(sys.argv[2])
