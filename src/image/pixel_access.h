// Pixel and colour-table access shared by the pixel handlers and the clipboard conversion.
#pragma once

#include <cstdint>
#include <span>

namespace tarvil {

struct Image;

// A colour as GETPIXEL delivers it and SETPIXEL takes it.
struct RgbBytes {
    uint8_t red = 0;
    uint8_t green = 0;
    uint8_t blue = 0;
};

// Index of the entry among the first `count` RGBQUAD entries of `table` nearest
// to the colour (sum of the three absolute differences). Ties go to the lower
// index; the scan stops at the first exact match. Entries that would lie past
// the end of `table` are not looked at; 0 when none is.
int NearestPaletteIndex(uint8_t red, uint8_t green, uint8_t blue, std::span<const uint8_t> table,
                        int count);

// The colour GETPIXEL gives for (x, y) of `image`: black without an image or pixel.
RgbBytes PixelColourAt(const Image* image, int32_t x, int32_t y);

// What SETPIXEL does to (x, y) of `image` (nothing without an image or pixel).
void PutPixelColourAt(Image* image, int32_t x, int32_t y, RgbBytes colour);

// The colour-table entry SETPIXEL stores for `colour` in a 4- or 8-bit image.
int NearestEntryFor(Image& image, RgbBytes colour);

}  // namespace tarvil
