#include "DiagnosticLog.h"

#include <cstdlib>
#include <ctime>
#include <system_error>

namespace {

// Taken while static objects are set up, i.e. as the program starts.
const std::chrono::steady_clock::time_point s_processStart = std::chrono::steady_clock::now();

std::filesystem::path homeBased(const char *relative)
{
    const char *home = std::getenv("HOME");
    if (home == nullptr || home[0] != '/')
        return {};
    return std::filesystem::path(home) / relative;
}

} // namespace

DiagnosticLog::DiagnosticLog(std::filesystem::path path, std::chrono::steady_clock::time_point start)
    : m_path(std::move(path)), m_start(start)
{
}

DiagnosticLog::~DiagnosticLog()
{
    if (m_file != nullptr)
        std::fclose(m_file);
}

std::filesystem::path DiagnosticLog::defaultPath()
{
    std::filesystem::path stateHome;
    const char *xdg = std::getenv("XDG_STATE_HOME");
    // Relative values are to be ignored, as for every XDG directory variable.
    if (xdg != nullptr && xdg[0] == '/')
        stateHome = xdg;
    else
        stateHome = homeBased(".local/state");
    if (stateHome.empty())
        return {};
    return stateHome / "Quillomat" / "Quillomat.log";
}

std::filesystem::path DiagnosticLog::previousPath(const std::filesystem::path &path)
{
    std::filesystem::path previous = path;
    previous.replace_filename(path.stem().string() + ".previous" + path.extension().string());
    return previous;
}

std::chrono::steady_clock::time_point DiagnosticLog::processStart()
{
    return s_processStart;
}

bool DiagnosticLog::isOpen() const
{
    std::lock_guard lock(m_mutex);
    return m_file != nullptr;
}

bool DiagnosticLog::openLocked()
{
    if (m_file != nullptr)
        return true;
    if (m_path.empty())
        return false;
    std::error_code ignored;
    std::filesystem::create_directories(m_path.parent_path(), ignored);
    // The run before's log is kept one run back; without it the restart
    // after a crash would wipe the only record of it. A failure to keep it
    // must not cost this run its log.
    if (!m_previousKept) {
        m_previousKept = true;
        if (std::filesystem::is_regular_file(m_path, ignored))
            std::filesystem::rename(m_path, previousPath(m_path), ignored);
    }
    // "e": the log must not leak into the editor or any other program we start.
    m_file = std::fopen(m_path.c_str(), "we");
    return m_file != nullptr;
}

void DiagnosticLog::write(std::string_view text) noexcept
{
    try {
        const std::time_t now = std::time(nullptr);
        std::tm local{};
        char timeText[16] = {};
        if (localtime_r(&now, &local) == nullptr || std::strftime(timeText, sizeof timeText, "%X", &local) == 0)
            timeText[0] = '\0';
        const long elapsed = static_cast<long>(
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - m_start).count());

        std::string line;
        line.reserve(text.size() + 40);
        line += timeText;
        line += " [";
        line += std::to_string(elapsed);
        line += "]: ";
        line += text;
        line += '\n';

        // One lock for the lazy open and the write keeps lines whole and
        // opens the file exactly once when threads race on the first line.
        std::lock_guard lock(m_mutex);
        if (!openLocked())
            return;
        std::fwrite(line.data(), 1, line.size(), m_file);
        std::fflush(m_file);
    } catch (...) {
        // Logging must never disturb the caller; an unloggable line is dropped.
    }
}

void logMessage(std::string text) noexcept
{
    try {
        // Deliberately never destroyed: threads may still log while the
        // program exits. Every line is flushed, so nothing is lost.
        static DiagnosticLog *const log = new DiagnosticLog(DiagnosticLog::defaultPath(), DiagnosticLog::processStart());
        log->write(text);
    } catch (...) {
    }
}
