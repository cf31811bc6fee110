"""Sepia with NumPy on the whole image: the usual weighted sums, at most 255.
Arguments: input, output."""
import sys

import numpy as np
from PIL import Image

WEIGHTS = np.array([[0.393, 0.769, 0.189],
                    [0.349, 0.686, 0.168],
                    [0.272, 0.534, 0.131]])
rgb = np.asarray(Image.open(sys.argv[1]).convert("RGB"))
result = np.minimum(rgb @ WEIGHTS.T, 255).astype(np.uint8)
Image.fromarray(result).save(sys.argv[2])
