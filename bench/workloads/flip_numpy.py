"""Mirror with NumPy: the image flipped left to right. Arguments: input,
output."""
import sys

import numpy as np
from PIL import Image

rgb = np.asarray(Image.open(sys.argv[1]).convert("RGB"))
Image.fromarray(np.ascontiguousarray(rgb[:, ::-1])).save(sys.argv[2])
