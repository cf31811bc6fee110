"""Gamma correction with NumPy on the whole image: 255 * (c/255)^(1/2.2).
Arguments: input, output."""
import sys

import numpy as np
from PIL import Image

rgb = np.asarray(Image.open(sys.argv[1]).convert("RGB"))
result = (np.power(rgb / 255, 1 / 2.2) * 255).astype(np.uint8)
Image.fromarray(result).save(sys.argv[2])
