// Writes the seed corpora of the fuzz targets:
//
//   fuzz_make_seeds OUT_DIR SOURCE_DIR
//
// OUT_DIR/bmp_file: the images fuzz/seeds.bas saves (every depth) and
// variants of them, valid and malformed; OUT_DIR/packed_dib: their clipboard
// form; OUT_DIR/clipboard_bitmap: plain pictures of every source depth;
// OUT_DIR/png_file, jpeg_file, tiff_file, webp_file, gif_file: the same images
// as SAVEIMAGE writes them in each format, whole, cut short and with a byte changed;
// OUT_DIR/script: the example and test scripts, with CR LF line ends.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "engine/image_record.h"
#include "engine/machine.h"
#include "engine/run_driver.h"
#include "fuzz_host.h"
#include "image/bmp_file.h"
#include "image/dib_header.h"
#include "image/image_codecs.h"
#include "scratch_directory.h"

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

namespace {

Bytes ReadAll(const fs::path& path) {
    std::ifstream stream(path, std::ios::binary);
    return Bytes{std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>()};
}

void WriteAll(const fs::path& path, const Bytes& bytes) {
    std::ofstream stream(path, std::ios::binary);
    stream.write(reinterpret_cast<const char*>(bytes.data()),
                 static_cast<std::streamsize>(bytes.size()));
    if (!stream) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        std::exit(1);
    }
}

Bytes With32(Bytes bytes, size_t offset, uint32_t value) {
    if (offset + 4 <= bytes.size()) tarvil::WriteLe32(bytes, offset, value);
    return bytes;
}
Bytes With16(Bytes bytes, size_t offset, uint16_t value) {
    if (offset + 2 <= bytes.size()) tarvil::WriteLe16(bytes, offset, value);
    return bytes;
}
Bytes Cut(Bytes bytes, size_t size) {
    bytes.resize(std::min(size, bytes.size()));
    return bytes;
}

// The images of seeds.bas, saved by the core as SAVEIMAGE saves them.
std::vector<Bytes> SavedImages(const fs::path& sourceDir) {
    const Bytes script = ReadAll(sourceDir / "fuzz" / "seeds.bas");
    std::string text;
    for (uint8_t c : script) {
        if (c == '\n') text += '\r';
        text += static_cast<char>(c);
    }
    const fs::path previous = fs::current_path();
    const fs::path scratch = tarvil::fuzz::EnterScratchDirectory();
    tarvil::fuzz::FuzzHost host(1000000, 1000000);
    tarvil::Machine machine(&host);
    machine.FileSystem = std::make_unique<tarvil::fuzz::ScratchFileSystem>();
    host.Attach(machine);
    const tarvil::RunResult result = tarvil::RunScript(machine, text);
    std::vector<Bytes> images;
    for (int n = 1; fs::exists(scratch / ("seed" + std::to_string(n) + ".bmp")); ++n) {
        images.push_back(ReadAll(scratch / ("seed" + std::to_string(n) + ".bmp")));
    }
    fs::current_path(previous);
    fs::remove_all(scratch);
    if (result.outcome != tarvil::RunOutcome::Normal || images.size() != 12) {
        std::fprintf(stderr, "seeds.bas did not save its 12 images\n");
        std::exit(1);
    }
    return images;
}

