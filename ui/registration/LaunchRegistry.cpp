#include "LaunchRegistry.h"

#include "ServiceManager.h"
#include "UserServiceUnit.h"

#include <cerrno>
#include <cstdlib>
#include <optional>
#include <utility>

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Creates path and its missing parents. Returns 0 or an error number.
int makeFolders(const std::string &path)
{
    for (size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        const std::string part = path.substr(0, slash);
        if (mkdir(part.c_str(), 0755) != 0 && errno != EEXIST)
            return errno;
        if (slash == std::string::npos)
            break;
    }
    struct stat info;
    if (stat(path.c_str(), &info) != 0)
        return errno;
    return S_ISDIR(info.st_mode) ? 0 : ENOTDIR;
}

int writeAll(int fd, const std::string &text)
{
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t written = write(fd, text.data() + done, text.size() - done);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        done += static_cast<size_t>(written);
    }
    return 0;
}

// Writes beside the file and renames over it: the manager reads the old unit
// or the new one, never half of one.
int replaceFile(const std::string &path, const std::string &text)
{
    std::string temporary = path + ".XXXXXX";
    const int fd = mkstemp(temporary.data());
    if (fd < 0)
        return errno;
    int error = writeAll(fd, text);
    if (error == 0 && fchmod(fd, 0644) != 0)
        error = errno;
    if (error == 0 && fsync(fd) != 0)
        error = errno;
    if (close(fd) != 0 && error == 0)
        error = errno;
    if (error == 0 && rename(temporary.c_str(), path.c_str()) != 0)
        error = errno;
    if (error != 0)
        unlink(temporary.c_str());
    return error;
}

// The whole file, or nothing when it cannot be read.
std::optional<std::string> readFile(const std::string &path)
{
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    std::string text;
    char buffer[4096];
    for (;;) {
        const ssize_t count = read(fd, buffer, sizeof buffer);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0) {
            close(fd);
            return count == 0 ? std::optional<std::string>(text) : std::nullopt;
        }
        text.append(buffer, static_cast<size_t>(count));
    }
}

} // namespace

LaunchRegistry::LaunchRegistry(ServiceManager &manager, std::string unitFolder)
    : m_manager(manager), m_unitFolder(std::move(unitFolder))
{
}

std::string LaunchRegistry::defaultUnitFolder()
{
    // A relative XDG_CONFIG_HOME is invalid and ignored, as the manager ignores it.
    const char *config = std::getenv("XDG_CONFIG_HOME");
    if (config != nullptr && config[0] == '/')
        return std::string(config) + "/systemd/user";
    const char *home = std::getenv("HOME");
    if (home == nullptr || home[0] != '/') {
        const passwd *entry = getpwuid(getuid());
        home = entry != nullptr ? entry->pw_dir : nullptr;
    }
    if (home == nullptr || home[0] != '/')
        return {};
    return std::string(home) + "/.config/systemd/user";
}

std::string LaunchRegistry::unitPath(const std::string &name) const
{
    return m_unitFolder + "/" + unitNameFor(name);
}

int LaunchRegistry::registerLaunchApplication(const std::string &name, const std::string &commandPath)
{
    const std::string unit = unitNameFor(name);
    const std::string text = unitFileText(name, commandPath);
    // Only an absolute path is a command the manager will start.
    if (unit.empty() || text.empty() || commandPath.empty() || commandPath[0] != '/')
        return EINVAL;
    if (m_unitFolder.empty())
        return ENOENT;
    if (int error = makeFolders(m_unitFolder))
        return error;
    const std::string path = unitPath(name);
    const std::optional<std::string> previous = readFile(path);
    if (int error = replaceFile(path, text))
        return error;
    // Enabling reloads the manager, so a replaced command takes effect too.
    const int status = m_manager.run({"enable", unit});
    if (status != 0) {
        // A refused registration leaves the unit as it was.
        if (previous)
            replaceFile(path, *previous);
        else
            unlink(path.c_str());
    }
    return status;
}

int LaunchRegistry::unregisterLaunchApplication(const std::string &name)
{
    const std::string unit = unitNameFor(name);
    if (unit.empty())
        return EINVAL;
    // The manager decides about a name it does not know.
    if (int status = m_manager.run({"disable", unit}))
        return status;
    if (!m_unitFolder.empty() && unlink(unitPath(name).c_str()) != 0 && errno != ENOENT)
        return errno;
    return m_manager.run({"daemon-reload"});
}
