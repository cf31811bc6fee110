#include "targets.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "engine/image_record.h"
#include "engine/machine.h"
#include "engine/run_driver.h"
#include "fuzz_host.h"
#include "image/bmp_file.h"
#include "image/dib_header.h"
#include "image/image_codecs.h"
#include "image/packed_dib.h"
#include "scratch_directory.h"

namespace tarvil::fuzz {

namespace {

// A broken promise of the core: reported and fatal, so that the input is kept.
void Require(bool condition, const char* promise) {
    if (condition) return;
    std::fprintf(stderr, "fuzz check failed: %s\n", promise);
    std::abort();
}

std::span<const uint8_t> PixelRows(const Image& image) {
    const size_t bytes = static_cast<size_t>(image.Height()) * image.RowStride;
    Require(image.pixelsOffset <= image.block.size() &&
                bytes <= image.block.size() - image.pixelsOffset,
            "pixel rows lie inside the block");
    return std::span<const uint8_t>(image.block).subspan(image.pixelsOffset, bytes);
}

bool SameHeaderAndPixels(const Image& a, const Image& b) {
    if (!std::equal(a.block.begin(), a.block.begin() + bih::kHeaderBytes, b.block.begin())) {
        return false;
    }
    const auto rowsA = PixelRows(a);
    const auto rowsB = PixelRows(b);
    return std::equal(rowsA.begin(), rowsA.end(), rowsB.begin(), rowsB.end());
}

// An accepted image writes back as a BMP file that reads as the same image.
void CheckSavesAndReloads(const Image& image) {
    const auto saved = SerializeBmp(image);
    Require(saved.has_value(), "an image with pixels can be saved");
    Image reloaded;
    Require(ParseBmpFile(*saved, reloaded) == BmpLoadStatus::Ok, "a saved image loads again");
    Require(SameHeaderAndPixels(image, reloaded), "a reloaded image keeps header and pixels");
}

// Bytes taken from the front of the input, zero once it is used up.
class ByteReader {
public:
    ByteReader(const uint8_t* data, size_t size) : m_bytes(data, size) {}
    uint8_t Byte() { return m_position < m_bytes.size() ? m_bytes[m_position++] : 0; }
    uint32_t Le32() {
        uint32_t value = 0;
        for (int i = 0; i < 4; ++i) value |= static_cast<uint32_t>(Byte()) << (8 * i);
        return value;
    }
    std::span<const uint8_t> Rest() const { return m_bytes.subspan(m_position); }

private:
    std::span<const uint8_t> m_bytes;
    size_t m_position = 0;
};

// More pixels than this are not handed over (the picture is then refused as
// inconsistent), which keeps each input fast.
constexpr size_t kMaxPictureBytes = size_t{1} << 12;

// Variables (array elements, constants, temporaries) a fuzzed script may make:
// past them it runs out of memory as on a smaller machine. Arrays of a million
// elements otherwise make one input take seconds (a DEBUG line lists them all).
constexpr size_t kScriptVariableLimit = 2000;

// The largest image block a fuzzed script may make. CREATEIMAGE with an odd bit
// count on a wide image asks for up to 4 GiB, which the machine may give a user
// but which is past the fuzzer's memory limit.
constexpr uint64_t kScriptImageBlockLimit = uint64_t{256} << 20;

// The largest image a fuzzed file may decode to: a header may announce
// 32768 × 32768 pixels, which a short file cannot fill but which would be
// allocated before the decoder finds that out, and a GIF's screen is filled
// whatever its frame; each accepted image is also saved and loaded twice.
constexpr uint64_t kCodecImageBlockLimit = uint64_t{4} << 20;

bool SamePixels(const Image& a, const Image& b) {
    const auto rowsA = PixelRows(a);
    const auto rowsB = PixelRows(b);
    return a.Width() == b.Width() && a.Height() == b.Height() && a.BitCount() == b.BitCount() &&
           std::equal(rowsA.begin(), rowsA.end(), rowsB.begin(), rowsB.end());
}

bool SameColourTable(const Image& a, const Image& b) {
    const size_t bytes = 4 * static_cast<size_t>(a.PaletteCount);
    return a.PaletteCount == b.PaletteCount && a.block.size() >= Image::kPaletteOffset + bytes &&
           b.block.size() >= Image::kPaletteOffset + bytes &&
           std::equal(a.block.begin() + Image::kPaletteOffset,
                      a.block.begin() + Image::kPaletteOffset + bytes,
                      b.block.begin() + Image::kPaletteOffset);
}

// Whatever the bytes: no crash; a refused file leaves no image; an accepted one
// is a well-formed image of a model depth that saves in its format and loads
// again (the same pixels, and palette, where the format is lossless).
void FuzzCodecFile(ImageFormat format, const uint8_t* data, size_t size) {
    const std::span<const uint8_t> file(data, size);
    Image image;
    const CodecStatus status = DecodeImage(format, file, image, kCodecImageBlockLimit);
    if (status != CodecStatus::Ok) {
        Require(!image.hasMemory(), "a refused file leaves the image without memory");
        return;
    }
    Require(image.hasPixels, "a loaded image has pixels");
    const auto geometry = CheckDibHeader(image.block);
    Require(geometry.has_value(), "a loaded image has a header inside the model");
    Require(geometry->pixelsOffset == image.pixelsOffset, "the rows lie behind the colour table");
    PixelRows(image);
    CheckSavesAndReloads(image);

    const auto saved = EncodeImage(format, image);
    // A bare lossless WebP stream may declare 16384 pixels a side, one more than
    // a WebP file can hold: such an image loads but is refused as WebP.
    constexpr int32_t kLargestWebPSide = 16383;
    if (format == ImageFormat::WebP &&
        (image.Width() > kLargestWebPSide || image.Height() > kLargestWebPSide)) {
        Require(!saved.has_value(), "a WebP wider or taller than a WebP file holds is refused");
        return;
    }
    Require(saved.has_value(), "a loaded image saves in its own format");
    Image reloaded;
    Require(DecodeImage(format, *saved, reloaded) == CodecStatus::Ok, "a saved image loads again");
    if (format == ImageFormat::Jpeg) {
        Require(reloaded.Width() == image.Width() && reloaded.Height() == image.Height() &&
                    reloaded.BitCount() == image.BitCount(),
                "a reloaded JPEG keeps size and depth");
        return;
    }
    Require(SamePixels(image, reloaded), "a reloaded image keeps its pixels");
    Require(SameColourTable(image, reloaded), "a reloaded image keeps its colour table");
}

}  // namespace

void FuzzPngFile(const uint8_t* data, size_t size) {
    FuzzCodecFile(ImageFormat::Png, data, size);
}
void FuzzJpegFile(const uint8_t* data, size_t size) {
    FuzzCodecFile(ImageFormat::Jpeg, data, size);
}
void FuzzTiffFile(const uint8_t* data, size_t size) {
    FuzzCodecFile(ImageFormat::Tiff, data, size);
}
void FuzzWebPFile(const uint8_t* data, size_t size) {
    FuzzCodecFile(ImageFormat::WebP, data, size);
}
void FuzzGifFile(const uint8_t* data, size_t size) {
    FuzzCodecFile(ImageFormat::Gif, data, size);
}

void FuzzBmpFile(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> file(data, size);
    Image image;
    const BmpLoadStatus status = ParseBmpFile(file, image);
    Require(status != BmpLoadStatus::NoMemory, "a file of the fuzzer's size fits in memory");
    const bool accepted = CheckBmpFile(file).has_value();
    Require(accepted == (status == BmpLoadStatus::Ok), "loading agrees with the file check");
    // LOADIMAGE's form: the file header read apart, the rest made the block in place.
    const size_t headSize = std::min(size, kFileHeaderBytes);
    Image inPlace;
    const BmpLoadStatus inPlaceStatus =
        ParseBmpFileInPlace(file.first(headSize), {file.begin() + headSize, file.end()}, inPlace);
    Require(inPlaceStatus == status && inPlace.block == image.block,
            "loading in place gives the same image as copying");
    // The clipboard form of the same file is accepted exactly when the file is.
    const auto dib = PackedDibFromBmpFile(file);
    Require(dib.has_value() == accepted, "the clipboard form agrees with the file check");
    if (!accepted) {
        Require(!image.hasMemory(), "a refused file leaves the image without memory");
        return;
    }
    Require(image.hasPixels, "a loaded image has pixels");
    CheckSavesAndReloads(image);

    Image fromClipboard;
    Require(AdoptPackedDib(ImageBlock(dib->begin(), dib->end()), fromClipboard),
            "the clipboard form of a good file is adopted");
    Require(std::ranges::equal(PixelRows(image), PixelRows(fromClipboard)),
            "file and clipboard form give the same pixels");
    const auto again = PackedDibFromBmpFile(BmpFileFromPackedDib(*dib));
    Require(again.has_value() && *again == *dib, "the clipboard form survives image/bmp");
}

void FuzzPackedDib(const uint8_t* data, size_t size) {
    const std::vector<uint8_t> dib(data, data + size);
    Image image;
    const bool adopted = AdoptPackedDib(ImageBlock(dib.begin(), dib.end()), image);
    // The image/bmp form with its file header added and removed again.
    const std::vector<uint8_t> file = BmpFileFromPackedDib(dib);
    Require(file.size() == size + kFileHeaderBytes, "image/bmp adds only the file header");
    const auto back = PackedDibFromBmpFile(file);
    Require(back.has_value() == adopted, "image/bmp is accepted exactly when the bitmap is");
    if (!adopted) {
        Require(!image.hasMemory(), "a refused bitmap leaves the image without memory");
        return;
    }
    Require(*back == dib, "image/bmp gives back the packed bitmap");
    // Images read in never keep a count of important colours; every other byte stays.
    std::vector<uint8_t> expected = dib;
    WriteLe32(expected, bih::kClrImportant, 0);
    Require(std::ranges::equal(image.block, expected), "an adopted bitmap keeps its bytes");
    Require(image.hasPixels, "an adopted bitmap has pixels");
    CheckSavesAndReloads(image);
}

void FuzzClipboardBitmap(const uint8_t* data, size_t size) {
    ByteReader reader(data, size);
    ClipboardBitmap bitmap;
    bitmap.width = static_cast<int32_t>(reader.Le32());
    bitmap.height = static_cast<int32_t>(reader.Le32());
    bitmap.depth = static_cast<int8_t>(reader.Byte());
    const size_t paletteCount = reader.Byte() | ((reader.Byte() & 1u) << 8);
    for (size_t i = 0; i < paletteCount; ++i) {
        const uint32_t red = reader.Byte(), green = reader.Byte(), blue = reader.Byte();
        bitmap.palette.push_back((red << 16) | (green << 8) | blue);
    }
    const bool shortOfPixels = (reader.Byte() & 1u) != 0;
    // Pixels repeat the rest of the input, four bytes each, as often as needed.
    const auto rest = reader.Rest();
    if (bitmap.width > 0 && bitmap.height > 0) {
        const uint64_t wanted = static_cast<uint64_t>(bitmap.width) * bitmap.height;
        size_t count = static_cast<size_t>(std::min<uint64_t>(wanted, kMaxPictureBytes / 4));
        if (shortOfPixels && count > 0) --count;
        bitmap.pixels.resize(count);
        for (size_t i = 0; i < count && !rest.empty(); ++i) {
            uint32_t pixel = 0;
            for (size_t b = 0; b < 4; ++b)
                pixel |= uint32_t{rest[(4 * i + b) % rest.size()]} << (8 * b);
            bitmap.pixels[i] = pixel;
        }
    }

    const auto dib = BitmapToPackedDib(bitmap);
    if (!dib) return;
    Require(bitmap.pixels.size() >= static_cast<size_t>(bitmap.width) * bitmap.height,
            "a converted picture had all its pixels");
    Image image;
    Require(AdoptPackedDib(ImageBlock(dib->begin(), dib->end()), image),
            "a converted picture is a valid packed bitmap");
    Require(image.Width() == bitmap.width && image.Height() == bitmap.height,
            "a converted picture keeps its size");
    const int bits = image.BitCount();
    Require(bits == (bitmap.depth <= 1   ? 1
                     : bitmap.depth <= 4 ? 4
                     : bitmap.depth <= 8 ? 8
                                         : 24),
            "a converted picture keeps its depth class");
    if (bits == 24) {
        // True colour keeps every pixel: rows are stored bottom-up as blue, green, red.
        const auto rows = PixelRows(image);
        for (int32_t y = 0; y < bitmap.height; ++y) {
            const size_t row = static_cast<size_t>(bitmap.height - 1 - y) * image.RowStride;
            for (int32_t x = 0; x < bitmap.width; ++x) {
                const uint32_t pixel = bitmap.pixels[static_cast<size_t>(y) * bitmap.width + x];
                const size_t at = row + 3 * static_cast<size_t>(x);
                Require(rows[at] == (pixel & 0xFF) && rows[at + 1] == ((pixel >> 8) & 0xFF) &&
                            rows[at + 2] == ((pixel >> 16) & 0xFF),
                        "a true-colour picture keeps its pixels");
            }
        }
    } else {
        // A pixel whose colour is in the table gets an entry of exactly that colour.
        const auto rows = PixelRows(image);
        const auto table = std::span<const uint8_t>(image.block)
                               .subspan(Image::kPaletteOffset, 4 * size_t{image.PaletteCount});
        const auto entryIs = [&](size_t entry, uint32_t pixel) {
            return table[4 * entry] == (pixel & 0xFF) &&
                   table[4 * entry + 1] == ((pixel >> 8) & 0xFF) &&
                   table[4 * entry + 2] == ((pixel >> 16) & 0xFF);
        };
        std::vector<uint32_t> tableColours;
        for (size_t entry = 0; entry < image.PaletteCount; ++entry) {
            tableColours.push_back(table[4 * entry] | (table[4 * entry + 1] << 8) |
                                   (table[4 * entry + 2] << 16));
        }
        std::sort(tableColours.begin(), tableColours.end());
        for (int32_t y = 0; y < bitmap.height; ++y) {
            const size_t row = static_cast<size_t>(bitmap.height - 1 - y) * image.RowStride;
            for (int32_t x = 0; x < bitmap.width; ++x) {
                const uint32_t pixel = bitmap.pixels[static_cast<size_t>(y) * bitmap.width + x];
                const size_t bit = static_cast<size_t>(x) * bits;
                const unsigned index =
                    (rows[row + bit / 8] >> (8 - bits - bit % 8)) & ((1u << bits) - 1);
                Require(index < image.PaletteCount, "indices lie inside the colour table");
                const bool inTable =
                    std::binary_search(tableColours.begin(), tableColours.end(), pixel & 0xFFFFFF);
                Require(!inTable || entryIs(index, pixel),
                        "a colour of the table is given its own entry");
            }
        }
    }
    CheckSavesAndReloads(image);
}

// What one run of a fuzzed script gave: how it ended, what it showed, the
// instructions it did, the generator it left and the files it saved.
struct ScriptRun {
    RunResult result;
    std::vector<std::string> messages;
    uint64_t executed = 0;
    uint32_t randState = 0;
    std::vector<std::pair<std::string, std::vector<uint8_t>>> files;
};

std::vector<std::pair<std::string, std::vector<uint8_t>>> SavedFiles() {
    std::vector<std::pair<std::string, std::vector<uint8_t>>> files;
    for (const auto& entry : std::filesystem::directory_iterator(".")) {
        std::ifstream in(entry.path(), std::ios::binary);
        files.emplace_back(entry.path().filename().string(),
                           std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {}));
    }
    std::sort(files.begin(), files.end());
    return files;
}

