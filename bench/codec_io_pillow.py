"""The codec case with Pillow: loads a PNG or JPEG file and saves it again in
its own format, PNG at compression level 6, JPEG at quality 90 with the
library's default subsampling. Arguments: input, output."""
import sys

from PIL import Image

image = Image.open(sys.argv[1])
image.load()
if sys.argv[2].lower().endswith(".png"):
    image.save(sys.argv[2], compress_level=6)
else:
    image.save(sys.argv[2], quality=90)
