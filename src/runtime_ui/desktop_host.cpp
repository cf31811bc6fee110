#include "runtime_ui/desktop_host.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFileDialog>
#include <QMetaObject>
#include <QTimer>

#include "engine/machine.h"
#include "runtime_ui/debug_dialog.h"
#include "runtime_ui/engine_text.h"
#include "runtime_ui/image_file_dialog.h"
#include "runtime_ui/message_box.h"
#include "runtime_ui/preview_window.h"
#include "runtime_ui/stop_signals.h"
#include "runtime_ui/system_clipboard.h"

namespace tarvil {

namespace {
// How long one round of the clipboard wait may sleep when nothing happens.
constexpr int kWaitRoundMilliseconds = 50;

void ProcessPendingEvents() {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}
}  // namespace

DesktopHost::DesktopHost(Machine& machine, QWidget* owner)
    : m_machine(machine),
      m_owner(owner),
      // DSPWHILE in a fast loop comes as often as the dispatch points, and looks
      // for events (its Stop button) under the same rule.
      m_progress([this]() -> QWidget* { return m_owner.data(); },
                 [this] { DispatchPendingMessages(); }),
      m_clipboard(std::make_unique<SystemClipboard>()) {
    m_machine.host = this;
    m_progress.setStopRun([this] { stopRun(); });
}

void DesktopHost::stopRun() {
    // As a second Run does: the script stops after its current instruction.
    if (m_machine.RunInProgress) PushStop(m_machine, "Warning: Program stopped");
}

DesktopHost::~DesktopHost() {
    if (m_machine.host == this) m_machine.host = nullptr;
}

void DesktopHost::ShowMessage(std::string_view text, MessageKind) {
    if (m_ending) return;
    ShowWarningBox(m_owner.data(), FromEngineText(text));
}

int DesktopHost::UpdateProgress(const char* text, uint16_t percent) {
    return m_progress.Update(text, percent);
}

void DesktopHost::DispatchPendingMessages() {
    if (m_eventPolls.Due()) ProcessPendingEvents();
}

bool DesktopHost::StopRequested() {
    if (m_stopSignals == nullptr || m_stopSignals->take() == 0) return false;
    PushStop(m_machine, "Warning: Program stopped");
    return true;
}

int DesktopHost::ShowDebugDialog(unsigned line, std::span<const std::string> variableLines) {
    if (m_ending) return DebugDialog::kContinue;
    SelectEditorLine(line);
    return RunDebugDialog(m_owner.data(), line, variableLines);
}

std::string DesktopHost::GetFileName(std::string_view title) {
    if (m_ending) return {};
    QFileDialog dialog(m_owner.data());
    ConfigureImageFileDialog(dialog, FromEngineText(title));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    const std::optional<std::string> path = ScriptFilePath(dialog.selectedFiles().constFirst());
    if (!path) {
        ShowWarningBox(m_owner.data(),
                       QStringLiteral("The path of the chosen file is longer than the %1 "
                                      "bytes a script text holds:\n%2")
                           .arg(kMaxScriptPathLength)
                           .arg(dialog.selectedFiles().constFirst()));
        return {};
    }
    return *path;
}

void ConfigureImageFileDialog(QFileDialog& dialog, const QString& title) {
    // Qt's own dialog: a desktop's dialog may match the pattern by letter case.
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setWindowTitle(title);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    SetImageFileFilters(dialog);
    dialog.setOption(QFileDialog::ReadOnly, false);
    FitFileDialogColumns(dialog);
}

std::optional<std::string> ScriptFilePath(const QString& path) {
    std::string bytes = FileNameBytes(path);
    if (bytes.size() > kMaxScriptPathLength) return std::nullopt;
    return bytes;
}

void DesktopHost::SelectEditorLine(unsigned line) {
    if (m_selectLine) m_selectLine(line);
}

void DesktopHost::RunStopped(unsigned line) {
    if (!m_ending && m_reportStop) m_reportStop(line);
}

void DesktopHost::RequestClose() {
    // Queued: the window closes (asking to save first) once the run has returned.
    if (m_owner) QMetaObject::invokeMethod(m_owner.data(), "close", Qt::QueuedConnection);
}

std::unique_ptr<PreviewWindow> DesktopHost::CreatePreview(const Image& image,
                                                          std::string_view title, int x, int y,
                                                          int width, int height) {
    return CreatePreviewWindow(image, title, x, y, width, height, m_owner.data());
}

bool DesktopHost::ClipboardAvailable() {
    return m_clipboard != nullptr;
}
uint16_t DesktopHost::ClipboardChangeCount() {
    return m_clipboard->changeCount();
}
void DesktopHost::SetClipboardChangeCount(uint16_t count) {
    m_clipboard->setChangeCount(count);
}
ClipboardOffer DesktopHost::PeekClipboard() {
    return m_clipboard->offer();
}
std::optional<std::vector<uint8_t>> DesktopHost::TakeClipboardPackedDib() {
    return m_clipboard->takePackedDib();
}
std::optional<std::vector<uint8_t>> DesktopHost::TakeClipboardPng() {
    return m_clipboard->takePng();
}
std::optional<ClipboardBitmap> DesktopHost::TakeClipboardBitmap() {
    return m_clipboard->takeBitmap();
}
void DesktopHost::EmptyClipboard() {
    m_clipboard->clear();
}
bool DesktopHost::PutClipboardImage(std::span<const uint8_t> packedDib) {
    return m_clipboard->put(packedDib);
}

void DesktopHost::WaitForEvents() {
    // Wakes after a short while even when no event comes, so the wait can look again.
    QTimer wake;
    wake.setSingleShot(true);
    wake.start(kWaitRoundMilliseconds);
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
}

}  // namespace tarvil
