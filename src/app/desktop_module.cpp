// The entry points of the desktop module, which the tarvil executable loads:
// the desktop application, and the system clipboard for batch runs.
#include "batch/desktop_module.h"

#include <QGuiApplication>
#include <QSocketNotifier>
#include <QTimer>
#include <cstdio>
#include <memory>

#include "app/desktop_app.h"
#include "runtime_ui/system_clipboard.h"

namespace tarvil {

namespace {

// Stderr carries the script's messages, which callers parse: Qt's own
// diagnostics (a missing XDG_RUNTIME_DIR, say) stay out of it, errors stay in.
void QuietQtMessages(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtCriticalMsg || type == QtFatalMsg) {
        std::fprintf(stderr, "tarvil: %s\n", message.toLocal8Bit().constData());
    }
}

class QtBatchClipboard : public BatchClipboard {
public:
    explicit QtBatchClipboard(int interruptFd)
        : m_application(m_argc, m_argv), m_clipboard(std::make_unique<SystemClipboard>()) {
        if (interruptFd >= 0) {
            // Ctrl+C wakes a clipboard wait at once; the host reads the signal.
            m_interruptNotifier =
                std::make_unique<QSocketNotifier>(interruptFd, QSocketNotifier::Read);
        }
        // Wakes the wait regularly in case a platform reports a change without an event.
        m_waitTimer.setInterval(100);
    }

    uint16_t ChangeCount() override { return m_clipboard->changeCount(); }
    void SetChangeCount(uint16_t count) override { m_clipboard->setChangeCount(count); }
    ClipboardOffer Peek() override { return m_clipboard->offer(); }
    std::optional<std::vector<uint8_t>> TakePackedDib() override {
        return m_clipboard->takePackedDib();
    }
    std::optional<ClipboardBitmap> TakeBitmap() override { return m_clipboard->takeBitmap(); }
    void Empty() override { m_clipboard->clear(); }
    bool Put(std::span<const uint8_t> packedDib) override { return m_clipboard->put(packedDib); }

    void ProcessEvents() override { QCoreApplication::processEvents(); }
    void WaitForEvents() override {
        if (!m_waitTimer.isActive()) m_waitTimer.start();
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }

private:
    // The application keeps references to these for its whole life.
    int m_argc = 1;
    char m_programName[7] = "tarvil";
    char* m_argv[2] = {m_programName, nullptr};
    // Members end in reverse order: the application last.
    QGuiApplication m_application;
    std::unique_ptr<SystemClipboard> m_clipboard;
    QTimer m_waitTimer;
    std::unique_ptr<QSocketNotifier> m_interruptNotifier;
};

}  // namespace

}  // namespace tarvil

extern "C" __attribute__((visibility("default"))) int tarvil_run_desktop(int argc, char** argv) {
    return tarvil::RunDesktop(argc, argv);
}

extern "C" __attribute__((visibility("default"))) tarvil::BatchClipboard*
tarvil_open_batch_clipboard(int interruptFd) {
    qInstallMessageHandler(tarvil::QuietQtMessages);
    return new tarvil::QtBatchClipboard(interruptFd);
}

// The executable finds the entry points by name: these types must match.
static_assert(std::is_same_v<decltype(&tarvil_run_desktop), tarvil::RunDesktopFunction>);
static_assert(
    std::is_same_v<decltype(&tarvil_open_batch_clipboard), tarvil::OpenBatchClipboardFunction>);
