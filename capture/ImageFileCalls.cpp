#include "ImageFileCalls.h"

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

ImageFileCalls ImageFileCalls::system()
{
    ImageFileCalls calls;
    calls.open = [](const char *path, int flags, mode_t mode) { return ::open(path, flags, mode); };
    calls.write = [](int fd, const void *data, std::size_t size) { return ::write(fd, data, size); };
    calls.fsync = [](int fd) { return ::fsync(fd); };
    calls.close = [](int fd) { return ::close(fd); };
    calls.renameNoReplace = [](const char *from, const char *to) {
        return ::renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE);
    };
    calls.link = [](const char *from, const char *to) { return ::link(from, to); };
    calls.unlink = [](const char *path) { return ::unlink(path); };
    return calls;
}
