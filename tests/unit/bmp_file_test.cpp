#include "image/bmp_file.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <functional>

#include "image/file_access.h"
#include "unit/image_test_support.h"

namespace tarvil::testing {
namespace {

constexpr uint8_t kZeroRow8[8] = {};

// Fills an image with a pattern that uses every bit of each pixel.
double PatternValue(int bits, int x, int y) {
    const uint32_t v = static_cast<uint32_t>(x * 7 + y * 13 + 5);
    switch (bits) {
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

class RoundTripTest : public ::testing::TestWithParam<std::tuple<int, int>> {};

TEST_P(RoundTripTest, SavedAndLoadedImageKeepsPixelsTableAndHeader) {
    const auto [bits, width] = GetParam();
    const int height = 3;
    ImageRig rig;
    ScratchFolder folder;
    Item* original = rig.Create(width, height, bits);
    const int entries = original->image->PaletteCount;
    for (int k = 0; k < entries; ++k) {
        rig.SetPalette(original, k, static_cast<uint8_t>(k * 3), static_cast<uint8_t>(255 - k),
                       static_cast<uint8_t>(k ^ 0x5A));
    }
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) rig.SetPixelVal(original, x, y, PatternValue(bits, x, y));
    }
    const std::string path = folder.File("round.bmp");
    rig.Save(original, path);
    ASSERT_TRUE(rig.m.StopList.empty()) << LastStop(rig.m);

    const std::vector<uint8_t> file = ReadBytes(path);
    // SAVEIMAGE writes the rows straight from the block: the same bytes as the
    // file built in one buffer.
    const auto serialized = SerializeBmp(*original->image);
    ASSERT_TRUE(serialized.has_value());
    EXPECT_EQ(file, *serialized);
    const size_t table = bits == 24 ? 0 : 4u << bits;
    const size_t stride = original->image->RowStride;
    ASSERT_EQ(file.size(), 54 + table + stride * height);
    EXPECT_EQ(Le32(file, 2), file.size());
    EXPECT_EQ(Le32(file, 10), 54 + table);

    Item* loaded = rig.Load(path);
    ASSERT_TRUE(rig.m.StopList.empty()) << LastStop(rig.m);
    const Image& image = *loaded->image;
    EXPECT_EQ(image.block.size(), stride * height + 40 + 2048);
    EXPECT_EQ(image.PaletteCount, entries);
    EXPECT_TRUE(
        std::equal(image.block.begin(), image.block.begin() + 40, original->image->block.begin()));
    for (int k = 0; k < entries; ++k) {
        EXPECT_EQ(rig.GetPalette(loaded, k), rig.GetPalette(original, k)) << "entry " << k;
    }
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            ASSERT_EQ(rig.GetPixelVal(loaded, x, y), PatternValue(bits, x, y))
                << "pixel " << x << "," << y;
        }
    }
    // Saving the loaded image gives the same file again.
    const std::string again = folder.File("again.bmp");
    rig.Save(loaded, again);
    EXPECT_EQ(ReadBytes(again), file);
}

INSTANTIATE_TEST_SUITE_P(OddWidths, RoundTripTest,
                         ::testing::Combine(::testing::Values(1, 4, 8, 24),
                                            ::testing::Values(1, 3, 5, 7, 13)));

TEST(BmpFile, NewTwoByTwoTrueColourImageIsA70ByteFile) {
    ImageRig rig;
    ScratchFolder folder;
    rig.Save(rig.Create(2, 2, 24), folder.File("a.bmp"));
    std::vector<uint8_t> expected = {'B', 'M', 70, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0,  // file header
                                     40,  0,   0,  0, 2, 0, 0, 0, 2, 0, 0,  0, 1, 0, 24, 0};
    expected.resize(70, 0);
    EXPECT_EQ(ReadBytes(folder.File("a.bmp")), expected);
}

TEST(BmpFile, NewTenByFiveMonochromeImageIsAn82ByteFile) {
    ImageRig rig;
    ScratchFolder folder;
    rig.Save(rig.Create(10, 5, 1), folder.File("m.bmp"));
    std::vector<uint8_t> expected = {'B', 'M', 82, 0,  0, 0, 0, 0, 0, 0, 62, 0, 0, 0, 40,
                                     0,   0,   0,  10, 0, 0, 0, 5, 0, 0, 0,  1, 0, 1, 0};
    expected.resize(54, 0);
    for (uint8_t b : {0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0}) expected.push_back(b);
    expected.resize(82, 0);
    EXPECT_EQ(ReadBytes(folder.File("m.bmp")), expected);
}

