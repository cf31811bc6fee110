// Image files other than BMP: PNG, JPEG, TIFF, WebP and GIF, read and written
// through Debian's codec libraries.
//
// A file's format is recognised by its first bytes, never by its name; a save
// chooses the format by the name's extension. Every decoded picture becomes one
// of the model's four depths, laid out as a loaded BMP file is (a block of
// height × stride + 40 + 2048 bytes). Pure functions on bytes, with no machine
// and no file system, so that fuzzers and tests drive them directly.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace tarvil {

struct Image;

enum class ImageFormat { Bmp, Png, Jpeg, Tiff, WebP, Gif };

// The format the first bytes announce (at most 12 are looked at); Bmp for
// anything that is none of the others, which the BMP reader then judges.
ImageFormat DetectImageFormat(std::span<const uint8_t> head);

// The format a save writes, by the name's extension in any letter case:
// .png, .jpg/.jpeg, .tif/.tiff, .webp, .gif; every other name is Bmp.
ImageFormat SaveFormatForName(std::string_view name);

enum class CodecStatus { Ok, Malformed, NoMemory };

// Builds `image` from a whole file of `format` (not Bmp). Malformed for a file
// the library refuses, a size beyond 32768 pixels or a kind of picture the
// model cannot hold; NoMemory when the image (and the library's working memory
// that the size implies) would pass `maxBlockBytes` or an allocation fails.
// `image` is unchanged unless the result is Ok.
CodecStatus DecodeImage(ImageFormat format, std::span<const uint8_t> file, Image& image,
                        uint64_t maxBlockBytes = UINT64_MAX);

// The file of `format` (not Bmp) holding `image`; nullopt when the image has no
// pixels or the format cannot hold it (a 24-bit image as GIF, a WebP beyond
// 16383 pixels) or the library fails.
std::optional<std::vector<uint8_t>> EncodeImage(ImageFormat format, const Image& image);

}  // namespace tarvil
