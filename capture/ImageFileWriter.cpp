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

int writeAll(const ImageFileCalls &calls, int fd, const void *data, std::size_t size)
{
    const char *bytes = static_cast<const char *>(data);
    while (size > 0) {
        const ssize_t written = calls.write(fd, bytes, size);
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

// Writes, flushes to disk and closes; returns 0 or the first errno.
int writeSyncAndClose(const ImageFileCalls &calls, int fd, const void *data, std::size_t size)
{
    int error = writeAll(calls, fd, data, size);
    if (error == 0 && calls.fsync(fd) != 0)
        error = errno;
    if (calls.close(fd) != 0 && error == 0 && errno != EINTR)
        error = errno;
    return error;
}

// How the final name is taken; each step is the fallback of the one before
// on file systems (NFS, SMB, some FUSE mounts) that refuse it.
enum class ClaimMethod {
    RenameNoReplace,  // the flushed temporary file is renamed, never over an existing name
    HardLink,         // the temporary file is linked to the name, which fails on an existing one
    ExclusiveWrite,   // the name is created with O_EXCL and the bytes written into it
};

bool refusesNoReplaceRename(int error)
{
    return error == EINVAL || error == ENOSYS || error == EOPNOTSUPP;
}

bool refusesHardLinks(int error)
{
    return error == EPERM || error == EOPNOTSUPP || error == ENOSYS || error == EINVAL;
}

struct Claim {
    int error = 0;              // 0, EEXIST when the name is taken, or another errno
    bool whileWriting = false;  // the name was created but writing into it failed (and it was removed)
};

// Gives the image the name `path` unless that name exists.
Claim claimName(const ImageFileCalls &calls, ClaimMethod &method, std::string &temporary, const std::string &path,
                const void *data, std::size_t size)
{
    if (method == ClaimMethod::RenameNoReplace) {
        if (calls.renameNoReplace(temporary.c_str(), path.c_str()) == 0)
            return {};
        if (!refusesNoReplaceRename(errno))
            return {errno};
        method = ClaimMethod::HardLink;
    }
    if (method == ClaimMethod::HardLink) {
        if (calls.link(temporary.c_str(), path.c_str()) == 0) {
            calls.unlink(temporary.c_str());
            return {};
        }
        if (!refusesHardLinks(errno))
            return {errno};
        method = ClaimMethod::ExclusiveWrite;
        // The bytes are still in memory: the temporary copy would only take room.
        calls.unlink(temporary.c_str());
        temporary.clear();
    }
    const int fd = calls.open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0)
        return {errno};
    if (const int error = writeSyncAndClose(calls, fd, data, size); error != 0) {
        calls.unlink(path.c_str());
        return {error, true};
    }
    return {};
}

void syncDirectory(const ImageFileCalls &calls, const std::string &directory)
{
    const int fd = calls.open(directory.empty() ? "." : directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0);
    if (fd >= 0) {
        calls.fsync(fd);
        calls.close(fd);
    }
}

} // namespace

ImageFileResult writeImageFile(ImageKind kind, const ImageDirectorySettings &settings, const LocalDate &date,
                               const void *data, std::size_t size)
{
    static const ImageFileCalls calls = ImageFileCalls::system();
    return writeImageFileUsing(calls, kind, settings, date, data, size);
}

ImageFileResult writeImageFileUsing(const ImageFileCalls &calls, ImageKind kind, const ImageDirectorySettings &settings,
                                    const LocalDate &date, const void *data, std::size_t size)
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
        fd = calls.open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST)
            break;
    }
    if (fd < 0) {
        result.status = ImageFileStatus::CannotCreate;
        result.error = errno;
        return result;
    }

    int error = writeSyncAndClose(calls, fd, data, size);
    if (error != 0) {
        calls.unlink(temporary.c_str());
        result.status = statusOfWriteError(error);
        result.error = error;
        return result;
    }

    ClaimMethod method = ClaimMethod::RenameNoReplace;
    int64_t minimum = 0;
    for (int attempt = 0; attempt < kMaxNameAttempts; ++attempt) {
        const int64_t number = std::max(minimum, nextImageNumber(kind, scanImageNumbers(fileBase)));
        result.path = fileBase + imageFileName(kind, number);
        const Claim claim = claimName(calls, method, temporary, result.path, data, size);
        if (claim.error == 0) {
            syncDirectory(calls, directory);
            result.status = ImageFileStatus::Written;
            result.error = 0;
            return result;
        }
        if (claim.whileWriting) {
            // Nothing is left behind: the partial file is gone, and so is the temporary one.
            result.status = statusOfWriteError(claim.error);
            result.error = claim.error;
            return result;
        }
        error = claim.error;
        if (error != EEXIST)
            break;
        minimum = number + 1;
    }
    if (!temporary.empty())
        calls.unlink(temporary.c_str());
    result.status = ImageFileStatus::CannotCreate;
    result.error = error;
    return result;
}
