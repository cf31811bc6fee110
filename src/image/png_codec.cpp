// PNG files through libpng: palette pictures keep their indices, greys become
// 8-bit grey (1-bit greys stay bilevel), everything else 24-bit.
//
// Like libtiff, libpng is opened only when a PNG file is met, and stays loaded:
// linked, it and the other codec libraries cost every batch run's start-up.
#include <dlfcn.h>
#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <cstdlib>

#include "image/codec_support.h"

namespace tarvil::codec {

namespace {

// The libpng functions the glue calls, found in the library when it is opened.
#define TARVIL_PNG_FUNCTIONS(X)       \
    X(png_create_read_struct)         \
    X(png_create_write_struct)        \
    X(png_create_info_struct)         \
    X(png_destroy_read_struct)        \
    X(png_destroy_write_struct)       \
    X(png_set_longjmp_fn)             \
    X(png_init_io)                    \
    X(png_set_user_limits)            \
    X(png_read_info)                  \
    X(png_get_IHDR)                   \
    X(png_set_packing)                \
    X(png_set_expand_gray_1_2_4_to_8) \
    X(png_set_bgr)                    \
    X(png_set_scale_16)               \
    X(png_set_interlace_handling)     \
    X(png_read_update_info)           \
    X(png_get_rowbytes)               \
    X(png_read_image)                 \
    X(png_get_PLTE)                   \
    X(png_get_pHYs)                   \
    X(png_set_IHDR)                   \
    X(png_set_PLTE)                   \
    X(png_set_pHYs)                   \
    X(png_set_compression_level)      \
    X(png_write_info)                 \
    X(png_write_row)                  \
    X(png_write_end)

struct PngApi {
    TARVIL_PNG_FUNCTIONS(TARVIL_CODEC_POINTER)
};

// nullopt when the library or one of its functions is missing. The library is
// never unloaded, so a second PNG file finds it at once.
std::optional<PngApi> OpenLibpng() {
    PngApi api;
    const auto lookUp = [&api](CodecLibrary& library) { TARVIL_PNG_FUNCTIONS(TARVIL_CODEC_LOOKUP) };
    if (!OpenCodecLibrary(TARVIL_LIBPNG_SONAME, lookUp)) return std::nullopt;
    return api;
}

// libpng reports through these; an error leaves by longjmp to the setjmp of the
// function that called libpng, whose C++ objects live one frame further out.
// libpng hands its callbacks nothing but its opaque handle, so this one finds
// png_longjmp in the library itself, which is loaded by then. Should that
// fail, returning lets libpng's own handler jump instead.
void OnPngError(png_structp png, png_const_charp /*message*/) {
    void* library = dlopen(TARVIL_LIBPNG_SONAME, RTLD_NOW | RTLD_LOCAL | RTLD_NOLOAD);
    if (library == nullptr) return;
    const auto jump = reinterpret_cast<decltype(&::png_longjmp)>(dlsym(library, "png_longjmp"));
    dlclose(library);  // still loaded: RTLD_NODELETE
    if (jump != nullptr) jump(png, 1);
}
void OnPngWarning(png_structp /*png*/, png_const_charp /*message*/) {}

// The jump buffer png_jmpbuf gives, without the macro's direct library call.
std::jmp_buf& JumpBuffer(const PngApi& api, png_structp png) {
    return *api.png_set_longjmp_fn(png, std::longjmp, sizeof(std::jmp_buf));
}

// Files are read and written through stdio streams over memory, with the
// library's own stdio functions: read and write callbacks of ours would need
// a library call (png_get_io_ptr) each time to find their data.
struct MemoryFile {
    std::FILE* file = nullptr;
    // What a stream from open_memstream holds once flushed or closed.
    char* written = nullptr;
    size_t size = 0;
    ~MemoryFile() {
        if (file != nullptr) std::fclose(file);
        std::free(written);
    }
};

struct PngRead {
    const PngApi& api;
    png_structp png = nullptr;
    png_infop info = nullptr;
    ~PngRead() {
        if (png != nullptr) api.png_destroy_read_struct(&png, &info, nullptr);
    }
};

// Everything the decoder fills, kept outside the frame that calls setjmp.
struct PngDecodeState {
    explicit PngDecodeState(const PngApi& api) : read{api} {}
    PngRead read;
    MemoryFile input;
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
    const PngApi& api = state.read.api;
    png_structp png = state.read.png;
    png_infop info = state.read.info;
    if (setjmp(JumpBuffer(api, png))) return;  // state.status says why
    api.png_set_user_limits(png, kMaxImageDimension, kMaxImageDimension);
    api.png_init_io(png, state.input.file);
    api.png_read_info(png, info);
    png_uint_32 width = 0;
    png_uint_32 height = 0;
    int bitDepth = 0;
    int colourType = 0;
    api.png_get_IHDR(png, info, &width, &height, &bitDepth, &colourType, nullptr, nullptr, nullptr);

