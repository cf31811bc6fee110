"""Threshold with NumPy on the whole image: a 1-bit image, white where the
average of red, green and blue is above 127. Arguments: input, output."""
import sys

import numpy as np
from PIL import Image

rgb = np.asarray(Image.open(sys.argv[1]).convert("RGB"))
white = rgb.astype(np.uint16).sum(axis=2) // 3 > 127
Image.fromarray(white).save(sys.argv[2])
