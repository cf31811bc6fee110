// WebP files through libwebp: every picture becomes 24-bit; an alpha channel
// is composited on black (the library's premultiplied output). Saved lossless.
//
// Like libtiff, libwebp is opened only when a WebP file is met, and stays
// loaded: linked, it and the other codec libraries cost every batch run's
// start-up.
#include <webp/decode.h>
#include <webp/encode.h>

#include <algorithm>
#include <new>

#include "image/codec_support.h"

namespace tarvil::codec {

namespace {

// The format's own limit on either side.
constexpr int32_t kMaxWebPDimension = 16383;

// The libwebp functions the glue calls, found in the library when it is
// opened. WebPInitDecoderConfig and WebPGetFeatures are inline functions of
// the header that call the two Internal ones with the header's version.
#define TARVIL_WEBP_FUNCTIONS(X)     \
    X(WebPInitDecoderConfigInternal) \
    X(WebPGetFeaturesInternal)       \
    X(WebPDecode)                    \
    X(WebPFreeDecBuffer)             \
    X(WebPEncodeLosslessBGR)         \
    X(WebPFree)

struct WebPApi {
    TARVIL_WEBP_FUNCTIONS(TARVIL_CODEC_POINTER)
};

// nullopt when the library or one of its functions is missing. The library is
// never unloaded, so a second WebP file finds it at once.
std::optional<WebPApi> OpenLibwebp() {
    WebPApi api;
    const auto lookUp = [&api](CodecLibrary& library) {
        TARVIL_WEBP_FUNCTIONS(TARVIL_CODEC_LOOKUP)
    };
    if (!OpenCodecLibrary(TARVIL_LIBWEBP_SONAME, lookUp)) return std::nullopt;
    return api;
}

// Frees what the library allocated for an encoded file.
struct WebPBytes {
    const WebPApi& api;
    uint8_t* data = nullptr;
    ~WebPBytes() { api.WebPFree(data); }
};

}  // namespace

CodecStatus DecodeWebP(std::span<const uint8_t> file, Image& image, uint64_t maxBlockBytes) {
    const auto library = OpenLibwebp();
    if (!library) return CodecStatus::Malformed;
    const WebPApi& api = *library;
    WebPDecoderConfig config;
    if (api.WebPInitDecoderConfigInternal(&config, WEBP_DECODER_ABI_VERSION) == 0) {
        return CodecStatus::Malformed;
    }
    if (api.WebPGetFeaturesInternal(file.data(), file.size(), &config.input,
                                    WEBP_DECODER_ABI_VERSION) != VP8_STATUS_OK) {
        return CodecStatus::Malformed;
    }
    // Animations are refused: the still-picture decoder cannot read them.
    if (config.input.has_animation != 0) return CodecStatus::Malformed;
    const int64_t width = config.input.width;
    const int64_t height = config.input.height;
    // The decoder's own working rows and, for lossless files, a whole ARGB copy.
    const uint64_t working = static_cast<uint64_t>(width) * static_cast<uint64_t>(height) * 4;
    DecodedBitmap bitmap;
    const CodecStatus status = bitmap.Allocate(width, height, 24, maxBlockBytes, working);
    if (status != CodecStatus::Ok) return status;

    const bool alpha = config.input.has_alpha != 0;
    std::vector<uint8_t> premultiplied;
    WebPRGBABuffer& target = config.output.u.RGBA;
    config.output.is_external_memory = 1;
    if (alpha) {
        premultiplied.resize(static_cast<size_t>(width) * static_cast<size_t>(height) * 4);
        config.output.colorspace = MODE_bgrA;
        target.rgba = premultiplied.data();
        target.stride = static_cast<int>(width * 4);
        target.size = premultiplied.size();
    } else {
        // Flipped, the rows arrive bottom row first, as the block stores them.
        config.output.colorspace = MODE_BGR;
        config.options.flip = 1;
        target.rgba = bitmap.Row(static_cast<uint32_t>(height - 1));
        target.stride = static_cast<int>(bitmap.stride());
        target.size = static_cast<size_t>(bitmap.stride()) * static_cast<size_t>(height);
    }
    const VP8StatusCode decoded = api.WebPDecode(file.data(), file.size(), &config);
    api.WebPFreeDecBuffer(&config.output);
    if (decoded == VP8_STATUS_OUT_OF_MEMORY) return CodecStatus::NoMemory;
    if (decoded != VP8_STATUS_OK) return CodecStatus::Malformed;
    if (alpha) {
        for (uint32_t y = 0; y < static_cast<uint32_t>(height); ++y) {
            uint8_t* row = bitmap.Row(y);
            const uint8_t* source = premultiplied.data() + static_cast<size_t>(y) * width * 4;
            for (uint32_t x = 0; x < static_cast<uint32_t>(width); ++x) {
                row[3 * x] = source[4 * x];
                row[3 * x + 1] = source[4 * x + 1];
                row[3 * x + 2] = source[4 * x + 2];
            }
        }
    }
    bitmap.InstallInto(image);
    return CodecStatus::Ok;
}

std::optional<std::vector<uint8_t>> EncodeWebP(const EncodeSource& source) {
    if (source.width > kMaxWebPDimension || source.height > kMaxWebPDimension) {
        return std::nullopt;
    }
    const auto library = OpenLibwebp();
    if (!library) return std::nullopt;
    const WebPApi& api = *library;
    const auto width = static_cast<uint32_t>(source.width);
    const auto height = static_cast<uint32_t>(source.height);
    // The encoder reads rows top row first, as blue, green, red.
    std::vector<uint8_t> bgr(size_t{width} * height * 3);
    for (uint32_t y = 0; y < height; ++y) {
        uint8_t* out = bgr.data() + size_t{y} * width * 3;
        if (source.bits == 24) {
            std::copy_n(source.Row(y), size_t{width} * 3, out);
            continue;
        }
        for (uint32_t x = 0; x < width; ++x) {
            const uint32_t colour = source.Colour(x, y);
            out[3 * x] = static_cast<uint8_t>(colour);
            out[3 * x + 1] = static_cast<uint8_t>(colour >> 8);
            out[3 * x + 2] = static_cast<uint8_t>(colour >> 16);
        }
    }
    WebPBytes encoded{api};
    const size_t size =
        api.WebPEncodeLosslessBGR(bgr.data(), static_cast<int>(width), static_cast<int>(height),
                                  static_cast<int>(width * 3), &encoded.data);
    if (size == 0 || encoded.data == nullptr) return std::nullopt;
    return std::vector<uint8_t>(encoded.data, encoded.data + size);
}

}  // namespace tarvil::codec
