// PNG, JPEG, TIFF, WebP and GIF files through LOADIMAGE and SAVEIMAGE: what
// each depth becomes when saved in each format and loaded again.
#include "image/image_codecs.h"

#include <gif_lib.h>
#include <gtest/gtest.h>
#include <png.h>
#include <tiffio.h>
#include <webp/encode.h>

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
// jpeglib.h needs FILE and size_t declared before it.
#include <jpeglib.h>

#include "image/bmp_file.h"
#include "unit/image_test_support.h"

namespace tarvil::testing {
namespace {

// How a saved picture comes back.
enum class Back {
    Identical,    // same depth, indices and colour table
    SameColours,  // 24-bit, every pixel the colour it had
    NearColours,  // `loadedBits` deep, every colour within a few steps
    WriteFails,   // SAVEIMAGE refuses with the writing message
};

struct CodecCase {
    const char* name;  // the extension chooses the format, in any letter case
    int bits;
    Back back;
    int loadedBits;
    bool keepsResolution;
    bool greyTable;  // the palette is left CREATEIMAGE's grey ramp
};

std::ostream& operator<<(std::ostream& out, const CodecCase& c) {
    return out << c.name << " " << c.bits << " bits";
}

const CodecCase kCodecCases[] = {
    {"a.png", 1, Back::Identical, 1, true, false},
    {"a.png", 4, Back::Identical, 4, true, false},
    {"a.PNG", 8, Back::Identical, 8, true, false},
    {"a.png", 24, Back::Identical, 24, true, false},
    {"a.tif", 1, Back::Identical, 1, true, false},
    {"a.tiff", 4, Back::Identical, 4, true, false},
    {"a.TIF", 8, Back::Identical, 8, true, false},
    {"a.tif", 24, Back::Identical, 24, true, false},
    {"a.webp", 1, Back::SameColours, 24, false, false},
    {"a.webp", 4, Back::SameColours, 24, false, false},
    {"a.WebP", 8, Back::SameColours, 24, false, false},
    {"a.webp", 24, Back::SameColours, 24, false, false},
    {"a.gif", 1, Back::Identical, 1, false, false},
    {"a.gif", 4, Back::Identical, 4, false, false},
    {"a.Gif", 8, Back::Identical, 8, false, false},
    {"a.gif", 24, Back::WriteFails, 0, false, false},
    {"a.jpg", 1, Back::NearColours, 24, true, false},
    {"a.jpeg", 4, Back::NearColours, 8, true, true},
    {"a.JPG", 8, Back::NearColours, 8, true, true},
    {"a.jpg", 24, Back::NearColours, 24, true, false},
};

// A value using every bit of a pixel; JPEG cases get a flat picture, which
// the lossy coding keeps within a step or two.
double PixelValue(const CodecCase& c, int x, int y) {
    const uint32_t v = static_cast<uint32_t>(x * 7 + y * 13 + 5);
    if (c.back == Back::NearColours) return c.bits == 24 ? 0x3C82D2 : (c.bits == 1 ? 1 : 9);
    switch (c.bits) {
        case 1:
            return v & 1;
        case 4:
            return v & 15;
        case 8:
            return (v * 37) & 255;
        default:
            return (v * 2654435761u) & 0xFFFFFF;
    }
}

int ChannelDistance(uint32_t a, uint32_t b) {
    int worst = 0;
    for (int shift = 0; shift < 24; shift += 8) {
        worst = std::max(worst, std::abs(static_cast<int>((a >> shift) & 0xFF) -
                                         static_cast<int>((b >> shift) & 0xFF)));
    }
    return worst;
}

// The colour a pixel shows: its colour-table entry in a palette image.
uint32_t ColourAt(ImageRig& rig, Item* image, int x, int y) {
    if (image->image->BitCount() == 24) return rig.GetPixel(image, x, y);
    return rig.GetPalette(image, rig.GetPixelVal(image, x, y));
}

TEST(ImageCodecsTest, EveryFormatAndDepthSavesAndLoadsAsDocumented) {
    for (const CodecCase& c : kCodecCases) {
        for (const int width : {1, 7, 33}) {
            SCOPED_TRACE(::testing::Message() << c << ", width " << width);
            const int height = 5;
            ImageRig rig;
            ScratchFolder folder;
            Item* original = rig.Create(width, height, c.bits);
            const int entries = original->image->PaletteCount;
            if (!c.greyTable) {
                for (int k = 0; k < entries; ++k) {
                    rig.SetPalette(original, k, static_cast<uint8_t>(k * 3 + 1),
                                   static_cast<uint8_t>(255 - k), static_cast<uint8_t>(k ^ 0x5A));
                }
            }
            for (int y = 0; y < height; ++y) {
                for (int x = 0; x < width; ++x)
                    rig.SetPixelVal(original, x, y, PixelValue(c, x, y));
            }
            original->image->SetHeaderInt32(bih::kXPelsPerMeter, 3780);  // 96 dpi
            original->image->SetHeaderInt32(bih::kYPelsPerMeter, 3780);
            const std::string path = folder.File(c.name);
            rig.Save(original, path);
            if (c.back == Back::WriteFails) {
                EXPECT_EQ(LastStop(rig.m), "Error: Writing image '" + path + "'");
                EXPECT_FALSE(std::filesystem::exists(path));
                continue;
            }
            ASSERT_TRUE(rig.m.StopList.empty()) << LastStop(rig.m);
            // The content, not the name, tells the format on loading.
            const std::string renamed = folder.File("renamed.bmp");
            std::filesystem::rename(path, renamed);
            Item* loaded = rig.Load(renamed);
            ASSERT_TRUE(rig.m.StopList.empty()) << LastStop(rig.m);
            const Image& image = *loaded->image;
            ASSERT_TRUE(image.hasPixels);
            EXPECT_EQ(image.Width(), width);
            EXPECT_EQ(image.Height(), height);
            EXPECT_EQ(image.BitCount(), c.loadedBits);
            EXPECT_EQ(image.ResolutionDpi(), c.keepsResolution ? 96 : 0);
            for (int y = 0; y < height; ++y) {
                for (int x = 0; x < width; ++x) {
                    const uint32_t before = ColourAt(rig, original, x, y);
                    const uint32_t after = ColourAt(rig, loaded, x, y);
                    if (c.back == Back::NearColours) {
                        EXPECT_LE(ChannelDistance(before, after), 3) << x << "," << y;
                    } else {
                        EXPECT_EQ(after, before) << x << "," << y;
                    }
                    if (c.back == Back::Identical) {
                        EXPECT_EQ(rig.GetPixelVal(loaded, x, y), rig.GetPixelVal(original, x, y));
                    }
                }
            }
            if (c.back == Back::Identical) {
                for (int k = 0; k < entries; ++k) {
                    EXPECT_EQ(rig.GetPalette(loaded, k), rig.GetPalette(original, k)) << k;
                }
            }
        }
    }
}

// Names without one of the new extensions, .bmp included, still write BMP byte for byte.
TEST(ImageCodecsTest, OtherNamesWriteTheSameBmpAsBefore) {
    ImageRig rig;
    ScratchFolder folder;
    Item* original = rig.Create(9, 4, 8);
    rig.SetPixelVal(original, 3, 2, 200);
    const auto expected = SerializeBmp(*original->image);
    ASSERT_TRUE(expected.has_value());
    for (const char* name : {"b.bmp", "b.BMP", "b", "b.png.txt", "b.pngx", "b.jpe", ".gif.bak"}) {
        const std::string path = folder.File(name);
        rig.Save(original, path);
        ASSERT_TRUE(rig.m.StopList.empty()) << LastStop(rig.m) << " " << name;
        EXPECT_EQ(ReadBytes(path), *expected) << name;
    }
}

TEST(ImageCodecsTest, FormatsAreKnownByTheirFirstBytesAndSavedByExtension) {
    struct Head {
        std::string bytes;
        ImageFormat format;
    };
    const Head heads[] = {
        {std::string("\x89PNG\r\n\x1a\n", 8), ImageFormat::Png},
        {"\xFF\xD8\xFF\xE0", ImageFormat::Jpeg},
        {std::string("II*\0", 4), ImageFormat::Tiff},
        {std::string("MM\0*", 4), ImageFormat::Tiff},
        {std::string("RIFF\x10\0\0\0WEBP", 12), ImageFormat::WebP},
        {"GIF87a", ImageFormat::Gif},
        {"GIF89a", ImageFormat::Gif},
        {"BM", ImageFormat::Bmp},
        {std::string("RIFF\x10\0\0\0WAVE", 12), ImageFormat::Bmp},
        {"\x89PN", ImageFormat::Bmp},
        {"", ImageFormat::Bmp},
    };
    for (const Head& head : heads) {
        const auto* data = reinterpret_cast<const uint8_t*>(head.bytes.data());
        EXPECT_EQ(DetectImageFormat({data, head.bytes.size()}), head.format) << head.bytes;
    }
    EXPECT_EQ(SaveFormatForName("x.JpEg"), ImageFormat::Jpeg);
    EXPECT_EQ(SaveFormatForName("dir.png/x"), ImageFormat::Bmp);
    EXPECT_EQ(SaveFormatForName("png"), ImageFormat::Bmp);
}

// Broken files give the loading message and no image; a file too big for the
// memory limit gives the memory message before the picture is allocated.
TEST(ImageCodecsTest, BrokenAndOversizedFilesAreRefused) {
    for (const char* name : {"c.png", "c.jpg", "c.tif", "c.webp", "c.gif"}) {
        SCOPED_TRACE(name);
        ImageRig rig;
        ScratchFolder folder;
        Item* original = rig.Create(64, 48, 8);
        // Noise, so that the pixel data is most of every file and a cut falls into it.
        uint32_t noise = 12345;
        for (int y = 0; y < 48; ++y) {
            for (int x = 0; x < 64; ++x) {
                noise = noise * 1103515245u + 12345u;
                rig.SetPixelVal(original, x, y, (noise >> 16) & 255);
            }
        }
        const std::string path = folder.File(name);
        rig.Save(original, path);
        ASSERT_TRUE(rig.m.StopList.empty()) << LastStop(rig.m);
        const std::vector<uint8_t> whole = ReadBytes(path);

        ImageRig limited;
        limited.m.ImageBlockLimit = 64 * 48;  // less than the picture's rows
        Item* refused = limited.Load(path);
        EXPECT_EQ(LastStop(limited.m), "Error: Not enought memory to create image");
        EXPECT_FALSE(refused->image && refused->image->hasMemory());

        // A picture wider than 32768 pixels, announced where the format keeps its width.
        std::vector<uint8_t> wide = whole;
        if (std::string(name) == "c.gif") {
            wide[6] = 40000 & 0xFF;
            wide[7] = 40000 >> 8;
        }
        if (std::string(name) == "c.jpg") {
            for (size_t at = 2; at + 9 < wide.size(); ++at) {
                if (wide[at] == 0xFF && wide[at + 1] == 0xC0) {
                    wide[at + 7] = 40000 >> 8;
                    wide[at + 8] = 40000 & 0xFF;
                    break;
                }
            }
        }
        if (wide != whole) {
            WriteBytes(path, wide);
            ImageRig tooWide;
            Item* loaded = tooWide.Load(path);
            EXPECT_EQ(LastStop(tooWide.m), "Error: Loading image '" + path + "'");
            EXPECT_FALSE(loaded->image && loaded->image->hasMemory());
        }

        for (const size_t keep : {whole.size() / 3, size_t{20}}) {
            WriteBytes(path, std::vector<uint8_t>(whole.begin(), whole.begin() + keep));
            ImageRig broken;
            Item* loaded = broken.Load(path);
            EXPECT_EQ(LastStop(broken.m), "Error: Loading image '" + path + "'") << keep;
            EXPECT_FALSE(loaded->image && loaded->image->hasMemory()) << keep;
        }
    }
}

// Files of kinds SAVEIMAGE never writes, made with the libraries themselves.
using Rows = std::vector<std::vector<uint8_t>>;

void AppendPng(png_structp png, png_bytep data, size_t length) {
    auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}

struct PngWriter {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    ~PngWriter() { png_destroy_write_struct(&png, &info); }
};

std::vector<uint8_t> MakePng(uint32_t width, const Rows& rows, int colourType, int bitDepth,
                             std::vector<png_color> palette = {}, bool interlaced = false) {
    std::vector<uint8_t> out;
    PngWriter writer;
    if (setjmp(png_jmpbuf(writer.png))) return {};
    png_set_write_fn(writer.png, &out, AppendPng, nullptr);
    png_set_IHDR(writer.png, writer.info, width, static_cast<png_uint_32>(rows.size()), bitDepth,
                 colourType, interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (!palette.empty()) {
        png_set_PLTE(writer.png, writer.info, palette.data(), static_cast<int>(palette.size()));
    }
    png_set_pHYs(writer.png, writer.info, 11811, 11811, PNG_RESOLUTION_METER);  // 300 dpi
    png_write_info(writer.png, writer.info);
    std::vector<png_bytep> pointers;
    for (const auto& row : rows) pointers.push_back(const_cast<png_bytep>(row.data()));
    png_write_image(writer.png, pointers.data());
    png_write_end(writer.png, writer.info);
    return out;
}

// An 8 × 8 CMYK JPEG of one colour, inks stored inverted as Adobe's files do.
std::vector<uint8_t> MakeCmykJpeg(std::array<uint8_t, 4> inks) {
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr errors{};
    cinfo.err = jpeg_std_error(&errors);
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = 8;
    cinfo.image_height = 8;
    cinfo.input_components = 4;
    cinfo.in_color_space = JCS_CMYK;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 95, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<uint8_t> row;
    for (int x = 0; x < 8; ++x) row.insert(row.end(), inks.begin(), inks.end());
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW pointer = row.data();
        jpeg_write_scanlines(&cinfo, &pointer, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    std::vector<uint8_t> out(buffer, buffer + size);
    std::free(buffer);
    return out;
}

// A fax-like TIFF: 1 bit, 0 white, Group 4 compression, 200 dpi.
std::vector<uint8_t> MakeFaxTiff(const std::string& path, uint32_t width, const Rows& rows) {
    TIFF* tif = TIFFOpen(path.c_str(), "w");
    if (tif == nullptr) return {};
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, width);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, static_cast<uint32_t>(rows.size()));
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 1);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX4);
    TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
    TIFFSetField(tif, TIFFTAG_XRESOLUTION, 200.0f);
    TIFFSetField(tif, TIFFTAG_YRESOLUTION, 200.0f);
    for (uint32_t y = 0; y < rows.size(); ++y) {
        TIFFWriteScanline(tif, const_cast<uint8_t*>(rows[y].data()), y, 0);
    }
    TIFFClose(tif);
    return ReadBytes(path);
}

