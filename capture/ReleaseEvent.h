// The event that wakes the release thread: manual reset, created signalled.
// It is private to one session; two running copies of the program do not
// share it, so one program's release never wakes the other's thread.
#ifndef QUILLOMAT_CAPTURE_RELEASEEVENT_H
#define QUILLOMAT_CAPTURE_RELEASEEVENT_H

#include <condition_variable>
#include <mutex>

class ReleaseEvent {
public:
    ReleaseEvent() = default;
    ReleaseEvent(const ReleaseEvent &) = delete;
    ReleaseEvent &operator=(const ReleaseEvent &) = delete;

    // Signals; every waiter wakes, and it stays signalled until reset.
    void set()
    {
        {
            std::lock_guard lock(m_mutex);
            m_signalled = true;
        }
        m_changed.notify_all();
    }
    void reset()
    {
        std::lock_guard lock(m_mutex);
        m_signalled = false;
    }
    void wait()
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return m_signalled; });
    }
    bool isSet() const
    {
        std::lock_guard lock(m_mutex);
        return m_signalled;
    }

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_signalled = true;
};

#endif
