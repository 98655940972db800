// The system calls the image writer makes, gathered so that a test can make
// one of them fail the way a file system would (an SMB share that refuses
// the no-replace rename, a FUSE mount that refuses hard links). Each behaves
// like the call it stands for: -1 with errno set on failure.
#ifndef QUILLOMAT_CAPTURE_IMAGEFILECALLS_H
#define QUILLOMAT_CAPTURE_IMAGEFILECALLS_H

#include <cstddef>
#include <functional>
#include <sys/types.h>

struct ImageFileCalls {
    // open(2) with a mode: the writer only creates files.
    std::function<int(const char *path, int flags, mode_t mode)> open;
    std::function<ssize_t(int fd, const void *data, std::size_t size)> write;
    std::function<int(int fd)> fsync;
    std::function<int(int fd)> close;
    // renameat2(RENAME_NOREPLACE): fails with EEXIST when `to` exists.
    std::function<int(const char *from, const char *to)> renameNoReplace;
    std::function<int(const char *from, const char *to)> link;
    std::function<int(const char *path)> unlink;

    // The real calls.
    static ImageFileCalls system();
};

#endif
