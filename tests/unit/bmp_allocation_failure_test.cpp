// Every allocation made while a BMP file or a clipboard bitmap is read or
// written is made to fail in turn. Each failure must give the function's own
// failure result (or a std::bad_alloc to the caller where the function has
// none), leave the target image exactly as it was, and leak nothing (the
// sanitizer build checks the leaks).
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "engine/image_record.h"
#include "image/bmp_file.h"
#include "image/packed_dib.h"
#include "unit/image_test_support.h"

namespace {

// The replaced operator new below is process-wide, so its switch is too.
// -1: no allocation fails. n >= 0: the allocation after n successful ones fails.
std::atomic<long> g_allocationsBeforeFailure{-1};
std::atomic<bool> g_failureFired{false};

void* Allocate(std::size_t size) {
    if (g_allocationsBeforeFailure.load() >= 0 && g_allocationsBeforeFailure.fetch_sub(1) == 0) {
        g_failureFired = true;
        throw std::bad_alloc();
    }
    if (void* memory = std::malloc(size == 0 ? 1 : size)) return memory;
    throw std::bad_alloc();
}

}  // namespace

void* operator new(std::size_t size) {
    return Allocate(size);
}
void* operator new[](std::size_t size) {
    return Allocate(size);
}
void operator delete(void* memory) noexcept {
    std::free(memory);
}
void operator delete[](void* memory) noexcept {
    std::free(memory);
}
void operator delete(void* memory, std::size_t) noexcept {
    std::free(memory);
}
void operator delete[](void* memory, std::size_t) noexcept {
    std::free(memory);
}

