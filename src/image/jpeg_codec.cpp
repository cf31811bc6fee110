// JPEG files through libjpeg-turbo. Greys become 8-bit grey, everything else
// 24-bit; CMYK pictures are turned into RGB. Saved at quality 90 with the
// library's default (4:2:0) subsampling.
//
// Like libtiff, libjpeg is opened only when a JPEG file is met, and stays loaded:
// linked, it and the other codec libraries cost every batch run's start-up.

#include <cstdio>
// jpeglib.h needs FILE and size_t declared before it.
#include <jpeglib.h>
// After jpeglib.h, which it needs.
#include <jerror.h>

#include <algorithm>
#include <climits>
#include <csetjmp>
#include <cstdlib>
#include <new>

#include "image/codec_support.h"

namespace tarvil::codec {

namespace {

constexpr int kQuality = 90;
// More scans than any real progressive file has; a crafted file with
// thousands of tiny scans would otherwise take minutes.
constexpr int kMaxScans = 1000;

// The libjpeg functions the glue calls, found in the library when it is
// opened. jpeg_create_decompress and jpeg_create_compress are macros for the
// two Create functions.
#define TARVIL_JPEG_FUNCTIONS(X) \
    X(jpeg_std_error)            \
    X(jpeg_CreateDecompress)     \
    X(jpeg_destroy_decompress)   \
    X(jpeg_mem_src)              \
    X(jpeg_read_header)          \
    X(jpeg_has_multiple_scans)   \
    X(jpeg_start_decompress)     \
    X(jpeg_read_scanlines)       \
    X(jpeg_CreateCompress)       \
    X(jpeg_destroy_compress)     \
    X(jpeg_mem_dest)             \
    X(jpeg_set_defaults)         \
    X(jpeg_set_quality)          \
    X(jpeg_start_compress)       \
    X(jpeg_write_scanlines)      \
    X(jpeg_finish_compress)

struct JpegApi {
    TARVIL_JPEG_FUNCTIONS(TARVIL_CODEC_POINTER)
};

// nullopt when the library or one of its functions is missing. The library is
// never unloaded, so a second JPEG file finds it at once.
std::optional<JpegApi> OpenLibjpeg() {
    JpegApi api;
    const auto lookUp = [&api](CodecLibrary& library) {
        TARVIL_JPEG_FUNCTIONS(TARVIL_CODEC_LOOKUP)
    };
    if (!OpenCodecLibrary(TARVIL_LIBJPEG_SONAME, lookUp)) return std::nullopt;
    return api;
}

struct JpegErrors {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
};

// Leaves by longjmp to the setjmp of the function that called libjpeg.
void OnJpegError(j_common_ptr cinfo) {
    std::longjmp(reinterpret_cast<JpegErrors*>(cinfo->err)->jump, 1);
}
void OnJpegMessage(j_common_ptr /*cinfo*/) {}
// A file that ends before its last scan is refused rather than shown half grey;
// other warnings (stray bytes between markers) leave a usable picture.
void OnJpegWarning(j_common_ptr cinfo, int level) {
    if (level < 0 && cinfo->err->msg_code == JWRN_JPEG_EOF) OnJpegError(cinfo);
}

void InstallErrors(const JpegApi& api, JpegErrors& errors) {
    api.jpeg_std_error(&errors.manager);
    errors.manager.error_exit = OnJpegError;
    errors.manager.output_message = OnJpegMessage;
    errors.manager.emit_message = OnJpegWarning;
}

void LimitScans(j_common_ptr cinfo) {
    if (cinfo->is_decompressor) {
        const auto* dinfo = reinterpret_cast<j_decompress_ptr>(cinfo);
        if (dinfo->input_scan_number > kMaxScans) OnJpegError(cinfo);
    }
}

struct JpegDecodeState {
    explicit JpegDecodeState(const JpegApi& library) : api(library) {}
    const JpegApi& api;
    jpeg_decompress_struct cinfo{};
    JpegErrors errors{};
    jpeg_progress_mgr progress{};
    bool created = false;
    std::span<const uint8_t> file;
    DecodedBitmap bitmap;
    std::vector<uint8_t> cmykRow;
    uint64_t maxBlockBytes = 0;
    CodecStatus status = CodecStatus::Malformed;
    ~JpegDecodeState() {
        if (created) api.jpeg_destroy_decompress(&cinfo);
    }
};

// One row of CMYK samples to blue, green, red. Adobe's files store the inks inverted.
void CmykToBgr(const uint8_t* cmyk, uint8_t* bgr, uint32_t width, bool inverted) {
    for (uint32_t x = 0; x < width; ++x) {
        int c = cmyk[4 * x];
        int m = cmyk[4 * x + 1];
        int y = cmyk[4 * x + 2];
        int k = cmyk[4 * x + 3];
        if (!inverted) {
            c = 255 - c;
            m = 255 - m;
            y = 255 - y;
            k = 255 - k;
        }
        bgr[3 * x] = static_cast<uint8_t>((y * k + 127) / 255);
        bgr[3 * x + 1] = static_cast<uint8_t>((m * k + 127) / 255);
        bgr[3 * x + 2] = static_cast<uint8_t>((c * k + 127) / 255);
    }
}

void DecodeWithLibjpeg(JpegDecodeState& state) {
    const JpegApi& api = state.api;
    jpeg_decompress_struct& cinfo = state.cinfo;
    cinfo.err = &state.errors.manager;
    InstallErrors(api, state.errors);
    if (setjmp(state.errors.jump)) return;
    api.jpeg_CreateDecompress(&cinfo, JPEG_LIB_VERSION, sizeof(jpeg_decompress_struct));
    state.created = true;
    state.progress.progress_monitor = LimitScans;
    cinfo.progress = &state.progress;
    api.jpeg_mem_src(&cinfo, state.file.data(), static_cast<unsigned long>(state.file.size()));
    if (api.jpeg_read_header(&cinfo, TRUE) != JPEG_HEADER_OK) return;

    const bool grey = cinfo.jpeg_color_space == JCS_GRAYSCALE;
    const bool cmyk = cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK;
    cinfo.out_color_space = grey ? JCS_GRAYSCALE : cmyk ? JCS_CMYK : JCS_EXT_BGR;
    const uint64_t width = cinfo.image_width;
    const uint64_t height = cinfo.image_height;
    // A progressive file is held whole as coefficients: two bytes a sample.
    const uint64_t working = api.jpeg_has_multiple_scans(&cinfo)
                                 ? width * height * 2 * static_cast<uint64_t>(cinfo.num_components)
                                 : width * 4 * 16;
    state.status =
        state.bitmap.Allocate(width, height, grey ? 8 : 24, state.maxBlockBytes, working);
    if (state.status != CodecStatus::Ok) return;
    state.status = CodecStatus::Malformed;
    // The library's own allocations are held to what the check allowed.
    const uint64_t allowed = std::min<uint64_t>(working + (uint64_t{1} << 24), LONG_MAX);
    cinfo.mem->max_memory_to_use = static_cast<long>(allowed);
    if (grey) state.bitmap.SetGreyTable();
    if (cinfo.saw_JFIF_marker && cinfo.X_density > 0 && cinfo.Y_density > 0) {
        if (cinfo.density_unit == 1) {
            state.bitmap.SetResolution(PerMetreFromInch(cinfo.X_density),
                                       PerMetreFromInch(cinfo.Y_density));
        } else if (cinfo.density_unit == 2) {
            state.bitmap.SetResolution(PerMetreFromCentimetre(cinfo.X_density),
                                       PerMetreFromCentimetre(cinfo.Y_density));
        }
    }

    api.jpeg_start_decompress(&cinfo);
    if (cinfo.output_width != width || cinfo.output_height != height) return;
    if (cmyk) state.cmykRow.resize(4 * width);
    while (cinfo.output_scanline < cinfo.output_height) {
        const uint32_t y = cinfo.output_scanline;
        uint8_t* row = state.bitmap.Row(y);
        JSAMPROW target = cmyk ? state.cmykRow.data() : row;
        if (api.jpeg_read_scanlines(&cinfo, &target, 1) != 1) return;
        if (cmyk) {
            CmykToBgr(state.cmykRow.data(), row, static_cast<uint32_t>(width),
                      cinfo.saw_Adobe_marker);
        }
    }
    state.status = CodecStatus::Ok;
}

struct JpegEncodeState {
    explicit JpegEncodeState(const JpegApi& library) : api(library) {}
    const JpegApi& api;
    jpeg_compress_struct cinfo{};
    JpegErrors errors{};
    bool created = false;
    const EncodeSource* source = nullptr;
    std::vector<uint8_t> scratch;
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    bool done = false;
    ~JpegEncodeState() {
        if (created) api.jpeg_destroy_compress(&cinfo);
        std::free(buffer);
    }
};

uint16_t DotsPerInch(int32_t perMetre) {
    return static_cast<uint16_t>(std::clamp<int64_t>((perMetre * 254LL + 5000) / 10000, 0, 65535));
}

void EncodeWithLibjpeg(JpegEncodeState& state) {
    const JpegApi& api = state.api;
    jpeg_compress_struct& cinfo = state.cinfo;
    const EncodeSource& source = *state.source;
    cinfo.err = &state.errors.manager;
    InstallErrors(api, state.errors);
    if (setjmp(state.errors.jump)) return;
    api.jpeg_CreateCompress(&cinfo, JPEG_LIB_VERSION, sizeof(jpeg_compress_struct));
    state.created = true;
    api.jpeg_mem_dest(&cinfo, &state.buffer, &state.size);
    // Palette pictures with a grey table are saved as grey, other palettes as colour.
    const bool grey = source.bits != 24 && source.GreyPalette();
    cinfo.image_width = static_cast<JDIMENSION>(source.width);
    cinfo.image_height = static_cast<JDIMENSION>(source.height);
    cinfo.input_components = grey ? 1 : 3;
    cinfo.in_color_space = grey ? JCS_GRAYSCALE : source.bits == 24 ? JCS_EXT_BGR : JCS_RGB;
    api.jpeg_set_defaults(&cinfo);
    api.jpeg_set_quality(&cinfo, kQuality, TRUE);
    if (source.xPerMetre > 0 && source.yPerMetre > 0) {
        cinfo.density_unit = 1;
        cinfo.X_density = DotsPerInch(source.xPerMetre);
        cinfo.Y_density = DotsPerInch(source.yPerMetre);
    }
    api.jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        const uint32_t y = cinfo.next_scanline;
        JSAMPROW row = nullptr;
        if (source.bits == 24) {
            row = const_cast<JSAMPROW>(source.Row(y));  // the library only reads it
        } else {
            for (uint32_t x = 0; x < static_cast<uint32_t>(source.width); ++x) {
                const uint32_t colour = source.Colour(x, y);
                if (grey) {
                    state.scratch[x] = static_cast<uint8_t>(colour);
                } else {
                    state.scratch[3 * x] = static_cast<uint8_t>(colour >> 16);
                    state.scratch[3 * x + 1] = static_cast<uint8_t>(colour >> 8);
                    state.scratch[3 * x + 2] = static_cast<uint8_t>(colour);
                }
            }
            row = state.scratch.data();
        }
        api.jpeg_write_scanlines(&cinfo, &row, 1);
    }
    api.jpeg_finish_compress(&cinfo);
    state.done = true;
}

}  // namespace

CodecStatus DecodeJpeg(std::span<const uint8_t> file, Image& image, uint64_t maxBlockBytes) {
    const auto library = OpenLibjpeg();
    if (!library) return CodecStatus::Malformed;
    JpegDecodeState state{*library};
    state.file = file;
    state.maxBlockBytes = maxBlockBytes;
    DecodeWithLibjpeg(state);
    if (state.status == CodecStatus::Ok) state.bitmap.InstallInto(image);
    return state.status;
}

std::optional<std::vector<uint8_t>> EncodeJpeg(const EncodeSource& source) {
    const auto library = OpenLibjpeg();
    if (!library) return std::nullopt;
    JpegEncodeState state{*library};
    state.source = &source;
    if (source.bits != 24) state.scratch.resize(3 * static_cast<size_t>(source.width));
    EncodeWithLibjpeg(state);
    if (!state.done) return std::nullopt;
    return std::vector<uint8_t>(state.buffer, state.buffer + state.size);
}

}  // namespace tarvil::codec
