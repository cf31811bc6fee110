"""Colour reduction with NumPy: the nearest entry (sum of the component
differences, the first on a tie) of a colour table of a 6 x 6 x 6 colour cube
and 40 greys, for blocks of pixels at a time. Arguments: input, output."""
import sys

import numpy as np
from PIL import Image

cube = np.array([(r, g, b) for r in range(6) for g in range(6) for b in range(6)]) * 51
greys = np.repeat(np.arange(40)[:, None] * 6 + 5, 3, axis=1)
palette = np.vstack([cube, greys]).astype(np.int16)
rgb = np.asarray(Image.open(sys.argv[1]).convert("RGB"))
pixels = rgb.reshape(-1, 3).astype(np.int16)
indices = np.empty(len(pixels), np.uint8)
BLOCK = 16384
for start in range(0, len(pixels), BLOCK):
    block = pixels[start:start + BLOCK]
    distance = np.abs(block[:, None, :] - palette[None, :, :]).sum(axis=2)
    indices[start:start + BLOCK] = distance.argmin(axis=1)
target = Image.fromarray(indices.reshape(rgb.shape[:2]), "P")
target.putpalette(palette.astype(np.uint8).tobytes())
target.save(sys.argv[2])
