// Pixel and colour-table access shared by the pixel handlers and the clipboard conversion.
#pragma once

#include <cstdint>
#include <span>

namespace tarvil {

// Index of the entry among the first `count` RGBQUAD entries of `table` nearest
// to the colour (sum of the three absolute differences). Ties go to the lower
// index; the scan stops at the first exact match. Entries that would lie past
// the end of `table` are not looked at; 0 when none is.
int NearestPaletteIndex(uint8_t red, uint8_t green, uint8_t blue, std::span<const uint8_t> table,
                        int count);

}  // namespace tarvil
