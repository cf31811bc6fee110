"""Colour reduction with Pillow's pixel access: every pixel gets the index of
the nearest entry (sum of the component differences, the first on a tie) of a
colour table of a 6 x 6 x 6 colour cube and 40 greys, searched per pixel.
Arguments: input, output."""
import sys

from PIL import Image

palette = [(r * 51, g * 51, b * 51) for r in range(6) for g in range(6) for b in range(6)]
palette += [(i * 6 + 5,) * 3 for i in range(40)]
source = Image.open(sys.argv[1]).convert("RGB")
target = Image.new("P", source.size)
target.putpalette([c for entry in palette for c in entry])
width, height = source.size
inp = source.load()
out = target.load()
for y in range(height):
    for x in range(width):
        red, green, blue = inp[x, y]
        best, best_distance = 0, 1000
        for index, (pr, pg, pb) in enumerate(palette):
            distance = abs(pr - red) + abs(pg - green) + abs(pb - blue)
            if distance < best_distance:
                best, best_distance = index, distance
                if distance == 0:
                    break
        out[x, y] = best
target.save(sys.argv[2])
