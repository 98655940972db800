// The rules of a time-lapse sequence: ticked about once a second, it says
// when the next shot is to be released and what the sequence shows in the
// meantime. It has no timer and no camera of its own: the time-lapse dialog
// and quillomat-shoot tick it, read the camera's busy state for it and press
// Release when it says so, so both run the same sequence.
//
// Times are whole seconds of the injected clock. The next shot is due at
// the previous due time plus the interval, not at the previous shot's actual
// time, so a sequence held up by a slow shot catches up afterwards. A shot
// fires only on a tick that falls in a later second than the one at which
// the camera was first seen idle, so the camera is never released in the
// same second as it became free.
#ifndef QUILLOMAT_CAPTURE_TIMELAPSESCHEDULE_H
#define QUILLOMAT_CAPTURE_TIMELAPSESCHEDULE_H

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

class TimeLapseSchedule {
public:
    // Whole seconds; only differences between readings matter.
    using WallClock = std::function<int64_t()>;
    // True while the camera is taking or transferring a photo.
    using BusyReading = std::function<bool()>;

    enum class Action {
        None,       // nothing to do but show the status text
        Release,    // press Release now; the shot is already counted
        Completed,  // the last shot is done and the sequence has stopped
    };

    struct Tick {
        Action action = Action::None;
        std::string status;  // the text for the status line
    };

    TimeLapseSchedule(WallClock clock, BusyReading busy);

    // Starts a sequence of `shotCount` shots, the first due `initialDelay`
    // seconds from now. Interval and delay are taken as they are: 0 or
    // less shoots as fast as the camera allows, a negative delay starts late.
    // False, and nothing starts, when shotCount is below 1.
    bool start(int32_t interval, int32_t shotCount, int32_t initialDelay);
    // Stops the sequence (Stop, Cancel, or an error); the counts stay readable.
    void stop();
    // The last shot released never got under way (the camera refused it):
    // it does not count as taken.
    void withdrawLastShot();
    // One tick. Does nothing (no action, empty text) when no sequence runs.
    Tick tick();

    bool isRunning() const { return m_running; }
    int32_t shotsTaken() const { return m_shotsTaken; }
    int32_t shotCount() const { return m_shotCount; }
    int32_t shotsRemaining() const { return m_shotCount - m_shotsTaken; }
    int64_t nextDue() const { return m_nextDue; }

    // The texts of a sequence's ends.
    static std::string abandonedText();                   // stopped by the user
    static std::string errorAbandonText(int32_t shots);   // stopped by an error
    static std::string noShotsText();                     // a shot count below 1

private:
    WallClock m_clock;
    BusyReading m_busy;
    bool m_running = false;
    int32_t m_interval = 0;
    int32_t m_shotCount = 0;
    int32_t m_shotsTaken = 0;
    // Wide enough that no interval or delay a field holds can overflow them.
    int64_t m_nextDue = 0;
    // The second at which the camera was first seen idle; none while it is busy.
    std::optional<int64_t> m_idleSince;
};

#endif
