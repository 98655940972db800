// The clock a time-lapse sequence runs on: whole seconds of the steady clock
// (which no change of the system time moves), counted from half a second
// before the sequence starts. A tick every second from the start then falls
// in the middle of a second, so a tick up to half a second early or late
// still reads the second it belongs to: no second is skipped or read twice.
#ifndef QUILLOMAT_CAPTURE_TIMELAPSECLOCK_H
#define QUILLOMAT_CAPTURE_TIMELAPSECLOCK_H

#include <chrono>
#include <cstdint>

class TimeLapseClock {
public:
    using Clock = std::chrono::steady_clock;

    explicit TimeLapseClock(Clock::time_point start = Clock::now()) : m_start(start) {}

    // The second `now` falls in; 0 at the start.
    int64_t seconds(Clock::time_point now = Clock::now()) const
    {
        const auto sinceOrigin = now - (m_start - kHalfSecond);
        const int64_t whole = std::chrono::floor<std::chrono::seconds>(sinceOrigin).count();
        return whole;
    }

    // When tick `n` is due: n seconds after the start.
    Clock::time_point tickTime(int64_t n) const { return m_start + std::chrono::seconds(n); }

private:
    static constexpr std::chrono::milliseconds kHalfSecond{500};
    Clock::time_point m_start;
};

#endif
