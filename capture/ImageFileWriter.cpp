#include "ImageFileWriter.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace {

// Enough for any number of writers racing for names; only reached when names
// keep being taken between the scan and the claim.
constexpr int kMaxNameAttempts = 1000;
constexpr int kMaxTemporaryAttempts = 100;

std::string directoryOf(const std::string &fileBase)
{
    const std::size_t slash = fileBase.rfind('/');
    return slash == std::string::npos ? std::string() : fileBase.substr(0, slash + 1);
}

ImageFileStatus statusOfWriteError(int error)
{
    return error == ENOSPC || error == EDQUOT ? ImageFileStatus::DiskFull : ImageFileStatus::WriteError;
}

int writeAll(int fd, const void *data, std::size_t size)
{
    const char *bytes = static_cast<const char *>(data);
    while (size > 0) {
        const ssize_t written = ::write(fd, bytes, size);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        if (written == 0)  // a write that makes no progress means no room
            return ENOSPC;
        bytes += written;
        size -= static_cast<std::size_t>(written);
    }
    return 0;
}

// Gives the temporary file the final name unless that name exists.
// Returns 0, EEXIST when the name is taken, or another errno.
int claimName(const std::string &temporary, const std::string &path)
{
    if (::renameat2(AT_FDCWD, temporary.c_str(), AT_FDCWD, path.c_str(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP)
        return errno;
    // A file system without the no-replace rename: a hard link also fails on
    // an existing name.
    if (::link(temporary.c_str(), path.c_str()) != 0)
        return errno;
    ::unlink(temporary.c_str());
    return 0;
}

void syncDirectory(const std::string &directory)
{
    const int fd = ::open(directory.empty() ? "." : directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

} // namespace

ImageFileResult writeImageFile(ImageKind kind, const ImageDirectorySettings &settings, const LocalDate &date,
                               const void *data, std::size_t size)
{
    ensureDirectory(imageDirectory(settings, date));
    const std::string fileBase = imageFileBase(settings, date);
    const std::string directory = directoryOf(fileBase);

    ImageFileResult result;
    result.path = fileBase + imageFileName(kind, nextImageNumber(kind, scanImageNumbers(fileBase)));

    std::string temporary;
    int fd = -1;
    for (int attempt = 0; attempt < kMaxTemporaryAttempts && fd < 0; ++attempt) {
        // Unique enough across processes and threads; a clash only costs a retry.
        const auto tick = std::chrono::steady_clock::now().time_since_epoch().count();
        temporary = directory + ".Quillomat-" + std::to_string(::getpid()) + '-' + std::to_string(tick) + '-'
                    + std::to_string(attempt) + ".tmp";
        fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST)
            break;
    }
    if (fd < 0) {
        result.status = ImageFileStatus::CannotCreate;
        result.error = errno;
        return result;
    }

    int error = writeAll(fd, data, size);
    if (error == 0 && ::fsync(fd) != 0)
        error = errno;
    if (::close(fd) != 0 && error == 0 && errno != EINTR)
        error = errno;
    if (error != 0) {
        ::unlink(temporary.c_str());
        result.status = statusOfWriteError(error);
        result.error = error;
        return result;
    }

    int64_t minimum = 0;
    for (int attempt = 0; attempt < kMaxNameAttempts; ++attempt) {
        const int64_t number = std::max(minimum, nextImageNumber(kind, scanImageNumbers(fileBase)));
        result.path = fileBase + imageFileName(kind, number);
        error = claimName(temporary, result.path);
        if (error == 0) {
            syncDirectory(directory);
            result.status = ImageFileStatus::Written;
            result.error = 0;
            return result;
        }
        if (error != EEXIST)
            break;
        minimum = number + 1;
    }
    ::unlink(temporary.c_str());
    result.status = ImageFileStatus::CannotCreate;
    result.error = error;
    return result;
}
