// Pixel and colour-table access shared by the pixel handlers, their faster
// forms and the clipboard conversion.
#pragma once

#include <cstdint>
#include <cstring>
#include <span>

#include "engine/image_record.h"
#include "engine/item_list.h"
#include "engine/value_bytes.h"

namespace tarvil {

struct Image;

// A colour as GETPIXEL delivers it and SETPIXEL takes it.
struct RgbBytes {
    uint8_t red = 0;
    uint8_t green = 0;
    uint8_t blue = 0;
};

// 24-bit pixels and colour-table entries hold blue, green and red, in that order.
inline RgbBytes ReadBgr(const uint8_t* bytes) {
    return {bytes[2], bytes[1], bytes[0]};
}

inline void WriteBgr(uint8_t* bytes, RgbBytes colour) {
    bytes[0] = colour.blue;
    bytes[1] = colour.green;
    bytes[2] = colour.red;
}

// A 24-bit pixel's stored value (GETPIXELVAL, SETPIXELVAL): red + 256 green +
// 65536 blue, and back.
inline uint32_t PackedColour(RgbBytes colour) {
    return colour.red | (colour.green << 8) | (uint32_t{colour.blue} << 16);
}

inline RgbBytes ColourOfPacked(uint32_t value) {
    return {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
            static_cast<uint8_t>(value >> 16)};
}

// 1-bit images: the pixel `column` of a row is bit 7 - column % 8 of byte
// column / 8 (`p` points at that byte). Bit 0 is black when colour-table entry
// 0 is all zero (ZeroBitIsBlack), white otherwise; SETPIXEL looks at the red
// byte alone.
inline uint32_t ReadBit(const uint8_t* p, uint32_t column) {
    return (*p >> (7 - column % 8)) & 1;
}

inline void WriteBit(uint8_t* p, uint32_t column, uint32_t value) {
    const auto mask = static_cast<uint8_t>(0x80 >> (column % 8));
    *p = value != 0 ? static_cast<uint8_t>(*p | mask) : static_cast<uint8_t>(*p & ~mask);
}

inline RgbBytes ColourOfBit(uint32_t bit, bool zeroBitIsBlack) {
    return (bit == 1) == zeroBitIsBlack ? RgbBytes{255, 255, 255} : RgbBytes{};
}

inline uint32_t BitOfColour(RgbBytes colour, bool zeroBitIsBlack) {
    return (colour.red != 0) == zeroBitIsBlack ? 1 : 0;
}

bool ZeroBitIsBlack(const Image& image);

// The colour SETPIXEL and SETPALETTE take from their colour operand: its first
// three value bytes, whatever its type (missing bytes read 0).
RgbBytes ColourOperandBytes(const Item* item);

// What GETPIXEL and GETPALETTE leave in their temporary: an RGB value.
inline void StoreRgbResult(Item& result, RgbBytes colour) {
    result.typeCode = kTypeRgb;
    if (result.value != nullptr && result.size >= kColourBytes) {
        const uint8_t bytes[kColourBytes] = {colour.red, colour.green, colour.blue, 0};
        std::memcpy(result.value, bytes, kColourBytes);
    }
}

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

// The value GETPIXELVAL gives for (x, y) of `image` (the bit, the nibble,
// the byte, or red + 256 green + 65536 blue): 0 without an image or pixel.
uint32_t PixelValueAt(const Image* image, int32_t x, int32_t y);

// What SETPIXELVAL does to (x, y) of `image`: the value stored as it is.
void PutPixelValueAt(Image* image, int32_t x, int32_t y, uint32_t value);

// The colour GETPALETTE gives for entry `index` (black outside the block or 0..255).
RgbBytes PaletteColourAt(const Image& image, int32_t index);

// What SETPALETTE does to entry `index`.
void PutPaletteColourAt(Image& image, int32_t index, RgbBytes colour);

// The entries SETPIXEL found for colours are remembered (Image::nearestCache)
// in buckets of kNearestCacheWays slots, the bucket picked by a
// multiplicative hash of the colour; a slot holds kNearestCacheValid, the
// colour shifted by 8 and the entry. Only while the colour table lies wholly
// before the pixel rows, where only SETPALETTE changes it (and empties them).
inline constexpr size_t kNearestCacheWays = 4;
inline constexpr uint32_t kNearestCacheBucketBits = 10;
inline constexpr uint64_t kNearestCacheValid = uint64_t{1} << 32;

// Fibonacci hashing: the top bits of the product mix all three components.
inline size_t NearestCacheBucket(uint32_t packedColour) {
    return static_cast<uint32_t>(packedColour * 2654435761u) >> (32 - kNearestCacheBucketBits);
}

// Whether the colour table of a 4- or 8-bit image lies wholly before its pixel rows.
inline bool TableBeforeRows(const Image& image) {
    const size_t count = image.BitCount() == 4 ? 16 : 256;
    return image.pixelsOffset >= Image::kPaletteOffset + 4 * count;
}

// The colour-table entry SETPIXEL stores for `colour` in a 4- or 8-bit image,
// as NearestEntryFor finds it.
int NearestEntryLookedUp(Image& image, RgbBytes colour);

// The same; a colour remembered in the first slot of its bucket, the common
// case, is found here without a call.
inline int NearestEntryFor(Image& image, RgbBytes colour) {
    if (!image.nearestCache.empty() && TableBeforeRows(image)) {
        const uint32_t key = PackedColour(colour);
        const uint64_t first = image.nearestCache[NearestCacheBucket(key) * kNearestCacheWays];
        if ((first & (kNearestCacheValid | 0xFFFFFF00u)) ==
            (kNearestCacheValid | uint64_t{key} << 8))
            return static_cast<int>(first & 0xFF);
    }
    return NearestEntryLookedUp(image, colour);
}

}  // namespace tarvil
