#include "runtime_ui/stop_signals.h"

#include <pthread.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <QMetaObject>

namespace tarvil {

namespace {

sigset_t StopSignalSet() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGHUP);
    return set;
}

// A child inherits the signal mask: a program it starts must not begin with
// SIGTERM blocked.
void UnblockStopSignalsInChild() {
    const sigset_t set = StopSignalSet();
    pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
}

}  // namespace

StopSignals::StopSignals() {
    static const bool registered = pthread_atfork(nullptr, nullptr, UnblockStopSignalsInChild) == 0;
    (void)registered;
    const sigset_t set = StopSignalSet();
    if (pthread_sigmask(SIG_BLOCK, &set, &m_previousMask) != 0) return;
    m_fd = signalfd(-1, &set, SFD_NONBLOCK | SFD_CLOEXEC);
    if (m_fd < 0) pthread_sigmask(SIG_SETMASK, &m_previousMask, nullptr);
}

StopSignals::~StopSignals() {
    if (m_fd < 0) return;
    // A signal left pending would end the process by its default action the
    // moment the mask is restored.
    while (readSignal() != 0) {
    }
    close(m_fd);
    pthread_sigmask(SIG_SETMASK, &m_previousMask, nullptr);
}

int StopSignals::readSignal() {
    if (m_fd < 0) return 0;
    signalfd_siginfo info;
    if (read(m_fd, &info, sizeof info) != static_cast<ssize_t>(sizeof info)) return 0;
    return static_cast<int>(info.ssi_signo);
}

std::unique_ptr<QSocketNotifier> StopSignals::watch(std::function<void(int)> onSignal) {
    if (m_fd < 0) return nullptr;
    auto notifier = std::make_unique<QSocketNotifier>(m_fd, QSocketNotifier::Read);
    m_onSignal = std::move(onSignal);
    m_watch = notifier.get();
    QObject::connect(notifier.get(), &QSocketNotifier::activated, notifier.get(), [this] {
        while (const int signal = readSignal()) m_onSignal(signal);
    });
    return notifier;
}

int StopSignals::take() {
    const int signal = readSignal();
    if (signal != 0 && m_watch) {
        // Posted, not handled: the caller is in the middle of its work.
        QMetaObject::invokeMethod(
            m_watch.data(), [this, signal] { m_onSignal(signal); }, Qt::QueuedConnection);
    }
    return signal;
}

}  // namespace tarvil
