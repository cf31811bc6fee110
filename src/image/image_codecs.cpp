#include "image/image_codecs.h"

#include <dlfcn.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <stdexcept>

#include "engine/image_record.h"
#include "image/codec_support.h"

namespace tarvil {

namespace {

bool StartsWith(std::span<const uint8_t> bytes, std::string_view magic, size_t at = 0) {
    if (bytes.size() < at + magic.size()) return false;
    return std::memcmp(bytes.data() + at, magic.data(), magic.size()) == 0;
}

char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EndsWithNoCase(std::string_view name, std::string_view suffix) {
    if (name.size() < suffix.size()) return false;
    const std::string_view tail = name.substr(name.size() - suffix.size());
    return std::equal(tail.begin(), tail.end(), suffix.begin(),
                      [](char a, char b) { return Lower(a) == b; });
}

}  // namespace

ImageFormat DetectImageFormat(std::span<const uint8_t> head) {
    using std::string_view;
    if (StartsWith(head, string_view("\x89PNG\r\n\x1a\n", 8))) return ImageFormat::Png;
    if (StartsWith(head, string_view("\xFF\xD8\xFF", 3))) return ImageFormat::Jpeg;
    if (StartsWith(head, string_view("II*\0", 4)) || StartsWith(head, string_view("MM\0*", 4))) {
        return ImageFormat::Tiff;
    }
    if (StartsWith(head, "RIFF") && StartsWith(head, "WEBP", 8)) return ImageFormat::WebP;
    if (StartsWith(head, "GIF87a") || StartsWith(head, "GIF89a")) return ImageFormat::Gif;
    return ImageFormat::Bmp;
}

ImageFormat SaveFormatForName(std::string_view name) {
    if (EndsWithNoCase(name, ".png")) return ImageFormat::Png;
    if (EndsWithNoCase(name, ".jpg") || EndsWithNoCase(name, ".jpeg")) return ImageFormat::Jpeg;
    if (EndsWithNoCase(name, ".tif") || EndsWithNoCase(name, ".tiff")) return ImageFormat::Tiff;
    if (EndsWithNoCase(name, ".webp")) return ImageFormat::WebP;
    if (EndsWithNoCase(name, ".gif")) return ImageFormat::Gif;
    return ImageFormat::Bmp;
}

CodecStatus DecodeImage(ImageFormat format, std::span<const uint8_t> file, Image& image,
                        uint64_t maxBlockBytes) {
    try {
        switch (format) {
            case ImageFormat::Png:
                return codec::DecodePng(file, image, maxBlockBytes);
            case ImageFormat::Jpeg:
                return codec::DecodeJpeg(file, image, maxBlockBytes);
            case ImageFormat::Tiff:
                return codec::DecodeTiff(file, image, maxBlockBytes);
            case ImageFormat::WebP:
                return codec::DecodeWebP(file, image, maxBlockBytes);
            case ImageFormat::Gif:
                return codec::DecodeGif(file, image, maxBlockBytes);
            case ImageFormat::Bmp:
                break;
        }
    } catch (const std::bad_alloc&) {
        return CodecStatus::NoMemory;
    } catch (const std::out_of_range&) {
    }
    return CodecStatus::Malformed;
}

std::optional<std::vector<uint8_t>> EncodeImage(ImageFormat format, const Image& image) {
    const auto source = codec::SourceOf(image);
    if (!source) return std::nullopt;
    try {
        switch (format) {
            case ImageFormat::Png:
                return codec::EncodePng(*source);
            case ImageFormat::Jpeg:
                return codec::EncodeJpeg(*source);
            case ImageFormat::Tiff:
                return codec::EncodeTiff(*source);
            case ImageFormat::WebP:
                return codec::EncodeWebP(*source);
            case ImageFormat::Gif:
                return codec::EncodeGif(*source);
            case ImageFormat::Bmp:
                break;
        }
    } catch (const std::bad_alloc&) {
    }
    return std::nullopt;
}

namespace codec {

void* CodecLibrary::Symbol(const char* name) const {
    return dlsym(m_handle, name);
}

bool OpenCodecLibrary(const char* soname, const std::function<void(CodecLibrary&)>& lookUp) {
    void* handle = dlopen(soname, RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    if (handle == nullptr) return false;
    CodecLibrary library(handle);
    lookUp(library);
    dlclose(handle);  // RTLD_NODELETE keeps it loaded
    return library.complete();
}

CodecStatus DecodedBitmap::Allocate(int64_t width, int64_t height, int bits, uint64_t maxBlockBytes,
                                    uint64_t workingBytes) {
    if (width < 1 || height < 1 || width > kMaxImageDimension || height > kMaxImageDimension) {
        return CodecStatus::Malformed;
    }
    const uint64_t stride = RowStrideFor(width, bits);
    const uint64_t pixelBytes = stride * static_cast<uint64_t>(height);
    const uint64_t blockBytes = pixelBytes + bih::kHeaderBytes + kLoadedSpareBytes;
    if (blockBytes > UINT32_MAX || blockBytes > maxBlockBytes ||
        workingBytes > maxBlockBytes - blockBytes) {
        return CodecStatus::NoMemory;
    }
    const uint16_t paletteCount = PaletteCountFor(bits);
    try {
        m_block.assign(blockBytes, 0);
    } catch (const std::bad_alloc&) {
        return CodecStatus::NoMemory;
    }
    m_geometry.width = static_cast<int32_t>(width);
    m_geometry.height = static_cast<int32_t>(height);
    m_geometry.bitCount = static_cast<uint16_t>(bits);
    m_geometry.paletteCount = paletteCount;
    m_geometry.rowStride = static_cast<uint32_t>(stride);
    m_geometry.tableBytes = 4 * static_cast<size_t>(paletteCount);
    m_geometry.pixelsOffset = bih::kHeaderBytes + m_geometry.tableBytes;
    m_geometry.pixelBytes = pixelBytes;
    const auto header = std::span<uint8_t>(m_block).first(bih::kHeaderBytes);
    WriteLe32(header, bih::kSize, bih::kHeaderBytes);
    WriteLe32(header, bih::kWidth, static_cast<uint32_t>(width));
    WriteLe32(header, bih::kHeight, static_cast<uint32_t>(height));
    WriteLe16(header, bih::kPlanes, 1);
    WriteLe16(header, bih::kBitCount, static_cast<uint16_t>(bits));
    WriteLe32(header, bih::kSizeImage, static_cast<uint32_t>(pixelBytes));
    return CodecStatus::Ok;
}

uint8_t* DecodedBitmap::Row(uint32_t y) {
    // Callers loop over y below height(); the check keeps a slip inside the block.
    if (y >= static_cast<uint32_t>(m_geometry.height)) throw std::out_of_range("row");
    return m_block.data() + m_geometry.pixelsOffset +
           static_cast<size_t>(m_geometry.height - 1 - static_cast<int32_t>(y)) *
               m_geometry.rowStride;
}

void DecodedBitmap::SetEntry(size_t k, uint8_t red, uint8_t green, uint8_t blue) {
    if (k >= m_geometry.paletteCount) return;
    uint8_t* entry = m_block.data() + bih::kHeaderBytes + 4 * k;
    entry[0] = blue;
    entry[1] = green;
    entry[2] = red;
    entry[3] = 0;
}

void DecodedBitmap::SetGreyTable() {
    const size_t count = m_geometry.paletteCount;
    if (count < 2) return;
    for (size_t k = 0; k < count; ++k) {
        const auto grey = static_cast<uint8_t>(k * 255 / (count - 1));
        SetEntry(k, grey, grey, grey);
    }
}

void DecodedBitmap::SetResolution(double xPerMetre, double yPerMetre) {
    const auto clamp = [](double value) -> uint32_t {
        if (!(value > 0) || value > INT32_MAX) return 0;
        return static_cast<uint32_t>(std::lround(value));
    };
    const auto header = std::span<uint8_t>(m_block).first(bih::kHeaderBytes);
    WriteLe32(header, bih::kXPelsPerMeter, clamp(xPerMetre));
    WriteLe32(header, bih::kYPelsPerMeter, clamp(yPerMetre));
}

void DecodedBitmap::InstallInto(Image& image) {
    InstallPackedBitmap(image, std::move(m_block), m_geometry);
    m_block = {};
}

int PaletteDepthFor(int bits) {
    if (bits <= 1) return 1;
    if (bits <= 4) return 4;
    return 8;
}

bool EncodeSource::GreyPalette() const {
    return std::all_of(palette.begin(), palette.end(), [](uint32_t c) {
        return ((c >> 16) & 0xFF) == ((c >> 8) & 0xFF) && ((c >> 8) & 0xFF) == (c & 0xFF);
    });
}

uint32_t EncodeSource::Colour(uint32_t x, uint32_t y) const {
    const uint8_t* row = Row(y);
    if (bits == 24) {
        const uint8_t* p = row + 3 * static_cast<size_t>(x);
        return (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[1]) << 8) | p[0];
    }
    const uint8_t index = IndexAt(row, bits, x);
    return index < palette.size() ? palette[index] : 0;
}

std::optional<EncodeSource> SourceOf(const Image& image) {
    if (!image.hasPixels || !image.hasMemory()) return std::nullopt;
    EncodeSource source;
    source.width = image.Width();
    source.height = image.Height();
    source.bits = image.BitCount();
    if (source.bits != 1 && source.bits != 4 && source.bits != 8 && source.bits != 24) {
        return std::nullopt;
    }
    if (source.width <= 0 || source.height <= 0) return std::nullopt;
    source.stride = image.RowStride;
    if (source.stride < RowStrideFor(source.width, source.bits)) return std::nullopt;
    const uint64_t pixelBytes = static_cast<uint64_t>(source.height) * source.stride;
    if (image.pixelsOffset > image.block.size() ||
        pixelBytes > image.block.size() - image.pixelsOffset) {
        return std::nullopt;
    }
    source.rows = std::span<const uint8_t>(image.block).subspan(image.pixelsOffset, pixelBytes);
    source.xPerMetre = image.HeaderInt32(bih::kXPelsPerMeter);
    source.yPerMetre = image.HeaderInt32(bih::kYPelsPerMeter);
    const size_t count = PaletteCountFor(source.bits);
    source.palette.assign(count, 0);
    for (size_t k = 0; k < count; ++k) {
        const size_t at = Image::kPaletteOffset + 4 * k;
        if (at + 3 > image.block.size()) break;  // entries past the block read as black
        source.palette[k] = (static_cast<uint32_t>(image.block[at + 2]) << 16) |
                            (static_cast<uint32_t>(image.block[at + 1]) << 8) | image.block[at];
    }
    return source;
}

}  // namespace codec

}  // namespace tarvil
