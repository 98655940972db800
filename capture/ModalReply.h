// The answer to a modal box shown for another thread: the thread that asked
// waits until the box is closed, or until it is told to stop waiting. Copies
// share one state, so the window may keep its copy beyond the asker's life.
#ifndef QUILLOMAT_CAPTURE_MODALREPLY_H
#define QUILLOMAT_CAPTURE_MODALREPLY_H

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>

class ModalReply {
public:
    ModalReply() : m_state(std::make_shared<State>()) {}

    // The user closed the box. Any thread; later calls do nothing.
    void close() const
    {
        {
            std::lock_guard lock(m_state->mutex);
            m_state->closed = true;
        }
        m_state->changed.notify_all();
    }
    // The asker gives up waiting (teardown).
    void abandon() const
    {
        {
            std::lock_guard lock(m_state->mutex);
            m_state->abandoned = true;
        }
        m_state->changed.notify_all();
    }
    bool isClosed() const
    {
        std::lock_guard lock(m_state->mutex);
        return m_state->closed;
    }
    // Waits until closed or abandoned; true when closed.
    bool wait() const
    {
        std::unique_lock lock(m_state->mutex);
        m_state->changed.wait(lock, [this] { return m_state->closed || m_state->abandoned; });
        return m_state->closed;
    }

private:
    struct State {
        std::mutex mutex;
        std::condition_variable changed;
        bool closed = false;
        bool abandoned = false;
    };
    std::shared_ptr<State> m_state;
};

#endif
