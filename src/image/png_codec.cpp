// PNG files through libpng: palette pictures keep their indices, greys become
// 8-bit grey (1-bit greys stay bilevel), everything else 24-bit.
#include <png.h>

#include <csetjmp>
#include <cstring>
#include <new>

#include "image/codec_support.h"

namespace tarvil::codec {

namespace {

// libpng reports through these; an error leaves by longjmp to the setjmp of the
// function that called libpng, whose C++ objects live one frame further out.
void OnPngError(png_structp png, png_const_charp /*message*/) {
    png_longjmp(png, 1);
}
void OnPngWarning(png_structp /*png*/, png_const_charp /*message*/) {}

struct MemoryInput {
    std::span<const uint8_t> file;
    size_t at = 0;
};

void ReadFromMemory(png_structp png, png_bytep out, size_t length) {
    auto* input = static_cast<MemoryInput*>(png_get_io_ptr(png));
    if (length > input->file.size() - input->at) png_error(png, "truncated");
    std::memcpy(out, input->file.data() + input->at, length);
    input->at += length;
}

struct PngRead {
    png_structp png = nullptr;
    png_infop info = nullptr;
    ~PngRead() { png_destroy_read_struct(&png, &info, nullptr); }
};

// Everything the decoder fills, kept outside the frame that calls setjmp.
struct PngDecodeState {
    PngRead read;
    MemoryInput input;
    DecodedBitmap bitmap;
    std::vector<png_bytep> rowPointers;
    // Rows the model cannot take as they come: 2-bit palette indices one a
    // byte, or samples with alpha, composited into the block afterwards.
    std::vector<uint8_t> scratch;
    uint64_t maxBlockBytes = 0;
    CodecStatus status = CodecStatus::Malformed;
};

enum class PngKind { Palette, Bilevel, Grey, Colour };

void DecodeWithLibpng(PngDecodeState& state) {
    png_structp png = state.read.png;
    png_infop info = state.read.info;
    if (setjmp(png_jmpbuf(png))) return;  // state.status says why
    png_set_user_limits(png, kMaxImageDimension, kMaxImageDimension);
    png_set_read_fn(png, &state.input, ReadFromMemory);
    png_read_info(png, info);
    png_uint_32 width = 0;
    png_uint_32 height = 0;
    int bitDepth = 0;
    int colourType = 0;
    png_get_IHDR(png, info, &width, &height, &bitDepth, &colourType, nullptr, nullptr, nullptr);

    PngKind kind = PngKind::Colour;
    int bits = 24;
    if (colourType == PNG_COLOR_TYPE_PALETTE) {
        kind = PngKind::Palette;
        bits = PaletteDepthFor(bitDepth);
        if (bitDepth == 2) png_set_packing(png);
    } else if (colourType == PNG_COLOR_TYPE_GRAY && bitDepth == 1) {
        kind = PngKind::Bilevel;
        bits = 1;
    } else if ((colourType & PNG_COLOR_MASK_COLOR) == 0) {
        kind = PngKind::Grey;
        bits = 8;
        png_set_expand_gray_1_2_4_to_8(png);
    } else {
        png_set_bgr(png);
    }
    // 16-bit samples are scaled to 8.
    png_set_scale_16(png);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);

    const bool alpha = (colourType & PNG_COLOR_MASK_ALPHA) != 0;
    // Bytes a pixel takes in the scratch rows; 0 when rows go straight to the block.
    const size_t scratchPixel = (kind == PngKind::Palette && bitDepth == 2) ? 1
                                : alpha ? (kind == PngKind::Colour ? 4 : 2)
                                        : 0;
    const uint64_t working =
        uint64_t{height} * sizeof(png_bytep) + uint64_t{width} * height * scratchPixel;
    state.status = state.bitmap.Allocate(width, height, bits, state.maxBlockBytes, working);
    if (state.status != CodecStatus::Ok) return;
    state.status = CodecStatus::Malformed;
    const size_t rowBytes = png_get_rowbytes(png, info);
    const size_t targetRowBytes = scratchPixel != 0 ? width * scratchPixel : state.bitmap.stride();
    if (rowBytes > targetRowBytes) return;

    state.rowPointers.resize(height);
    if (scratchPixel != 0) {
        state.scratch.resize(size_t{width} * height * scratchPixel);
        for (png_uint_32 y = 0; y < height; ++y) {
            state.rowPointers[y] = state.scratch.data() + size_t{y} * width * scratchPixel;
        }
    } else {
        for (png_uint_32 y = 0; y < height; ++y) state.rowPointers[y] = state.bitmap.Row(y);
    }
    png_read_image(png, state.rowPointers.data());
    if (scratchPixel != 0) {
        // Alpha is composited on black: each sample scaled by the opacity.
        const auto over = [](uint8_t sample, uint8_t opacity) {
            return static_cast<uint8_t>((sample * opacity + 127) / 255);
        };
        for (png_uint_32 y = 0; y < height; ++y) {
            uint8_t* row = state.bitmap.Row(y);
            const uint8_t* from = state.rowPointers[y];
            for (png_uint_32 x = 0; x < width; ++x) {
                if (scratchPixel == 1) {
                    PutIndex(row, 4, x, from[x]);
                } else if (scratchPixel == 2) {
                    row[x] = over(from[2 * x], from[2 * x + 1]);
                } else {
                    for (int c = 0; c < 3; ++c)
                        row[3 * x + c] = over(from[4 * x + c], from[4 * x + 3]);
                }
            }
        }
    }

