#include "RenameRules.h"

ImagePathParts splitImagePath(const QString &path)
{
    ImagePathParts parts;
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    parts.directory = path.left(slash + 1);
    const QString name = path.mid(slash + 1);
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    parts.base = dot < 0 ? name : name.left(dot);
    parts.extension = dot < 0 ? QString() : name.mid(dot);
    return parts;
}

QString renameRefusal(const QString &newName, const QString &keptExtension)
{
    static const QString forbidden = QStringLiteral("\\/:*?\"<>|");
    for (const QChar c : newName)
        if (forbidden.contains(c))
            return RenameTexts::invalidCharacters;
    if (newName.size() >= kRefusedNameLength)
        return RenameTexts::tooLong + newName;
    if (splitImagePath(newName).extension.compare(keptExtension, Qt::CaseInsensitive) != 0)
        return RenameTexts::extensionChanged;
    return QString();
}

QString renameLabel(const QString &oldName)
{
    return QStringLiteral("Rename '") + oldName + QStringLiteral("' to:");
}
