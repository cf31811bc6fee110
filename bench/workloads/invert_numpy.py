"""Negative with NumPy on the whole image. Arguments: input, output."""
import sys

import numpy as np
from PIL import Image

rgb = np.asarray(Image.open(sys.argv[1]).convert("RGB"))
Image.fromarray(255 - rgb).save(sys.argv[2])
