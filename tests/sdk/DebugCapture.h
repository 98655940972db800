// Collects everything written to the debugger output channel while it lives,
// then puts the previous sink back.
#ifndef QUILLOMAT_TESTS_SDK_DEBUGCAPTURE_H
#define QUILLOMAT_TESTS_SDK_DEBUGCAPTURE_H

#include "psDebugOutput.h"

#include <mutex>
#include <string>
#include <utility>

class DebugCapture {
public:
    DebugCapture()
        : m_previous(psSetDebugSink([this](std::string_view text) {
              std::lock_guard lock(m_mutex);
              m_text.append(text);
          }))
    {
    }
    ~DebugCapture() { psSetDebugSink(std::move(m_previous)); }
    DebugCapture(const DebugCapture &) = delete;
    DebugCapture &operator=(const DebugCapture &) = delete;

    std::string text() const
    {
        std::lock_guard lock(m_mutex);
        return m_text;
    }
    void clear()
    {
        std::lock_guard lock(m_mutex);
        m_text.clear();
    }

private:
    mutable std::mutex m_mutex;
    std::string m_text;
    psDebugSink m_previous;
};

#endif
