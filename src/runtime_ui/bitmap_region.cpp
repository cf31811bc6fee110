#include "runtime_ui/bitmap_region.h"

#include <algorithm>
#include <array>
#include <cstdint>

#include "engine/image_record.h"

namespace tarvil {

namespace {

constexpr QRgb kWhite = 0xFFFFFFFFu;

// The colour table as the bitmap's header describes it, each entry read only
// when it lies inside the block.
std::array<QRgb, 256> ColourTable(const Image& image, uint16_t bits, int* count) {
    std::array<QRgb, 256> table{};
    table.fill(kWhite);
    const int full = 1 << bits;
    const int32_t used = image.HeaderInt32(bih::kClrUsed);
    *count = (used > 0 && used < full) ? used : full;
    for (int k = 0; k < *count; ++k) {
        const size_t offset = Image::kPaletteOffset + 4 * static_cast<size_t>(k);
        if (offset + 3 > image.block.size()) {
            *count = k;
            break;
        }
        table[static_cast<size_t>(k)] =
            qRgb(image.block[offset + 2], image.block[offset + 1], image.block[offset]);
    }
    return table;
}

}  // namespace

QSize BitmapSize(const Image& image) {
    if (!image.hasPixels || !image.hasMemory()) return {};
    const int32_t width = image.Width();
    const int32_t height = image.Height();
    if (width <= 0 || height <= 0) return {};
    return {width, height};
}

QImage RenderBitmapRegion(const Image& image, const QRect& region) {
    const QSize size = BitmapSize(image);
    const QRect area = region & QRect(QPoint(0, 0), size);
    if (area.isEmpty()) return {};
    // Every pixel is written below, so the image is not cleared first.
    QImage result(area.size(), QImage::Format_RGB32);
    if (result.isNull()) return result;

    const uint16_t bits = image.BitCount();
    if (bits != 1 && bits != 4 && bits != 8 && bits != 24) {
        result.fill(kWhite);
        return result;
    }
    int tableCount = 0;
    const std::array<QRgb, 256> table =
        bits == 24 ? std::array<QRgb, 256>{} : ColourTable(image, bits, &tableCount);
    const auto colourOf = [&](int index) {
        return index < tableCount ? table[static_cast<size_t>(index)] : kWhite;
    };

    const uint64_t stride = image.RowStride;
    const uint64_t rowBytes = RowStrideFor(size.width(), bits);
    const uint8_t* block = image.block.data();
    const auto left = static_cast<size_t>(area.left());
    const auto width = static_cast<size_t>(area.width());
    for (int y = area.top(); y <= area.bottom(); ++y) {
        auto* out = reinterpret_cast<QRgb*>(result.scanLine(y - area.top()));
        // Rows are stored bottom-up.
        const uint64_t rowOffset =
            image.pixelsOffset + static_cast<uint64_t>(size.height() - 1 - y) * stride;
        if (stride < rowBytes || rowOffset + rowBytes > image.block.size()) {
            std::fill(out, out + width, kWhite);
            continue;
        }
        const uint8_t* row = block + rowOffset;
        switch (bits) {
            case 24:
                for (size_t k = 0, x = left; k < width; ++k, ++x)
                    out[k] = qRgb(row[3 * x + 2], row[3 * x + 1], row[3 * x]);
                break;
            case 8:
                for (size_t k = 0, x = left; k < width; ++k, ++x) out[k] = colourOf(row[x]);
                break;
            case 4:
                for (size_t k = 0, x = left; k < width; ++k, ++x)
                    out[k] = colourOf(x % 2 == 0 ? row[x / 2] >> 4 : row[x / 2] & 0x0F);
                break;
            default:
                for (size_t k = 0, x = left; k < width; ++k, ++x)
                    out[k] = colourOf((row[x / 8] >> (7 - x % 8)) & 1);
                break;
        }
    }
    return result;
}

}  // namespace tarvil