TEST(BmpFile, PixelDataFollowsAFullColourTable) {
    const struct {
        int bits;
        uint32_t offBits;
    } cases[] = {{1, 62}, {4, 118}, {8, 1078}, {24, 54}};
    for (const auto& c : cases) {
        ImageRig rig;
        ScratchFolder folder;
        rig.Save(rig.Create(3, 1, c.bits), folder.File("t.bmp"));
        const auto file = ReadBytes(folder.File("t.bmp"));
        ASSERT_GE(file.size(), 54u);
        EXPECT_EQ(Le32(file, 10), c.offBits) << c.bits;
        EXPECT_EQ(file.size(), c.offBits + 4 * (c.bits == 24 ? 3 : 1)) << c.bits;
    }
}

TEST(BmpFile, ColourCountOfTheHeaderPlacesThePixelsAndSurvivesASave) {
    ImageRig rig;
    ScratchFolder folder;
    // 3 × 2, 8 bits, 16 colour-table entries; bottom row 1 2 3, top row 4 5 6.
    const auto file = HandMadeBmp(3, 2, 8, 16, 16, {1, 2, 3, 0, 4, 5, 6, 0});
    ASSERT_EQ(file.size(), 54u + 64 + 8);
    WriteBytes(folder.File("c.bmp"), file);
    Item* loaded = rig.Load(folder.File("c.bmp"));
    ASSERT_TRUE(rig.m.StopList.empty()) << LastStop(rig.m);
    const Image& image = *loaded->image;
    EXPECT_EQ(image.pixelsOffset, 40u + 64);
    EXPECT_EQ(image.PaletteCount, 256);
    EXPECT_EQ(rig.GetPixelVal(loaded, 0, 0), 4);
    EXPECT_EQ(rig.GetPixelVal(loaded, 2, 1), 3);
    EXPECT_EQ(rig.GetPixel(loaded, 1, 0), 0x050505u);
    EXPECT_EQ(rig.GetPalette(loaded, 16), 0x010203u) << "slot 16 is the bottom row, blue first";

    rig.Save(loaded, folder.File("d.bmp"));
    const auto saved = ReadBytes(folder.File("d.bmp"));
    ASSERT_EQ(saved.size(), 1078u + 8);
    EXPECT_EQ(Le32(saved, 10), 1078u);
    EXPECT_EQ(Le32(saved, 46), 16u) << "the header still says 16";
    EXPECT_EQ(std::vector<uint8_t>(saved.begin() + 1078, saved.end()),
              (std::vector<uint8_t>{1, 2, 3, 0, 4, 5, 6, 0}));
}

