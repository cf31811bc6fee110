#include "image/dib_header.h"

#include "engine/image_record.h"

namespace tarvil {

uint16_t PaletteCountFor(int64_t bitCount) {
    switch (bitCount) {
        case 1:
            return 2;
        case 4:
            return 16;
        case 8:
            return 256;
        default:
            return 0;
    }
}

std::optional<DibGeometry> CheckDibHeader(std::span<const uint8_t> header) {
    if (header.size() < bih::kHeaderBytes) return std::nullopt;
    if (ReadLe32(header, bih::kSize) != bih::kHeaderBytes) return std::nullopt;
    if (ReadLe32(header, bih::kCompression) != 0) return std::nullopt;

    DibGeometry geometry;
    geometry.width = static_cast<int32_t>(ReadLe32(header, bih::kWidth));
    geometry.height = static_cast<int32_t>(ReadLe32(header, bih::kHeight));
    // Negative heights (top-down rows) are outside the model, like empty images.
    if (geometry.height <= 0 || geometry.width <= 0) return std::nullopt;
    geometry.bitCount = ReadLe16(header, bih::kBitCount);
    geometry.paletteCount = PaletteCountFor(geometry.bitCount);
    if (geometry.paletteCount == 0 && geometry.bitCount != 24) return std::nullopt;
    const uint32_t clrUsed = ReadLe32(header, bih::kClrUsed);
    if (clrUsed > 256) return std::nullopt;
    if (geometry.width > kMaxImageDimension || geometry.height > kMaxImageDimension) {
        return std::nullopt;
    }

    // At most 32768 × 24 bits: the stride and the image size fit easily.
    geometry.rowStride = static_cast<uint32_t>(RowStrideFor(geometry.width, geometry.bitCount));
    geometry.tableBytes = 4 * static_cast<size_t>(clrUsed != 0 ? clrUsed : geometry.paletteCount);
    geometry.pixelsOffset = bih::kHeaderBytes + geometry.tableBytes;
    geometry.pixelBytes = static_cast<size_t>(geometry.height) * geometry.rowStride;
    return geometry;
}

void InstallPackedBitmap(Image& image, ImageBlock block, const DibGeometry& geometry) {
    image.block = std::move(block);
    image.PaletteCount = geometry.paletteCount;
    image.RowStride = geometry.rowStride;
    image.pixelsOffset = geometry.pixelsOffset;
    image.hasPixels = image.pixelsOffset + geometry.pixelBytes <= image.block.size();
    // Images read in never keep a count of important colours.
    image.SetHeaderInt32(bih::kClrImportant, 0);
}

}  // namespace tarvil