// Valid variants and the malformed files the loader must refuse.
std::vector<Bytes> BmpFiles(const std::vector<Bytes>& saved) {
    std::vector<Bytes> files = saved;
    const Bytes& mono = saved[0];
    const Bytes& indexed = saved[6];      // 8 bits, 1 × 3
    const Bytes& trueColour = saved[10];  // 24 bits, 5 × 4
    // A colour-table count in the header: two entries stored, the rows right behind them.
    {
        Bytes file(indexed.begin(), indexed.begin() + 54 + 8);
        file.insert(file.end(), indexed.begin() + 54 + 1024, indexed.end());
        file = With32(With32(With32(file, 46, 2), 10, 62), 2, static_cast<uint32_t>(file.size()));
        files.push_back(file);
    }
    // A gap in front of the rows, and bytes after them.
    {
        Bytes file(trueColour.begin(), trueColour.begin() + 54);
        file.resize(70, 0xEE);
        file.insert(file.end(), trueColour.begin() + 54, trueColour.end());
        file = With32(file, 10, 70);
        file.insert(file.end(), {1, 2, 3, 4, 5});
        files.push_back(file);
    }
    files.push_back(With32(trueColour, 34, 0));  // biSizeImage 0
    files.push_back(With32(indexed, 50, 77));    // important colours
    // Malformed: each one fault.
    files.push_back({});
    files.push_back(Cut(trueColour, 14));
    files.push_back(Cut(trueColour, 53));
    files.push_back(Cut(trueColour, trueColour.size() - 1));
    files.push_back(Cut(indexed, 600));
    files.push_back(Cut(mono, mono.size() - 1));
    files.push_back(With16(trueColour, 0, 'X' | ('X' << 8)));
    files.push_back(With32(indexed, 10, 54));
    files.push_back(With32(indexed, 10, 1077));
    files.push_back(With32(trueColour, 10, static_cast<uint32_t>(trueColour.size()) + 1));
    files.push_back(With32(trueColour, 10, 0xFFFFFFFF));
    files.push_back(With32(trueColour, 14, 12));   // core header
    files.push_back(With32(trueColour, 14, 124));  // V5 header
    files.push_back(With32(trueColour, 14, 0));
    files.push_back(With32(indexed, 30, 1));                             // RLE8
    files.push_back(With32(trueColour, 30, 3));                          // bit fields
    files.push_back(With32(trueColour, 22, static_cast<uint32_t>(-4)));  // top-down
    files.push_back(With32(trueColour, 22, 0));
    files.push_back(With32(trueColour, 18, 0));
    files.push_back(With32(trueColour, 18, static_cast<uint32_t>(-5)));
    for (uint16_t bits : {0, 2, 16, 32}) files.push_back(With16(trueColour, 28, bits));
    files.push_back(With32(indexed, 46, 257));
    files.push_back(With32(indexed, 46, 0x40000000));
    files.push_back(With32(With32(trueColour, 18, 0x7FFFFFFF), 22, 0x7FFFFFFF));
    files.push_back(With32(mono, 18, 32769));
    files.push_back(With32(mono, 22, 32769));
    return files;
}

// A plain picture in the byte layout FuzzClipboardBitmap reads.
Bytes Picture(int32_t width, int32_t height, int8_t depth, const std::vector<uint32_t>& palette,
              const std::vector<uint32_t>& pixels) {
    Bytes bytes;
    auto put32 = [&](uint32_t value) {
        for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<uint8_t>(value >> (8 * i)));
    };
    put32(static_cast<uint32_t>(width));
    put32(static_cast<uint32_t>(height));
    bytes.push_back(static_cast<uint8_t>(depth));
    bytes.push_back(static_cast<uint8_t>(palette.size()));
    bytes.push_back(static_cast<uint8_t>(palette.size() >> 8));
    for (uint32_t colour : palette) {
        bytes.insert(bytes.end(),
                     {static_cast<uint8_t>(colour >> 16), static_cast<uint8_t>(colour >> 8),
                      static_cast<uint8_t>(colour)});
    }
    bytes.push_back(0);  // all pixels present
    for (uint32_t pixel : pixels) put32(pixel);
    return bytes;
}

std::vector<Bytes> Pictures() {
    std::vector<Bytes> pictures;
    const std::vector<uint32_t> greys = {0x000000, 0x808080, 0xFFFFFF, 0x404040};
    std::vector<uint32_t> ramp;
    for (uint32_t i = 0; i < 256; ++i) ramp.push_back(i * 0x010101);
    std::vector<uint32_t> pixels;
    for (uint32_t i = 0; i < 35; ++i) pixels.push_back(0xFF000000u | (i * 0x070503u));
    for (int8_t depth : {1, 4, 8, 16, 24, 32}) {
        pictures.push_back(Picture(7, 5, depth, {}, pixels));
        pictures.push_back(Picture(5, 7, depth, greys, {0xFF808080u, 0xFFFFFFFFu, 0xFF000000u}));
    }
    pictures.push_back(Picture(3, 3, 8, ramp, pixels));
    pictures.push_back(Picture(1, 1, 24, {}, {0xFF123456u}));
    pictures.push_back(Picture(0, 4, 24, {}, pixels));
    pictures.push_back(Picture(32769, 1, 24, {}, pixels));
    return pictures;
}