// The file SAVEIMAGE writes carries the colour table of the bit count only, so
// a header that counts more entries than that (biClrUsed on 24 bits, or 16 on
// 1 bit) gives a file whose table runs into the rows. Such a file loads again
// with the same header and pixels.
TEST(BmpFile, ColourCountBeyondTheBitCountsTableSurvivesASaveAndALoad) {
    struct Case {
        uint16_t bits;
        uint32_t clrUsed;
        std::vector<uint8_t> rows;  // 1 × 3 pixels, bottom row first
    };
    const Case cases[] = {
        {24, 2, {1, 2, 3, 0, 4, 5, 6, 0, 7, 8, 9, 0}},
        {1, 16, {0x80, 0, 0, 0, 0x00, 0, 0, 0, 0x80, 0, 0, 0}},
        {4, 256, {0x30, 0, 0, 0, 0x70, 0, 0, 0, 0xF0, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        ImageRig rig;
        ScratchFolder folder;
        WriteBytes(folder.File("a.bmp"), HandMadeBmp(1, 3, c.bits, c.clrUsed, c.clrUsed, c.rows));
        Item* loaded = rig.Load(folder.File("a.bmp"));
        ASSERT_TRUE(rig.m.StopList.empty()) << LastStop(rig.m) << " bits " << c.bits;
        rig.Save(loaded, folder.File("b.bmp"));
        ASSERT_TRUE(rig.m.StopList.empty()) << LastStop(rig.m);
        EXPECT_EQ(Le32(ReadBytes(folder.File("b.bmp")), 46), c.clrUsed);

        Item* reloaded = rig.Load(folder.File("b.bmp"));
        ASSERT_TRUE(rig.m.StopList.empty()) << LastStop(rig.m) << " bits " << c.bits;
        const Image& first = *loaded->image;
        const Image& second = *reloaded->image;
        EXPECT_EQ(second.pixelsOffset, first.pixelsOffset) << c.bits;
        for (int y = 0; y < 3; ++y) {
            EXPECT_EQ(rig.GetPixelVal(reloaded, 0, y), rig.GetPixelVal(loaded, 0, y)) << c.bits;
        }
        // The clipboard form of the saved file holds the same rows too.
        const auto dib = PackedDibFromBmpFile(ReadBytes(folder.File("b.bmp")));
        ASSERT_TRUE(dib.has_value()) << c.bits;
        ASSERT_EQ(dib->size(), first.pixelsOffset + c.rows.size());
        EXPECT_EQ(std::vector<uint8_t>(dib->begin() + first.pixelsOffset, dib->end()), c.rows);
    }
}

TEST(BmpFile, LoadingClearsImportantColoursAndIgnoresTheImageSizeField) {
    ImageRig rig;
    ScratchFolder folder;
    auto file = HandMadeBmp(2, 1, 24, 0, 0, {1, 2, 3, 4, 5, 6, 0, 0});
    PutLe32(file, 50, 7);       // biClrImportant
    PutLe32(file, 34, 999999);  // biSizeImage: not trusted
    PutLe32(file, 38, 2835);
    WriteBytes(folder.File("i.bmp"), file);
    Item* loaded = rig.Load(folder.File("i.bmp"));
    ASSERT_TRUE(rig.m.StopList.empty()) << LastStop(rig.m);
    EXPECT_EQ(loaded->image->HeaderInt32(bih::kClrImportant), 0);
    EXPECT_EQ(loaded->image->ResolutionDpi(), 72);
    EXPECT_EQ(rig.GetPixel(loaded, 1, 0), 0x040506u);
}

TEST(BmpFile, ReadOnlyFileLoads) {
    ImageRig rig;
    ScratchFolder folder;
    const std::string path = folder.File("ro.bmp");
    rig.Save(rig.Create(4, 4, 8), path);
    ASSERT_EQ(chmod(path.c_str(), 0444), 0);
    Item* loaded = rig.Load(path);
    EXPECT_TRUE(rig.m.StopList.empty()) << LastStop(rig.m);
    EXPECT_EQ(loaded->image->Width(), 4);
}

TEST(BmpFile, NamesReachTheFileSystemAsTheScriptHoldsThem) {
    ImageRig rig;
    ScratchFolder folder;
    // Two names outside Latin-1 stay two files; a Latin-1 byte stays a byte.
    const std::vector<std::string> names = {"\xE4\xB8\xAD\xE5\x9B\xBD.bmp",
                                            "\xE6\x97\xA5\xE6\x9C\xAC.bmp", "caf\xC3\xA9.bmp",
                                            "old\xE9.bmp"};
    for (size_t i = 0; i < names.size(); ++i) {
        rig.Save(rig.Create(static_cast<int>(i) + 1, 2, 4), folder.File(names[i]));
        ASSERT_TRUE(rig.m.StopList.empty()) << LastStop(rig.m);
    }
    std::vector<std::string> sorted = names;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(folder.Names(), sorted);
    for (size_t i = 0; i < names.size(); ++i) {
        Item* loaded = rig.Load(folder.File(names[i]));
        ASSERT_TRUE(rig.m.StopList.empty()) << LastStop(rig.m);
        EXPECT_EQ(loaded->image->Width(), static_cast<int>(i) + 1) << names[i];
    }
    rig.Load(folder.File("n\xC3\xA9.bmp"));
    EXPECT_EQ(LastStop(rig.m), "Error: Loading image '" + folder.File("n\xC3\xA9.bmp") + "'");
}

// ---- Saving replaces a file whole or not at all.

TEST(BmpSave, ExistingFileKeepsItsModeAndANewOneGetsTheUmask) {
    ImageRig rig;
    ScratchFolder folder;
    const std::string path = folder.File("p.bmp");
    WriteBytes(path, {1, 2, 3});
    ASSERT_EQ(chmod(path.c_str(), 0640), 0);
    rig.Save(rig.Create(2, 2, 24), path);
    ASSERT_TRUE(rig.m.StopList.empty()) << LastStop(rig.m);
    struct stat info {};
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
    EXPECT_EQ(ReadBytes(path).size(), 70u);

    const mode_t mask = umask(022);
    rig.Save(rig.Create(2, 2, 24), folder.File("new.bmp"));
    umask(mask);
    ASSERT_EQ(stat(folder.File("new.bmp").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0644u);
    std::vector<std::string> names = folder.Names();
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"new.bmp", "p.bmp"})) << "no temporary left";
}

