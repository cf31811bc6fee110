// TIFF files through libtiff, read from and written to memory. Palette and
// bilevel pictures keep their indices; every other kind (grey, RGB, CMYK,
// YCbCr, Lab, 16-bit samples, tiles) goes through the library's RGBA reader,
// which composites an alpha channel on black. Saved LZW-compressed.
//
// libtiff and the libraries it brings cost a batch run milliseconds of start-up
// when linked, so it is opened only when a TIFF file is met, and stays loaded.
#include <tiffio.h>

#include <algorithm>
#include <cstdarg>
#include <cstring>
#include <new>

#include "image/codec_support.h"

namespace tarvil::codec {

namespace {

// The libtiff functions the glue calls, found in the library when it is opened.
#define TARVIL_TIFF_FUNCTIONS(X)            \
    X(TIFFOpenOptionsAlloc)                 \
    X(TIFFOpenOptionsFree)                  \
    X(TIFFOpenOptionsSetErrorHandlerExtR)   \
    X(TIFFOpenOptionsSetWarningHandlerExtR) \
    X(TIFFOpenOptionsSetMaxSingleMemAlloc)  \
    X(TIFFClientOpenExt)                    \
    X(TIFFClose)                            \
    X(TIFFGetField)                         \
    X(TIFFGetFieldDefaulted)                \
    X(TIFFIsTiled)                          \
    X(TIFFScanlineSize)                     \
    X(TIFFStripSize)                        \
    X(TIFFReadScanline)                     \
    X(TIFFRGBAImageOK)                      \
    X(TIFFReadRGBAImageOriented)            \
    X(TIFFSetField)                         \
    X(TIFFDefaultStripSize)                 \
    X(TIFFWriteScanline)                    \
    X(TIFFFlush)

struct TiffApi {
    TARVIL_TIFF_FUNCTIONS(TARVIL_CODEC_POINTER)
};

// nullopt when the library or one of its functions is missing. The library is
// never unloaded, so a second TIFF file finds it at once.
std::optional<TiffApi> OpenLibtiff() {
    TiffApi api;
    const auto lookUp = [&api](CodecLibrary& library) {
        TARVIL_TIFF_FUNCTIONS(TARVIL_CODEC_LOOKUP)
    };
    if (!OpenCodecLibrary(TARVIL_LIBTIFF_SONAME, lookUp)) return std::nullopt;
    return api;
}

// The bytes a TIFF handle reads or writes, with the position the library seeks to.
struct MemoryStream {
    std::span<const uint8_t> input;
    std::vector<uint8_t>* output = nullptr;
    uint64_t position = 0;
    bool failed = false;

