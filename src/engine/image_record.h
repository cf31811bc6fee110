// Image: the value of a DEVCON variable.
//
// The block holds a packed bitmap exactly as a BMP file holds it after its
// 14-byte file header: the 40-byte BITMAPINFOHEADER, the colour table (RGBQUAD
// entries: blue, green, red, reserved), then the pixel rows, bottom row first.
// Offsets are kept instead of pointers, and every access goes through the
// checked helpers below, so no byte outside the block is ever touched.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "engine/image_block.h"

namespace tarvil {

// A preview window of the host; destroying it closes the window.
class PreviewWindow {
public:
    virtual ~PreviewWindow() = default;
    // Shows the image's current pixels again (a later PREVIEW of the same image).
    virtual void Refresh() = 0;
};

// Offsets of the BITMAPINFOHEADER fields.
namespace bih {
inline constexpr size_t kSize = 0;
inline constexpr size_t kWidth = 4;
inline constexpr size_t kHeight = 8;
inline constexpr size_t kPlanes = 12;
inline constexpr size_t kBitCount = 14;
inline constexpr size_t kCompression = 16;
inline constexpr size_t kSizeImage = 20;
inline constexpr size_t kXPelsPerMeter = 24;
inline constexpr size_t kYPelsPerMeter = 28;
inline constexpr size_t kClrUsed = 32;
inline constexpr size_t kClrImportant = 36;
inline constexpr size_t kHeaderBytes = 40;
}  // namespace bih

struct Image {
    Image() = default;
    Image(const Image&) = delete;
    Image& operator=(const Image&) = delete;
    ~Image();  // the preview goes first, then the memory

    // The packed bitmap; empty when the image has no memory.
    ImageBlock block;
    // Offset of the bottom pixel row in `block`; meaningful only when hasPixels.
    size_t pixelsOffset = 0;
    bool hasPixels = false;
    // Colour-table entries the model assumes: 2, 16, 256, or 0 (24 bits, unsupported depths).
    uint16_t PaletteCount = 0;
    uint32_t RowStride = 0;
    std::unique_ptr<PreviewWindow> preview;
    // SETPIXEL's nearest colour-table entries, by colour: a slot holds
    // valid bit (32) | colour (8..31) | index (0..7). Only kept while the table
    // lies wholly before the pixel rows, and emptied whenever the table changes.
    std::vector<uint64_t> nearestCache;
    // Stored rows (bottom row 0) written since the preview last showed the
    // image: [changedRowsBegin, changedRowsEnd). The preview's own bookkeeping,
    // so that a refresh repaints only those rows; a change to the colour table
    // marks every row.
    mutable uint32_t changedRowsBegin = 0;
    mutable uint32_t changedRowsEnd = UINT32_MAX;
    void MarkRowChanged(uint32_t storedRow) {
        if (storedRow < changedRowsBegin) changedRowsBegin = storedRow;
        if (storedRow >= changedRowsEnd) changedRowsEnd = storedRow + 1;
    }
    bool AllRowsChanged() const { return changedRowsBegin == 0 && changedRowsEnd == UINT32_MAX; }
    void MarkAllRowsChanged() const {
        changedRowsBegin = 0;
        changedRowsEnd = UINT32_MAX;
    }
    void ClearChangedRows() const {
        changedRowsBegin = UINT32_MAX;
        changedRowsEnd = 0;
    }

    bool hasMemory() const { return block.size() >= bih::kHeaderBytes; }

    // Little-endian header fields; 0 when the image has no memory.
    // Inline: the pixel handlers read the size and depth on every call.
    int32_t HeaderInt32(size_t offset) const {
        if (!hasMemory() || offset + 4 > bih::kHeaderBytes) return 0;
        const uint8_t* p = block.data() + offset;
        return static_cast<int32_t>(p[0] | (p[1] << 8) | (p[2] << 16) |
                                    (static_cast<uint32_t>(p[3]) << 24));
    }
    uint16_t HeaderUint16(size_t offset) const {
        if (!hasMemory() || offset + 2 > bih::kHeaderBytes) return 0;
        return static_cast<uint16_t>(block[offset] | (block[offset + 1] << 8));
    }
    void SetHeaderInt32(size_t offset, int32_t value);
    void SetHeaderUint16(size_t offset, uint16_t value);

    int32_t Width() const { return HeaderInt32(bih::kWidth); }
    int32_t Height() const { return HeaderInt32(bih::kHeight); }
    uint16_t BitCount() const { return HeaderUint16(bih::kBitCount); }
    // Resolution in dots per inch: pixels per metre × 0.0254, rounded.
    int32_t ResolutionDpi() const;

    // The colour table always starts right behind the 40-byte header.
    static constexpr size_t kPaletteOffset = bih::kHeaderBytes;
};

// Bytes in one pixel row: width × bits rounded up to whole 32-bit words.
// Computed in 64 bits; callers bound width and bits before trusting the result.
uint64_t RowStrideFor(int64_t width, int64_t bitCount);

}  // namespace tarvil