// A script's text holds at most 254 characters: the longest name, in the working folder.
TEST(BmpSave, LongestFileNameIsReplacedToo) {
    ImageRig rig;
    ScratchFolder folder;
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(folder.path());
    const std::string name = std::string(250, 'n') + ".bmp";
    WriteBytes(name, {1});
    rig.Save(rig.Create(2, 2, 24), name);
    std::filesystem::current_path(previous);
    EXPECT_TRUE(rig.m.StopList.empty()) << LastStop(rig.m);
    EXPECT_EQ(ReadBytes(folder.File(name)).size(), 70u);
    EXPECT_EQ(folder.Names(), std::vector<std::string>{name});
}

TEST(BmpSave, SymbolicLinkStaysALinkToTheNewContent) {
    ImageRig rig;
    ScratchFolder folder;
    WriteBytes(folder.File("real.bmp"), {9});
    ASSERT_EQ(symlink("real.bmp", folder.File("link.bmp").c_str()), 0);
    rig.Save(rig.Create(2, 2, 24), folder.File("link.bmp"));
    ASSERT_TRUE(rig.m.StopList.empty()) << LastStop(rig.m);
    struct stat info {};
    ASSERT_EQ(lstat(folder.File("link.bmp").c_str(), &info), 0);
    EXPECT_TRUE(S_ISLNK(info.st_mode));
    EXPECT_EQ(ReadBytes(folder.File("real.bmp")).size(), 70u);
}

TEST(BmpSave, FailuresLeaveTheOldStateAndNoTemporary) {
    const std::vector<uint8_t> old = {'o', 'l', 'd'};
    const struct {
        const char* label;
        std::function<std::string(const ScratchFolder&)> prepare;
        bool needsNonRoot;
    } cases[] = {
        {"a folder in the way",
         [](const ScratchFolder& f) {
             std::filesystem::create_directory(f.File("dir.bmp"));
             return f.File("dir.bmp");
         },
         false},
        {"missing folder", [](const ScratchFolder& f) { return f.File("no/such/x.bmp"); }, false},
        {"empty name", [](const ScratchFolder&) { return std::string(); }, false},
        {"a device", [](const ScratchFolder&) { return std::string("/dev/null"); }, false},
        {"read-only file",
         [&old](const ScratchFolder& f) {
             WriteBytes(f.File("ro.bmp"), old);
             chmod(f.File("ro.bmp").c_str(), 0444);
             return f.File("ro.bmp");
         },
         true},
        {"folder not writable",
         [&old](const ScratchFolder& f) {
             std::filesystem::create_directory(f.File("locked"));
             WriteBytes(f.File("locked/x.bmp"), old);
             chmod(f.File("locked").c_str(), 0555);
             return f.File("locked/x.bmp");
         },
         true},
    };
    for (const auto& c : cases) {
        if (c.needsNonRoot && geteuid() == 0) continue;  // root writes anyway
        ImageRig rig;
        ScratchFolder folder;
        const std::string path = c.prepare(folder);
        const auto namesBefore = folder.Names();
        const bool hadFile = std::filesystem::is_regular_file(path);
        rig.Save(rig.Create(2, 2, 24), path);
        EXPECT_EQ(LastStop(rig.m), "Error: Writing image '" + path + "'") << c.label;
        EXPECT_EQ(folder.Names(), namesBefore) << c.label;
        if (hadFile) {
            EXPECT_EQ(ReadBytes(path), old) << c.label;
        }
        chmod(folder.File("locked").c_str(), 0755);
    }
}

