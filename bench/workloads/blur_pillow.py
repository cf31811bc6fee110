"""3 x 3 box blur with Pillow's pixel access: every pixel inside the border
becomes the average of its neighbourhood; the border stays black. Arguments:
input, output."""
import sys

from PIL import Image

source = Image.open(sys.argv[1]).convert("RGB")
target = Image.new("RGB", source.size)
width, height = source.size
inp = source.load()
out = target.load()
for y in range(1, height - 1):
    for x in range(1, width - 1):
        sr = sg = sb = 0
        for j in range(-1, 2):
            for i in range(-1, 2):
                red, green, blue = inp[x + i, y + j]
                sr += red
                sg += green
                sb += blue
        out[x, y] = (sr // 9, sg // 9, sb // 9)
target.save(sys.argv[2])
