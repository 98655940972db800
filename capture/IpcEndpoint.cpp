#include "IpcEndpoint.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

constexpr const char *kSocketName = "Quillomat.ipc";

// True when `folder` is a real directory (not a link) of this user that no
// one else may write into; a missing one is made when `create` is set.
bool usableFolder(const std::string &folder, bool create, std::string &error)
{
    struct stat info {};
    if (::lstat(folder.c_str(), &info) != 0) {
        if (errno != ENOENT || !create) {
            error = folder + ": " + std::strerror(errno);
            return false;
        }
        if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
            error = "cannot create " + folder + ": " + std::strerror(errno);
            return false;
        }
        if (::lstat(folder.c_str(), &info) != 0) {
            error = folder + ": " + std::strerror(errno);
            return false;
        }
    }
    if (!S_ISDIR(info.st_mode)) {
        error = folder + " is not a directory";
        return false;
    }
    if (info.st_uid != ::geteuid()) {
        error = folder + " belongs to another user";
        return false;
    }
    if ((info.st_mode & 0077) != 0 && ::chmod(folder.c_str(), 0700) != 0) {
        error = folder + " is open to other users and cannot be closed: " + std::strerror(errno);
        return false;
    }
    return true;
}

}  // namespace

std::string ipcBlockName()
{
    return "/Quillomat-" + std::to_string(::geteuid());
}

std::optional<std::string> ipcSocketPath(const char *runtimeDirectory, const std::string &fallbackRoot,
                                         bool createFolder, std::string &error)
{
    std::string folder;
    if (runtimeDirectory && runtimeDirectory[0] == '/') {
        folder = runtimeDirectory;
    } else {
        folder = fallbackRoot + "/quillomat-" + std::to_string(::geteuid());
        if (!usableFolder(folder, createFolder, error))
            return std::nullopt;
    }
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    std::string path = (folder == "/" ? std::string() : folder) + "/" + kSocketName;
    if (path.size() >= sizeof(sockaddr_un{}.sun_path)) {
        error = path + " is too long for a socket address";
        return std::nullopt;
    }
    return path;
}

std::optional<std::string> ipcSocketPath(bool createFolder, std::string &error)
{
    return ipcSocketPath(std::getenv("XDG_RUNTIME_DIR"), "/tmp", createFolder, error);
}
