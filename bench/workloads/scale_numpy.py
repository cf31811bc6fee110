"""Enlargement by 2, nearest neighbour, with NumPy: every pixel repeated twice
across and down. Arguments: input, output."""
import sys

import numpy as np
from PIL import Image

rgb = np.asarray(Image.open(sys.argv[1]).convert("RGB"))
Image.fromarray(rgb.repeat(2, axis=0).repeat(2, axis=1)).save(sys.argv[2])
