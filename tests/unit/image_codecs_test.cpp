// PNG, JPEG, TIFF, WebP and GIF files through LOADIMAGE and SAVEIMAGE: what
// each depth becomes when saved in each format and loaded again.
#include "image/image_codecs.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

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

        for (const size_t keep : {whole.size() / 3, size_t{20}}) {
            WriteBytes(path, std::vector<uint8_t>(whole.begin(), whole.begin() + keep));
            ImageRig broken;
            Item* loaded = broken.Load(path);
            EXPECT_EQ(LastStop(broken.m), "Error: Loading image '" + path + "'") << keep;
            EXPECT_FALSE(loaded->image && loaded->image->hasMemory()) << keep;
        }
    }
}

}  // namespace
}  // namespace tarvil::testing
