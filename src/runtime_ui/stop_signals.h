// SIGINT, SIGTERM and SIGHUP as requests to stop, not as an abrupt end: the
// signals are blocked and read from a signalfd, so a run in progress can stop
// after its current instruction and the application can end in order.
#pragma once

#include <signal.h>

#include <QPointer>
#include <QSocketNotifier>
#include <functional>
#include <memory>

namespace tarvil {

class StopSignals {
public:
    // Blocks the three signals in the calling thread and opens a signalfd for
    // them. Made before any thread starts (before the application object), so
    // that every thread inherits the mask and none ends the process. Children
    // made with fork() get the signals unblocked again.
    StopSignals();
    // Drops signals still pending, closes the descriptor and restores the mask.
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    bool isOpen() const { return m_fd >= 0; }

    // Reports each signal to `onSignal` (with its number) from the event loop,
    // for as long as the returned notifier lives. Needs the application object.
    std::unique_ptr<QSocketNotifier> watch(std::function<void(int)> onSignal);

    // Takes a pending signal at once, without handling any event: its number,
    // or 0 when there is none. A signal taken here still reaches `onSignal`,
    // at the next turn of the event loop.
    int take();

private:
    int readSignal();

    int m_fd = -1;
    sigset_t m_previousMask;
    std::function<void(int)> m_onSignal;
    QPointer<QSocketNotifier> m_watch;
};

}  // namespace tarvil
