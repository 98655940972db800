// The program's diagnostic log, private to this test process: test
// processes run side by side and would otherwise truncate one another's log.
// Including this header moves the log before main() runs, i.e. before
// anything is logged.
#ifndef QUILLOMAT_TESTS_CAPTURE_PRIVATEPROGRAMLOG_H
#define QUILLOMAT_TESTS_CAPTURE_PRIVATEPROGRAMLOG_H

#include "DiagnosticLog.h"
#include "TemporaryDirectory.h"

#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

// Made before main() and removed, with the log, when the process ends.
class PrivateProgramLog {
public:
    PrivateProgramLog()
    {
        const char *state = std::getenv("XDG_STATE_HOME");
        const std::filesystem::path base = state != nullptr && state[0] == '/'
                                               ? std::filesystem::path(state)
                                               : std::filesystem::temp_directory_path();
        m_folder = base / ("process-" + std::to_string(::getpid()));
        std::error_code ignored;
        std::filesystem::create_directories(m_folder, ignored);
        ::setenv("XDG_STATE_HOME", m_folder.c_str(), 1);
    }
    ~PrivateProgramLog()
    {
        std::error_code ignored;
        std::filesystem::remove_all(m_folder, ignored);
    }
    PrivateProgramLog(const PrivateProgramLog &) = delete;
    PrivateProgramLog &operator=(const PrivateProgramLog &) = delete;

private:
    std::filesystem::path m_folder;
};

inline PrivateProgramLog kPrivateProgramLog;

// What the program logs from the moment this is made.
class ProgramLogTail {
public:
    ProgramLogTail() : m_start(readTextFile(DiagnosticLog::defaultPath()).size()) {}
    std::string text() const
    {
        const std::string all = readTextFile(DiagnosticLog::defaultPath());
        return all.size() > m_start ? all.substr(m_start) : std::string();
    }

private:
    std::size_t m_start;
};

#endif