int AppendGif(GifFileType* gif, const GifByteType* data, int length) {
    auto* out = static_cast<std::vector<uint8_t>*>(gif->UserData);
    out->insert(out->end(), data, data + length);
    return length;
}

// A 2 × 9 screen of background entry 5, with an interlaced 1 × 9 frame in the
// right column whose row y has index y.
std::vector<uint8_t> MakeInterlacedGif() {
    std::vector<uint8_t> out;
    int error = 0;
    GifFileType* gif = EGifOpen(&out, AppendGif, &error);
    std::vector<GifColorType> colours(16);
    for (int k = 0; k < 16; ++k) {
        colours[k] = {static_cast<GifByteType>(k * 16), static_cast<GifByteType>(255 - k),
                      static_cast<GifByteType>(k)};
    }
    ColorMapObject* map = GifMakeMapObject(16, colours.data());
    EGifPutScreenDesc(gif, 2, 9, 4, 5, map);
    EGifPutImageDesc(gif, 1, 0, 1, 9, true, nullptr);
    for (const int y : {0, 8, 4, 2, 6, 1, 3, 5, 7}) {  // the four passes' order
        GifPixelType index = static_cast<GifPixelType>(y);
        EGifPutLine(gif, &index, 1);
    }
    EGifCloseFile(gif, &error);
    GifFreeMapObject(map);
    return out;
}

