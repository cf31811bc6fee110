"""Palette remap with NumPy: the colour table reordered by a table of new
indices and every index mapped through it with one lookup. Arguments: input,
output."""
import sys

import numpy as np
from PIL import Image

source = Image.open(sys.argv[1])
new_index = (np.arange(256) * 173 + 29) % 256
palette = np.array(source.getpalette(), np.uint8).reshape(-1, 3)
new_palette = np.zeros((256, 3), np.uint8)
new_palette[new_index[:len(palette)]] = palette
indices = new_index.astype(np.uint8)[np.asarray(source)]
target = Image.fromarray(indices, "P")
target.putpalette(new_palette.tobytes())
target.save(sys.argv[2])
