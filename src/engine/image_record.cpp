#include "engine/image_record.h"

namespace tarvil {

Image::~Image() {
    // The window reads the block while painting: close it before the memory goes.
    preview.reset();
}

void Image::SetHeaderInt32(size_t offset, int32_t value) {
    if (!hasMemory() || offset + 4 > bih::kHeaderBytes) return;
    const auto bits = static_cast<uint32_t>(value);
    for (int i = 0; i < 4; ++i) block[offset + i] = static_cast<uint8_t>(bits >> (8 * i));
}

void Image::SetHeaderUint16(size_t offset, uint16_t value) {
    if (!hasMemory() || offset + 2 > bih::kHeaderBytes) return;
    block[offset] = static_cast<uint8_t>(value);
    block[offset + 1] = static_cast<uint8_t>(value >> 8);
}

int32_t Image::ResolutionDpi() const {
    return static_cast<int32_t>(HeaderInt32(bih::kXPelsPerMeter) * 0.0254 + 0.5);
}

uint64_t RowStrideFor(int64_t width, int64_t bitCount) {
    const int64_t bits = width * bitCount;
    if (bits <= 0) return 0;
    return static_cast<uint64_t>((bits + 31) / 32) * 4;
}

}  // namespace tarvil
