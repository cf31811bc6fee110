// Host: everything a run needs from its surroundings.
//
// The core never talks to a window system itself. The desktop application and
// the batch mode each implement this interface; tests implement it too.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tarvil {

struct Image;
class PreviewWindow;

// A device-dependent picture as the clipboard offers it when no packed bitmap
// is there: top-down rows of 0xAARRGGBB pixels, the depth the source had
// (1, 4, 8, 16, 24, 32) and, for palette sources, its colours (0x00RRGGBB).
struct ClipboardBitmap {
    int32_t width = 0;
    int32_t height = 0;
    int32_t depth = 0;
    std::vector<uint32_t> pixels;
    std::vector<uint32_t> palette;
};

// What the clipboard holds right now.
struct ClipboardOffer {
    bool packedDib = false;  // image/bmp: a packed bitmap once the file header is removed
    bool bitmap = false;     // any other image
    bool png = false;        // image/png: a PNG file, decoded by the core itself
};

// Who a message comes from: DSPMES (the script's own output) or the system
// (the message that ends a run, warnings). Batch mode prints them apart.
enum class MessageKind { Script, System };

class Host {
public:
    virtual ~Host() = default;

    // Shows a finished text verbatim in the warning box titled "Tarvil"; returns when closed.
    virtual void ShowMessage(std::string_view text, MessageKind kind) = 0;

    // Opens, updates or (null or empty text) closes the progress dialog,
    // dispatches pending events and returns StopRequest (0 or 1).
    virtual int UpdateProgress(const char* text, uint16_t percent) = 0;

    // The execution loop's regular chance to handle pending events.
    virtual void DispatchPendingMessages() = 0;

    // Looks at once, without handling any event, for a request to stop the run
    // from outside the script (Ctrl+C, SIGTERM, SIGHUP). When there is one it
    // puts "Warning: Program stopped" on the StopList and returns true. Long
    // image work (creating, loading, saving) asks between its pieces, so that
    // a stop is prompt and nothing more is written after it.
    virtual bool StopRequested() { return false; }

    // Selects `line` in the editor and shows the debug dialog with the variable
    // lines (already sorted). Returns 1 for Continue and 2 for Stop.
    virtual int ShowDebugDialog(unsigned line, std::span<const std::string> variableLines) = 0;

    // The open-file dialog of GETFILENAME; "" when cancelled.
    virtual std::string GetFileName(std::string_view title) = 0;

    // Selects line `line` (counted from 1) in the editor.
    virtual void SelectEditorLine(unsigned line) = 0;

    // A run is ending other than normally and its message is about to be
    // shown; `line` is the line it stopped at (0 for none). The desktop marks
    // the line now, so that it shows behind the message box.
    virtual void RunStopped(unsigned line) { (void)line; }

    // Asks the main window to close (after a run that executed EXIT).
    virtual void RequestClose() = 0;

    // Opens a preview window for `image` at (x, y) with outer size width × height.
    // The window keeps a reference to the image until it is destroyed. Null when
    // the host shows no previews.
    virtual std::unique_ptr<PreviewWindow> CreatePreview(const Image& image, std::string_view title,
                                                         int x, int y, int width, int height) = 0;

    // Clipboard. The change count rises for every clipboard change made by
    // another program; saving to the clipboard sets it to 0.
    virtual bool ClipboardAvailable() = 0;
    virtual uint16_t ClipboardChangeCount() = 0;
    virtual void SetClipboardChangeCount(uint16_t count) = 0;
    virtual ClipboardOffer PeekClipboard() = 0;
    // The packed bitmap (image/bmp without its 14-byte file header), or nothing.
    virtual std::optional<std::vector<uint8_t>> TakeClipboardPackedDib() = 0;
    // The bytes of the clipboard's PNG file (image/png), or nothing.
    virtual std::optional<std::vector<uint8_t>> TakeClipboardPng() = 0;
    // Any other image, or nothing.
    virtual std::optional<ClipboardBitmap> TakeClipboardBitmap() = 0;
    virtual void EmptyClipboard() = 0;
    // Offers `packedDib` as image/bmp and as an image; false when that failed.
    virtual bool PutClipboardImage(std::span<const uint8_t> packedDib) = 0;
    // One round of the clipboard wait: handle events, waiting briefly for one.
    virtual void WaitForEvents() = 0;
};

}  // namespace tarvil