    PngKind kind = PngKind::Colour;
    int bits = 24;
    if (colourType == PNG_COLOR_TYPE_PALETTE) {
        kind = PngKind::Palette;
        bits = PaletteDepthFor(bitDepth);
        if (bitDepth == 2) api.png_set_packing(png);
    } else if (colourType == PNG_COLOR_TYPE_GRAY && bitDepth == 1) {
        kind = PngKind::Bilevel;
        bits = 1;
    } else if ((colourType & PNG_COLOR_MASK_COLOR) == 0) {
        kind = PngKind::Grey;
        bits = 8;
        api.png_set_expand_gray_1_2_4_to_8(png);
    } else {
        api.png_set_bgr(png);
    }
    // 16-bit samples are scaled to 8.
    api.png_set_scale_16(png);
    api.png_set_interlace_handling(png);
    api.png_read_update_info(png, info);

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
    const size_t rowBytes = api.png_get_rowbytes(png, info);
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
    api.png_read_image(png, state.rowPointers.data());
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
        if (api.png_get_PLTE(png, info, &palette, &count) != 0) {
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
    if (api.png_get_pHYs(png, info, &xPerUnit, &yPerUnit, &unit) != 0 &&
        unit == PNG_RESOLUTION_METER) {
        state.bitmap.SetResolution(xPerUnit, yPerUnit);
    }
    state.status = CodecStatus::Ok;
}

struct PngWrite {
    const PngApi& api;
    png_structp png = nullptr;
    png_infop info = nullptr;
    ~PngWrite() {
        if (png != nullptr) api.png_destroy_write_struct(&png, &info);
    }
};

struct PngEncodeState {
    explicit PngEncodeState(const PngApi& api) : write{api} {}
    PngWrite write;
    const EncodeSource* source = nullptr;
    std::vector<png_color> palette;
    MemoryFile out;
    bool done = false;
};

void EncodeWithLibpng(PngEncodeState& state) {
    const PngApi& api = state.write.api;
    png_structp png = state.write.png;
    png_infop info = state.write.info;
    const EncodeSource& source = *state.source;
    if (setjmp(JumpBuffer(api, png))) return;
    api.png_init_io(png, state.out.file);
    const bool colour = source.bits == 24;
    api.png_set_IHDR(png, info, static_cast<png_uint_32>(source.width),
                     static_cast<png_uint_32>(source.height), colour ? 8 : source.bits,
                     colour ? PNG_COLOR_TYPE_RGB : PNG_COLOR_TYPE_PALETTE, PNG_INTERLACE_NONE,
                     PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (!colour) {
        api.png_set_PLTE(png, info, state.palette.data(), static_cast<int>(state.palette.size()));
    }
    if (source.xPerMetre > 0 && source.yPerMetre > 0) {
        api.png_set_pHYs(png, info, static_cast<png_uint_32>(source.xPerMetre),
                         static_cast<png_uint_32>(source.yPerMetre), PNG_RESOLUTION_METER);
    }
    api.png_set_compression_level(png, 6);
    api.png_write_info(png, info);
    if (colour) api.png_set_bgr(png);
    for (int32_t y = 0; y < source.height; ++y) {
        api.png_write_row(png, source.Row(static_cast<uint32_t>(y)));
    }
    api.png_write_end(png, info);
    state.done = true;
}

}  // namespace

CodecStatus DecodePng(std::span<const uint8_t> file, Image& image, uint64_t maxBlockBytes) {
    const auto library = OpenLibpng();
    if (!library) return CodecStatus::Malformed;
    PngDecodeState state{*library};
    const PngApi& api = *library;
    // Opened for reading only, the stream leaves the bytes as they are.
    state.input.file = fmemopen(const_cast<uint8_t*>(file.data()), file.size(), "rb");
    if (state.input.file == nullptr) return CodecStatus::NoMemory;
    state.maxBlockBytes = maxBlockBytes;
    state.read.png =
        api.png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, OnPngError, OnPngWarning);
    if (state.read.png == nullptr) return CodecStatus::NoMemory;
    state.read.info = api.png_create_info_struct(state.read.png);
    if (state.read.info == nullptr) return CodecStatus::NoMemory;
    DecodeWithLibpng(state);
    if (state.status == CodecStatus::Ok) state.bitmap.InstallInto(image);
    return state.status;
}

std::optional<std::vector<uint8_t>> EncodePng(const EncodeSource& source) {
    const auto library = OpenLibpng();
    if (!library) return std::nullopt;
    PngEncodeState state{*library};
    const PngApi& api = *library;
    state.source = &source;
    state.out.file = open_memstream(&state.out.written, &state.out.size);
    if (state.out.file == nullptr) return std::nullopt;
    for (const uint32_t colour : source.palette) {
        state.palette.push_back({static_cast<png_byte>(colour >> 16),
                                 static_cast<png_byte>(colour >> 8),
                                 static_cast<png_byte>(colour)});
    }
    state.write.png =
        api.png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, OnPngError, OnPngWarning);
    if (state.write.png == nullptr) return std::nullopt;
    state.write.info = api.png_create_info_struct(state.write.png);
    if (state.write.info == nullptr) return std::nullopt;
    EncodeWithLibpng(state);
    if (!state.done) return std::nullopt;
    // Closing writes out what the stream still buffers.
    const int closed = std::fclose(state.out.file);
    state.out.file = nullptr;
    if (closed != 0) return std::nullopt;
    const auto* bytes = reinterpret_cast<const uint8_t*>(state.out.written);
    return std::vector<uint8_t>(bytes, bytes + state.out.size);
}

}  // namespace tarvil::codec
