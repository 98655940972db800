// The small picture of a saved image as the session strip shows it: the
// thumbnail the camera put into the JPEG's EXIF block (its second image,
// IFD1), or the THM beside a raw CRW. Files without one are decoded at a
// reduced scale instead. Runs on any thread: no widgets, no shared state.
#ifndef QUILLOMAT_UI_SESSION_IMAGETHUMBNAIL_H
#define QUILLOMAT_UI_SESSION_IMAGETHUMBNAIL_H

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

// The JPEG bytes of the EXIF thumbnail in `jpeg` (the start of a JPEG file is
// enough: the EXIF block comes first); empty when there is none or it lies
// outside the bytes given.
QByteArray exifThumbnail(const QByteArray &jpeg);

// The thumbnail of the image file at `path`, fitted into `box` and turned by
// `rotation` degrees (0, 90, 180, 270); null when nothing could be read.
QImage readImageThumbnail(const QString &path, QSize box, int rotation);

#endif
