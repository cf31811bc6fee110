// Running the image handlers in tests: images made by CREATEIMAGE, pixel and
// palette calls through their handlers, and a scratch folder for files.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "engine/image_record.h"
#include "engine/machine.h"
#include "handlers/handlers.h"
#include "unit/fake_host.h"
#include "unit/handler_test_support.h"

namespace tarvil::testing {

// A machine with a recording host.
struct ImageRig {
    FakeHost host;
    Machine m{&host};

    Item* Num(double value) { return MakeFloat(m, "Const", static_cast<float>(value)); }
    Item* Text(std::string_view text) { return MakeString(m, "Const ", text); }
    Item* Colour(uint8_t red, uint8_t green, uint8_t blue) {
        return MakeColour(m, kTypeRgb, "pix", {red, green, blue, 0});
    }

    // CREATEIMAGE(width, height, bits) assigned to a new DEVCON variable.
    Item* Create(double width, double height, double bits) {
        Item* result = Call(m, FuncCreateImage, {Num(width), Num(height), Num(bits)});
        m.StackTop = 0;
        return MakeImageVariable(m, "img", std::move(result->image));
    }
    Item* Load(std::string_view name) {
        Item* result = Call(m, FuncLoadImage, {Text(name)});
        m.StackTop = 0;
        return MakeImageVariable(m, "img", std::move(result->image));
    }
    void Save(Item* image, std::string_view name) {
        PushItem(m, image);
        PushItem(m, Text(name));
        RunHandler(m, StmtSaveImage);
    }

    void SetPixel(Item* image, double x, double y, uint8_t red, uint8_t green, uint8_t blue) {
        for (Item* argument : {image, Num(x), Num(y), Colour(red, green, blue)}) {
            PushItem(m, argument);
        }
        RunHandler(m, StmtSetPixel);
    }
    void SetPixelVal(Item* image, double x, double y, double value) {
        for (Item* argument : {image, Num(x), Num(y), Num(value)}) PushItem(m, argument);
        RunHandler(m, StmtSetPixelVal);
    }
    void SetPalette(Item* image, double index, uint8_t red, uint8_t green, uint8_t blue) {
        for (Item* argument : {image, Num(index), Colour(red, green, blue)}) PushItem(m, argument);
        RunHandler(m, StmtSetPalette);
    }
    // Colours as red + 256 green + 65536 blue.
    uint32_t GetPixel(Item* image, double x, double y) {
        return Packed(Call(m, FuncGetPixel, {image, Num(x), Num(y)}));
    }
    double GetPixelVal(Item* image, double x, double y) {
        Item* result = Call(m, FuncGetPixelVal, {image, Num(x), Num(y)});
        m.StackTop = 0;
        EXPECT_EQ(result->typeCode, kTypeFloat);
        return ReadFloat(*result);
    }
    uint32_t GetPalette(Item* image, double index) {
        return Packed(Call(m, FuncGetPalette, {image, Num(index)}));
    }

private:
    uint32_t Packed(const Item* result) {
        m.StackTop = 0;
        EXPECT_EQ(result->typeCode, kTypeRgb);
        const auto b = Bytes(*result, 4);
        EXPECT_EQ(b[3], 0);
        return b[0] | (b[1] << 8) | (b[2] << 16);
    }
};

// A fresh folder under the system's temporary directory, removed afterwards.
class ScratchFolder {
public:
    ScratchFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "tarvil-XXXXXX").string();
        path_ = mkdtemp(pattern.data());
    }
    ~ScratchFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    std::string File(std::string_view name) const { return (path_ / name).string(); }
    const std::filesystem::path& path() const { return path_; }
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(path_)) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

private:
    std::filesystem::path path_;
};

inline std::vector<uint8_t> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

inline uint32_t Le32(const std::vector<uint8_t>& bytes, size_t offset) {
    return bytes[offset] | (bytes[offset + 1] << 8) | (bytes[offset + 2] << 16) |
           (static_cast<uint32_t>(bytes[offset + 3]) << 24);
}

inline void PutLe32(std::vector<uint8_t>& bytes, size_t offset, uint32_t value) {
    for (size_t i = 0; i < 4; ++i) bytes[offset + i] = static_cast<uint8_t>(value >> (8 * i));
}

inline void PutLe16(std::vector<uint8_t>& bytes, size_t offset, uint16_t value) {
    bytes[offset] = static_cast<uint8_t>(value);
    bytes[offset + 1] = static_cast<uint8_t>(value >> 8);
}

// A BMP file written by hand: headers, `tableEntries` colour-table entries
// (entry k grey k), then `rows` as given.
inline std::vector<uint8_t> HandMadeBmp(int32_t width, int32_t height, uint16_t bits,
                                        uint32_t clrUsed, size_t tableEntries,
                                        const std::vector<uint8_t>& rows) {
    std::vector<uint8_t> file(54 + 4 * tableEntries);
    file[0] = 'B';
    file[1] = 'M';
    PutLe32(file, 2, static_cast<uint32_t>(file.size() + rows.size()));
    PutLe32(file, 10, static_cast<uint32_t>(file.size()));
    PutLe32(file, 14, 40);
    PutLe32(file, 18, static_cast<uint32_t>(width));
    PutLe32(file, 22, static_cast<uint32_t>(height));
    PutLe16(file, 26, 1);
    PutLe16(file, 28, bits);
    PutLe32(file, 46, clrUsed);
    for (size_t k = 0; k < tableEntries; ++k) {
        file[54 + 4 * k] = file[55 + 4 * k] = file[56 + 4 * k] = static_cast<uint8_t>(k);
    }
    file.insert(file.end(), rows.begin(), rows.end());
    return file;
}

}  // namespace tarvil::testing
