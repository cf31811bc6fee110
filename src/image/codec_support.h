// What the codec glue of each format shares: the block a decoded picture is
// written into, and the view of an image that an encoder reads from.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <vector>

#include "engine/image_block.h"
#include "image/dib_header.h"
#include "image/image_codecs.h"

namespace tarvil::codec {

// A new packed bitmap for a decoded picture: header, colour table (all black
// until filled) and rows, with the spare bytes of a loaded file. Rows are
// addressed from the top, as the libraries deliver them.
class DecodedBitmap {
public:
    // Checks the size (1..32768 each way, else Malformed) and the memory: the
    // block plus `workingBytes` the decoder needs beside it must stay within
    // `maxBlockBytes` (else NoMemory), all in 64 bits, before allocating.
    CodecStatus Allocate(int64_t width, int64_t height, int bits, uint64_t maxBlockBytes,
                         uint64_t workingBytes = 0);

    int32_t width() const { return m_geometry.width; }
    int32_t height() const { return m_geometry.height; }
    uint32_t stride() const { return m_geometry.rowStride; }
    // Row y counted from the top, stored bottom-up; y must lie below height().
    uint8_t* Row(uint32_t y);
    // Colour-table entry k (k below the bit count's entries).
    void SetEntry(size_t k, uint8_t red, uint8_t green, uint8_t blue);
    // 0, 17, ... for 4 bits; 0 ... 255 for 8 bits; black and white for 1 bit.
    void SetGreyTable();
    // Pixels per metre, 0 for unknown; values outside 32 bits are dropped.
    void SetResolution(double xPerMetre, double yPerMetre);
    // Makes the block the image's memory.
    void InstallInto(Image& image);

private:
    ImageBlock m_block;
    DibGeometry m_geometry;
};

// The model's depth for a palette of `bits` bits per index: 1, 4 or 8.
int PaletteDepthFor(int bits);

// Stores index `value` of pixel x in a row of 1, 4 or 8 bits.
inline void PutIndex(uint8_t* row, int bits, uint32_t x, uint8_t value) {
    if (bits == 8) {
        row[x] = value;
    } else if (bits == 4) {
        uint8_t& byte = row[x / 2];
        byte = (x % 2 == 0) ? static_cast<uint8_t>((byte & 0x0F) | (value << 4))
                            : static_cast<uint8_t>((byte & 0xF0) | (value & 0x0F));
    } else {
        const auto mask = static_cast<uint8_t>(0x80 >> (x % 8));
        row[x / 8] = (value & 1) ? (row[x / 8] | mask) : (row[x / 8] & ~mask);
    }
}

// An image as an encoder reads it, checked: rows inside the block, a model depth.
struct EncodeSource {
    int32_t width = 0;
    int32_t height = 0;
    int bits = 0;
    uint32_t stride = 0;
    int32_t xPerMetre = 0;
    int32_t yPerMetre = 0;
    // Colour-table entries as 0xRRGGBB, the bit count's number (2, 16, 256; none for 24).
    std::vector<uint32_t> palette;
    std::span<const uint8_t> rows;  // bottom row first

    const uint8_t* Row(uint32_t y) const {
        return rows.data() + static_cast<size_t>(height - 1 - static_cast<int32_t>(y)) * stride;
    }
    // True when every colour-table entry is a grey (red = green = blue).
    bool GreyPalette() const;
    // Pixel x of row y as 0xRRGGBB, whatever the depth.
    uint32_t Colour(uint32_t x, uint32_t y) const;
};

// nullopt when the image has no pixels, an unsupported depth or rows outside its block.
std::optional<EncodeSource> SourceOf(const Image& image);

// The index of pixel x in a row of 1, 4 or 8 bits.
inline uint8_t IndexAt(const uint8_t* row, int bits, uint32_t x) {
    if (bits == 8) return row[x];
    if (bits == 4) return (x % 2 == 0) ? static_cast<uint8_t>(row[x / 2] >> 4) : row[x / 2] & 0x0F;
    return (row[x / 8] >> (7 - x % 8)) & 1;
}

// The codec libraries are opened by soname when a file of their format is
// met, not linked: linked, they cost every batch run's start-up. Each codec
// lists the functions it calls in an X-macro; its API struct declares them
// with TARVIL_CODEC_POINTER, and its look-up finds them with
// TARVIL_CODEC_LOOKUP (a CodecLibrary `library`, the struct `api`).
#define TARVIL_CODEC_POINTER(name) decltype(&::name) name = nullptr;
#define TARVIL_CODEC_LOOKUP(name) library.Find(api.name, #name);

class CodecLibrary {
public:
    explicit CodecLibrary(void* handle) : m_handle(handle) {}
    template <class Pointer>
    void Find(Pointer& pointer, const char* name) {
        pointer = reinterpret_cast<Pointer>(Symbol(name));
        m_complete = m_complete && pointer != nullptr;
    }
    bool complete() const { return m_complete; }

private:
    void* Symbol(const char* name) const;
    void* m_handle;
    bool m_complete = true;
};

// Opens the library, which then stays loaded (a second file finds it at
// once), and lets `lookUp` find its functions. False when the library or one
// of the functions is missing.
bool OpenCodecLibrary(const char* soname, const std::function<void(CodecLibrary&)>& lookUp);

// Per format, in its own file.
CodecStatus DecodePng(std::span<const uint8_t> file, Image& image, uint64_t maxBlockBytes);
std::optional<std::vector<uint8_t>> EncodePng(const EncodeSource& source);
CodecStatus DecodeJpeg(std::span<const uint8_t> file, Image& image, uint64_t maxBlockBytes);
std::optional<std::vector<uint8_t>> EncodeJpeg(const EncodeSource& source);
CodecStatus DecodeTiff(std::span<const uint8_t> file, Image& image, uint64_t maxBlockBytes);
std::optional<std::vector<uint8_t>> EncodeTiff(const EncodeSource& source);
CodecStatus DecodeWebP(std::span<const uint8_t> file, Image& image, uint64_t maxBlockBytes);
std::optional<std::vector<uint8_t>> EncodeWebP(const EncodeSource& source);
CodecStatus DecodeGif(std::span<const uint8_t> file, Image& image, uint64_t maxBlockBytes);
std::optional<std::vector<uint8_t>> EncodeGif(const EncodeSource& source);

// Resolution conversions: pixels per metre from dots per inch or per centimetre.
inline double PerMetreFromInch(double dpi) {
    return dpi / 0.0254;
}
inline double PerMetreFromCentimetre(double dpcm) {
    return dpcm * 100.0;
}

}  // namespace tarvil::codec
