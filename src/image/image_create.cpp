// CREATEIMAGE(width, height, bits): a new image, every pixel colour-table index 0
// (black), with the default colour table of its bit count.
#include <algorithm>
#include <cstdint>
#include <new>
#include <vector>

#include "engine/host.h"
#include "handlers/handlers.h"
#include "image/dib_header.h"
#include "image/image_operand.h"

namespace tarvil {

namespace {

// Grey steps of the default colour tables: black and white, a 16-step and a 256-step ramp.
int DefaultTableStep(uint16_t paletteCount) {
    switch (paletteCount) {
        case 2:
            return 255;
        case 16:
            return 17;
        default:
            return 1;
    }
}

// Zero-fills the block (every pixel index 0) in pieces, so that a stop request
// is seen while hundreds of megabytes are filled. False when the run is to
// stop: the block is released again. Running out of memory throws.
bool FillBlock(Machine& m, ImageBlock& block, size_t size) {
    constexpr size_t kPieceBytes = size_t{64} << 20;
    block.reserve(size);
    while (block.size() < size) {
        block.resize(std::min(size, block.size() + kPieceBytes));
        if (block.size() < size && RunStopRequested(m)) {
            block = {};
            return false;
        }
    }
    return true;
}

}  // namespace

// Pops bits, height and width (each truncated), pushes the result first. Sizes
// outside 1..32768, or a block whose size would not fit 32 bits (an odd bit
// count on a wide image), get the memory message like a failed allocation. An
// unsupported bit count is only a warning: the image keeps its memory and
// header but has no pixels, and the pixel handlers leave it alone.
void FuncCreateImage(Machine& m) {
    const int32_t bits = ToInt32(PopNumber(m));
    const int32_t height = ToInt32(PopNumber(m));
    const int32_t width = ToInt32(PopNumber(m));
    Image* image = BeginImageResult(m);
    if (image == nullptr) return;

    if (width <= 0 || height <= 0 || width > kMaxImageDimension || height > kMaxImageDimension) {
        PushStop(m, kNoMemoryMessage);
        return;
    }
    const uint64_t stride = RowStrideFor(width, bits);
    if (stride > UINT32_MAX) {
        PushStop(m, kNoMemoryMessage);
        return;
    }
    const uint64_t size = static_cast<uint64_t>(height) * stride + kCreatedSpareBytes;
    if (size > UINT32_MAX || size > m.ImageBlockLimit) {
        PushStop(m, kNoMemoryMessage);
        return;
    }
    try {
        if (!FillBlock(m, image->block, size)) return;
    } catch (const std::bad_alloc&) {
        image->block = {};
        PushStop(m, kNoMemoryMessage);
        return;
    }
    image->RowStride = static_cast<uint32_t>(stride);
    image->SetHeaderInt32(bih::kSize, bih::kHeaderBytes);
    image->SetHeaderInt32(bih::kWidth, width);
    image->SetHeaderInt32(bih::kHeight, height);
    image->SetHeaderUint16(bih::kPlanes, 1);
    image->SetHeaderUint16(bih::kBitCount, static_cast<uint16_t>(bits));

    const uint16_t count = PaletteCountFor(bits);
    if (count == 0 && bits != 24) {
        if (m.host != nullptr) {
            m.host->ShowMessage(Format("%d bit di informazione colore non gestiti", bits),
                                MessageKind::System);
        }
        return;
    }
    image->PaletteCount = count;
    const int step = DefaultTableStep(count);
    for (size_t k = 0; k < count; ++k) {
        const auto grey = static_cast<uint8_t>(k * step);
        uint8_t* entry = &image->block[Image::kPaletteOffset + 4 * k];
        entry[0] = entry[1] = entry[2] = grey;
    }
    image->pixelsOffset = Image::kPaletteOffset + 4 * static_cast<size_t>(count);
    image->hasPixels = true;
}

}  // namespace tarvil
