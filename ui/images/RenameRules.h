// The rules of the Rename command: how an image path splits into its parts,
// and which new names are refused, checked in a fixed order with the texts
// the user sees.
#ifndef QUILLOMAT_UI_IMAGES_RENAMERULES_H
#define QUILLOMAT_UI_IMAGES_RENAMERULES_H

#include <QString>

// "/photos/IMG_0001.JPG" -> "/photos/", "IMG_0001", ".JPG". The extension
// starts at the name's last dot and is empty without one.
struct ImagePathParts {
    QString directory;  // up to and including the last '/', empty for a bare name
    QString base;
    QString extension;

    QString name() const { return base + extension; }
};

ImagePathParts splitImagePath(const QString &path);

// A file name is refused from this length on.
constexpr int kRefusedNameLength = 32;

// Why `newName` cannot replace a name whose extension is `keptExtension`
// (the characters first, then the length, then the extension); empty when
// it is accepted.
QString renameRefusal(const QString &newName, const QString &keptExtension);

// The label above the new name.
QString renameLabel(const QString &oldName);

namespace RenameTexts {
inline const QString invalidCharacters = QStringLiteral(
    "Filename prefix must not contain any of the following characters:\n\\/:*?\"<>|");
inline const QString tooLong = QStringLiteral("Filenames must be no more than 31 characters long:\n");
inline const QString extensionChanged = QStringLiteral("The file extension must not be changed");
inline const QString imageExists = QStringLiteral(
    "Unable to rename image because there is already\nan image with the same name");
inline const QString thmExists = QStringLiteral(
    "Unable to rename image because there is already\nan THM file with the same name");
inline const QString failed = QStringLiteral("Error renaming image");
inline const QString renamedTo = QStringLiteral("Renamed to: ");
}  // namespace RenameTexts

#endif
