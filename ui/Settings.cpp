#include "Settings.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

QString defaultBaseDirectory()
{
    QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    if (pictures.isEmpty())
        pictures = QDir::homePath();
    return pictures + QStringLiteral("/Quillomat");
}

ImageDirectorySettings imageDirectorySettings(const Settings &settings)
{
    ImageDirectorySettings result;
    // File names in the file system's own encoding.
    result.baseDirectory = QFile::encodeName(settings.baseDirectory).toStdString();
    result.filenamePrefix = QFile::encodeName(settings.filenamePrefix).toStdString();
    result.yearSubDir = settings.yearSubDir != 0;
    result.monthSubDir = settings.monthSubDir != 0;
    result.daySubDir = settings.daySubDir != 0;
    result.flattenDate = settings.flattenDate != 0;
    return result;
}
