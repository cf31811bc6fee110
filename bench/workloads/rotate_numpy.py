"""Rotation by 90 degrees clockwise with NumPy. Arguments: input, output."""
import sys

import numpy as np
from PIL import Image

rgb = np.asarray(Image.open(sys.argv[1]).convert("RGB"))
Image.fromarray(np.ascontiguousarray(np.rot90(rgb, -1))).save(sys.argv[2])
