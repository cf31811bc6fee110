// GETPIXEL, SETPIXEL, GETPIXELVAL, SETPIXELVAL, GETPALETTE, SETPALETTE.
//
// Coordinates wrap: each is truncated to a signed 32-bit integer and reduced
// modulo the image's size as an unsigned number, so x = -1 on a 10-pixel row
// is column 5 (4294967295 mod 10). Rows are stored bottom-up. Every byte read
// or written is checked against the image's block: palette slots or rows that
// would lie outside it (clipboard images carry no spare bytes) are neither read
// nor written. Operands that hold no image, images without pixels and palette
// indices outside 0..255 change nothing; the getters then deliver 0 (black).
#include "image/pixel_access.h"

#include <cstdlib>
#include <optional>

#include "handlers/handlers.h"
#include "image/image_operand.h"

namespace tarvil {

namespace {

using Rgb = RgbBytes;

// Where a pixel lies: the offset of its first byte and its column.
struct PixelSpot {
    size_t offset = 0;
    uint32_t column = 0;
    uint32_t storedRow = 0;
};

std::optional<PixelSpot> Locate(const Image& image, int32_t x, int32_t y) {
    if (!image.hasPixels) return std::nullopt;
    const int32_t width = image.Width();
    const int32_t height = image.Height();
    if (width <= 0 || height <= 0) return std::nullopt;
    size_t byteInRow = 0;
    size_t bytes = 1;
    // The remainder, without a division for coordinates already inside the image.
    const auto ux = static_cast<uint32_t>(x);
    const uint32_t column =
        ux < static_cast<uint32_t>(width) ? ux : ux % static_cast<uint32_t>(width);
    switch (image.BitCount()) {
        case 1:
            byteInRow = column / 8;
            break;
        case 4:
            byteInRow = column / 2;
            break;
        case 8:
            byteInRow = column;
            break;
        case 24:
            byteInRow = 3 * static_cast<size_t>(column);
            bytes = 3;
            break;
        default:
            return std::nullopt;
    }
    const auto uy = static_cast<uint32_t>(y);
    const uint32_t rowFromTop =
        uy < static_cast<uint32_t>(height) ? uy : uy % static_cast<uint32_t>(height);
    const size_t storedRow = static_cast<size_t>(height) - 1 - rowFromTop;
    const size_t offset = image.pixelsOffset + storedRow * image.RowStride + byteInRow;
    if (offset > image.block.size() || bytes > image.block.size() - offset) return std::nullopt;
    return PixelSpot{offset, column, static_cast<uint32_t>(storedRow)};
}

// Offset of colour-table slot `index`, when it lies inside the block.
std::optional<size_t> PaletteSlot(const Image& image, int64_t index) {
    if (index < 0 || index > 255) return std::nullopt;
    const size_t offset = Image::kPaletteOffset + 4 * static_cast<size_t>(index);
    if (offset + 4 > image.block.size()) return std::nullopt;
    return offset;
}

Rgb ReadSlot(const Image& image, int64_t index) {
    const auto slot = PaletteSlot(image, index);
    if (!slot) return {};
    return ReadBgr(&image.block[*slot]);
}

}  // namespace

// Entry 0, all four bytes; a table outside the block counts as zero.
bool ZeroBitIsBlack(const Image& image) {
    const auto slot = PaletteSlot(image, 0);
    if (!slot) return true;
    const uint8_t* entry = &image.block[*slot];
    return (entry[0] | entry[1] | entry[2] | entry[3]) == 0;
}

namespace {

// The stored value: the bit, the nibble, the byte, or red + 256 green + 65536 blue.
uint32_t ReadRaw(const Image& image, PixelSpot spot) {
    const uint8_t* p = &image.block[spot.offset];
    switch (image.BitCount()) {
        case 1:
            return ReadBit(p, spot.column);
        case 4:
            return spot.column % 2 == 0 ? *p >> 4 : *p & 0x0F;
        case 8:
            return *p;
        default:
            return PackedColour(ReadBgr(p));
    }
}

void WriteRaw(Image& image, PixelSpot spot, uint32_t value) {
    image.MarkRowChanged(spot.storedRow);
    uint8_t* p = &image.block[spot.offset];
    switch (image.BitCount()) {
        case 1:
            WriteBit(p, spot.column, value);
            break;
        case 4:
            *p = spot.column % 2 == 0 ? static_cast<uint8_t>((*p & 0x0F) | ((value & 0x0F) << 4))
                                      : static_cast<uint8_t>((*p & 0xF0) | (value & 0x0F));
            break;
        case 8:
            *p = static_cast<uint8_t>(value);
            break;
        default:
            WriteBgr(p, ColourOfPacked(value));
            break;
    }
}

// Sets the operand temporary to an RGB value and pushes it.
void PushRgbResult(Machine& m, Rgb colour) {
    Item* result = m.Current().item;
    if (result == nullptr) return;
    StoreRgbResult(*result, colour);
    PushItem(m, result);
}

struct PixelArguments {
    Image* image = nullptr;
    int32_t x = 0;
    int32_t y = 0;
};

// Pops y, x and the image operand (what stands below them on the stack).
PixelArguments PopPixelArguments(Machine& m) {
    PixelArguments args;
    args.y = ToInt32(PopNumber(m));
    args.x = ToInt32(PopNumber(m));
    args.image = OperandImage(PopItem(m));
    return args;
}

}  // namespace

RgbBytes ColourOperandBytes(const Item* item) {
    if (item != nullptr && item->value != nullptr && item->size >= 3) {
        const auto* bytes = reinterpret_cast<const uint8_t*>(item->value);
        return {bytes[0], bytes[1], bytes[2]};
    }
    auto byte = [item](uint32_t i) -> uint8_t {
        if (item == nullptr || item->value == nullptr || i >= item->size) return 0;
        return static_cast<uint8_t>(item->value[i]);
    };
    return {byte(0), byte(1), byte(2)};
}

int NearestPaletteIndex(uint8_t red, uint8_t green, uint8_t blue, std::span<const uint8_t> table,
                        int count) {
    int best = 0;
    int bestDistance = 1000;  // larger than any distance (765 at most)
    for (int k = 0; k < count && 4 * static_cast<size_t>(k) + 4 <= table.size(); ++k) {
        const uint8_t* entry = &table[4 * static_cast<size_t>(k)];
        const int distance =
            std::abs(entry[0] - blue) + std::abs(entry[1] - green) + std::abs(entry[2] - red);
        if (distance < bestDistance) {
            best = k;
            bestDistance = distance;
            if (distance == 0) break;
        }
    }
    return best;
}

namespace {

// Slots come in buckets of four, so that a few colours of a table falling on
// one bucket do not keep pushing each other out.
constexpr size_t kNearestCacheSlots = kNearestCacheWays << kNearestCacheBucketBits;
static_assert(kNearestCacheSlots == 4096);

// The search of the first `count` entries; what it finds is remembered in
// `slot` when there is one. Out of line: the remembered colours are the
// common case, and they need none of the search's registers.
[[gnu::noinline]] int SearchNearest(const Image& image, Rgb colour, int count, uint64_t* slot) {
    const auto table = std::span<const uint8_t>(image.block).subspan(Image::kPaletteOffset);
    const int index = NearestPaletteIndex(colour.red, colour.green, colour.blue, table, count);
    if (slot != nullptr)
        *slot = kNearestCacheValid | (uint64_t{PackedColour(colour)} << 8) |
                static_cast<uint8_t>(index);
    return index;
}

[[gnu::noinline]] void MakeNearestCache(Image& image) {
    image.nearestCache.assign(kNearestCacheSlots, 0);
}

}  // namespace

// The search is remembered by colour while the table lies wholly before the
// pixel rows; the index is the search's own.
int NearestEntryLookedUp(Image& image, RgbBytes colour) {
    const int count = image.BitCount() == 4 ? 16 : 256;
    if (!TableBeforeRows(image)) return SearchNearest(image, colour, count, nullptr);
    const uint32_t key = PackedColour(colour);
    if (image.nearestCache.empty()) MakeNearestCache(image);
    uint64_t* slots = image.nearestCache.data() + NearestCacheBucket(key) * kNearestCacheWays;
    size_t way = 0;
    for (; way < kNearestCacheWays; ++way) {
        const uint64_t entry = slots[way];
        if ((entry & kNearestCacheValid) == 0) break;  // buckets fill from their first slot
        if (((entry >> 8) & 0xFFFFFF) == key) return static_cast<int>(entry & 0xFF);
    }
    // A full bucket gives up the slot the colour picks.
    if (way == kNearestCacheWays) way = key % kNearestCacheWays;
    return SearchNearest(image, colour, count, &slots[way]);
}

namespace {

// The colour GETPIXEL gives for one pixel: black without an image or pixel.
Rgb PixelColour(const Image* source, int32_t x, int32_t y) {
    Rgb colour;
    if (source == nullptr) return colour;
    const Image& image = *source;
    if (const auto spot = Locate(image, x, y)) {
        const uint32_t raw = ReadRaw(image, *spot);
        switch (image.BitCount()) {
            case 1:
                colour = ColourOfBit(raw, ZeroBitIsBlack(image));
                break;
            case 4:
            case 8:
                colour = ReadSlot(image, raw);
                break;
            default:
                colour = {static_cast<uint8_t>(raw), static_cast<uint8_t>(raw >> 8),
                          static_cast<uint8_t>(raw >> 16)};
                break;
        }
    }
    return colour;
}

// What SETPIXEL stores: palette images get the nearest colour-table entry;
// 1-bit images look at the red byte alone.
void PutPixelColour(Image* target, int32_t x, int32_t y, Rgb colour) {
    if (target == nullptr) return;
    Image& image = *target;
    const auto spot = Locate(image, x, y);
    if (!spot) return;
    switch (image.BitCount()) {
        case 1:
            WriteRaw(image, *spot, BitOfColour(colour, ZeroBitIsBlack(image)));
            break;
        case 4:
        case 8:
            WriteRaw(image, *spot, NearestEntryFor(image, colour));
            break;
        default:
            WriteRaw(image, *spot, PackedColour(colour));
            break;
    }
}

}  // namespace

RgbBytes PixelColourAt(const Image* image, int32_t x, int32_t y) {
    return PixelColour(image, x, y);
}

void PutPixelColourAt(Image* image, int32_t x, int32_t y, RgbBytes colour) {
    PutPixelColour(image, x, y, colour);
}

// Pops y, x; replaces the image with the pixel's colour (RGB).
void FuncGetPixel(Machine& m) {
    const PixelArguments args = PopPixelArguments(m);
    PushRgbResult(m, PixelColour(args.image, args.x, args.y));
}

// Pops colour, y, x, image.
void StmtSetPixel(Machine& m) {
    const Rgb colour = ColourOperandBytes(PopItem(m));
    const PixelArguments args = PopPixelArguments(m);
    PutPixelColour(args.image, args.x, args.y, colour);
}

uint32_t PixelValueAt(const Image* image, int32_t x, int32_t y) {
    if (image == nullptr) return 0;
    const auto spot = Locate(*image, x, y);
    return spot ? ReadRaw(*image, *spot) : 0;
}

void PutPixelValueAt(Image* image, int32_t x, int32_t y, uint32_t value) {
    if (image == nullptr) return;
    if (const auto spot = Locate(*image, x, y)) WriteRaw(*image, *spot, value);
}

// Pops y, x; replaces the image with the stored value (FLOAT).
void FuncGetPixelVal(Machine& m) {
    const PixelArguments args = PopPixelArguments(m);
    const uint32_t raw = PixelValueAt(args.image, args.x, args.y);
    if (m.Current().item == nullptr) return;
    PushFloatResult(m, raw);
}

// Pops value, y, x, image; stores the value as it is (no colour-table lookup).
void StmtSetPixelVal(Machine& m) {
    const auto value = static_cast<uint32_t>(ToInt32(PopNumber(m)));
    const PixelArguments args = PopPixelArguments(m);
    PutPixelValueAt(args.image, args.x, args.y, value);
}

// Slots beyond the bit count's table are read too: they overlap the pixel rows.
RgbBytes PaletteColourAt(const Image& image, int32_t index) {
    return ReadSlot(image, index);
}

// The slot's reserved byte is kept.
void PutPaletteColourAt(Image& image, int32_t index, RgbBytes colour) {
    const auto slot = PaletteSlot(image, index);
    if (!slot) return;
    WriteBgr(&image.block[*slot], colour);
    image.nearestCache.clear();
    image.MarkAllRowsChanged();
}

// Pops the index; replaces the image with the slot's colour.
void FuncGetPalette(Machine& m) {
    const int32_t index = ToInt32(PopNumber(m));
    const Image* image = OperandImage(PopItem(m));
    PushRgbResult(m, image != nullptr ? PaletteColourAt(*image, index) : Rgb{});
}

// Pops colour, index, image.
void StmtSetPalette(Machine& m) {
    const Rgb colour = ColourOperandBytes(PopItem(m));
    const int32_t index = ToInt32(PopNumber(m));
    Image* image = OperandImage(PopItem(m));
    if (image != nullptr) PutPaletteColourAt(*image, index, colour);
}

}  // namespace tarvil
