// The entry points of the desktop module, which the tarvil executable loads:
// the desktop application, and the system clipboard for batch runs.
#include "batch/desktop_module.h"

#include <fcntl.h>
#include <unistd.h>
#include <QGuiApplication>
#include <QSocketNotifier>
#include <QTimer>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "app/desktop_app.h"
#include "engine/text_encoding.h"
#include "runtime_ui/system_clipboard.h"

namespace tarvil {

namespace {

// Qt's messages while the batch clipboard's application starts: they say why
// no display could be had. Set only during that start; Qt takes handlers as
// plain functions, so the collector is reached through this pointer.
thread_local std::string* t_startMessages = nullptr;

// Stderr carries the script's messages, which callers parse: Qt's own
// diagnostics (a missing XDG_RUNTIME_DIR, say) stay out of it, errors stay in,
// and so does a broken display connection, after which Qt ends the process.
void QuietQtMessages(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    const QByteArray text = message.toUtf8();
    // The platform plugins' own words on why they did not start.
    const bool fromPlatform =
        context.category != nullptr && std::strncmp(context.category, "qt.qpa", 6) == 0;
    if (t_startMessages != nullptr && t_startMessages->empty() && fromPlatform &&
        type != QtDebugMsg && type != QtInfoMsg) {
        *t_startMessages = text.toStdString();
    }
    const bool lostDisplay = message.contains(QLatin1String("connection broke"));
    if (type == QtCriticalMsg || type == QtFatalMsg || lostDisplay) {
        std::fprintf(stderr, "tarvil: %s\n", EscapeForTerminal(text.toStdString()).c_str());
        if (lostDisplay) std::fputs("tarvil: the display was lost; the run ends\n", stderr);
    }
}

// The platforms to try, as Qt would choose them, then "minimal", which always
// starts: Qt ends the process when no platform starts, and a batch run must
// go on without a clipboard instead.
QByteArray PlatformList() {
    QByteArray list = qgetenv("QT_QPA_PLATFORM");
    if (list.isEmpty()) {
        const bool wayland = qgetenv("XDG_SESSION_TYPE") == "wayland" &&
                             qEnvironmentVariableIsSet("WAYLAND_DISPLAY");
        list = wayland ? "wayland;xcb" : "xcb";
    }
    return list + ";minimal";
}

// Only these platforms share a clipboard with other programs.
bool HasSystemClipboard(const QString& platform) {
    return platform.startsWith(QLatin1String("xcb")) ||
           platform.startsWith(QLatin1String("wayland"));
}

// Qt needs a few descriptors of its own (the display connection, wake-up
// pipes, notifiers); without them it ends the process.
bool EnoughFileDescriptors() {
    constexpr int kNeeded = 8;
    int taken[kNeeded];
    int count = 0;
    while (count < kNeeded) {
        const int fd = fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 0);
        if (fd < 0) break;
        taken[count++] = fd;
    }
    for (int i = 0; i < count; ++i) close(taken[i]);
    return count == kNeeded;
}

class QtBatchClipboard : public BatchClipboard {
public:
    QtBatchClipboard(int interruptFd, const QByteArray& platforms)
        : m_platforms(platforms),
          m_application(m_argc, m_argv),
          m_clipboard(std::make_unique<SystemClipboard>()) {
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
    std::optional<std::vector<uint8_t>> TakePng() override { return m_clipboard->takePng(); }
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
    QByteArray m_platforms;
    char m_programName[7] = "tarvil";
    char m_platformOption[10] = "-platform";
    int m_argc = 3;
    char* m_argv[4] = {m_programName, m_platformOption, m_platforms.data(), nullptr};
    // Members end in reverse order: the application last.
    QGuiApplication m_application;
    std::unique_ptr<SystemClipboard> m_clipboard;
    QTimer m_waitTimer;
    std::unique_ptr<QSocketNotifier> m_interruptNotifier;
};

// The batch clipboard, or null with `reason` saying why.
BatchClipboard* OpenBatchClipboard(int interruptFd, std::string& reason) {
    if (!EnoughFileDescriptors()) {
        reason = "too few file descriptors left (ulimit -n)";
        return nullptr;
    }
    qInstallMessageHandler(QuietQtMessages);
    std::string startMessage;
    t_startMessages = &startMessage;
    auto clipboard = std::make_unique<QtBatchClipboard>(interruptFd, PlatformList());
    t_startMessages = nullptr;
    const QString platform = QGuiApplication::platformName();
    if (HasSystemClipboard(platform)) return clipboard.release();
    if (platform == QLatin1String("minimal") && !startMessage.empty() &&
        qgetenv("QT_QPA_PLATFORM") != "minimal") {
        reason = startMessage;
    } else {
        reason = "the '" + platform.toStdString() + "' platform has no system clipboard";
    }
    return nullptr;
}

}  // namespace

}  // namespace tarvil

// No exception leaves an entry point: the executable has a C++ runtime of its
// own. (A std::bad_alloc from a clipboard method does reach it; its handlers
// match an exception's type by name, so they still catch it.)
extern "C" __attribute__((visibility("default"))) int tarvil_run_desktop(int argc, char** argv) {
    try {
        return tarvil::RunDesktop(argc, argv);
    } catch (const std::bad_alloc&) {
        std::fputs("tarvil: out of memory\n", stderr);
        return 1;
    }
}

extern "C" __attribute__((visibility("default"))) tarvil::BatchClipboard*
tarvil_open_batch_clipboard(int interruptFd, std::string& reason) {
    try {
        return tarvil::OpenBatchClipboard(interruptFd, reason);
    } catch (const std::bad_alloc&) {
        reason = "out of memory";
        return nullptr;
    }
}

// The executable finds the entry points by name: these types must match.
static_assert(std::is_same_v<decltype(&tarvil_run_desktop), tarvil::RunDesktopFunction>);
static_assert(
    std::is_same_v<decltype(&tarvil_open_batch_clipboard), tarvil::OpenBatchClipboardFunction>);
