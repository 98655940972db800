// Renaming a file without ever replacing another: the rename fails with
// EEXIST when the new name is taken, also when that file appeared a moment
// before. File systems that refuse the no-replace rename (NFS, SMB, some
// FUSE mounts) get a hard link and an unlink; those that refuse links too
// get the new name claimed by an exclusive create, which the rename then
// replaces.
#ifndef QUILLOMAT_UI_IMAGES_NOREPLACERENAME_H
#define QUILLOMAT_UI_IMAGES_NOREPLACERENAME_H

#include <functional>
#include <string>
#include <sys/types.h>

// The system calls that rename and delete image files, so that a test can
// refuse one the way a file system would. Each returns -1 with errno set on
// failure.
struct FileNameCalls {
    std::function<int(const char *from, const char *to)> renameNoReplace;  // renameat2(RENAME_NOREPLACE)
    std::function<int(const char *from, const char *to)> link;
    std::function<int(const char *from, const char *to)> rename;            // rename(2), which replaces
    std::function<int(const char *path, int flags, mode_t mode)> open;
    std::function<int(int fd)> close;
    std::function<int(const char *path)> unlink;

    static FileNameCalls system();
};

// 0 when `from` now has the name `to`; otherwise the errno of the failure
// (EEXIST when `to` exists) and nothing has changed.
int renameNoReplace(const FileNameCalls &calls, const std::string &from, const std::string &to);
inline int renameNoReplace(const std::string &from, const std::string &to)
{
    return renameNoReplace(FileNameCalls::system(), from, to);
}

#endif
