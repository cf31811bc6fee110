#include "image/bmp_file.h"

#include <algorithm>
#include <new>

#include "engine/image_record.h"

namespace tarvil {

namespace {

constexpr size_t kBfSize = 2;
constexpr size_t kBfOffBits = 10;
constexpr size_t kHeadersBytes = kFileHeaderBytes + bih::kHeaderBytes;

// Colour-table bytes a file carries for a bit count, whatever biClrUsed says.
size_t FullTableBytes(uint16_t bitCount) {
    return 4 * static_cast<size_t>(PaletteCountFor(bitCount));
}

void WriteFileHeader(std::span<uint8_t> out, uint64_t fileSize, uint64_t pixelDataOffset) {
    out[0] = 'B';
    out[1] = 'M';
    WriteLe32(out, kBfSize, static_cast<uint32_t>(fileSize));
    WriteLe32(out, kBfOffBits, static_cast<uint32_t>(pixelDataOffset));
}

// The colour table as the file stores it: the bytes behind the info header, as
// far as the file reaches (a table longer than the bit count's may run into the rows).
std::span<const uint8_t> StoredTable(std::span<const uint8_t> afterFileHeader,
                                     const DibGeometry& geometry) {
    return afterFileHeader.subspan(
        bih::kHeaderBytes,
        std::min(geometry.tableBytes, afterFileHeader.size() - bih::kHeaderBytes));
}

// Copies header, stored table and rows of a checked file into a new block.
BmpLoadStatus CopyIntoNewBlock(std::span<const uint8_t> afterFileHeader,
                               const BmpFileLayout& layout, Image& image) {
    const DibGeometry& geometry = layout.geometry;
    ImageBlock block;
    try {
        block.resize(geometry.pixelBytes + bih::kHeaderBytes + kLoadedSpareBytes);
    } catch (const std::bad_alloc&) {
        return BmpLoadStatus::NoMemory;
    }
    const auto header = afterFileHeader.first(bih::kHeaderBytes);
    std::copy(header.begin(), header.end(), block.begin());
    const auto table = StoredTable(afterFileHeader, geometry);
    std::copy(table.begin(), table.end(), block.begin() + bih::kHeaderBytes);
    const auto rows =
        afterFileHeader.subspan(layout.pixelDataOffset - kFileHeaderBytes, geometry.pixelBytes);
    std::copy(rows.begin(), rows.end(), block.begin() + geometry.pixelsOffset);

    InstallPackedBitmap(image, std::move(block), geometry);
    return BmpLoadStatus::Ok;
}

}  // namespace

std::optional<BmpFileLayout> CheckBmpFile(std::span<const uint8_t> fileHeader,
                                          std::span<const uint8_t> afterFileHeader) {
    if (fileHeader.size() != kFileHeaderBytes || afterFileHeader.size() < bih::kHeaderBytes) {
        return std::nullopt;
    }
    if (fileHeader[0] != 'B' || fileHeader[1] != 'M') return std::nullopt;
    BmpFileLayout layout;
    const auto geometry = CheckDibHeader(afterFileHeader);
    if (!geometry) return std::nullopt;
    layout.geometry = *geometry;
    layout.pixelDataOffset = ReadLe32(fileHeader, kBfOffBits);
    // The rows lie behind the colour table of the bit count. A longer table that
    // biClrUsed announces may run into the rows: SAVEIMAGE writes such files,
    // as it always writes the table of the bit count.
    const size_t tableBeforeRows =
        std::min(geometry->tableBytes, FullTableBytes(geometry->bitCount));
    if (layout.pixelDataOffset < kHeadersBytes + tableBeforeRows) return std::nullopt;
    const size_t fileSize = kFileHeaderBytes + afterFileHeader.size();
    if (layout.pixelDataOffset > fileSize) return std::nullopt;
    // A truncated file would leave rows of undefined content.
    if (fileSize - layout.pixelDataOffset < geometry->pixelBytes) return std::nullopt;
    return layout;
}

std::optional<BmpFileLayout> CheckBmpFile(std::span<const uint8_t> file) {
    if (file.size() < kFileHeaderBytes) return std::nullopt;
    return CheckBmpFile(file.first(kFileHeaderBytes), file.subspan(kFileHeaderBytes));
}

BmpLoadStatus ParseBmpFile(std::span<const uint8_t> file, Image& image) {
    const auto layout = CheckBmpFile(file);
    if (!layout) return BmpLoadStatus::Malformed;
    return CopyIntoNewBlock(file.subspan(kFileHeaderBytes), *layout, image);
}

BmpLoadStatus ParseBmpFileInPlace(std::span<const uint8_t> fileHeader, ImageBlock&& afterFileHeader,
                                  Image& image) {
    const auto layout = CheckBmpFile(fileHeader, afterFileHeader);
    if (!layout) return BmpLoadStatus::Malformed;
    const DibGeometry& geometry = layout->geometry;
    if (layout->pixelDataOffset != kFileHeaderBytes + geometry.pixelsOffset) {
        return CopyIntoNewBlock(afterFileHeader, *layout, image);  // a gap before the rows
    }
    // CheckBmpFile has found header, table and rows inside the file.
    // The block's size does not depend on the colour table: it takes its bytes from the spare ones.
    const size_t used = geometry.pixelsOffset + geometry.pixelBytes;
    const size_t blockSize = geometry.pixelBytes + bih::kHeaderBytes + kLoadedSpareBytes;
    if (used > blockSize) return CopyIntoNewBlock(afterFileHeader, *layout, image);
    try {
        afterFileHeader.resize(used);  // trailing bytes go, the spare bytes are zeros
        afterFileHeader.resize(blockSize);
    } catch (const std::bad_alloc&) {
        return BmpLoadStatus::NoMemory;
    }
    InstallPackedBitmap(image, std::move(afterFileHeader), geometry);
    return BmpLoadStatus::Ok;
}

std::optional<BmpFilePieces> SplitBmpFile(const Image& image) {
    if (!image.hasPixels || !image.hasMemory()) return std::nullopt;
    const int32_t height = image.Height();
    if (height <= 0) return std::nullopt;
    const uint64_t pixelBytes = static_cast<uint64_t>(height) * image.RowStride;
    if (image.pixelsOffset > image.block.size() ||
        pixelBytes > image.block.size() - image.pixelsOffset) {
        return std::nullopt;
    }
    const size_t tableBytes = FullTableBytes(image.BitCount());
    const uint64_t fileSize = kHeadersBytes + tableBytes + pixelBytes;
    if (fileSize > UINT32_MAX) return std::nullopt;

    BmpFilePieces pieces;
    try {
        pieces.head.resize(kHeadersBytes + tableBytes);  // table bytes past the block stay 0
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
    WriteFileHeader(pieces.head, fileSize, kHeadersBytes + tableBytes);
    const auto block = std::span<const uint8_t>(image.block);
    std::copy_n(block.begin(), bih::kHeaderBytes, pieces.head.begin() + kFileHeaderBytes);
    const size_t tableInBlock = std::min(tableBytes, block.size() - Image::kPaletteOffset);
    std::copy_n(block.begin() + Image::kPaletteOffset, tableInBlock,
                pieces.head.begin() + kHeadersBytes);
    pieces.rows = block.subspan(image.pixelsOffset, pixelBytes);
    return pieces;
}

std::optional<std::vector<uint8_t>> SerializeBmp(const Image& image) {
    const auto pieces = SplitBmpFile(image);
    if (!pieces) return std::nullopt;
    std::vector<uint8_t> file;
    try {
        file.reserve(pieces->head.size() + pieces->rows.size());
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
    file.assign(pieces->head.begin(), pieces->head.end());
    file.insert(file.end(), pieces->rows.begin(), pieces->rows.end());
    return file;
}

std::vector<uint8_t> BmpFileFromPackedDib(std::span<const uint8_t> packedDib) {
    std::vector<uint8_t> file(kFileHeaderBytes + packedDib.size());
    // Readers find the rows through bfOffBits: behind the colour table the header announces.
    size_t pixelsOffset = std::min(packedDib.size(), bih::kHeaderBytes);
    if (const auto geometry = CheckDibHeader(packedDib)) pixelsOffset = geometry->pixelsOffset;
    WriteFileHeader(file, file.size(), kFileHeaderBytes + pixelsOffset);
    std::copy(packedDib.begin(), packedDib.end(), file.begin() + kFileHeaderBytes);
    return file;
}

std::optional<std::vector<uint8_t>> PackedDibFromBmpFile(std::span<const uint8_t> file) {
    const auto layout = CheckBmpFile(file);
    if (!layout) return std::nullopt;
    const DibGeometry& geometry = layout->geometry;
    // Header and colour table, then everything from bfOffBits on: a gap some
    // writers leave between the two is dropped.
    const auto header = file.subspan(kFileHeaderBytes, bih::kHeaderBytes);
    const auto table = StoredTable(file.subspan(kFileHeaderBytes), geometry);
    const auto rows = file.subspan(layout->pixelDataOffset);
    std::vector<uint8_t> dib;
    try {
        dib.reserve(geometry.pixelsOffset + rows.size());
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
    dib.insert(dib.end(), header.begin(), header.end());
    dib.insert(dib.end(), table.begin(), table.end());
    dib.resize(geometry.pixelsOffset, 0);  // entries past the end of the file read as 0
    dib.insert(dib.end(), rows.begin(), rows.end());
    return dib;
}

}  // namespace tarvil
