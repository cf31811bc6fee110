"""Brightness and contrast with NumPy on the whole image. Arguments: input,
output."""
import sys

import numpy as np
from PIL import Image

CONTRAST = 1.25
BRIGHT = 20
rgb = np.asarray(Image.open(sys.argv[1]).convert("RGB"))
result = np.clip((rgb - 128.0) * CONTRAST + 128 + BRIGHT, 0, 255).astype(np.uint8)
Image.fromarray(result).save(sys.argv[2])
