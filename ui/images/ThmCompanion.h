// The THM file a camera writes beside each raw CRW image. File names are
// case-sensitive here while cameras and card readers disagree on the case
// of extensions, so the companion is looked up ignoring case.
#ifndef QUILLOMAT_UI_IMAGES_THMCOMPANION_H
#define QUILLOMAT_UI_IMAGES_THMCOMPANION_H

#include <QString>

#include <optional>

// The file in `directory` (ending in '/', or empty for the current folder)
// whose name equals `name` ignoring case; the exact name wins when several
// differ only in case.
std::optional<QString> findFileIgnoringCase(const QString &directory, const QString &name);

// The THM beside a CRW image: directory + base + ".thm" in any case. Nothing
// for a path that does not end in ".crw" or when no such file exists.
std::optional<QString> findThmCompanion(const QString &crwPath);

#endif
