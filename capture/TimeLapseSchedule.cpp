#include "TimeLapseSchedule.h"

#include "FormatText.h"

#include <utility>

TimeLapseSchedule::TimeLapseSchedule(WallClock clock, BusyReading busy)
    : m_clock(std::move(clock)), m_busy(std::move(busy))
{
}

bool TimeLapseSchedule::start(int32_t interval, int32_t shotCount, int32_t initialDelay)
{
    if (shotCount <= 0)
        return false;
    m_interval = interval;
    m_shotCount = shotCount;
    m_shotsTaken = 0;
    m_nextDue = m_clock() + initialDelay;
    // As if the camera had been idle since the first due second: the first
    // shot fires on the first tick after it.
    m_idleSince = m_nextDue;
    m_running = true;
    return true;
}

void TimeLapseSchedule::stop()
{
    m_running = false;
}

void TimeLapseSchedule::withdrawLastShot()
{
    if (m_shotsTaken > 0)
        --m_shotsTaken;
}

TimeLapseSchedule::Tick TimeLapseSchedule::tick()
{
    Tick result;
    if (!m_running)
        return result;

    const int64_t now = m_clock();
    const bool busy = m_busy();
    if (busy)
        m_idleSince.reset();
    else if (!m_idleSince)
        m_idleSince = now;

    if (m_shotsTaken >= m_shotCount) {
        if (busy) {
            result.status = "Taking the last photo in the sequence...";
        } else {
            m_running = false;
            result.action = Action::Completed;
            result.status = "Time-lapse sequence completed.";
        }
        return result;
    }

    if (m_idleSince && *m_idleSince < now && now >= m_nextDue) {
        ++m_shotsTaken;
        m_nextDue += m_interval;
        result.action = Action::Release;
        return result;
    }

    const int64_t toGo = m_nextDue - now;
    const int remaining = m_shotCount - m_shotsTaken;
    if (toGo < 0)
        result.status = formatText("Running %lld secs late, %d shots remaining", static_cast<long long>(-toGo),
                                   remaining);
    else
        result.status = formatText("%lld secs to next shot, %d shots remaining", static_cast<long long>(toGo),
                                   remaining);
    return result;
}

std::string TimeLapseSchedule::abandonedText()
{
    return "Time-lapse sequence abandoned";
}

std::string TimeLapseSchedule::errorAbandonText(int32_t shots)
{
    return formatText("Sequence abandoned due to error after %d shots", shots);
}

std::string TimeLapseSchedule::noShotsText()
{
    return "Error: you must specify at least 1 shot in the sequence";
}
