// The diagnostic log: a plain-text trace of what passes between the program
// and the camera, kept so that a failed transfer can be diagnosed afterwards.
//
// Each line is "<local time> [<ms since start>]: <message>\n", flushed at once
// so that the file holds every line even if the program is killed. The file is
// truncated by the first line of each run. The middle field counts
// milliseconds since the program started on a monotonic clock (not processor
// time), so that it can time a transfer.
//
// The run before is kept one run back: just before the first line truncates
// the file, the previous run's log becomes Quillomat.previous.log beside it
// (replacing the one before), so that the restart after a crash or a lost
// shot does not wipe the record of it.
#ifndef QUILLOMAT_CAPTURE_DIAGNOSTICLOG_H
#define QUILLOMAT_CAPTURE_DIAGNOSTICLOG_H

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <string>
#include <string_view>

// Writes one line to the program's log. Safe from any thread; never fails
// visibly: when the file cannot be created the line is dropped and the next
// call tries again.
void logMessage(std::string text) noexcept;

class DiagnosticLog {
public:
    // A log that opens `path` (truncating it, after keeping what it held as
    // previousPath(path)) on its first line and counts the time field from
    // `start`. The program's own log is the one behind logMessage; tests make
    // their own.
    DiagnosticLog(std::filesystem::path path, std::chrono::steady_clock::time_point start);
    ~DiagnosticLog();
    DiagnosticLog(const DiagnosticLog &) = delete;
    DiagnosticLog &operator=(const DiagnosticLog &) = delete;

    void write(std::string_view text) noexcept;
    bool isOpen() const;
    const std::filesystem::path &path() const { return m_path; }

    // $XDG_STATE_HOME/Quillomat/Quillomat.log, or ~/.local/state/... when the
    // variable is unset or not absolute; empty when there is no home either.
    static std::filesystem::path defaultPath();
    // Where the run before's log is kept: "Quillomat.log" becomes
    // "Quillomat.previous.log" in the same folder.
    static std::filesystem::path previousPath(const std::filesystem::path &path);
    // When this process started, as far as the log is concerned.
    static std::chrono::steady_clock::time_point processStart();

private:
    bool openLocked();

    const std::filesystem::path m_path;
    const std::chrono::steady_clock::time_point m_start;
    mutable std::mutex m_mutex;
    std::FILE *m_file = nullptr;
    bool m_previousKept = false;  // tried once, before the first open
};

#endif
