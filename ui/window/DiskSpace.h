// The free-space text at the bottom of the window, for the folder images are
// saved under.
#ifndef QUILLOMAT_UI_WINDOW_DISKSPACE_H
#define QUILLOMAT_UI_WINDOW_DISKSPACE_H

#include <QString>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

// What the file system answers for a folder: the bytes available to the
// user, or the error number.
struct FreeSpaceAnswer {
    std::optional<uint64_t> freeBytes;
    int error = 0;
};

// "<network drive>" for a network path; "<size> free" for the file system
// holding `baseDirectory` (or its nearest existing parent, since the first
// release creates the folder); "Invalid drive" for a relative path or one
// with no existing parent; "Error: <n>" for any other failure.
QString diskSpaceText(const QString &baseDirectory);

// The same with the file-system queries given (tests).
QString diskSpaceText(const QString &baseDirectory, const std::function<bool(const std::string &)> &isNetwork,
                      const std::function<FreeSpaceAnswer(const std::string &)> &freeSpace);

#endif
