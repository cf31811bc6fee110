"""Greyscale with NumPy on the whole image: the average of red, green and blue.
Arguments: input, output."""
import sys

import numpy as np
from PIL import Image

rgb = np.asarray(Image.open(sys.argv[1]).convert("RGB"))
grey = (rgb.astype(np.uint16).sum(axis=2) // 3).astype(np.uint8)
Image.fromarray(np.dstack([grey, grey, grey])).save(sys.argv[2])
