// The fuzz targets: one entry per kind of outside input, shared by the
// libFuzzer harnesses (clang) and the regression replay of the test suite.
//
// Each entry takes arbitrary bytes, feeds them to the core the way the
// application does and checks what must hold whatever the bytes are; a broken
// promise aborts, so that the fuzzer and the replay both report it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace tarvil::fuzz {

// A BMP file as LOADIMAGE reads it.
void FuzzBmpFile(const uint8_t* data, size_t size);

// A packed bitmap as the clipboard offers it (image/bmp without its file header).
void FuzzPackedDib(const uint8_t* data, size_t size);

// A plain clipboard picture (width, height, depth, palette and pixels taken
// from the bytes) converted to a packed bitmap.
void FuzzClipboardBitmap(const uint8_t* data, size_t size);

// A PNG, JPEG, TIFF, WebP or GIF file as LOADIMAGE reads it (whatever its
// first bytes say, the bytes go to that format's decoder).
void FuzzPngFile(const uint8_t* data, size_t size);
void FuzzJpegFile(const uint8_t* data, size_t size);
void FuzzTiffFile(const uint8_t* data, size_t size);
void FuzzWebPFile(const uint8_t* data, size_t size);
void FuzzGifFile(const uint8_t* data, size_t size);

// Script text compiled and run. Files the script names are relative to the
// current directory, which must be a scratch directory; it is emptied first.
void FuzzScript(const uint8_t* data, size_t size);

using FuzzTarget = void (*)(const uint8_t*, size_t);

// The target called `name` ("bmp_file", "packed_dib", "clipboard_bitmap",
// "png_file", "jpeg_file", "tiff_file", "webp_file", "gif_file", "script"), or null.
FuzzTarget FindFuzzTarget(std::string_view name);

}  // namespace tarvil::fuzz
