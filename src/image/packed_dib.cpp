#include "image/packed_dib.h"

#include <algorithm>
#include <new>
#include <unordered_map>

#include "engine/image_record.h"
#include "image/dib_header.h"
#include "image/pixel_access.h"

namespace tarvil {

namespace {

constexpr size_t kConvertedSpareBytes = bih::kHeaderBytes + kFullColourTableBytes;  // 1064

uint8_t RedOf(uint32_t argb) {
    return static_cast<uint8_t>(argb >> 16);
}
uint8_t GreenOf(uint32_t argb) {
    return static_cast<uint8_t>(argb >> 8);
}
uint8_t BlueOf(uint32_t argb) {
    return static_cast<uint8_t>(argb);
}

void WriteEntry(std::span<uint8_t> table, size_t index, uint32_t rgb) {
    table[4 * index] = BlueOf(rgb);
    table[4 * index + 1] = GreenOf(rgb);
    table[4 * index + 2] = RedOf(rgb);
    table[4 * index + 3] = 0;
}

// Fills the colour table of a palette picture.
void FillColourTable(const ClipboardBitmap& bitmap, std::span<uint8_t> table, size_t count) {
    if (!bitmap.palette.empty()) {
        const size_t given = std::min(count, bitmap.palette.size());
        for (size_t k = 0; k < given; ++k) WriteEntry(table, k, bitmap.palette[k]);
        return;
    }
    if (count == 2) {  // a monochrome picture: black, then white
        WriteEntry(table, 1, 0xFFFFFF);
        return;
    }
    std::unordered_map<uint32_t, bool> seen;
    size_t used = 0;
    for (uint32_t pixel : bitmap.pixels) {
        const uint32_t rgb = pixel & 0xFFFFFF;
        if (seen.emplace(rgb, true).second) WriteEntry(table, used++, rgb);
        if (used == count) break;
    }
}

void FillIndexedRows(const ClipboardBitmap& bitmap, int bits, std::span<const uint8_t> table,
                     int count, std::span<uint8_t> rows, uint32_t stride) {
    std::unordered_map<uint32_t, uint8_t> indexOf;
    for (int k = count - 1; k >= 0; --k) {  // the lowest index of a repeated colour wins
        const auto* entry = &table[4 * static_cast<size_t>(k)];
        indexOf[(static_cast<uint32_t>(entry[2]) << 16) | (entry[1] << 8) | entry[0]] =
            static_cast<uint8_t>(k);
    }
    const auto width = static_cast<size_t>(bitmap.width);
    const auto height = static_cast<size_t>(bitmap.height);
    for (size_t y = 0; y < height; ++y) {
        const size_t rowStart = (height - 1 - y) * stride;  // rows are stored bottom-up
        for (size_t x = 0; x < width; ++x) {
            const uint32_t rgb = bitmap.pixels[y * width + x] & 0xFFFFFF;
            auto found = indexOf.find(rgb);
            if (found == indexOf.end()) {
                const int nearest =
                    NearestPaletteIndex(RedOf(rgb), GreenOf(rgb), BlueOf(rgb), table, count);
                found = indexOf.emplace(rgb, static_cast<uint8_t>(nearest)).first;
            }
            const uint8_t index = found->second;
            if (bits == 8) {
                rows[rowStart + x] = index;
            } else if (bits == 4) {
                uint8_t& byte = rows[rowStart + x / 2];
                byte = (x % 2 == 0) ? static_cast<uint8_t>((byte & 0x0F) | (index << 4))
                                    : static_cast<uint8_t>((byte & 0xF0) | (index & 0x0F));
            } else if (index != 0) {
                rows[rowStart + x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
            }
        }
    }
}

void FillTrueColourRows(const ClipboardBitmap& bitmap, std::span<uint8_t> rows, uint32_t stride) {
    const auto width = static_cast<size_t>(bitmap.width);
    const auto height = static_cast<size_t>(bitmap.height);
    for (size_t y = 0; y < height; ++y) {
        uint8_t* out = &rows[(height - 1 - y) * stride];
        for (size_t x = 0; x < width; ++x) {
            const uint32_t pixel = bitmap.pixels[y * width + x];
            *out++ = BlueOf(pixel);
            *out++ = GreenOf(pixel);
            *out++ = RedOf(pixel);
        }
    }
}

}  // namespace

void InitDibHeader(std::span<uint8_t, 40> header, int32_t width, int32_t height, int depth) {
    std::fill(header.begin(), header.end(), 0);
    const uint16_t bits = depth <= 1 ? 1 : depth <= 4 ? 4 : depth <= 8 ? 8 : 24;
    WriteLe32(header, bih::kSize, bih::kHeaderBytes);
    WriteLe32(header, bih::kWidth, static_cast<uint32_t>(width));
    WriteLe32(header, bih::kHeight, static_cast<uint32_t>(height));
    WriteLe16(header, bih::kPlanes, 1);
    WriteLe16(header, bih::kBitCount, bits);
    const uint64_t sizeImage =
        RowStrideFor(width, bits) * static_cast<uint64_t>(std::max(height, 0));
    WriteLe32(header, bih::kSizeImage, static_cast<uint32_t>(sizeImage));
}

std::optional<ImageBlock> BitmapToPackedDib(const ClipboardBitmap& bitmap) {
    if (bitmap.width <= 0 || bitmap.height <= 0 || bitmap.width > kMaxImageDimension ||
        bitmap.height > kMaxImageDimension) {
        return std::nullopt;
    }
    const auto pixelCount = static_cast<size_t>(bitmap.width) * static_cast<size_t>(bitmap.height);
    if (bitmap.pixels.size() < pixelCount) return std::nullopt;

    uint8_t header[bih::kHeaderBytes];
    InitDibHeader(header, bitmap.width, bitmap.height, bitmap.depth);
    const auto geometry = CheckDibHeader(header);
    if (!geometry) return std::nullopt;

    ImageBlock block;
    try {
        block.resize(geometry->pixelBytes + kConvertedSpareBytes);
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
    std::copy(std::begin(header), std::end(header), block.begin());
    const auto table =
        std::span<uint8_t>(block).subspan(Image::kPaletteOffset, geometry->tableBytes);
    const auto rows =
        std::span<uint8_t>(block).subspan(geometry->pixelsOffset, geometry->pixelBytes);
    if (geometry->paletteCount == 0) {
        FillTrueColourRows(bitmap, rows, geometry->rowStride);
        return block;
    }
    try {
        // The colour look-ups allocate as they grow.
        FillColourTable(bitmap, table, geometry->paletteCount);
        FillIndexedRows(bitmap, geometry->bitCount, table, geometry->paletteCount, rows,
                        geometry->rowStride);
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
    return block;
}

bool AdoptPackedDib(ImageBlock packedDib, Image& image) {
    const auto geometry = CheckDibHeader(packedDib);
    if (!geometry) return false;
    // The colour table lies in front of the rows, so this covers both.
    if (geometry->pixelsOffset > packedDib.size() ||
        geometry->pixelBytes > packedDib.size() - geometry->pixelsOffset) {
        return false;
    }
    InstallPackedBitmap(image, std::move(packedDib), *geometry);
    return true;
}

}  // namespace tarvil
