// How often a host looks for events at the run's dispatch points. A fast
// pixel loop reaches a dispatch point every few microseconds, and one look (the
// event loop, or the Ctrl+C descriptor) costs a few microseconds too; looking
// at most once a millisecond takes that cost out of the run, while a click or
// a Ctrl+C still arrives far sooner than anyone can notice.
#pragma once

#include <chrono>
#include <functional>
#include <optional>

namespace tarvil {

class PollThrottle {
public:
    using Clock = std::function<std::chrono::steady_clock::time_point()>;

    static constexpr std::chrono::microseconds kInterval{1000};

    // True at the first call, then once kInterval has passed since the last true.
    bool Due() {
        const auto now = m_clock();
        if (m_lastLook && now - *m_lastLook < kInterval) return false;
        m_lastLook = now;
        return true;
    }

    // A test steps the clock by hand.
    void SetClock(Clock clock) { m_clock = std::move(clock); }

private:
    Clock m_clock = [] { return std::chrono::steady_clock::now(); };
    std::optional<std::chrono::steady_clock::time_point> m_lastLook;
};

}  // namespace tarvil
