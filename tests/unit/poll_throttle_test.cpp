#include "engine/poll_throttle.h"

#include <gtest/gtest.h>

#include <chrono>
#include <vector>

namespace tarvil {
namespace {

using std::chrono::microseconds;
using std::chrono::steady_clock;

TEST(PollThrottle, LooksFirstThenOnceAnIntervalHasPassedSinceTheLastLook) {
    struct Step {
        microseconds advance;  // before the call
        bool due;
    };
    const microseconds interval = PollThrottle::kInterval;
    const std::vector<Step> steps = {
        {microseconds(0), true},  // the first dispatch point always looks
        {microseconds(0), false}, {interval - microseconds(1), false},
        {microseconds(1), true},  // exactly one interval after the last look
        {interval / 2, false},    {interval / 2, true},
        {interval * 50, true},  // a long instruction in between: looks at once
        {microseconds(1), false},
    };
    auto now = steady_clock::time_point(std::chrono::seconds(7));
    PollThrottle throttle;
    throttle.SetClock([&now] { return now; });
    for (size_t k = 0; k < steps.size(); ++k) {
        now += steps[k].advance;
        EXPECT_EQ(throttle.Due(), steps[k].due) << "step " << k;
    }
}

TEST(PollThrottle, RealClockLooksAgainAfterTheInterval) {
    PollThrottle throttle;
    EXPECT_TRUE(throttle.Due());
    const auto start = steady_clock::now();
    while (steady_clock::now() - start < PollThrottle::kInterval) {
    }
    EXPECT_TRUE(throttle.Due());
}

}  // namespace
}  // namespace tarvil
