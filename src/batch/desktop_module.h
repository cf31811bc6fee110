// The desktop module: the Qt side of Tarvil (the desktop application and the
// system clipboard), a shared module the executable loads only when it needs
// it, so that a batch run without a display starts without Qt. The executable
// and the module share nothing but this header: plain C++ and the Host's types.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "engine/host.h"

namespace tarvil {

// The system clipboard of a batch run with a display, with the event loop it
// needs: another program's request for our image is answered while events are
// handled.
class BatchClipboard {
public:
    virtual ~BatchClipboard() = default;

    virtual uint16_t ChangeCount() = 0;
    virtual void SetChangeCount(uint16_t count) = 0;
    virtual ClipboardOffer Peek() = 0;
    virtual std::optional<std::vector<uint8_t>> TakePackedDib() = 0;
    virtual std::optional<std::vector<uint8_t>> TakePng() = 0;
    virtual std::optional<ClipboardBitmap> TakeBitmap() = 0;
    virtual void Empty() = 0;
    // False when the clipboard did not take the image.
    virtual bool Put(std::span<const uint8_t> packedDib) = 0;

    // Handles the events already pending.
    virtual void ProcessEvents() = 0;
    // Waits for at least one event: a clipboard change, Ctrl+C on the interrupt
    // descriptor, or a regular wake-up (some platforms report changes without an event).
    virtual void WaitForEvents() = 0;
};

// The module's file name, and where an installed program finds it relative to
// its own folder (a built one finds it beside itself).
inline constexpr char kDesktopModuleFileName[] = "libtarvil_desktop.so";

// The module's entry points, looked up by these names.
inline constexpr char kRunDesktopSymbol[] = "tarvil_run_desktop";
inline constexpr char kOpenBatchClipboardSymbol[] = "tarvil_open_batch_clipboard";

// Runs the desktop application (`tarvil [SCRIPT [ARG ...]]`); returns its exit status.
using RunDesktopFunction = int (*)(int argc, char** argv);
// Starts a GUI application for batch mode and returns its clipboard; the caller
// owns it, and deleting it ends the application (handing our image over to a
// clipboard manager). `interruptFd` (a signalfd for the stop signals, or -1)
// wakes WaitForEvents. Null, with `reason` saying why in a few words, when no
// system clipboard can be had: the display does not answer, the platform has
// none (offscreen, minimal), the toolkit cannot start.
using OpenBatchClipboardFunction = BatchClipboard* (*)(int interruptFd, std::string& reason);

}  // namespace tarvil
