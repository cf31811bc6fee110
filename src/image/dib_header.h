// The BITMAPINFOHEADER as the image model accepts it, shared by the file
// reader, the clipboard and CREATEIMAGE.
//
// A header is accepted only when every field lies inside the model: 40 bytes
// long, uncompressed, bottom-up, 1, 4, 8 or 24 bits, at most 256 colour-table
// entries, at most 32768 pixels each way. Sizes are computed in 64 bits, so
// nothing that follows can overflow.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "engine/image_block.h"

namespace tarvil {

struct Image;

inline constexpr int32_t kMaxImageDimension = 32768;
inline constexpr size_t kFileHeaderBytes = 14;         // BITMAPFILEHEADER
inline constexpr size_t kFullColourTableBytes = 1024;  // 256 RGBQUAD entries
inline constexpr size_t kCreatedSpareBytes = 3112;     // header + full colour table + 2048 spare
inline constexpr size_t kLoadedSpareBytes = 2048;  // behind header and pixel rows of a file image

// Little-endian fields; the caller guarantees offset + width <= bytes.size().
inline uint32_t ReadLe32(std::span<const uint8_t> bytes, size_t offset) {
    return static_cast<uint32_t>(bytes[offset]) | (static_cast<uint32_t>(bytes[offset + 1]) << 8) |
           (static_cast<uint32_t>(bytes[offset + 2]) << 16) |
           (static_cast<uint32_t>(bytes[offset + 3]) << 24);
}
inline uint16_t ReadLe16(std::span<const uint8_t> bytes, size_t offset) {
    return static_cast<uint16_t>(bytes[offset] | (bytes[offset + 1] << 8));
}
inline void WriteLe32(std::span<uint8_t> bytes, size_t offset, uint32_t value) {
    for (size_t i = 0; i < 4; ++i) bytes[offset + i] = static_cast<uint8_t>(value >> (8 * i));
}
inline void WriteLe16(std::span<uint8_t> bytes, size_t offset, uint16_t value) {
    bytes[offset] = static_cast<uint8_t>(value);
    bytes[offset + 1] = static_cast<uint8_t>(value >> 8);
}

// Colour-table entries the model assumes for a bit count: 2, 16, 256, else 0.
uint16_t PaletteCountFor(int64_t bitCount);

// Where the parts of an accepted packed bitmap lie.
struct DibGeometry {
    int32_t width = 0;
    int32_t height = 0;
    uint16_t bitCount = 0;
    uint16_t paletteCount = 0;
    uint32_t rowStride = 0;
    size_t tableBytes = 0;    // colour table actually stored: 4 × (biClrUsed, or paletteCount)
    size_t pixelsOffset = 0;  // 40 + tableBytes, from the start of the header
    size_t pixelBytes = 0;    // height × rowStride
};

// Checks the 40 header bytes at the start of `header`; nullopt when any field
// lies outside the model (or fewer than 40 bytes are given).
std::optional<DibGeometry> CheckDibHeader(std::span<const uint8_t> header);

// Makes `block` (a packed bitmap laid out as `geometry` says) the memory of
// `image`, whose earlier memory is dropped. The caller has checked that the
// pixel rows lie inside the block.
void InstallPackedBitmap(Image& image, ImageBlock block, const DibGeometry& geometry);

}  // namespace tarvil