    if (kind == PngKind::Palette) {
        png_colorp palette = nullptr;
        int count = 0;
        if (png_get_PLTE(png, info, &palette, &count) != 0) {
            for (int k = 0; k < count; ++k) {
                state.bitmap.SetEntry(k, palette[k].red, palette[k].green, palette[k].blue);
            }
        }
    } else if (kind != PngKind::Colour) {
        state.bitmap.SetGreyTable();
    }
    png_uint_32 xPerUnit = 0;
    png_uint_32 yPerUnit = 0;
    int unit = 0;
    if (png_get_pHYs(png, info, &xPerUnit, &yPerUnit, &unit) != 0 && unit == PNG_RESOLUTION_METER) {
        state.bitmap.SetResolution(xPerUnit, yPerUnit);
    }
    state.status = CodecStatus::Ok;
}

struct PngWrite {
    png_structp png = nullptr;
    png_infop info = nullptr;
    ~PngWrite() { png_destroy_write_struct(&png, &info); }
};

void WriteToMemory(png_structp png, png_bytep data, size_t length) {
    auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
    try {
        out->insert(out->end(), data, data + length);
    } catch (const std::bad_alloc&) {
        png_error(png, "out of memory");
    }
}
void FlushNothing(png_structp /*png*/) {}

struct PngEncodeState {
    PngWrite write;
    const EncodeSource* source = nullptr;
    std::vector<png_color> palette;
    std::vector<uint8_t> out;
    bool done = false;
};

void EncodeWithLibpng(PngEncodeState& state) {
    png_structp png = state.write.png;
    png_infop info = state.write.info;
    const EncodeSource& source = *state.source;
    if (setjmp(png_jmpbuf(png))) return;
    png_set_write_fn(png, &state.out, WriteToMemory, FlushNothing);
    const bool colour = source.bits == 24;
    png_set_IHDR(png, info, static_cast<png_uint_32>(source.width),
                 static_cast<png_uint_32>(source.height), colour ? 8 : source.bits,
                 colour ? PNG_COLOR_TYPE_RGB : PNG_COLOR_TYPE_PALETTE, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (!colour) {
        png_set_PLTE(png, info, state.palette.data(), static_cast<int>(state.palette.size()));
    }
    if (source.xPerMetre > 0 && source.yPerMetre > 0) {
        png_set_pHYs(png, info, static_cast<png_uint_32>(source.xPerMetre),
                     static_cast<png_uint_32>(source.yPerMetre), PNG_RESOLUTION_METER);
    }
    png_set_compression_level(png, 6);
    png_write_info(png, info);
    if (colour) png_set_bgr(png);
    for (int32_t y = 0; y < source.height; ++y) {
        png_write_row(png, source.Row(static_cast<uint32_t>(y)));
    }
    png_write_end(png, info);
    state.done = true;
}

}  // namespace

CodecStatus DecodePng(std::span<const uint8_t> file, Image& image, uint64_t maxBlockBytes) {
    PngDecodeState state;
    state.input.file = file;
    state.maxBlockBytes = maxBlockBytes;
    state.read.png =
        png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, OnPngError, OnPngWarning);
    if (state.read.png == nullptr) return CodecStatus::NoMemory;
    state.read.info = png_create_info_struct(state.read.png);
    if (state.read.info == nullptr) return CodecStatus::NoMemory;
    DecodeWithLibpng(state);
    if (state.status == CodecStatus::Ok) state.bitmap.InstallInto(image);
    return state.status;
}

std::optional<std::vector<uint8_t>> EncodePng(const EncodeSource& source) {
    PngEncodeState state;
    state.source = &source;
    for (const uint32_t colour : source.palette) {
        state.palette.push_back({static_cast<png_byte>(colour >> 16),
                                 static_cast<png_byte>(colour >> 8),
                                 static_cast<png_byte>(colour)});
    }
    state.write.png =
        png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, OnPngError, OnPngWarning);
    if (state.write.png == nullptr) return std::nullopt;
    state.write.info = png_create_info_struct(state.write.png);
    if (state.write.info == nullptr) return std::nullopt;
    EncodeWithLibpng(state);
    if (!state.done) return std::nullopt;
    return std::move(state.out);
}

}  // namespace tarvil::codec
