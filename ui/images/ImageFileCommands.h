// What the Delete and Rename commands do on disk: an image file together
// with the THM beside a raw CRW.
#ifndef QUILLOMAT_UI_IMAGES_IMAGEFILECOMMANDS_H
#define QUILLOMAT_UI_IMAGES_IMAGEFILECOMMANDS_H

#include "NoReplaceRename.h"

#include <QString>

#include <functional>
#include <string>

struct DeleteImageResult {
    bool deleted = false;  // the image file is gone
    int error = 0;         // errno when it is not
    QString thmPath;       // the companion found beside a CRW, empty when none
    bool thmDeleted = false;
};

// Deletes the image; for a CRW also its THM (found ignoring case). A THM that
// cannot be deleted does not fail the command; it leaves a line in `log`.
DeleteImageResult deleteImageFiles(const FileNameCalls &calls, const QString &path,
                                   const std::function<void(std::string)> &log);
DeleteImageResult deleteImageFiles(const QString &path, const std::function<void(std::string)> &log);

enum class RenameOutcome {
    Renamed,         // the image (and its THM, if any) have their new names
    ImageNameTaken,  // a file has the new name: nothing renamed
    ThmNameTaken,    // a file has the THM's new name (in any case): nothing renamed
    ImageFailed,     // the image could not be renamed: nothing renamed
    ThmFailed,       // the image was renamed, its THM could not be
};

struct RenameImageResult {
    RenameOutcome outcome = RenameOutcome::ImageFailed;
    QString newPath;     // the image's new path
    QString oldThmPath;  // the CRW's THM and the name it was to take; empty for none
    QString newThmPath;
    int error = 0;       // errno of a failed rename

    bool imageRenamed() const { return outcome == RenameOutcome::Renamed || outcome == RenameOutcome::ThmFailed; }
};

// Renames the image at `path` to `newName` in its folder, and the THM beside
// a CRW to the new base name with the THM's own extension. Never replaces a
// file. `newName` has passed renameRefusal and differs from the old name
// other than in case.
RenameImageResult renameImageFiles(const FileNameCalls &calls, const QString &path, const QString &newName);
RenameImageResult renameImageFiles(const QString &path, const QString &newName);

#endif
