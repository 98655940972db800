#include "NoReplaceRename.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

FileNameCalls FileNameCalls::system()
{
    FileNameCalls calls;
    calls.renameNoReplace = [](const char *from, const char *to) {
        return ::renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE);
    };
    calls.link = [](const char *from, const char *to) { return ::link(from, to); };
    calls.rename = [](const char *from, const char *to) { return ::rename(from, to); };
    calls.open = [](const char *path, int flags, mode_t mode) { return ::open(path, flags, mode); };
    calls.close = [](int fd) { return ::close(fd); };
    calls.unlink = [](const char *path) { return ::unlink(path); };
    return calls;
}

namespace {

bool refusesNoReplaceRename(int error)
{
    return error == EINVAL || error == ENOSYS || error == EOPNOTSUPP;
}

bool refusesHardLinks(int error)
{
    return error == EPERM || error == EOPNOTSUPP || error == ENOSYS || error == EINVAL;
}

}  // namespace

int renameNoReplace(const FileNameCalls &calls, const std::string &from, const std::string &to)
{
    if (calls.renameNoReplace(from.c_str(), to.c_str()) == 0)
        return 0;
    int error = errno;
    if (!refusesNoReplaceRename(error))
        return error;

    if (calls.link(from.c_str(), to.c_str()) == 0) {
        if (calls.unlink(from.c_str()) == 0)
            return 0;
        // Both names lead to the file now: take the new one back.
        error = errno;
        calls.unlink(to.c_str());
        return error;
    }
    error = errno;
    if (!refusesHardLinks(error))
        return error;

    // An empty file holds the name; only it can be replaced by the rename.
    const int fd = calls.open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0)
        return errno;
    calls.close(fd);
    if (calls.rename(from.c_str(), to.c_str()) == 0)
        return 0;
    error = errno;
    calls.unlink(to.c_str());
    return error;
}