ScriptRun RunFuzzedScript(std::string_view text, bool fast) {
    // What an earlier input saved would make this one's run depend on it.
    EmptyScratchDirectory();
    FuzzHost host;
    Machine machine(&host);
    machine.FuseInstructions = fast;
    machine.FileSystem = std::make_unique<ScratchFileSystem>();
    machine.VariableTable.limit = kScriptVariableLimit;
    machine.ImageBlockLimit = kScriptImageBlockLimit;
    host.Attach(machine);
    ScriptRun run;
    run.result = RunScript(machine, text);
    run.messages = host.messages;
    run.executed = machine.ExecutedCount;
    run.randState = machine.RandState;
    run.files = SavedFiles();
    Require(!machine.RunInProgress && machine.VariableTable.empty() && machine.StopList.empty() &&
                machine.LoopList.empty() && machine.BranchList.empty() && machine.StackTop == 0,
            "a run leaves nothing behind");
    // The next run on the same machine starts from scratch.
    const RunResult next = RunScript(machine, "float a\r\na=1+2\r\n");
    Require(next.outcome == RunOutcome::Normal, "a later run starts from scratch");
    return run;
}

// Whatever the script: no crash, nothing left behind, and the run with the
// faster forms of instructions is the run without them.
void FuzzScript(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const ScriptRun fast = RunFuzzedScript(text, true);
    const ScriptRun plain = RunFuzzedScript(text, false);
    Require(fast.result.outcome == plain.result.outcome && fast.result.line == plain.result.line,
            "quick code ends a run as the plain handlers do");
    Require(fast.messages == plain.messages, "quick code shows what the plain handlers show");
    Require(fast.executed == plain.executed && fast.randState == plain.randState,
            "quick code does the instructions the plain handlers do");
    Require(fast.files == plain.files, "quick code saves what the plain handlers save");
}

FuzzTarget FindFuzzTarget(std::string_view name) {
    if (name == "bmp_file") return FuzzBmpFile;
    if (name == "packed_dib") return FuzzPackedDib;
    if (name == "clipboard_bitmap") return FuzzClipboardBitmap;
    if (name == "png_file") return FuzzPngFile;
    if (name == "jpeg_file") return FuzzJpegFile;
    if (name == "tiff_file") return FuzzTiffFile;
    if (name == "webp_file") return FuzzWebPFile;
    if (name == "gif_file") return FuzzGifFile;
    if (name == "script") return FuzzScript;
    return nullptr;
}

}  // namespace tarvil::fuzz
