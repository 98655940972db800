#include "ImageFileCommands.h"

#include "RenameRules.h"
#include "ThmCompanion.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>

namespace {

std::string localPath(const QString &path)
{
    return QFile::encodeName(path).toStdString();
}

bool exists(const QString &path)
{
    // A dangling link still holds the name.
    return QFileInfo(path).exists() || QFileInfo(path).isSymLink();
}

}  // namespace

DeleteImageResult deleteImageFiles(const FileNameCalls &calls, const QString &path,
                                   const std::function<void(std::string)> &log)
{
    DeleteImageResult result;
    // Looked up first: the search must not depend on the image still being there.
    const std::optional<QString> thm = findThmCompanion(path);
    if (calls.unlink(localPath(path).c_str()) != 0) {
        result.error = errno;
        return result;
    }
    result.deleted = true;
    if (!thm)
        return result;
    result.thmPath = *thm;
    if (calls.unlink(localPath(*thm).c_str()) == 0) {
        result.thmDeleted = true;
    } else if (log) {
        const int error = errno;
        log("Unable to delete " + localPath(*thm) + ": " + std::strerror(error));
    }
    return result;
}

DeleteImageResult deleteImageFiles(const QString &path, const std::function<void(std::string)> &log)
{
    return deleteImageFiles(FileNameCalls::system(), path, log);
}

RenameImageResult renameImageFiles(const FileNameCalls &calls, const QString &path, const QString &newName)
{
    RenameImageResult result;
    const ImagePathParts oldParts = splitImagePath(path);
    const ImagePathParts newParts = splitImagePath(newName);
    result.newPath = oldParts.directory + newParts.base + newParts.extension;
    if (exists(result.newPath)) {
        result.outcome = RenameOutcome::ImageNameTaken;
        return result;
    }

    if (newParts.extension.compare(QStringLiteral(".crw"), Qt::CaseInsensitive) == 0) {
        if (const std::optional<QString> oldThm =
                findFileIgnoringCase(oldParts.directory, oldParts.base + QStringLiteral(".thm"))) {
            // The THM keeps its own extension, so the pair keeps matching case.
            const QString thmExtension = splitImagePath(*oldThm).extension;
            result.oldThmPath = *oldThm;
            result.newThmPath = oldParts.directory + newParts.base + thmExtension;
            if (findFileIgnoringCase(oldParts.directory, newParts.base + thmExtension)) {
                result.outcome = RenameOutcome::ThmNameTaken;
                return result;
            }
        }
    }

    if (const int error = renameNoReplace(calls, localPath(path), localPath(result.newPath)); error != 0) {
        result.outcome = RenameOutcome::ImageFailed;
        result.error = error;
        return result;
    }
    if (!result.oldThmPath.isEmpty()) {
        if (const int error = renameNoReplace(calls, localPath(result.oldThmPath), localPath(result.newThmPath));
            error != 0) {
            result.outcome = RenameOutcome::ThmFailed;
            result.error = error;
            return result;
        }
    }
    result.outcome = RenameOutcome::Renamed;
    return result;
}

RenameImageResult renameImageFiles(const QString &path, const QString &newName)
{
    return renameImageFiles(FileNameCalls::system(), path, newName);
}