// A write that fails half-way (here: the file size limit) keeps the old file.
TEST(BmpSave, FailedWriteKeepsTheOldFileByteForByte) {
    ImageRig rig;
    ScratchFolder folder;
    const std::string path = folder.File("keep.bmp");
    const std::vector<uint8_t> old = {'o', 'l', 'd', ' ', 'f', 'i', 'l', 'e'};
    WriteBytes(path, old);
    Item* image = rig.Create(64, 64, 24);

    struct rlimit saved {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previousHandler = signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved;
    small.rlim_cur = 100;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    rig.Save(image, path);
    setrlimit(RLIMIT_FSIZE, &saved);
    signal(SIGXFSZ, previousHandler);

    EXPECT_EQ(LastStop(rig.m), "Error: Writing image '" + path + "'");
    EXPECT_EQ(ReadBytes(path), old);
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"keep.bmp"});
}

TEST(BmpSave, ImagesWithoutPixelsAndOtherOperandsAreNotWritten) {
    ImageRig rig;
    ScratchFolder folder;
    Item* operands[] = {rig.Create(4, 4, 16), MakeImageVariable(rig.m, "none"),
                        MakeImageVariable(rig.m, "bare", std::make_shared<Image>()), rig.Num(1),
                        rig.Text("x")};
    for (Item* operand : operands) {
        rig.m.StopList.head.reset();
        rig.Save(operand, folder.File("x.bmp"));
        EXPECT_EQ(LastStop(rig.m), "Error: Writing image '" + folder.File("x.bmp") + "'");
    }
    EXPECT_TRUE(folder.Names().empty());
}

// ---- Malformed files: each is refused before anything is allocated.

std::vector<uint8_t> Valid24() {
    return HandMadeBmp(2, 2, 24, 0, 0, std::vector<uint8_t>(16, 7));
}
std::vector<uint8_t> Valid8() {
    return HandMadeBmp(2, 2, 8, 0, 256, std::vector<uint8_t>(8, 3));
}

std::vector<uint8_t> With(std::vector<uint8_t> file, size_t offset, uint32_t value, int width = 4) {
    if (width == 4) {
        PutLe32(file, offset, value);
    } else {
        PutLe16(file, offset, static_cast<uint16_t>(value));
    }
    return file;
}

std::vector<uint8_t> Cut(std::vector<uint8_t> file, size_t size) {
    file.resize(size);
    return file;
}

// An old OS/2 file: 12-byte core header, 4 × 3 pixels of 24 bits.
std::vector<uint8_t> CoreHeaderFile() {
    std::vector<uint8_t> file(26 + 36, 0);
    file[0] = 'B';
    file[1] = 'M';
    PutLe32(file, 2, 62);
    PutLe32(file, 10, 26);
    PutLe32(file, 14, 12);
    PutLe16(file, 18, 4);
    PutLe16(file, 20, 3);
    PutLe16(file, 22, 1);
    PutLe16(file, 24, 24);
    return file;
}

// A 124-byte header (BITMAPV5HEADER), 2 × 2 pixels of 24 bits.
std::vector<uint8_t> V5HeaderFile() {
    std::vector<uint8_t> file(14 + 124 + 16, 0);
    file[0] = 'B';
    file[1] = 'M';
    PutLe32(file, 2, static_cast<uint32_t>(file.size()));
    PutLe32(file, 10, 138);
    PutLe32(file, 14, 124);
    PutLe32(file, 18, 2);
    PutLe32(file, 22, 2);
    PutLe16(file, 26, 1);
    PutLe16(file, 28, 24);
    return file;
}

struct Malformed {
    const char* label;
    std::vector<uint8_t> bytes;
    size_t length;
};

