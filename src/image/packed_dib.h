// Packed bitmaps from the clipboard: the conversion of a plain picture into a
// packed bitmap, and the checks a packed bitmap passes before it becomes an image.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "engine/host.h"
#include "engine/image_block.h"

namespace tarvil {

struct Image;

// Clears the 40-byte header and fills it for a bitmap of width × height whose
// source has `depth` bits per pixel: 1, 4 and 8 bits stay, anything deeper
// becomes 24. biSizeImage holds the size of the pixel rows.
void InitDibHeader(std::span<uint8_t, 40> header, int32_t width, int32_t height, int depth);

// A packed bitmap of biSizeImage + 1064 bytes: header, colour table of 2, 16
// or 256 entries (none for 24 bits), pixel rows bottom-up. Palette sources keep
// their colours and each pixel gets the index of its colour (the nearest one
// when it is not in the table); without a palette a 1-bit picture is black and
// white and deeper ones list their colours in order of appearance. nullopt for
// an empty, oversized or inconsistent picture, or when memory runs out.
std::optional<ImageBlock> BitmapToPackedDib(const ClipboardBitmap& bitmap);

// Makes `packedDib` the memory of `image` when its header lies inside the model
// and the block holds the colour table and every pixel row; false otherwise
// (the image is then unchanged). The image keeps exactly the given bytes.
bool AdoptPackedDib(ImageBlock packedDib, Image& image);

}  // namespace tarvil