    uint64_t Size() const { return output != nullptr ? output->size() : input.size(); }
};

MemoryStream& StreamOf(thandle_t handle) {
    return *static_cast<MemoryStream*>(handle);
}

tmsize_t ReadStream(thandle_t handle, void* buffer, tmsize_t size) {
    MemoryStream& stream = StreamOf(handle);
    if (size < 0 || stream.output != nullptr || stream.position >= stream.input.size()) return 0;
    const uint64_t count = std::min<uint64_t>(size, stream.input.size() - stream.position);
    std::memcpy(buffer, stream.input.data() + stream.position, count);
    stream.position += count;
    return static_cast<tmsize_t>(count);
}

tmsize_t WriteStream(thandle_t handle, void* buffer, tmsize_t size) {
    MemoryStream& stream = StreamOf(handle);
    if (size < 0 || stream.output == nullptr) return -1;
    const auto count = static_cast<uint64_t>(size);
    try {
        if (stream.position + count > stream.output->size()) {
            stream.output->resize(stream.position + count);
        }
    } catch (const std::bad_alloc&) {
        stream.failed = true;
        return -1;
    }
    std::memcpy(stream.output->data() + stream.position, buffer, count);
    stream.position += count;
    return size;
}

toff_t SeekStream(thandle_t handle, toff_t offset, int whence) {
    MemoryStream& stream = StreamOf(handle);
    uint64_t base = 0;
    if (whence == SEEK_CUR) base = stream.position;
    if (whence == SEEK_END) base = stream.Size();
    // Offsets far past any file we could hold are refused rather than grown into.
    if (offset > (uint64_t{1} << 40) || base + offset > (uint64_t{1} << 40)) {
        return static_cast<toff_t>(-1);
    }
    stream.position = base + offset;
    return stream.position;
}

int CloseStream(thandle_t /*handle*/) {
    return 0;
}

toff_t SizeOfStream(thandle_t handle) {
    return StreamOf(handle).Size();
}

int MapNothing(thandle_t /*handle*/, void** /*base*/, toff_t* /*size*/) {
    return 0;
}
void UnmapNothing(thandle_t /*handle*/, void* /*base*/, toff_t /*size*/) {}

// Errors and warnings are not printed; an error is remembered by the stream.
int OnTiffError(TIFF* /*tif*/, void* user, const char* /*module*/, const char* /*format*/,
                va_list /*arguments*/) {
    static_cast<MemoryStream*>(user)->failed = true;
    return 1;
}
int OnTiffWarning(TIFF* /*tif*/, void* /*user*/, const char* /*module*/, const char* /*format*/,
                  va_list /*arguments*/) {
    return 1;
}

struct TiffHandle {
    const TiffApi& api;
    TIFF* tif = nullptr;
    ~TiffHandle() {
        if (tif != nullptr) api.TIFFClose(tif);
    }
};

TIFF* OpenStream(const TiffApi& api, MemoryStream& stream, const char* mode,
                 uint64_t maxAllocation) {
    TIFFOpenOptions* options = api.TIFFOpenOptionsAlloc();
    if (options == nullptr) return nullptr;
    api.TIFFOpenOptionsSetErrorHandlerExtR(options, OnTiffError, &stream);
    api.TIFFOpenOptionsSetWarningHandlerExtR(options, OnTiffWarning, &stream);
    api.TIFFOpenOptionsSetMaxSingleMemAlloc(
        options, static_cast<tmsize_t>(std::min<uint64_t>(maxAllocation, INT64_MAX)));
    TIFF* tif = api.TIFFClientOpenExt("memory", mode, &stream, ReadStream, WriteStream, SeekStream,
                                      CloseStream, SizeOfStream, MapNothing, UnmapNothing, options);
    api.TIFFOpenOptionsFree(options);
    return tif;
}

void ReadResolution(const TiffApi& api, TIFF* tif, DecodedBitmap& bitmap) {
    float x = 0;
    float y = 0;
    uint16_t unit = RESUNIT_INCH;
    if (api.TIFFGetField(tif, TIFFTAG_XRESOLUTION, &x) != 1 ||
        api.TIFFGetField(tif, TIFFTAG_YRESOLUTION, &y) != 1) {
        return;
    }
    api.TIFFGetFieldDefaulted(tif, TIFFTAG_RESOLUTIONUNIT, &unit);
    if (unit == RESUNIT_INCH) bitmap.SetResolution(PerMetreFromInch(x), PerMetreFromInch(y));
    if (unit == RESUNIT_CENTIMETER) {
        bitmap.SetResolution(PerMetreFromCentimetre(x), PerMetreFromCentimetre(y));
    }
}

// Palette and bilevel strips, read a row at a time; 2-bit indices widen to 4 bits.
CodecStatus ReadIndexedRows(const TiffApi& api, TIFF* tif, DecodedBitmap& bitmap, int sampleBits) {
    const tmsize_t scanline = api.TIFFScanlineSize(tif);
    const uint64_t packedBytes =
        (uint64_t{static_cast<uint32_t>(bitmap.width())} * sampleBits + 7) / 8;
    if (scanline <= 0 || static_cast<uint64_t>(scanline) < packedBytes) {
        return CodecStatus::Malformed;
    }
    std::vector<uint8_t> row(static_cast<size_t>(scanline));
    for (int32_t y = 0; y < bitmap.height(); ++y) {
        if (api.TIFFReadScanline(tif, row.data(), static_cast<uint32_t>(y), 0) != 1) {
            return CodecStatus::Malformed;
        }
        uint8_t* target = bitmap.Row(static_cast<uint32_t>(y));
        if (sampleBits == 2) {
            for (uint32_t x = 0; x < static_cast<uint32_t>(bitmap.width()); ++x) {
                const auto index = static_cast<uint8_t>((row[x / 4] >> (6 - 2 * (x % 4))) & 3);
                PutIndex(target, 4, x, index);
            }
        } else {
            std::memcpy(target, row.data(), packedBytes);
        }
    }
    return CodecStatus::Ok;
}

CodecStatus DecodeIndexed(const TiffApi& api, TIFF* tif, uint32_t width, uint32_t height,
                          uint16_t sampleBits, uint16_t photometric, DecodedBitmap& bitmap,
                          uint64_t maxBlockBytes) {
    const int bits = PaletteDepthFor(sampleBits);
    const uint64_t working =
        static_cast<uint64_t>(std::max<tmsize_t>(api.TIFFStripSize(tif), 0)) +
        static_cast<uint64_t>(std::max<tmsize_t>(api.TIFFScanlineSize(tif), 0));
    CodecStatus status = bitmap.Allocate(width, height, bits, maxBlockBytes, working);
    if (status != CodecStatus::Ok) return status;
    if (photometric == PHOTOMETRIC_PALETTE) {
        uint16_t* red = nullptr;
        uint16_t* green = nullptr;
        uint16_t* blue = nullptr;
        if (api.TIFFGetField(tif, TIFFTAG_COLORMAP, &red, &green, &blue) != 1) {
            return CodecStatus::Malformed;
        }
        // The library holds 2^bits entries of 16 bits each.
        for (size_t k = 0; k < (size_t{1} << sampleBits); ++k) {
            bitmap.SetEntry(k, static_cast<uint8_t>(red[k] >> 8),
                            static_cast<uint8_t>(green[k] >> 8),
                            static_cast<uint8_t>(blue[k] >> 8));
        }
    } else if (photometric == PHOTOMETRIC_MINISWHITE) {
        bitmap.SetEntry(0, 255, 255, 255);
        bitmap.SetEntry(1, 0, 0, 0);
    } else {
        bitmap.SetGreyTable();
    }
    return ReadIndexedRows(api, tif, bitmap, sampleBits);
}

CodecStatus DecodeThroughRgba(const TiffApi& api, TIFF* tif, uint32_t width, uint32_t height,
                              bool grey, DecodedBitmap& bitmap, uint64_t maxBlockBytes) {
    char reason[1024] = {};
    if (api.TIFFRGBAImageOK(tif, reason) != 1) return CodecStatus::Malformed;
    const uint64_t rasterBytes = uint64_t{width} * height * 4;
    CodecStatus status = bitmap.Allocate(width, height, grey ? 8 : 24, maxBlockBytes, rasterBytes);
    if (status != CodecStatus::Ok) return status;
    std::vector<uint32_t> raster;
    try {
        raster.resize(size_t{width} * height);
    } catch (const std::bad_alloc&) {
        return CodecStatus::NoMemory;
    }
    if (api.TIFFReadRGBAImageOriented(tif, width, height, raster.data(), ORIENTATION_TOPLEFT, 1) !=
        1) {
        return CodecStatus::Malformed;
    }
    if (grey) bitmap.SetGreyTable();
    for (uint32_t y = 0; y < height; ++y) {
        uint8_t* row = bitmap.Row(y);
        const uint32_t* source = raster.data() + size_t{y} * width;
        for (uint32_t x = 0; x < width; ++x) {
            const uint32_t pixel = source[x];
            if (grey) {
                row[x] = static_cast<uint8_t>(TIFFGetG(pixel));
            } else {
                row[3 * x] = static_cast<uint8_t>(TIFFGetB(pixel));
                row[3 * x + 1] = static_cast<uint8_t>(TIFFGetG(pixel));
                row[3 * x + 2] = static_cast<uint8_t>(TIFFGetR(pixel));
            }
        }
    }
    return CodecStatus::Ok;
}

}  // namespace

CodecStatus DecodeTiff(std::span<const uint8_t> file, Image& image, uint64_t maxBlockBytes) {
    const auto library = OpenLibtiff();
    if (!library) return CodecStatus::Malformed;
    const TiffApi& api = *library;
    MemoryStream stream;
    stream.input = file;
    TiffHandle handle{api};
    handle.tif = OpenStream(api, stream, "r", maxBlockBytes);
    if (handle.tif == nullptr) return CodecStatus::Malformed;
    TIFF* tif = handle.tif;
    uint32_t width = 0;
    uint32_t height = 0;
    uint16_t sampleBits = 1;
    uint16_t samples = 1;
    uint16_t photometric = 0;
    if (api.TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &width) != 1 ||
        api.TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &height) != 1 ||
        api.TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &photometric) != 1) {
        return CodecStatus::Malformed;
    }
    api.TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &sampleBits);
    api.TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &samples);
    if (width == 0 || height == 0 || width > kMaxImageDimension || height > kMaxImageDimension) {
        return CodecStatus::Malformed;
    }
    const bool greyKind =
        photometric == PHOTOMETRIC_MINISBLACK || photometric == PHOTOMETRIC_MINISWHITE;
    const bool striped = api.TIFFIsTiled(tif) == 0;
    DecodedBitmap bitmap;
    CodecStatus status = CodecStatus::Malformed;
    if (striped && samples == 1 && photometric == PHOTOMETRIC_PALETTE &&
        (sampleBits == 1 || sampleBits == 2 || sampleBits == 4 || sampleBits == 8)) {
        status =
            DecodeIndexed(api, tif, width, height, sampleBits, photometric, bitmap, maxBlockBytes);
    } else if (striped && samples == 1 && greyKind && sampleBits == 1) {
        status =
            DecodeIndexed(api, tif, width, height, sampleBits, photometric, bitmap, maxBlockBytes);
    } else {
        status = DecodeThroughRgba(api, tif, width, height, greyKind, bitmap, maxBlockBytes);
    }
    if (status != CodecStatus::Ok) return status;
    ReadResolution(api, tif, bitmap);
    bitmap.InstallInto(image);
    return CodecStatus::Ok;
}

