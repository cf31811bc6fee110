// The batch host: runs a script in a terminal, without any window.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "engine/host.h"
#include "engine/poll_throttle.h"

namespace tarvil {

class BatchClipboard;
class Machine;

class BatchHost : public Host {
public:
    // Opens the system clipboard, or gives null and says why in `reason`.
    using ClipboardOpener = std::function<std::unique_ptr<BatchClipboard>(std::string& reason)>;

    // `interruptFd` is a signalfd for SIGINT, SIGTERM and SIGHUP (or -1): each
    // stops the run. `openClipboard` is called when the script first uses the
    // clipboard (a run that never does loads no toolkit); the clipboard also
    // brings the event loop, which a run without it does not need. Without one,
    // a line says why and clipboard loads and saves fail.
    BatchHost(Machine& machine, int interruptFd, ClipboardOpener openClipboard);
    ~BatchHost() override;

    // The errno of the first failed write to standard output, else 0. Such a
    // failure stops the run: the script's output is lost.
    int outputError() const { return m_outputError; }
    // True when a write to standard error failed.
    bool errorStreamFailed() const { return m_errorStreamFailed; }

    // When the run's dispatch points look for Ctrl+C and clipboard events.
    PollThrottle& eventPolls() { return m_eventPolls; }

    void ShowMessage(std::string_view text, MessageKind kind) override;
    int UpdateProgress(const char* text, uint16_t percent) override;
    void DispatchPendingMessages() override;
    bool StopRequested() override;
    int ShowDebugDialog(unsigned line, std::span<const std::string> variableLines) override;
    std::string GetFileName(std::string_view title) override;
    void SelectEditorLine(unsigned line) override;
    void RequestClose() override;
    std::unique_ptr<PreviewWindow> CreatePreview(const Image& image, std::string_view title, int x,
                                                 int y, int width, int height) override;
    bool ClipboardAvailable() override;
    uint16_t ClipboardChangeCount() override;
    void SetClipboardChangeCount(uint16_t count) override;
    ClipboardOffer PeekClipboard() override;
    std::optional<std::vector<uint8_t>> TakeClipboardPackedDib() override;
    std::optional<std::vector<uint8_t>> TakeClipboardPng() override;
    std::optional<ClipboardBitmap> TakeClipboardBitmap() override;
    void EmptyClipboard() override;
    bool PutClipboardImage(std::span<const uint8_t> packedDib) override;
    void WaitForEvents() override;

private:
    // Stops the run after the current instruction when a stop signal arrived;
    // true when one did.
    bool CheckInterrupt();
    void ClearProgressLine();
    // Writes `text` and a newline; a failure is remembered (and for stdout stops the run).
    void WriteLine(bool toStdout, std::string_view text);
    void NoteWrite(bool toStdout, bool written);

    Machine& m_machine;
    int m_interruptFd;
    ClipboardOpener m_openClipboard;
    bool m_clipboardTried = false;
    std::unique_ptr<BatchClipboard> m_clipboard;
    int m_outputError = 0;
    bool m_errorStreamFailed = false;
    bool m_progressShown = false;
    bool m_stderrIsTerminal;
    long long m_progressStart = 0;
    PollThrottle m_eventPolls;
};

}  // namespace tarvil
