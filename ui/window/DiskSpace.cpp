#include "DiskSpace.h"

#include "FormatSize.h"
#include "ImageNaming.h"

#include <QFile>

#include <cerrno>
#include <filesystem>
#include <sys/statvfs.h>

namespace {

FreeSpaceAnswer statvfsFreeSpace(const std::string &folder)
{
    struct statvfs info {};
    if (::statvfs(folder.c_str(), &info) != 0)
        return {std::nullopt, errno};
    return {static_cast<uint64_t>(info.f_bavail) * static_cast<uint64_t>(info.f_frsize), 0};
}

// The folder itself when it exists, else its nearest existing parent.
std::optional<std::string> nearestExistingFolder(const std::string &path)
{
    std::error_code error;
    std::filesystem::path folder(path);
    while (true) {
        if (std::filesystem::is_directory(folder, error))
            return folder.string();
        if (!folder.has_relative_path())
            return std::nullopt;
        const std::filesystem::path parent = folder.parent_path();
        if (parent == folder)
            return std::nullopt;
        folder = parent;
    }
}

}  // namespace

QString diskSpaceText(const QString &baseDirectory)
{
    return diskSpaceText(baseDirectory, isNetworkPath, statvfsFreeSpace);
}

QString diskSpaceText(const QString &baseDirectory, const std::function<bool(const std::string &)> &isNetwork,
                      const std::function<FreeSpaceAnswer(const std::string &)> &freeSpace)
{
    static const QString invalid = QStringLiteral("Invalid drive");
    const std::string path = QFile::encodeName(baseDirectory).toStdString();
    if (path.size() > 2 && path.starts_with("//"))
        return QStringLiteral("<network drive>");
    if (!path.starts_with('/'))
        return invalid;
    const std::optional<std::string> folder = nearestExistingFolder(path);
    if (!folder)
        return invalid;
    if (isNetwork(*folder))
        return QStringLiteral("<network drive>");
    const FreeSpaceAnswer answer = freeSpace(*folder);
    if (!answer.freeBytes) {
        if (answer.error == ENOENT || answer.error == ENOTDIR)
            return invalid;
        return QString::asprintf("Error: %d", answer.error);
    }
    return formatSize(*answer.freeBytes / 1024) + QStringLiteral(" free");
}
