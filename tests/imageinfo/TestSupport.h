// Temporary folders, the real camera files and exiftool for the tests.
#ifndef QUILLOMAT_TESTS_IMAGEINFO_TESTSUPPORT_H
#define QUILLOMAT_TESTS_IMAGEINFO_TESTSUPPORT_H

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

// A folder of its own for each test, removed afterwards.
class TempDir {
public:
    TempDir()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "quillomat-imageinfo-XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            std::abort();
        m_path = pattern;
    }
    ~TempDir()
    {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;
    std::string file(const std::string &name) const { return (m_path / name).string(); }

private:
    std::filesystem::path m_path;
};

// The real camera files: QUILLOMAT_REAL_FIXTURES, or the folder beside the
// source tree when the variable is not passed on.
inline std::string realFixturesDir()
{
    const char *dir = std::getenv("QUILLOMAT_REAL_FIXTURES");
    if (dir && *dir)
        return dir;
#ifdef QUILLOMAT_REAL_FIXTURES_DEFAULT
    return QUILLOMAT_REAL_FIXTURES_DEFAULT;
#else
    return "";
#endif
}

inline bool haveExiftool()
{
    return std::system("exiftool -ver >/dev/null 2>&1") == 0;
}

// Output of a command run through the shell (arguments already quoted).
inline std::string runCommand(const std::string &command)
{
    std::string output;
    std::FILE *pipe = ::popen(command.c_str(), "r");
    if (!pipe)
        return output;
    char buffer[4096];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        output.append(buffer, got);
    ::pclose(pipe);
    return output;
}

inline std::string shellQuote(const std::string &text)
{
    std::string quoted = "'";
    for (char c : text) {
        if (c == '\'')
            quoted += "'\\''";
        else
            quoted += c;
    }
    return quoted + "'";
}

// exiftool -n -a -G1 -args: "Group:Tag" -> value (first occurrence wins).
inline std::map<std::string, std::string> exiftoolTags(const std::string &path)
{
    std::map<std::string, std::string> tags;
    const std::string out = runCommand("exiftool -n -a -G1 -args " + shellQuote(path) + " 2>/dev/null");
    size_t pos = 0;
    while (pos < out.size()) {
        size_t end = out.find('\n', pos);
        if (end == std::string::npos)
            end = out.size();
        const std::string line = out.substr(pos, end - pos);
        pos = end + 1;
        if (line.size() < 2 || line[0] != '-')
            continue;
        const size_t eq = line.find('=');
        if (eq == std::string::npos)
            continue;
        tags.emplace(line.substr(1, eq - 1), line.substr(eq + 1));
    }
    return tags;
}

#endif