std::optional<std::vector<uint8_t>> EncodeTiff(const EncodeSource& source) {
    const auto library = OpenLibtiff();
    if (!library) return std::nullopt;
    const TiffApi& api = *library;
    std::vector<uint8_t> out;
    MemoryStream stream;
    stream.output = &out;
    {
        TiffHandle handle{api};
        handle.tif = OpenStream(api, stream, "w", UINT64_MAX);
        if (handle.tif == nullptr) return std::nullopt;
        TIFF* tif = handle.tif;
        const bool colour = source.bits == 24;
        api.TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, static_cast<uint32_t>(source.width));
        api.TIFFSetField(tif, TIFFTAG_IMAGELENGTH, static_cast<uint32_t>(source.height));
        api.TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE,
                         static_cast<uint16_t>(colour ? 8 : source.bits));
        api.TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, static_cast<uint16_t>(colour ? 3 : 1));
        api.TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, colour ? PHOTOMETRIC_RGB : PHOTOMETRIC_PALETTE);
        api.TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
        api.TIFFSetField(tif, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);
        api.TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_LZW);
        api.TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, api.TIFFDefaultStripSize(tif, 0));
        if (source.xPerMetre > 0 && source.yPerMetre > 0) {
            // Per centimetre keeps pixels per metre exactly.
            api.TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, RESUNIT_CENTIMETER);
            api.TIFFSetField(tif, TIFFTAG_XRESOLUTION,
                             static_cast<float>(source.xPerMetre / 100.0));
            api.TIFFSetField(tif, TIFFTAG_YRESOLUTION,
                             static_cast<float>(source.yPerMetre / 100.0));
        }
        std::vector<uint16_t> red;
        std::vector<uint16_t> green;
        std::vector<uint16_t> blue;
        for (const uint32_t entry : source.palette) {
            red.push_back(static_cast<uint16_t>(((entry >> 16) & 0xFF) * 257));
            green.push_back(static_cast<uint16_t>(((entry >> 8) & 0xFF) * 257));
            blue.push_back(static_cast<uint16_t>((entry & 0xFF) * 257));
        }
        if (!colour) api.TIFFSetField(tif, TIFFTAG_COLORMAP, red.data(), green.data(), blue.data());
        const auto width = static_cast<uint32_t>(source.width);
        const size_t rowBytes = colour ? 3 * size_t{width} : (size_t{width} * source.bits + 7) / 8;
        std::vector<uint8_t> row(rowBytes);
        for (uint32_t y = 0; y < static_cast<uint32_t>(source.height); ++y) {
            const uint8_t* stored = source.Row(y);
            if (colour) {
                for (uint32_t x = 0; x < width; ++x) {
                    row[3 * x] = stored[3 * x + 2];
                    row[3 * x + 1] = stored[3 * x + 1];
                    row[3 * x + 2] = stored[3 * x];
                }
            } else {
                std::memcpy(row.data(), stored, rowBytes);
            }
            if (api.TIFFWriteScanline(tif, row.data(), y, 0) != 1) return std::nullopt;
        }
        if (api.TIFFFlush(tif) != 1) return std::nullopt;
    }
    if (stream.failed) return std::nullopt;
    return out;
}

}  // namespace tarvil::codec
