"""Hue rotation with NumPy on the whole image: the same integer conversions
between RGB and hue, brightness, saturation (0 to 240) as the script, on
arrays. Arguments: input, output."""
import sys

import numpy as np
from PIL import Image

rgb = np.asarray(Image.open(sys.argv[1]).convert("RGB")).astype(np.int32)
red, green, blue = rgb[:, :, 0], rgb[:, :, 1], rgb[:, :, 2]
top = rgb.max(axis=2)
bottom = rgb.min(axis=2)
bri = ((top + bottom) * 240 + 255) // 510
d = top - bottom
grey = d == 0
safe_d = np.where(grey, 1, d)
sat = np.where(bri <= 120, (d * 240) // np.maximum(top + bottom, 1),
               (d * 240) // np.maximum(510 - top - bottom, 1))
rd = ((top - red) * 40) // safe_d
gd = ((top - green) * 40) // safe_d
bd = ((top - blue) * 40) // safe_d
hue = np.where(red == top, bd - gd, np.where(green == top, 80 + rd - bd, 160 + gd - rd))
hue = np.where(hue < 0, hue + 240, np.where(hue > 240, hue - 240, hue))
hue = np.where(grey, 0, hue)
sat = np.where(grey, 0, sat)

hue = (hue + 40) % 240

hi = np.where(bri <= 120, (bri * (240 + sat) + 120) // 240, bri + sat - (bri * sat + 120) // 240)
lo = 2 * bri - hi


def hue_to_rgb(h):
    h = np.where(h < 0, h + 240, h)
    h = np.where(h > 240, h - 240, h)
    return np.where(h < 40, lo + ((hi - lo) * h + 20) // 40,
                    np.where(h < 120, hi,
                             np.where(h < 160, lo + ((hi - lo) * (160 - h) + 20) // 40, lo)))


channels = [(hue_to_rgb(hue + 80) * 255 + 120) // 240, (hue_to_rgb(hue) * 255 + 120) // 240,
            (hue_to_rgb(hue - 80) * 255 + 120) // 240]
grey_level = bri * 255 // 240
result = np.dstack([np.where(sat == 0, grey_level, c) for c in channels]).astype(np.uint8)
Image.fromarray(result).save(sys.argv[2])
