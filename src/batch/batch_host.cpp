#include "batch/batch_host.h"

#include <poll.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>

#include "batch/desktop_module.h"
#include "engine/image_record.h"
#include "engine/machine.h"
#include "engine/text_encoding.h"

namespace tarvil {

namespace {

long long NowMilliseconds() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace

BatchHost::BatchHost(Machine& machine, int interruptFd, ClipboardOpener openClipboard)
    : m_machine(machine),
      m_interruptFd(interruptFd),
      m_openClipboard(std::move(openClipboard)),
      m_stderrIsTerminal(isatty(STDERR_FILENO) == 1) {}

BatchHost::~BatchHost() = default;

// Script output goes to stdout byte for byte; what goes to the terminal's
// error stream is escaped, so that no name or text can drive the terminal.
void BatchHost::WriteLine(bool toStdout, std::string_view text) {
    FILE* stream = toStdout ? stdout : stderr;
    const std::string shown = toStdout ? std::string(text) : EscapeForTerminal(text);
    const bool written = std::fwrite(shown.data(), 1, shown.size(), stream) == shown.size() &&
                         std::fputc('\n', stream) != EOF && std::fflush(stream) == 0;
    NoteWrite(toStdout, written);
}

void BatchHost::NoteWrite(bool toStdout, bool written) {
    if (written) return;
    if (!toStdout) {
        m_errorStreamFailed = true;
        return;
    }
    if (m_outputError != 0) return;
    m_outputError = errno != 0 ? errno : EIO;
    // Further output would be lost as well: the run ends here, as after an error.
    if (m_machine.RunInProgress) {
        PushStop(m_machine, std::string("tarvil: cannot write to standard output: ") +
                                std::strerror(m_outputError));
    }
}

void BatchHost::ShowMessage(std::string_view text, MessageKind kind) {
    ClearProgressLine();
    WriteLine(kind == MessageKind::Script, text);
}

void BatchHost::ClearProgressLine() {
    if (!m_progressShown || !m_stderrIsTerminal) return;
    NoteWrite(false, std::fputs("\r\033[K", stderr) != EOF && std::fflush(stderr) == 0);
}

int BatchHost::UpdateProgress(const char* text, uint16_t percent) {
    const bool closing = text == nullptr || *text == '\0';
    if (closing) {
        ClearProgressLine();
        m_progressShown = false;
    } else {
        if (!m_progressShown) {
            m_progressShown = true;
            m_progressStart = NowMilliseconds();
        }
        if (m_stderrIsTerminal) {
            const auto elapsed = static_cast<unsigned long>(NowMilliseconds() - m_progressStart);
            const std::string shown = EscapeForTerminal(text);
            constexpr unsigned kBarWidth = 20;
            const unsigned filled = std::min<unsigned>(percent, 100) * kBarWidth / 100;
            const std::string bar = std::string(filled, '#') + std::string(kBarWidth - filled, ' ');
            const int printed = std::fprintf(stderr, "\r\033[K%s [%s] %3u%% %.2lu:%.2lu:%.2lu",
                                             shown.c_str(), bar.c_str(), percent, elapsed / 3600000,
                                             (elapsed / 60000) % 60, (elapsed / 1000) % 60);
            NoteWrite(false, printed >= 0 && std::fflush(stderr) == 0);
        }
    }
    DispatchPendingMessages();
    // There is no Stop button here: Ctrl+C stops the run instead.
    return 0;
}

bool BatchHost::CheckInterrupt() {
    if (m_interruptFd < 0) return false;
    signalfd_siginfo info;
    bool interrupted = false;
    while (read(m_interruptFd, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
        interrupted = true;
    }
    if (interrupted && m_machine.RunInProgress) PushStop(m_machine, "Warning: Program stopped");
    return interrupted;
}

void BatchHost::DispatchPendingMessages() {
    if (!m_eventPolls.Due()) return;
    CheckInterrupt();
    if (m_clipboard) m_clipboard->ProcessEvents();
}

bool BatchHost::StopRequested() {
    return CheckInterrupt();
}

int BatchHost::ShowDebugDialog(unsigned line, std::span<const std::string> variableLines) {
    ClearProgressLine();
    WriteLine(false, "Debug: line " + std::to_string(line));
    for (const std::string& variable : variableLines) WriteLine(false, variable);
    return 1;  // continue
}

std::string BatchHost::GetFileName(std::string_view) {
    return {};
}

void BatchHost::SelectEditorLine(unsigned) {}

void BatchHost::RequestClose() {}

std::unique_ptr<PreviewWindow> BatchHost::CreatePreview(const Image&, std::string_view, int, int,
                                                        int, int) {
    return nullptr;
}

bool BatchHost::ClipboardAvailable() {
    if (!m_clipboardTried) {
        m_clipboardTried = true;
        std::string reason = "no display";
        if (m_openClipboard) m_clipboard = m_openClipboard(reason);
        if (!m_clipboard) {
            ClearProgressLine();
            WriteLine(false, "tarvil: no system clipboard: " + reason);
        }
    }
    return m_clipboard != nullptr;
}

uint16_t BatchHost::ClipboardChangeCount() {
    return m_clipboard ? m_clipboard->ChangeCount() : 0;
}

void BatchHost::SetClipboardChangeCount(uint16_t count) {
    if (m_clipboard) m_clipboard->SetChangeCount(count);
}

ClipboardOffer BatchHost::PeekClipboard() {
    return m_clipboard ? m_clipboard->Peek() : ClipboardOffer{};
}

std::optional<std::vector<uint8_t>> BatchHost::TakeClipboardPackedDib() {
    if (!m_clipboard) return std::nullopt;
    return m_clipboard->TakePackedDib();
}

std::optional<std::vector<uint8_t>> BatchHost::TakeClipboardPng() {
    if (!m_clipboard) return std::nullopt;
    return m_clipboard->TakePng();
}

std::optional<ClipboardBitmap> BatchHost::TakeClipboardBitmap() {
    if (!m_clipboard) return std::nullopt;
    return m_clipboard->TakeBitmap();
}

void BatchHost::EmptyClipboard() {
    if (m_clipboard) m_clipboard->Empty();
}

bool BatchHost::PutClipboardImage(std::span<const uint8_t> packedDib) {
    return m_clipboard != nullptr && m_clipboard->Put(packedDib);
}

void BatchHost::WaitForEvents() {
    if (m_clipboard) {
        m_clipboard->WaitForEvents();
    } else {
        // Nothing but Ctrl+C can arrive: wait for it a while.
        pollfd interrupt{m_interruptFd, POLLIN, 0};
        poll(&interrupt, m_interruptFd >= 0 ? 1 : 0, 100);
    }
    CheckInterrupt();
}

}  // namespace tarvil
