// A recording stand-in for systemctl, put first on the search path: each call
// is appended to a log, a status file per command word makes it fail, and
// enable/disable act on the unit folder's target.wants link as systemctl
// does (failing for a unit file that does not exist). The test's own unit
// folder comes from XDG_CONFIG_HOME, which the stand-in sets for the process.
#ifndef QUILLOMAT_TESTS_UI_REGISTRATION_FAKESYSTEMCTL_H
#define QUILLOMAT_TESTS_UI_REGISTRATION_FAKESYSTEMCTL_H

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include <csignal>
#include <sys/stat.h>
#include <unistd.h>

// Sets an environment variable for as long as it lives.
class ScopedVariable {
public:
    ScopedVariable(const char *name, const std::string &value) : m_name(name)
    {
        if (const char *old = std::getenv(name))
            m_old = old, m_had = true;
        setenv(name, value.c_str(), 1);
    }
    ~ScopedVariable()
    {
        if (m_had)
            setenv(m_name.c_str(), m_old.c_str(), 1);
        else
            unsetenv(m_name.c_str());
    }
    ScopedVariable(const ScopedVariable &) = delete;
    ScopedVariable &operator=(const ScopedVariable &) = delete;

private:
    std::string m_name;
    std::string m_old;
    bool m_had = false;
};

inline std::string readText(const std::filesystem::path &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

inline void writeText(const std::filesystem::path &path, const std::string &text)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

class FakeSystemctl {
public:
    // Everything lives under `folder`: bin/systemctl, the call log, config/.
    explicit FakeSystemctl(const std::filesystem::path &folder)
        : m_folder(folder),
          m_path("PATH", (folder / "bin").string() + ":" + currentPath()),
          m_config("XDG_CONFIG_HOME", (folder / "config").string())
    {
        std::filesystem::create_directories(folder / "bin");
        const std::filesystem::path script = folder / "bin" / "systemctl";
        writeText(script, "#!/bin/sh\n"
                          "dir='" + folder.string() + "'\n"
                          "printf '%s\\n' \"$*\" >> \"$dir/calls\"\n"
                          "[ \"$1\" = --user ] || { echo 'stand-in: only --user' >&2; exit 64; }\n"
                          "verb=$2\n"
                          "if [ -f \"$dir/hang-$verb\" ]; then\n"
                          "  sleep 600 & echo $! > \"$dir/hung-$verb\"; wait; exit 0; fi\n"
                          "if [ -f \"$dir/status-$verb\" ]; then exit \"$(cat \"$dir/status-$verb\")\"; fi\n"
                          "case $verb in enable|disable)\n"
                          "  units=\"${XDG_CONFIG_HOME:-$HOME/.config}/systemd/user\"\n"
                          "  if [ ! -f \"$units/$3\" ]; then\n"
                          "    echo \"Failed to $verb unit: Unit file $3 does not exist.\" >&2; exit 1; fi\n"
                          "  wants=$units/quillomat-camera.target.wants\n"
                          "  if [ $verb = enable ]; then mkdir -p \"$wants\" && ln -sf \"$units/$3\" \"$wants/$3\"\n"
                          "  else rm -f \"$wants/$3\"; fi;;\n"
                          "esac\n"
                          "exit 0\n");
        if (chmod(script.c_str(), 0755) != 0)
            throw std::runtime_error("cannot make the stand-in executable");
    }

    // Every call's arguments, one line each ("--user enable x.service").
    std::vector<std::string> calls() const
    {
        std::vector<std::string> lines;
        std::istringstream in(readText(m_folder / "calls"));
        for (std::string line; std::getline(in, line);)
            lines.push_back(line);
        return lines;
    }

    void clearCalls() { std::filesystem::remove(m_folder / "calls"); }

    // The stand-in answers `verb` with this exit status from now on.
    void failWith(const std::string &verb, int status)
    {
        writeText(m_folder / ("status-" + verb), std::to_string(status));
    }

    // The stand-in never answers `verb` (it waits on a child of its own).
    void hangOn(const std::string &verb) { writeText(m_folder / ("hang-" + verb), ""); }
    // The process id of the child a hanging call waits on; 0 before it started.
    pid_t hungChild(const std::string &verb) const
    {
        const std::string text = readText(m_folder / ("hung-" + verb));
        return text.empty() ? 0 : static_cast<pid_t>(std::stol(text));
    }

    std::filesystem::path unitFolder() const { return m_folder / "config" / "systemd" / "user"; }
    std::filesystem::path wantsLink(const std::string &unit) const
    {
        return unitFolder() / "quillomat-camera.target.wants" / unit;
    }

private:
    static std::string currentPath()
    {
        const char *path = std::getenv("PATH");
        return path ? path : "/usr/bin:/bin";
    }

    std::filesystem::path m_folder;
    ScopedVariable m_path;
    ScopedVariable m_config;
};

// True once the process has ended (a zombie nobody reaps counts as ended).
inline bool processEnded(pid_t pid)
{
    if (pid <= 0 || ::kill(pid, 0) != 0)
        return true;
    const std::string stat = readText("/proc/" + std::to_string(pid) + "/stat");
    const std::size_t close = stat.rfind(')');
    return close != std::string::npos && close + 2 < stat.size() && stat[close + 2] == 'Z';
}

// A fresh folder under the system's temporary folder, removed afterwards.
class TemporaryFolder {
public:
    TemporaryFolder()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "registration-XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            throw std::runtime_error("mkdtemp failed");
        m_path = pattern;
    }
    ~TemporaryFolder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    TemporaryFolder(const TemporaryFolder &) = delete;
    TemporaryFolder &operator=(const TemporaryFolder &) = delete;

    const std::filesystem::path &path() const { return m_path; }

private:
    std::filesystem::path m_path;
};

#endif
