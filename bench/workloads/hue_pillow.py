"""Hue rotation with Pillow's pixel access: every colour turned by 40 of the
240 steps of the hue circle, through the same integer conversions between RGB
and hue, brightness, saturation (0 to 240) as the script. Arguments: input,
output."""
import sys

from PIL import Image


def rgb_to_hbs(red, green, blue):
    top = max(red, green, blue)
    bottom = min(red, green, blue)
    bri = ((top + bottom) * 240 + 255) // 510
    if top == bottom:
        return 0, bri, 0
    d = top - bottom
    if bri <= 120:
        sat = (d * 240) // (top + bottom)
    else:
        sat = (d * 240) // (510 - top - bottom)
    rd = ((top - red) * 40) // d
    gd = ((top - green) * 40) // d
    bd = ((top - blue) * 40) // d
    if red == top:
        hue = bd - gd
    elif green == top:
        hue = 80 + rd - bd
    else:
        hue = 160 + gd - rd
    if hue < 0:
        hue += 240
    elif hue > 240:
        hue -= 240
    return hue, bri, sat


def hue_to_rgb(lo, hi, hue):
    if hue < 0:
        hue += 240
    if hue > 240:
        hue -= 240
    if hue < 40:
        return lo + ((hi - lo) * hue + 20) // 40
    if hue < 120:
        return hi
    if hue < 160:
        return lo + ((hi - lo) * (160 - hue) + 20) // 40
    return lo


def hbs_to_rgb(hue, bri, sat):
    if sat == 0:
        grey = bri * 255 // 240
        return grey, grey, grey
    if bri <= 120:
        hi = (bri * (240 + sat) + 120) // 240
    else:
        hi = bri + sat - (bri * sat + 120) // 240
    lo = 2 * bri - hi
    return ((hue_to_rgb(lo, hi, hue + 80) * 255 + 120) // 240,
            (hue_to_rgb(lo, hi, hue) * 255 + 120) // 240,
            (hue_to_rgb(lo, hi, hue - 80) * 255 + 120) // 240)


source = Image.open(sys.argv[1]).convert("RGB")
target = Image.new("RGB", source.size)
width, height = source.size
inp = source.load()
out = target.load()
for y in range(height):
    for x in range(width):
        hue, bri, sat = rgb_to_hbs(*inp[x, y])
        hue = (hue + 40) % 240
        out[x, y] = hbs_to_rgb(hue, bri, sat)
target.save(sys.argv[2])
