// The Host of the desktop application: message boxes, the progress and debug
// dialogs, preview windows, the open-file dialog and the system clipboard.
#pragma once

#include <QPointer>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "engine/host.h"
#include "engine/poll_throttle.h"
#include "runtime_ui/progress_dialog.h"

class QFileDialog;

namespace tarvil {

class Machine;
class StopSignals;
class SystemClipboard;

// The longest path GETFILENAME hands to a script: its text holds 254 bytes.
inline constexpr size_t kMaxScriptPathLength = 254;

// Sets up GETFILENAME's dialog: the title, one existing file, image files of any case.
void ConfigureImageFileDialog(QFileDialog& dialog, const QString& title);

// The chosen path as a script holds it (the file name's bytes, UTF-8), or
// nothing when it is longer than a script text holds: a cut path would name
// another file.
std::optional<std::string> ScriptFilePath(const QString& path);

class DesktopHost : public Host {
public:
    // Registers itself as `machine.host` for its lifetime. `owner` is the main
    // window: the owner of every box, dialog and preview a run opens.
    DesktopHost(Machine& machine, QWidget* owner);
    ~DesktopHost() override;
    DesktopHost(const DesktopHost&) = delete;
    DesktopHost& operator=(const DesktopHost&) = delete;

    // How the editor's line is selected (the main window supplies it).
    void setLineSelector(std::function<void(unsigned)> selector) {
        m_selectLine = std::move(selector);
    }

    // What the window shows when a run stops, before the stop's message box
    // (the main window supplies it).
    void setStopReporter(std::function<void(unsigned)> reporter) {
        m_reportStop = std::move(reporter);
    }

    ProgressController& progress() { return m_progress; }

    // Where StopRequested looks for SIGINT, SIGTERM and SIGHUP.
    void setStopSignals(StopSignals* stopSignals) { m_stopSignals = stopSignals; }

    // The application is ending without questions: from now on no box or
    // dialog opens (a message is dropped, Debug continues, GETFILENAME gives "").
    void endWithoutQuestions() { m_ending = true; }

    // When the run's dispatch points look at the event loop.
    PollThrottle& eventPolls() { return m_eventPolls; }

    // Stops the running script after its current instruction, as a second
    // Run does ("Warning: Program stopped"); nothing when no script runs.
    void stopRun();

    void ShowMessage(std::string_view text, MessageKind kind) override;
    int UpdateProgress(const char* text, uint16_t percent) override;
    void DispatchPendingMessages() override;
    bool StopRequested() override;
    int ShowDebugDialog(unsigned line, std::span<const std::string> variableLines) override;
    std::string GetFileName(std::string_view title) override;
    void SelectEditorLine(unsigned line) override;
    void RunStopped(unsigned line) override;
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
    Machine& m_machine;
    QPointer<QWidget> m_owner;
    std::function<void(unsigned)> m_selectLine;
    std::function<void(unsigned)> m_reportStop;
    ProgressController m_progress;
    std::unique_ptr<SystemClipboard> m_clipboard;
    PollThrottle m_eventPolls;
    StopSignals* m_stopSignals = nullptr;
    bool m_ending = false;
};

}  // namespace tarvil
