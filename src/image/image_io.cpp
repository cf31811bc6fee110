// LOADIMAGE, SAVEIMAGE and GETFILENAME: images to and from files and the clipboard.
//
// Files are read as the format their first bytes announce (BMP, PNG, JPEG,
// TIFF, WebP, GIF) and written in the format the name's extension chooses
// (BMP for every name without one of the others).
// The pseudo file name "CLIPBOARD", in any letter case, names the clipboard.
// File names go to the operating system as the script holds them (bytes,
// normally UTF-8); messages quote them as the script wrote them.
#include <algorithm>
#include <array>
#include <cstring>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/host.h"
#include "engine/text_encoding.h"
#include "handlers/handlers.h"
#include "image/bmp_file.h"
#include "image/file_access.h"
#include "image/image_codecs.h"
#include "image/image_operand.h"
#include "image/packed_dib.h"

namespace tarvil {

namespace {

bool IsClipboardName(std::string_view name) {
    constexpr std::string_view kClipboard = "CLIPBOARD";
    if (name.size() != kClipboard.size()) return false;
    for (size_t i = 0; i < name.size(); ++i) {
        char c = name[i];
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        if (c != kClipboard[i]) return false;
    }
    return true;
}

std::string LoadFailure(const std::string& name) {
    return Format("Error: Loading image '%s'", name.c_str());
}

enum class ClipboardLoad { Loaded, Stopped, Unavailable, Failed };

// Waits, handling events, until the clipboard brings an image that arrived
// after the last save to it (the change count is 0 right after a save), or
// until the run is stopped. A packed bitmap is preferred to a PNG file, which
// the core decodes, and that to any other image the toolkit converts.
// Whatever was taken, the clipboard is emptied.
ClipboardLoad LoadFromClipboard(Machine& m, Image& image) {
    Host* host = m.host;
    if (host == nullptr || !host->ClipboardAvailable()) return ClipboardLoad::Unavailable;
    for (;;) {
        if (!m.StopList.empty()) return ClipboardLoad::Stopped;
        if (host->ClipboardChangeCount() != 0) {
            const ClipboardOffer offer = host->PeekClipboard();
            if (offer.png && !offer.packedDib) {
                const auto png = host->TakeClipboardPng();
                host->EmptyClipboard();
                const bool decoded =
                    png.has_value() && DecodeImage(ImageFormat::Png, *png, image,
                                                   m.ImageBlockLimit) == CodecStatus::Ok;
                return decoded ? ClipboardLoad::Loaded : ClipboardLoad::Failed;
            }
            if (offer.packedDib || offer.bitmap) {
                std::optional<ImageBlock> dib;
                if (offer.packedDib) {
                    if (auto taken = host->TakeClipboardPackedDib()) {
                        dib.emplace(taken->begin(), taken->end());
                    }
                } else if (auto bitmap = host->TakeClipboardBitmap()) {
                    dib = BitmapToPackedDib(*bitmap);
                }
                host->EmptyClipboard();
                const bool adopted = dib.has_value() && AdoptPackedDib(std::move(*dib), image);
                return adopted ? ClipboardLoad::Loaded : ClipboardLoad::Failed;
            }
        }
        host->WaitForEvents();
    }
}

void LoadFromFile(Machine& m, const std::string& name, Image& image) {
    // The file header is read apart, so the rest can become the image's block as it is.
    std::array<uint8_t, kFileHeaderBytes> fileHeader{};
    FileRead file =
        ReadFileBytes(name, kLoadedSpareBytes, fileHeader, [&m] { return RunStopRequested(m); });
    switch (file.status) {
        case FileRead::Status::Stopped:
            return;  // the stop's own message is on the StopList
        case FileRead::Status::Unreadable:
            PushStop(m, LoadFailure(name));
            return;
        case FileRead::Status::NoMemory:
            PushStop(m, kNoMemoryMessage);
            return;
        case FileRead::Status::Ok:
            break;
    }
    const auto header = std::span<const uint8_t>(fileHeader).first(file.headBytes);
    const ImageFormat format = DetectImageFormat(header);
    if (format != ImageFormat::Bmp) {
        CodecStatus status = CodecStatus::NoMemory;
        try {
            file.bytes.insert(file.bytes.begin(), header.begin(), header.end());
            status = DecodeImage(format, file.bytes, image, m.ImageBlockLimit);
        } catch (const std::bad_alloc&) {
        }
        if (status == CodecStatus::Malformed) PushStop(m, LoadFailure(name));
        if (status == CodecStatus::NoMemory) PushStop(m, kNoMemoryMessage);
        return;
    }
    switch (ParseBmpFileInPlace(header, std::move(file.bytes), image)) {
        case BmpLoadStatus::Ok:
            return;
        case BmpLoadStatus::Malformed:
            PushStop(m, LoadFailure(name));
            return;
        case BmpLoadStatus::NoMemory:
            PushStop(m, kNoMemoryMessage);
            return;
    }
}

}  // namespace

// Pops the name; pushes an image result, which has no memory when loading fails.
// A clipboard image that cannot be used makes the name an ordinary file name.
void FuncLoadImage(Machine& m) {
    const Item* nameItem = PopItem(m);
    const std::string name(OperandText(nameItem));
    Image* image = BeginImageResult(m);
    if (image == nullptr) return;
    // A name cut to fit its variable is not the file the script meant.
    if (nameItem->textCut) {
        PushStop(m, LoadFailure(name));
        return;
    }
    if (IsClipboardName(name)) {
        switch (LoadFromClipboard(m, *image)) {
            case ClipboardLoad::Loaded:
            case ClipboardLoad::Stopped:
                return;
            case ClipboardLoad::Unavailable:
                PushStop(m, LoadFailure(name));
                return;
            case ClipboardLoad::Failed:
                break;
        }
    }
    LoadFromFile(m, name, *image);
}

// Pops the name, then the image. Files are replaced whole or not at all; the
// clipboard gets the whole block, and the change count drops to 0 so that the
// next clipboard load waits for another program's image. Images without pixels
// and operands that hold no image are not written.
void StmtSaveImage(Machine& m) {
    const Item* nameItem = PopItem(m);
    const std::string name(OperandText(nameItem));
    const Image* image = OperandImage(PopItem(m));
    // Once a stop is pending nothing more is written.
    if (RunStopRequested(m)) return;
    const std::string failure = Format("Error: Writing image '%s'", name.c_str());
    if (image == nullptr || !image->hasPixels || nameItem->textCut) {
        PushStop(m, failure);
        return;
    }
    if (IsClipboardName(name)) {
        Host* host = m.host;
        if (host == nullptr || !host->ClipboardAvailable() ||
            !host->PutClipboardImage(image->block)) {
            PushStop(m, failure);
            return;
        }
        host->SetClipboardChangeCount(0);
        return;
    }
    // Every piece is ready in memory before the file is touched.
    std::array<std::span<const uint8_t>, 2> pieces{};
    size_t pieceCount = 0;
    std::optional<BmpFilePieces> bmp;
    std::optional<std::vector<uint8_t>> encoded;
    const ImageFormat format = SaveFormatForName(name);
    if (format == ImageFormat::Bmp) {
        bmp = SplitBmpFile(*image);
        if (bmp) {
            pieces = {bmp->head, bmp->rows};
            pieceCount = 2;
        }
    } else {
        encoded = EncodeImage(format, *image);
        if (encoded) {
            pieces[0] = *encoded;
            pieceCount = 1;
        }
    }
    if (pieceCount == 0) {
        PushStop(m, failure);
        return;
    }
    FileSystemCalls system;
    FileSystemCalls& calls = m.FileSystem ? *m.FileSystem : system;
    const int result = ReplaceFile(
        name, FilePieces(pieces.data(), pieceCount), calls, [&m] { return RunStopRequested(m); },
        FlushBeforeRename::OnlyOverAnOldFile);
    // A stopped save leaves the old file; the stop's own message says why.
    if (result == ECANCELED && !m.StopList.empty()) return;
    if (result != 0) PushStop(m, failure);
}

// Pops the title; pushes the chosen path, cut to fit the result, or "". Like
// every text the host gets and gives, title and path are UTF-8 bytes.
void FuncGetFileName(Machine& m) {
    const std::string title(OperandText(PopItem(m)));
    std::string chosen;
    if (m.host != nullptr) chosen = m.host->GetFileName(title);
    Item* result = m.Current().item;
    if (result == nullptr) return;
    result->typeCode = kTypeString;
    result->textCut = false;
    if (result->value != nullptr && result->size > 0) {
        const size_t length = Utf8CutLength(chosen, result->size - 1);
        result->textCut = length < chosen.size();
        std::memset(result->value, 0, result->size);
        std::memcpy(result->value, chosen.data(), length);
    }
    PushItem(m, result);
}

}  // namespace tarvil
