// The batch host's dispatch points: Ctrl+C arrives through the interrupt
// descriptor and stops the run, looked for at most once a millisecond.
#include "batch/batch_host.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <chrono>

#include "engine/machine.h"
#include "unit/handler_test_support.h"

namespace tarvil {
namespace {

// A pipe stands in for the signalfd: each record written is one Ctrl+C.
struct InterruptPipe {
    int fds[2] = {-1, -1};
    InterruptPipe() { EXPECT_EQ(pipe2(fds, O_NONBLOCK | O_CLOEXEC), 0); }
    ~InterruptPipe() {
        close(fds[0]);
        close(fds[1]);
    }
    void Press() const {
        signalfd_siginfo info{};
        EXPECT_EQ(write(fds[1], &info, sizeof info), static_cast<ssize_t>(sizeof info));
    }
};

TEST(BatchHost, CtrlCIsSeenAtTheNextDispatchPointThatLooks) {
    Machine machine;
    InterruptPipe interrupt;
    BatchHost host(machine, interrupt.fds[0], nullptr);
    machine.host = &host;
    machine.RunInProgress = true;
    auto now = std::chrono::steady_clock::time_point(std::chrono::seconds(3));
    host.eventPolls().SetClock([&now] { return now; });

    host.DispatchPendingMessages();  // looks: nothing pressed
    EXPECT_EQ(testing::LastStop(machine), "");

    interrupt.Press();
    now += PollThrottle::kInterval - std::chrono::microseconds(1);
    host.DispatchPendingMessages();  // too soon after the last look
    EXPECT_EQ(testing::LastStop(machine), "");

    now += std::chrono::microseconds(1);
    host.DispatchPendingMessages();
    EXPECT_EQ(testing::LastStop(machine), "Warning: Program stopped");
    machine.host = nullptr;
}

}  // namespace
}  // namespace tarvil