std::vector<Malformed> MalformedFiles() {
    const uint32_t wideRows = 98308;  // 32769 pixels of 24 bits, rounded to whole words
    return {
        {"empty", {}, 0},
        {"file header only", Cut(Valid24(), 14), 14},
        {"shorter than its headers", Cut(Valid24(), 53), 53},
        {"not a BMP signature", With(Valid24(), 0, 'X' | ('X' << 8), 2), 70},
        {"bitmap array signature (BA)", With(Valid24(), 0, 'B' | ('A' << 8), 2), 70},
        {"signature in lower case", With(Valid24(), 0, 'b' | ('m' << 8), 2), 70},
        {"bfOffBits before the colour table", With(Valid8(), 10, 54), 1086},
        {"bfOffBits inside the colour table", With(Valid8(), 10, 1077), 1086},
        {"bfOffBits past the end", With(Valid24(), 10, 71), 70},
        {"bfOffBits far past the end", With(Valid24(), 10, 0xFFFFFFFF), 70},
        {"core header (12 bytes)", CoreHeaderFile(), 62},
        {"V5 header (124 bytes)", V5HeaderFile(), 154},
        {"biSize 0", With(Valid24(), 14, 0), 70},
        {"RLE8 compressed", With(Valid8(), 30, 1), 1086},
        {"bit fields", With(Valid24(), 30, 3), 70},
        {"top-down", With(Valid24(), 22, static_cast<uint32_t>(-2)), 70},
        {"zero height", With(Valid24(), 22, 0), 70},
        {"zero width", With(Valid24(), 18, 0), 70},
        {"negative width", With(Valid24(), 18, static_cast<uint32_t>(-2)), 70},
        {"2 bits", With(Valid24(), 28, 2, 2), 70},
        {"16 bits", With(Valid24(), 28, 16, 2), 70},
        {"32 bits", With(Valid24(), 28, 32, 2), 70},
        {"0 bits", With(Valid24(), 28, 0, 2), 70},
        {"biClrUsed 257", With(Valid8(), 46, 257), 1086},
        {"biClrUsed huge", With(Valid8(), 46, 0x40000000), 1086},
        {"sizes that overflow 32 bits", With(With(Valid24(), 18, 0x7FFFFFFF), 22, 0x7FFFFFFF), 70},
        {"32769 wide", HandMadeBmp(32769, 1, 24, 0, 0, std::vector<uint8_t>(wideRows)),
         54 + wideRows},
        {"32769 high", HandMadeBmp(1, 32769, 8, 0, 256, std::vector<uint8_t>(4 * 32769)),
         1078 + 4 * 32769},
        {"pixel data one byte short", Cut(Valid24(), 69), 69},
        {"8-bit pixel data one byte short", Cut(Valid8(), 1085), 1085},
        {"colour table cut", Cut(Valid8(), 600), 600},
    };
}

TEST(BmpLoad, MalformedFilesGiveTheLoadingMessageAndNoImage) {
    for (const Malformed& c : MalformedFiles()) {
        ASSERT_EQ(c.bytes.size(), c.length) << c.label;
        ImageRig rig;
        ScratchFolder folder;
        const std::string path = folder.File("bad.bmp");
        WriteBytes(path, c.bytes);
        Item* result = Call(rig.m, FuncLoadImage, {rig.Text(path)});
        EXPECT_EQ(LastStop(rig.m), "Error: Loading image '" + path + "'") << c.label;
        ASSERT_EQ(rig.m.StackTop, 1u) << c.label;
        EXPECT_EQ(rig.m.OperandStack[0], result);
        EXPECT_EQ(result->typeCode, kTypeImageResult);
        EXPECT_FALSE(result->image->hasMemory()) << c.label;
    }
}

