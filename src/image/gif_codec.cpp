// GIF files through giflib. The first frame is drawn on the logical screen,
// filled with the background colour; the frame's colour table (or else the
// global one) becomes the palette, transparency included as a plain colour.
// Only palette images are saved as GIF.
//
// Like libtiff, giflib is opened only when a GIF file is met, and stays loaded:
// linked, it and the other codec libraries cost every batch run's start-up.
#include <gif_lib.h>

#include <algorithm>
#include <cstring>
#include <new>

#include "image/codec_support.h"

namespace tarvil::codec {

namespace {

// The giflib functions the glue calls, found in the library when it is opened.
#define TARVIL_GIF_FUNCTIONS(X) \
    X(DGifOpen)                 \
    X(DGifCloseFile)            \
    X(DGifGetRecordType)        \
    X(DGifGetExtension)         \
    X(DGifGetExtensionNext)     \
    X(DGifGetImageDesc)         \
    X(DGifGetLine)              \
    X(EGifOpen)                 \
    X(EGifCloseFile)            \
    X(EGifPutScreenDesc)        \
    X(EGifPutImageDesc)         \
    X(EGifPutLine)              \
    X(GifMakeMapObject)         \
    X(GifFreeMapObject)

struct GifApi {
    TARVIL_GIF_FUNCTIONS(TARVIL_CODEC_POINTER)
};

// nullopt when the library or one of its functions is missing. The library is
// never unloaded, so a second GIF file finds it at once.
std::optional<GifApi> OpenGiflib() {
    GifApi api;
    const auto lookUp = [&api](CodecLibrary& library) { TARVIL_GIF_FUNCTIONS(TARVIL_CODEC_LOOKUP) };
    if (!OpenCodecLibrary(TARVIL_LIBGIF_SONAME, lookUp)) return std::nullopt;
    return api;
}

struct GifInput {
    std::span<const uint8_t> file;
    size_t at = 0;
};

int ReadGif(GifFileType* gif, GifByteType* out, int length) {
    auto* input = static_cast<GifInput*>(gif->UserData);
    if (length <= 0) return 0;
    const size_t count =
        std::min<size_t>(static_cast<size_t>(length), input->file.size() - input->at);
    std::memcpy(out, input->file.data() + input->at, count);
    input->at += count;
    return static_cast<int>(count);
}

int WriteGif(GifFileType* gif, const GifByteType* data, int length) {
    auto* out = static_cast<std::vector<uint8_t>*>(gif->UserData);
    if (length <= 0) return 0;
    try {
        out->insert(out->end(), data, data + length);
    } catch (const std::bad_alloc&) {
        return 0;
    }
    return length;
}

struct GifReader {
    const GifApi& api;
    GifFileType* gif = nullptr;
    ~GifReader() {
        int error = 0;
        if (gif != nullptr) api.DGifCloseFile(gif, &error);
    }
};

struct GifWriter {
    const GifApi& api;
    GifFileType* gif = nullptr;
    ColorMapObject* map = nullptr;
    bool Close() {
        int error = 0;
        const bool closed = gif == nullptr || api.EGifCloseFile(gif, &error) == GIF_OK;
        gif = nullptr;
        return closed;
    }
    ~GifWriter() {
        Close();
        api.GifFreeMapObject(map);
    }
};

bool SkipExtension(const GifApi& api, GifFileType* gif) {
    int code = 0;
    GifByteType* block = nullptr;
    if (api.DGifGetExtension(gif, &code, &block) != GIF_OK) return false;
    while (block != nullptr) {
        if (api.DGifGetExtensionNext(gif, &block) != GIF_OK) return false;
    }
    return true;
}

CodecStatus DrawFirstFrame(const GifApi& api, GifFileType* gif, uint64_t maxBlockBytes,
                           DecodedBitmap& bitmap) {
    const GifImageDesc& frame = gif->Image;
    const ColorMapObject* map = frame.ColorMap != nullptr ? frame.ColorMap : gif->SColorMap;
    if (map == nullptr || map->ColorCount <= 0 || frame.Width <= 0 || frame.Height <= 0 ||
        frame.Left < 0 || frame.Top < 0) {
        return CodecStatus::Malformed;
    }
    // The screen, grown when the frame reaches beyond it.
    const int64_t width = std::max<int64_t>(gif->SWidth, int64_t{frame.Left} + frame.Width);
    const int64_t height = std::max<int64_t>(gif->SHeight, int64_t{frame.Top} + frame.Height);
    const int bits = PaletteDepthFor(map->BitsPerPixel);
    CodecStatus status = bitmap.Allocate(width, height, bits, maxBlockBytes, frame.Width);
    if (status != CodecStatus::Ok) return status;
    for (int k = 0; k < map->ColorCount; ++k) {
        bitmap.SetEntry(static_cast<size_t>(k), map->Colors[k].Red, map->Colors[k].Green,
                        map->Colors[k].Blue);
    }
    const int background = gif->SBackGroundColor < map->ColorCount ? gif->SBackGroundColor : 0;
    if (background != 0) {
        // One row filled pixel by pixel, then copied to the others.
        uint8_t* first = bitmap.Row(0);
        for (uint32_t x = 0; x < static_cast<uint32_t>(width); ++x) {
            PutIndex(first, bits, x, static_cast<uint8_t>(background));
        }
        for (uint32_t y = 1; y < static_cast<uint32_t>(height); ++y) {
            std::memcpy(bitmap.Row(y), first, bitmap.stride());
        }
    }
    std::vector<GifPixelType> line(static_cast<size_t>(frame.Width));
    // Interlaced frames come in four passes over every 8th, 8th, 4th and 2nd row.
    constexpr int kPassStart[] = {0, 4, 2, 1};
    constexpr int kPassStep[] = {8, 8, 4, 2};
    const int passes = frame.Interlace ? 4 : 1;
    for (int pass = 0; pass < passes; ++pass) {
        const int start = frame.Interlace ? kPassStart[pass] : 0;
        const int step = frame.Interlace ? kPassStep[pass] : 1;
        for (int y = start; y < frame.Height; y += step) {
            if (api.DGifGetLine(gif, line.data(), frame.Width) != GIF_OK)
                return CodecStatus::Malformed;
            uint8_t* row = bitmap.Row(static_cast<uint32_t>(frame.Top + y));
            for (int x = 0; x < frame.Width; ++x) {
                PutIndex(row, bits, static_cast<uint32_t>(frame.Left + x), line[x]);
            }
        }
    }
    return CodecStatus::Ok;
}

}  // namespace

CodecStatus DecodeGif(std::span<const uint8_t> file, Image& image, uint64_t maxBlockBytes) {
    const auto library = OpenGiflib();
    if (!library) return CodecStatus::Malformed;
    const GifApi& api = *library;
    GifInput input{file, 0};
    GifReader reader{api};
    int error = 0;
    reader.gif = api.DGifOpen(&input, ReadGif, &error);
    if (reader.gif == nullptr) {
        return error == D_GIF_ERR_NOT_ENOUGH_MEM ? CodecStatus::NoMemory : CodecStatus::Malformed;
    }
    for (;;) {
        GifRecordType record = UNDEFINED_RECORD_TYPE;
        if (api.DGifGetRecordType(reader.gif, &record) != GIF_OK) return CodecStatus::Malformed;
        if (record == EXTENSION_RECORD_TYPE) {
            if (!SkipExtension(api, reader.gif)) return CodecStatus::Malformed;
        } else if (record == IMAGE_DESC_RECORD_TYPE) {
            if (api.DGifGetImageDesc(reader.gif) != GIF_OK) return CodecStatus::Malformed;
            DecodedBitmap bitmap;
            const CodecStatus status = DrawFirstFrame(api, reader.gif, maxBlockBytes, bitmap);
            if (status == CodecStatus::Ok) bitmap.InstallInto(image);
            return status;
        } else {
            return CodecStatus::Malformed;  // the end, with no frame
        }
    }
}

std::optional<std::vector<uint8_t>> EncodeGif(const EncodeSource& source) {
    if (source.bits == 24 || source.width > 65535 || source.height > 65535) return std::nullopt;
    std::vector<GifColorType> colours;
    for (const uint32_t entry : source.palette) {
        colours.push_back({static_cast<GifByteType>(entry >> 16),
                           static_cast<GifByteType>(entry >> 8), static_cast<GifByteType>(entry)});
    }
    const auto library = OpenGiflib();
    if (!library) return std::nullopt;
    const GifApi& api = *library;
    std::vector<uint8_t> out;
    GifWriter writer{api};
    writer.map = api.GifMakeMapObject(static_cast<int>(colours.size()), colours.data());
    if (writer.map == nullptr) return std::nullopt;
    int error = 0;
    writer.gif = api.EGifOpen(&out, WriteGif, &error);
    if (writer.gif == nullptr) return std::nullopt;
    if (api.EGifPutScreenDesc(writer.gif, source.width, source.height, writer.map->BitsPerPixel, 0,
                              writer.map) != GIF_OK ||
        api.EGifPutImageDesc(writer.gif, 0, 0, source.width, source.height, false, nullptr) !=
            GIF_OK) {
        return std::nullopt;
    }
    std::vector<GifPixelType> line(static_cast<size_t>(source.width));
    for (uint32_t y = 0; y < static_cast<uint32_t>(source.height); ++y) {
        const uint8_t* row = source.Row(y);
        for (uint32_t x = 0; x < static_cast<uint32_t>(source.width); ++x) {
            line[x] = IndexAt(row, source.bits, x);
        }
        if (api.EGifPutLine(writer.gif, line.data(), source.width) != GIF_OK) return std::nullopt;
    }
    if (!writer.Close()) return std::nullopt;
    return out;
}

}  // namespace tarvil::codec