namespace tarvil {
namespace {

using testing::HandMadeBmp;

// Arms the failure of the allocation after `successes` ones for its lifetime.
class FailingAllocation {
public:
    explicit FailingAllocation(long successes) {
        g_failureFired = false;
        g_allocationsBeforeFailure = successes;
    }
    ~FailingAllocation() { g_allocationsBeforeFailure = -1; }
    FailingAllocation(const FailingAllocation&) = delete;
    FailingAllocation& operator=(const FailingAllocation&) = delete;
    static bool Fired() { return g_failureFired.load(); }
};

// What came of one call made with an allocation armed to fail.
struct CallResult {
    bool failed = false;  // the armed allocation was reached and failed
    bool threw = false;   // a std::bad_alloc came out of the call
};

template <typename Call>
CallResult CallWithFailingAllocation(long successes, Call&& call) {
    FailingAllocation failing(successes);
    try {
        call();
    } catch (const std::bad_alloc&) {
        return {FailingAllocation::Fired(), true};
    }
    return {FailingAllocation::Fired(), false};
}

// More than any of these calls makes: a loop that gets here has lost count.
constexpr long kMostAllocations = 1000;

// The parts of an image that a failed load must leave alone.
struct ImageState {
    ImageBlock block;
    size_t pixelsOffset = 0;
    bool hasPixels = false;
    uint16_t paletteCount = 0;
    uint32_t rowStride = 0;
    bool operator==(const ImageState&) const = default;
};
ImageState StateOf(const Image& image) {
    return {image.block, image.pixelsOffset, image.hasPixels, image.PaletteCount, image.RowStride};
}

// An image that already holds a picture, as a variable does before a new load.
void FillWithOldPicture(Image& image) {
    const auto old = HandMadeBmp(1, 1, 24, 0, 0, {9, 8, 7, 0});
    ASSERT_EQ(ParseBmpFile(old, image), BmpLoadStatus::Ok);
}

struct FileCase {
    const char* name;
    std::vector<uint8_t> file;
};

std::vector<FileCase> FileCases() {
    return {
        {"OneBit", HandMadeBmp(9, 2, 1, 0, 2, {0xA5, 0x80, 0, 0, 0x5A, 0x00, 0, 0})},
        {"FourBit", HandMadeBmp(3, 2, 4, 0, 16, {0x12, 0x30, 0, 0, 0x45, 0x60, 0, 0})},
        {"EightBit", HandMadeBmp(3, 2, 8, 0, 256, {1, 2, 3, 0, 4, 5, 6, 0})},
        {"EightBitShortTable", HandMadeBmp(3, 2, 8, 16, 16, {1, 2, 3, 0, 4, 5, 6, 0})},
        // 16 colours counted but a full table stored: the rows lie apart from the table.
        {"EightBitGapBeforeRows", HandMadeBmp(3, 2, 8, 16, 256, {1, 2, 3, 0, 4, 5, 6, 0})},
        {"TrueColour", HandMadeBmp(3, 2, 24, 0, 0, {1, 2, 3, 4, 5, 6, 7, 8, 9, 0, 0, 0,  //
                                                    9, 8, 7, 6, 5, 4, 3, 2, 1, 0, 0, 0})},
    };
}

class BmpAllocationFailure : public ::testing::TestWithParam<FileCase> {};

// Loads `file` into an image that holds an older picture, with each allocation
// failing in turn: every failure is NoMemory and leaves the old picture; the
// load whose allocations all succeed gives `file`'s image. In place, the part
// behind the file header is handed over as a vector of its own, as LOADIMAGE
// reads it.
void CheckLoadingUnderFailingAllocations(const std::vector<uint8_t>& file, bool inPlace) {
    Image expected;
    ASSERT_EQ(ParseBmpFile(file, expected), BmpLoadStatus::Ok);
    const auto fileHeader = std::span(file).first(14);
    long successes = 0;
    for (; successes < kMostAllocations; ++successes) {
        Image image;
        FillWithOldPicture(image);
        const ImageState before = StateOf(image);
        ImageBlock rest(file.begin() + 14, file.end());
        BmpLoadStatus status = BmpLoadStatus::Malformed;
        const CallResult result = CallWithFailingAllocation(successes, [&] {
            status = inPlace ? ParseBmpFileInPlace(fileHeader, std::move(rest), image)
                             : ParseBmpFile(file, image);
        });
        EXPECT_FALSE(result.threw) << "allocation " << successes;
        if (!result.failed) {
            EXPECT_EQ(status, BmpLoadStatus::Ok);
            EXPECT_EQ(image.block, expected.block);
            break;
        }
        EXPECT_EQ(status, BmpLoadStatus::NoMemory) << "allocation " << successes;
        EXPECT_TRUE(StateOf(image) == before) << "allocation " << successes;
    }
    EXPECT_GT(successes, 0);  // the load allocates, so some allocation failed
    EXPECT_LT(successes, kMostAllocations);
}

TEST_P(BmpAllocationFailure, LoadingGivesNoMemoryAndLeavesTheImageAsItWas) {
    CheckLoadingUnderFailingAllocations(GetParam().file, false);
}

TEST_P(BmpAllocationFailure, LoadingInPlaceGivesNoMemoryAndLeavesTheImageAsItWas) {
    CheckLoadingUnderFailingAllocations(GetParam().file, true);
}

TEST_P(BmpAllocationFailure, SavingGivesNothingRatherThanAPartialFile) {
    Image image;
    ASSERT_EQ(ParseBmpFile(GetParam().file, image), BmpLoadStatus::Ok);
    const auto expected = SerializeBmp(image);
    ASSERT_TRUE(expected.has_value());

    long successes = 0;
    for (; successes < kMostAllocations; ++successes) {
        std::optional<BmpFilePieces> pieces;
        const CallResult result =
            CallWithFailingAllocation(successes, [&] { pieces = SplitBmpFile(image); });
        EXPECT_FALSE(result.threw) << "allocation " << successes;
        if (!result.failed) {
            ASSERT_TRUE(pieces.has_value());
            std::vector<uint8_t> joined = pieces->head;
            joined.insert(joined.end(), pieces->rows.begin(), pieces->rows.end());
            EXPECT_EQ(joined, *expected);
            break;
        }
        EXPECT_FALSE(pieces.has_value()) << "allocation " << successes;
    }
    EXPECT_GT(successes, 0);
    EXPECT_LT(successes, kMostAllocations);

    // The whole file in one piece: a failure may come out as std::bad_alloc, never as a short file.
    for (successes = 0; successes < kMostAllocations; ++successes) {
        std::optional<std::vector<uint8_t>> file;
        const CallResult result =
            CallWithFailingAllocation(successes, [&] { file = SerializeBmp(image); });
        if (!result.failed) {
            EXPECT_EQ(file, expected);
            break;
        }
        EXPECT_TRUE(result.threw || !file.has_value()) << "allocation " << successes;
    }
    EXPECT_LT(successes, kMostAllocations);
}

TEST_P(BmpAllocationFailure, ClipboardFormsFailWholeOrConvertExactly) {
    const std::vector<uint8_t>& file = GetParam().file;
    const auto expectedDib = PackedDibFromBmpFile(file);
    ASSERT_TRUE(expectedDib.has_value());

    long successes = 0;
    for (; successes < kMostAllocations; ++successes) {
        std::optional<std::vector<uint8_t>> dib;
        const CallResult result =
            CallWithFailingAllocation(successes, [&] { dib = PackedDibFromBmpFile(file); });
        if (!result.failed) {
            EXPECT_EQ(dib, expectedDib);
            break;
        }
        EXPECT_TRUE(result.threw || !dib.has_value()) << "allocation " << successes;
    }
    EXPECT_GT(successes, 0);

    for (successes = 0; successes < kMostAllocations; ++successes) {
        std::vector<uint8_t> back;
        const CallResult result = CallWithFailingAllocation(
            successes, [&] { back = BmpFileFromPackedDib(*expectedDib); });
        if (!result.failed) {
            EXPECT_EQ(PackedDibFromBmpFile(back), expectedDib);
            break;
        }
        EXPECT_TRUE(result.threw) << "allocation " << successes;
        EXPECT_TRUE(back.empty());
    }
    EXPECT_GT(successes, 0);

    // Adopting takes the bytes it is given: it allocates nothing that can fail half-way.
    for (successes = 0; successes < kMostAllocations; ++successes) {
        Image image;
        FillWithOldPicture(image);
        const ImageState before = StateOf(image);
        ImageBlock bytes(expectedDib->begin(), expectedDib->end());
        bool adopted = false;
        const CallResult result = CallWithFailingAllocation(
            successes, [&] { adopted = AdoptPackedDib(std::move(bytes), image); });
        if (!result.failed) {
            EXPECT_TRUE(adopted);
            EXPECT_TRUE(std::ranges::equal(image.block, *expectedDib));
            break;
        }
        EXPECT_TRUE(result.threw);
        EXPECT_TRUE(StateOf(image) == before) << "allocation " << successes;
    }
    EXPECT_LT(successes, kMostAllocations);
}

INSTANTIATE_TEST_SUITE_P(Files, BmpAllocationFailure, ::testing::ValuesIn(FileCases()),
                         [](const auto& info) { return std::string(info.param.name); });

struct PictureCase {
    const char* name;
    ClipboardBitmap bitmap;
};

class PictureAllocationFailure : public ::testing::TestWithParam<PictureCase> {};

TEST_P(PictureAllocationFailure, ConversionGivesNothingOrTheWholeBitmap) {
    const ClipboardBitmap& bitmap = GetParam().bitmap;
    const auto expected = BitmapToPackedDib(bitmap);
    ASSERT_TRUE(expected.has_value());

    long successes = 0;
    for (; successes < kMostAllocations; ++successes) {
        std::optional<ImageBlock> dib;
        const CallResult result =
            CallWithFailingAllocation(successes, [&] { dib = BitmapToPackedDib(bitmap); });
        EXPECT_FALSE(result.threw) << "allocation " << successes;
        if (!result.failed) {
            EXPECT_EQ(dib, expected);
            break;
        }
        EXPECT_FALSE(dib.has_value()) << "allocation " << successes;
    }
    EXPECT_GT(successes, 0);
    EXPECT_LT(successes, kMostAllocations);
}

ClipboardBitmap Picture(int32_t depth, std::vector<uint32_t> palette) {
    ClipboardBitmap bitmap;
    bitmap.width = 5;
    bitmap.height = 3;
    bitmap.depth = depth;
    for (uint32_t k = 0; k < 15; ++k) bitmap.pixels.push_back(0xFF000000u | (k * 0x0F0D0Bu));
    bitmap.palette = std::move(palette);
    return bitmap;
}

INSTANTIATE_TEST_SUITE_P(Pictures, PictureAllocationFailure,
                         ::testing::Values(PictureCase{"TrueColour", Picture(32, {})},
                                           PictureCase{"PaletteOfTwo",
                                                       Picture(1, {0xFF000000u, 0xFFFFFFFFu})},
                                           PictureCase{"EightBitWithoutPalette", Picture(8, {})}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tarvil