// An image record whose rows do not lie inside its block is never written
// out: SplitBmpFile gives nothing rather than reading past the block.
TEST(BmpSave, ImageRecordsWithoutRowsInsideTheBlockAreNotSplit) {
    const struct {
        const char* label;
        void (*spoil)(Image&);
    } cases[] = {
        {"no pixels", [](Image& image) { image.hasPixels = false; }},
        {"no header", [](Image& image) { image.block.resize(bih::kHeaderBytes - 1); }},
        {"zero height", [](Image& image) { image.SetHeaderInt32(bih::kHeight, 0); }},
        {"top-down height", [](Image& image) { image.SetHeaderInt32(bih::kHeight, -2); }},
        {"last row cut",
         [](Image& image) {
             const size_t rowsEnd =
                 image.pixelsOffset + static_cast<size_t>(image.Height()) * image.RowStride;
             image.block.resize(rowsEnd - 1);
         }},
        {"rows past the block", [](Image& image) { image.pixelsOffset = image.block.size(); }},
        {"offset past the block",
         [](Image& image) { image.pixelsOffset = image.block.size() + 1; }},
        {"more rows than stored", [](Image& image) { image.SetHeaderInt32(bih::kHeight, 1000); }},
    };
    for (const auto& c : cases) {
        ImageRig rig;
        Image& image = *rig.Create(3, 2, 24)->image;
        ASSERT_TRUE(SplitBmpFile(image).has_value()) << c.label;
        c.spoil(image);
        EXPECT_FALSE(SplitBmpFile(image).has_value()) << c.label;
    }
}

TEST(BmpLoad, MissingFileFolderAndDeviceGiveTheLoadingMessage) {
    ScratchFolder folder;
    for (const std::string& path : {folder.File("missing.bmp"), folder.path().string(),
                                    std::string("/dev/null"), std::string()}) {
        ImageRig rig;
        rig.Load(path);
        EXPECT_EQ(LastStop(rig.m), "Error: Loading image '" + path + "'");
    }
}

TEST(BmpLoad, EveryPrefixOfAValidFileIsRefused) {
    const auto file = Valid8();
    for (size_t size = 0; size < file.size(); ++size) {
        Image image;
        ASSERT_EQ(ParseBmpFile(std::span(file.data(), size), image), BmpLoadStatus::Malformed)
            << size;
        EXPECT_FALSE(image.hasMemory());
    }
    Image image;
    EXPECT_EQ(ParseBmpFile(file, image), BmpLoadStatus::Ok);
}

TEST(BmpLoad, GapBeforeThePixelDataAndTrailingBytesAreAllowed) {
    auto file = HandMadeBmp(1, 1, 24, 0, 0, {});
    file.resize(70, 0xEE);  // 16 bytes of gap
    PutLe32(file, 10, 70);
    for (uint8_t b : {1, 2, 3, 0, 9, 9}) file.push_back(b);
    Image image;
    ASSERT_EQ(ParseBmpFile(file, image), BmpLoadStatus::Ok);
    EXPECT_EQ(image.block[image.pixelsOffset], 1);
    EXPECT_EQ(image.block[image.pixelsOffset + 2], 3);
}

TEST(BmpLoad, InPlaceLoadingMakesTheSameImageAsCopying) {
    const auto plain = HandMadeBmp(3, 2, 8, 4, 4, {10, 11, 12, 0, 20, 21, 22, 0});
    auto trailing = plain;
    for (uint8_t b : {7, 7, 7, 7, 7}) trailing.push_back(b);  // must not reach the spare bytes
    auto gap = HandMadeBmp(1, 1, 24, 0, 0, {});
    gap.resize(70, 0xEE);
    PutLe32(gap, 10, 70);
    for (uint8_t b : {1, 2, 3, 0}) gap.push_back(b);
    auto truncated = plain;
    truncated.pop_back();
    auto headerCut = plain;
    headerCut.resize(40);
    auto fileHeaderCut = plain;
    fileHeaderCut.resize(9);
    auto notBm = plain;
    notBm[1] = 'A';
    auto offsetInsideTable = plain;
    PutLe32(offsetInsideTable, 10, 14 + 40 + 4);
    auto offsetPastTheEnd = plain;
    PutLe32(offsetPastTheEnd, 10, static_cast<uint32_t>(plain.size() + 1));
    const struct {
        const char* label;
        std::vector<uint8_t> file;
    } cases[] = {{"rows after the table", plain},
                 {"24 bits", HandMadeBmp(2, 1, 24, 0, 0, {1, 2, 3, 4, 5, 6, 0, 0})},
                 {"trailing bytes", trailing},
                 {"gap before the rows", gap},
                 {"a row byte missing", truncated},
                 {"header cut", headerCut},
                 {"file header cut", fileHeaderCut},
                 {"no BM", notBm},
                 {"rows inside the table", offsetInsideTable},
                 {"rows past the end", offsetPastTheEnd},
                 {"empty file", {}}};
    for (const auto& c : cases) {
        Image copied;
        Image inPlace;
        const BmpLoadStatus expected = ParseBmpFile(c.file, copied);
        // Split as LOADIMAGE reads a file: the file header apart from the rest.
        const size_t headSize = std::min(c.file.size(), kFileHeaderBytes);
        const std::span<const uint8_t> head(c.file.data(), headSize);
        ImageBlock rest(c.file.begin() + static_cast<ptrdiff_t>(headSize), c.file.end());
        EXPECT_EQ(CheckBmpFile(head, rest).has_value(), CheckBmpFile(c.file).has_value())
            << c.label;
        EXPECT_EQ(ParseBmpFileInPlace(head, std::move(rest), inPlace), expected) << c.label;
        EXPECT_EQ(inPlace.block, copied.block) << c.label;
        EXPECT_EQ(inPlace.hasPixels, copied.hasPixels) << c.label;
        EXPECT_EQ(inPlace.pixelsOffset, copied.pixelsOffset) << c.label;
        EXPECT_EQ(inPlace.RowStride, copied.RowStride) << c.label;
        EXPECT_EQ(inPlace.PaletteCount, copied.PaletteCount) << c.label;
    }
}

