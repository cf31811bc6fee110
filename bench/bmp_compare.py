"""Reads uncompressed BMP files (1, 4, 8 and 24 bits) and compares the pixels
of two of them: the indices where both have colour tables of the same depth,
and the colours of every pixel in any case."""
from pathlib import Path

import numpy


class BmpImage:
    def __init__(self, bits, palette, pixels):
        self.bits = bits          # bits per pixel
        self.palette = palette    # N x 3 RGB entries, or None for 24 bits
        self.pixels = pixels      # rows from the top: indices (H x W) or RGB (H x W x 3)

    @property
    def size(self):
        return self.pixels.shape[1], self.pixels.shape[0]

    def rgb(self):
        if self.palette is None:
            return self.pixels
        return self.palette[self.pixels]


def read_bmp(path):
    data = Path(path).read_bytes()
    if data[:2] != b"BM":
        raise ValueError(f"{path}: not a BMP file")
    le = lambda offset, size, signed=False: int.from_bytes(data[offset:offset + size], "little",
                                                          signed=signed)
    offset = le(10, 4)
    header_size = le(14, 4)
    width, height = le(18, 4, True), le(22, 4, True)
    bits, compression = le(28, 2), le(30, 4)
    colours_used = le(46, 4)
    if compression != 0 or bits not in (1, 4, 8, 24):
        raise ValueError(f"{path}: {bits}-bit, compression {compression}: not read here")
    top_down = height < 0
    height = abs(height)
    stride = (width * bits + 31) // 32 * 4
    rows = numpy.frombuffer(data, numpy.uint8, stride * height, offset).reshape(height, stride)
    if not top_down:
        rows = rows[::-1]
    palette = None
    if bits == 24:
        pixels = rows[:, :width * 3].reshape(height, width, 3)[:, :, ::-1]
    else:
        entries = colours_used or (1 << bits)
        table = numpy.frombuffer(data, numpy.uint8, 4 * entries, 14 + header_size)
        palette = numpy.zeros((256, 3), numpy.uint8)
        palette[:entries] = table.reshape(entries, 4)[:, 2::-1]
        if bits == 8:
            pixels = rows[:, :width]
        else:
            pixels = numpy.unpackbits(rows, axis=1, bitorder="big")
            if bits == 4:
                pixels = pixels.reshape(height, stride * 2, 4)
                pixels = numpy.packbits(pixels, axis=2, bitorder="big")[:, :, 0] >> 4
            pixels = pixels[:, :width]
    return BmpImage(bits, palette, numpy.ascontiguousarray(pixels))


class Comparison:
    def __init__(self, max_difference, differing, values, indices_checked):
        self.max_difference = max_difference  # largest difference of a colour component
        self.differing = differing            # colour components that differ at all
        self.values = values                  # colour components compared
        self.indices_checked = indices_checked

    def describe(self):
        if self.differing == 0:
            return "identical"
        return (f"within {self.max_difference}: {self.differing:,} of {self.values:,} "
                f"components differ")


def compare_bmp(reference, other, tolerance=0):
    """The pixels of `other` against those of `reference`: the same size, the same
    indices where both have colour tables of one depth, and colour components
    that differ by at most `tolerance`. Raises ValueError otherwise."""
    first, second = read_bmp(reference), read_bmp(other)
    if first.size != second.size:
        raise ValueError(f"{other}: {second.size[0]} x {second.size[1]} pixels, "
                         f"{reference} has {first.size[0]} x {first.size[1]}")
    indices_checked = first.palette is not None and first.bits == second.bits
    if indices_checked and not numpy.array_equal(first.pixels, second.pixels):
        count = int(numpy.count_nonzero(first.pixels != second.pixels))
        raise ValueError(f"{other}: {count:,} pixel indices differ from {reference}")
    difference = numpy.abs(first.rgb().astype(numpy.int16) - second.rgb().astype(numpy.int16))
    result = Comparison(int(difference.max()), int(numpy.count_nonzero(difference)),
                        difference.size, indices_checked)
    if result.max_difference > tolerance:
        raise ValueError(f"{other}: colours differ from {reference} by up to "
                         f"{result.max_difference} (allowed {tolerance}); {result.describe()}")
    return result
