// BMP files: reading one into an image and writing an image as one.
//
// Pure functions on bytes, with no machine and no file system, so that the
// reader can be driven by fuzzers and tests directly.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "engine/image_block.h"
#include "image/dib_header.h"

namespace tarvil {

struct Image;

// Where the parts of an acceptable BMP file lie.
struct BmpFileLayout {
    DibGeometry geometry;
    size_t pixelDataOffset = 0;  // bfOffBits
};

// Checks, in order, before anything is allocated: the file holds both headers
// and starts with "BM"; the info header lies inside the model (CheckDibHeader);
// bfOffBits lies behind the colour table (of the bit count's size at most, as
// SAVEIMAGE writes it) and inside the file; the file holds every pixel row.
// nullopt when any check fails.
std::optional<BmpFileLayout> CheckBmpFile(std::span<const uint8_t> file);

enum class BmpLoadStatus { Ok, Malformed, NoMemory };

// Builds `image` from the bytes of a BMP file: a block of height × stride +
// 40 + 2048 bytes holding the header (with biClrImportant cleared), the stored
// colour table and the pixel rows, placed behind biClrUsed entries when the
// header gives that count (table bytes past the end of the file read as 0).
// `image` is unchanged unless the result is Ok.
BmpLoadStatus ParseBmpFile(std::span<const uint8_t> file, Image& image);

// The same checks on a file given in two parts: its 14-byte file header and
// everything behind it, as LOADIMAGE reads a file.
std::optional<BmpFileLayout> CheckBmpFile(std::span<const uint8_t> fileHeader,
                                          std::span<const uint8_t> afterFileHeader);

// ParseBmpFile on a file read in those two parts, made from the second part's
// own bytes when the rows follow the colour table directly (as in every file we
// write): it becomes the image's block as it is, with no copy. Give
// `afterFileHeader` the capacity for kLoadedSpareBytes more to spare a reallocation.
BmpLoadStatus ParseBmpFileInPlace(std::span<const uint8_t> fileHeader, ImageBlock&& afterFileHeader,
                                  Image& image);

// The BMP file of an image: file header, the 40 header bytes as they are, the
// full colour table for the bit count (bytes past the block's end written as 0)
// and the pixel rows. nullopt when the image has no pixels.
std::optional<std::vector<uint8_t>> SerializeBmp(const Image& image);

// The same file in two pieces, so that SAVEIMAGE writes the rows straight from
// the image's block: the headers and colour table, then the rows, which
// point into `image` and are valid while its block is unchanged.
struct BmpFilePieces {
    std::vector<uint8_t> head;
    std::span<const uint8_t> rows;
};
std::optional<BmpFilePieces> SplitBmpFile(const Image& image);

// The clipboard's image/bmp form of a packed bitmap (file header added) and back.
std::vector<uint8_t> BmpFileFromPackedDib(std::span<const uint8_t> packedDib);
std::optional<std::vector<uint8_t>> PackedDibFromBmpFile(std::span<const uint8_t> file);

}  // namespace tarvil