TEST(BmpLoad, FilesAreReadWithTheirFileHeaderApart) {
    // Around the head's size and the size of one read piece (64 KiB).
    const size_t sizes[] = {0, 1, 13, 14, 15, 54, 14 + 65535, 14 + 65536, 14 + 65537, 200003};
    for (const size_t size : sizes) {
        ScratchFolder folder;
        std::vector<uint8_t> bytes(size);
        for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(i * 131 + i / 251);
        WriteBytes(folder.File("f.bin"), bytes);
        std::array<uint8_t, kFileHeaderBytes> head{};
        const FileRead read = ReadFileBytes(folder.File("f.bin"), kLoadedSpareBytes, head);
        ASSERT_EQ(read.status, FileRead::Status::Ok) << size;
        EXPECT_EQ(read.headBytes, std::min(size, kFileHeaderBytes)) << size;
        std::vector<uint8_t> joined(head.begin(), head.begin() + read.headBytes);
        joined.insert(joined.end(), read.bytes.begin(), read.bytes.end());
        EXPECT_EQ(joined, bytes) << size;
        EXPECT_GE(read.bytes.capacity(), read.bytes.size() + kLoadedSpareBytes) << size;
    }
    ScratchFolder folder;
    std::array<uint8_t, kFileHeaderBytes> head{};
    const struct {
        const char* label;
        std::string path;
    } unreadable[] = {{"missing", folder.File("missing.bmp")}, {"folder", folder.File("")}};
    for (const auto& c : unreadable) {
        EXPECT_EQ(ReadFileBytes(c.path, 0, head).status, FileRead::Status::Unreadable) << c.label;
    }
}

// ---- The clipboard form of a packed bitmap.

TEST(BmpClipboardForm, FileHeaderIsAddedAndRemoved) {
    ImageRig rig;
    Item* image = rig.Create(3, 2, 4);
    const auto& block = image->image->block;
    const auto file = BmpFileFromPackedDib(block);
    ASSERT_EQ(file.size(), block.size() + 14);
    EXPECT_EQ(Le32(file, 2), file.size());
    EXPECT_EQ(Le32(file, 10), 14u + 40 + 64);
    const auto back = PackedDibFromBmpFile(file);
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(*back, block);

    auto gapped = HandMadeBmp(1, 1, 24, 0, 0, {});
    gapped.resize(60, 0xEE);
    PutLe32(gapped, 10, 60);
    for (uint8_t b : {1, 2, 3, 0}) gapped.push_back(b);
    const auto dib = PackedDibFromBmpFile(gapped);
    ASSERT_TRUE(dib.has_value());
    EXPECT_EQ(dib->size(), 44u) << "the gap is dropped";
    EXPECT_EQ((*dib)[40], 1);

    for (const Malformed& c : MalformedFiles()) {
        EXPECT_FALSE(PackedDibFromBmpFile(c.bytes).has_value()) << c.label;
    }
}

}  // namespace
}  // namespace tarvil::testing
