// The batch host: runs a script in a terminal, without any window.
#pragma once

#include "engine/host.h"
#include "engine/poll_throttle.h"

namespace tarvil {

class BatchClipboard;
class Machine;

class BatchHost : public Host {
public:
    // `interruptFd` is a signalfd for SIGINT (or -1): Ctrl+C stops the run.
    // `clipboard` is the system clipboard when a display is available, else null;
    // it also brings the event loop, which a run without it does not need.
    BatchHost(Machine& machine, int interruptFd, BatchClipboard* clipboard);
    ~BatchHost() override;

    // When the run's dispatch points look for Ctrl+C and clipboard events.
    PollThrottle& eventPolls() { return m_eventPolls; }

    void ShowMessage(std::string_view text, MessageKind kind) override;
    int UpdateProgress(const char* text, uint16_t percent) override;
    void DispatchPendingMessages() override;
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
    std::optional<ClipboardBitmap> TakeClipboardBitmap() override;
    void EmptyClipboard() override;
    bool PutClipboardImage(std::span<const uint8_t> packedDib) override;
    void WaitForEvents() override;

private:
    // Stops the run after the current instruction when Ctrl+C was pressed.
    void CheckInterrupt();
    void ClearProgressLine();

    Machine& m_machine;
    int m_interruptFd;
    BatchClipboard* m_clipboard;
    bool m_progressShown = false;
    bool m_stderrIsTerminal;
    long long m_progressStart = 0;
    PollThrottle m_eventPolls;
};

}  // namespace tarvil
