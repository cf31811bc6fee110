"""Brightness and contrast with Pillow's pixel access: components spread
around the middle grey by a factor, raised by a step, kept between 0 and 255.
Arguments: input, output."""
import sys

from PIL import Image

CONTRAST = 1.25
BRIGHT = 20
source = Image.open(sys.argv[1]).convert("RGB")
target = Image.new("RGB", source.size)
width, height = source.size
inp = source.load()
out = target.load()
for y in range(height):
    for x in range(width):
        red, green, blue = inp[x, y]
        red = int(min(max((red - 128) * CONTRAST + 128 + BRIGHT, 0), 255))
        green = int(min(max((green - 128) * CONTRAST + 128 + BRIGHT, 0), 255))
        blue = int(min(max((blue - 128) * CONTRAST + 128 + BRIGHT, 0), 255))
        out[x, y] = (red, green, blue)
target.save(sys.argv[2])
