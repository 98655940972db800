#include "ThmCompanion.h"

#include "RenameRules.h"

#include <QDir>
#include <QFileInfo>

std::optional<QString> findFileIgnoringCase(const QString &directory, const QString &name)
{
    if (name.isEmpty())
        return std::nullopt;
    if (QFileInfo(directory + name).isFile())
        return directory + name;
    const QDir folder(directory.isEmpty() ? QStringLiteral(".") : directory);
    const QStringList candidates =
        folder.entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    for (const QString &candidate : candidates)
        if (candidate.compare(name, Qt::CaseInsensitive) == 0)
            return directory + candidate;
    return std::nullopt;
}

std::optional<QString> findThmCompanion(const QString &crwPath)
{
    if (!crwPath.endsWith(QStringLiteral(".crw"), Qt::CaseInsensitive))
        return std::nullopt;
    const ImagePathParts parts = splitImagePath(crwPath);
    return findFileIgnoringCase(parts.directory, parts.base + QStringLiteral(".thm"));
}
