"""Gamma correction with Pillow's pixel access: every component c becomes
255 * (c/255)^(1/2.2). Arguments: input, output."""
import sys

from PIL import Image

G = 1 / 2.2
source = Image.open(sys.argv[1]).convert("RGB")
target = Image.new("RGB", source.size)
width, height = source.size
inp = source.load()
out = target.load()
for y in range(height):
    for x in range(width):
        red, green, blue = inp[x, y]
        out[x, y] = (int((red / 255) ** G * 255), int((green / 255) ** G * 255),
                     int((blue / 255) ** G * 255))
target.save(sys.argv[2])