// A 4 × 2 JPEG of one colour whose EXIF block says "rotate 90° clockwise to show".
std::vector<uint8_t> MakeRotatedJpeg() {
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr errors{};
    cinfo.err = jpeg_std_error(&errors);
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = 4;
    cinfo.image_height = 2;
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_start_compress(&cinfo, TRUE);
    // "Exif", a big-endian TIFF header and one entry: Orientation (0x0112) = 6.
    const uint8_t exif[] = {'E',  'x', 'i', 'f', 0, 0, 'M', 'M', 0, 42, 0, 0, 0, 8, 0, 1, 0x01,
                            0x12, 0,   3,   0,   0, 0, 1,   0,   6, 0,  0, 0, 0, 0, 0, 0, 0};
    jpeg_write_marker(&cinfo, JPEG_APP0 + 1, exif, sizeof exif);
    std::vector<uint8_t> row;
    for (int x = 0; x < 4; ++x) row.insert(row.end(), {40, 160, 220});
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW pointer = row.data();
        jpeg_write_scanlines(&cinfo, &pointer, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    std::vector<uint8_t> out(buffer, buffer + size);
    std::free(buffer);
    return out;
}

std::vector<uint8_t> MakeAlphaWebP() {
    const uint8_t rgba[] = {200, 100, 50, 255, 200, 100, 50, 0, 200, 100, 50, 128};
    uint8_t* encoded = nullptr;
    const size_t size = WebPEncodeLosslessRGBA(rgba, 3, 1, 12, &encoded);
    std::vector<uint8_t> out(encoded, encoded + size);
    WebPFree(encoded);
    return out;
}

struct ForeignCase {
    const char* what;
    std::function<std::vector<uint8_t>(const std::string& path)> make;
    int bits;
    int dpi;
    std::vector<std::array<int, 3>> pixels;  // x, y, colour as 0xBBGGRR
    int tolerance;
    int width = 0;  // checked when not 0
};

TEST(ImageCodecsTest, OtherProgramsKindsOfPictureBecomeModelDepths) {
    const uint8_t half = (200 * 128 + 127) / 255;  // 200 at half opacity, on black
    const ForeignCase cases[] = {
        {"PNG RGBA: alpha composited on black",
         [](const std::string&) {
             return MakePng(3, {{200, 100, 50, 255, 200, 100, 50, 0, 200, 100, 50, 128}},
                            PNG_COLOR_TYPE_RGBA, 8);
         },
         24,
         300,
         {{0, 0, 0x3264C8}, {1, 0, 0}, {2, 0, half | ((half / 2) << 8) | ((half / 4) << 16)}},
         1},
        {"PNG 16-bit grey: 8-bit grey",
         [](const std::string&) {
             return MakePng(2, {{0xFF, 0xFF, 0x80, 0x00}}, PNG_COLOR_TYPE_GRAY, 16);
         },
         8,
         300,
         {{0, 0, 0xFFFFFF}, {1, 0, 0x808080}},
         0},
        {"PNG grey with alpha",
         [](const std::string&) {
             return MakePng(1, {{200, 128}}, PNG_COLOR_TYPE_GRAY_ALPHA, 8);
         },
         8,
         300,
         {{0, 0, half * 0x010101}},
         0},
        {"PNG 2-bit palette: 4 bits",
         [](const std::string&) {
             return MakePng(3, {{0b00111000}}, PNG_COLOR_TYPE_PALETTE, 2,
                            {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}, {10, 11, 12}});
         },
         4,
         300,
         {{0, 0, 0x030201}, {1, 0, 0x0C0B0A}, {2, 0, 0x090807}},
         0},
        {"PNG 1-bit grey: bilevel",
         [](const std::string&) { return MakePng(2, {{0b01000000}}, PNG_COLOR_TYPE_GRAY, 1); },
         1,
         300,
         {{0, 0, 0}, {1, 0, 0xFFFFFF}},
         0},
        {"PNG interlaced RGB",
         [](const std::string&) {
             Rows rows(9, std::vector<uint8_t>(27));
             for (int y = 0; y < 9; ++y) {
                 for (int x = 0; x < 9; ++x) rows[y][3 * x] = static_cast<uint8_t>(x * 10 + y);
             }
             return MakePng(9, rows, PNG_COLOR_TYPE_RGB, 8, {}, true);
         },
         24,
         300,
         {{8, 8, 88}, {3, 5, 35}, {0, 1, 1}},
         0},
        {"JPEG with an EXIF orientation: pixels as stored",
         [](const std::string&) { return MakeRotatedJpeg(); },
         24,
         0,
         {{3, 1, 0xDCA028}},
         3,
         4},
        {"JPEG CMYK: RGB",
         [](const std::string&) {
             return MakeCmykJpeg({255, 0, 0, 255});
         },
         24,
         0,
         {{3, 3, 0x0000FF}},
         3},
        {"TIFF fax: 1 bit, 0 white",
         [](const std::string& path) {
             return MakeFaxTiff(path, 9, {{0b10100000, 0}, {0, 0}});
         },
         1,
         200,
         {{0, 0, 0}, {1, 0, 0xFFFFFF}, {2, 0, 0}, {8, 1, 0xFFFFFF}},
         0},
        {"GIF interlaced frame on its screen",
         [](const std::string&) { return MakeInterlacedGif(); },
         4,
         0,
         {{1, 0, 0x00FF00}, {1, 3, 0x03FC30}, {1, 8, 0x08F780}, {0, 4, 0x05FA50}},
         0},
        {"WebP with alpha",
         [](const std::string&) { return MakeAlphaWebP(); },
         24,
         0,
         {{0, 0, 0x3264C8}, {1, 0, 0}, {2, 0, half | ((half / 2) << 8) | ((half / 4) << 16)}},
         1},
    };
    for (const ForeignCase& c : cases) {
        SCOPED_TRACE(c.what);
        ImageRig rig;
        ScratchFolder folder;
        const std::string path = folder.File("foreign");
        const std::vector<uint8_t> bytes = c.make(path);
        ASSERT_FALSE(bytes.empty());
        WriteBytes(path, bytes);
        Item* loaded = rig.Load(path);
        ASSERT_TRUE(rig.m.StopList.empty()) << LastStop(rig.m);
        EXPECT_EQ(loaded->image->BitCount(), c.bits);
        EXPECT_EQ(loaded->image->ResolutionDpi(), c.dpi);
        if (c.width != 0) {
            EXPECT_EQ(loaded->image->Width(), c.width);
        }
        for (const auto& [x, y, colour] : c.pixels) {
            EXPECT_LE(ChannelDistance(ColourAt(rig, loaded, x, y), static_cast<uint32_t>(colour)),
                      c.tolerance)
                << x << "," << y << " is " << std::hex << ColourAt(rig, loaded, x, y);
        }
    }
}

}  // namespace
}  // namespace tarvil::testing