// Script text as the editor hands it over: lines ended by CR LF.
std::string WithCrLf(const Bytes& file) {
    std::string text;
    for (size_t i = 0; i < file.size(); ++i) {
        const char c = static_cast<char>(file[i]);
        if (c == '\r') continue;
        if (c == '\n') text += '\r';
        text += c;
    }
    return text;
}

void WriteCorpus(const fs::path& dir, const std::vector<Bytes>& inputs) {
    fs::create_directories(dir);
    for (size_t i = 0; i < inputs.size(); ++i) {
        WriteAll(dir / ("seed-" + std::to_string(i)), inputs[i]);
    }
    std::printf("%-18s %zu seeds\n", dir.filename().c_str(), inputs.size());
}

// The saved images in `format`, each also cut in half and with a byte inverted
// in its middle (images the format cannot hold are left out).
std::vector<Bytes> CodecFiles(const std::vector<Bytes>& saved, tarvil::ImageFormat format) {
    std::vector<Bytes> files;
    for (const Bytes& bmp : saved) {
        tarvil::Image image;
        if (tarvil::ParseBmpFile(bmp, image) != tarvil::BmpLoadStatus::Ok) continue;
        auto file = tarvil::EncodeImage(format, image);
        if (!file) continue;
        files.push_back(*file);
        files.push_back(Cut(*file, file->size() / 2));
        Bytes changed = *file;
        changed[changed.size() / 2] ^= 0xFF;
        files.push_back(changed);
    }
    return files;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s OUT_DIR SOURCE_DIR\n", argv[0]);
        return 2;
    }
    const fs::path out = fs::absolute(argv[1]);
    const fs::path source = fs::absolute(argv[2]);

    const std::vector<Bytes> savedImages = SavedImages(source);
    const std::vector<Bytes> bmpFiles = BmpFiles(savedImages);
    WriteCorpus(out / "bmp_file", bmpFiles);
    WriteCorpus(out / "png_file", CodecFiles(savedImages, tarvil::ImageFormat::Png));
    WriteCorpus(out / "jpeg_file", CodecFiles(savedImages, tarvil::ImageFormat::Jpeg));
    WriteCorpus(out / "tiff_file", CodecFiles(savedImages, tarvil::ImageFormat::Tiff));
    WriteCorpus(out / "webp_file", CodecFiles(savedImages, tarvil::ImageFormat::WebP));
    WriteCorpus(out / "gif_file", CodecFiles(savedImages, tarvil::ImageFormat::Gif));

    std::vector<Bytes> dibs;
    for (const Bytes& file : bmpFiles) {
        if (auto dib = tarvil::PackedDibFromBmpFile(file)) {
            dibs.push_back(*dib);
            dibs.push_back(Cut(*dib, dib->size() - 1));
        } else if (file.size() > tarvil::kFileHeaderBytes) {
            dibs.emplace_back(file.begin() + tarvil::kFileHeaderBytes, file.end());
        }
    }
    WriteCorpus(out / "packed_dib", dibs);
    WriteCorpus(out / "clipboard_bitmap", Pictures());

    std::vector<Bytes> scripts;
    for (const fs::path& dir :
         {source / "examples", source / "tests" / "scripts", source / "fuzz"}) {
        std::vector<fs::path> found;
        for (const auto& entry : fs::recursive_directory_iterator(dir)) {
            if (entry.path().extension() == ".bas") found.push_back(entry.path());
        }
        std::sort(found.begin(), found.end());
        for (const fs::path& path : found) {
            const std::string text = WithCrLf(ReadAll(path));
            scripts.emplace_back(text.begin(), text.end());
        }
    }
    WriteCorpus(out / "script", scripts);
    return 0;
}
