#include "ImageList.h"

#include <QFileInfo>

ImageList::ImageList(QObject *parent) : QAbstractListModel(parent) {}

QString ImageList::programName()
{
    return QStringLiteral("Quillomat");
}

int ImageList::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : count();
}

QVariant ImageList::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() < 0 || index.row() >= count())
        return {};
    const ImageEntry &entry = m_entries[static_cast<size_t>(index.row())];
    switch (role) {
    case Qt::DisplayRole:
        return QFileInfo(entry.path).fileName();
    case Qt::ToolTipRole:
    case PathRole:
        return entry.path;
    case RotationRole:
        return entry.rotation;
    case CurrentRole:
        return index.row() == m_current;
    default:
        return {};
    }
}

QString ImageList::currentPath() const
{
    return hasCurrent() ? m_entries[static_cast<size_t>(m_current)].path : QString();
}

void ImageList::append(const QString &path, int rotation)
{
    const int row = count();
    beginInsertRows(QModelIndex(), row, row);
    m_entries.push_back({path, rotation});
    endInsertRows();
    setCurrentIndex(row);
}

void ImageList::rowChanged(int row, const QList<int> &roles)
{
    if (row >= 0 && row < count())
        emit dataChanged(index(row), index(row), roles);
}

void ImageList::setCurrentIndex(int index)
{
    if (index == m_current)
        return;
    const int old = m_current;
    m_current = index;
    rowChanged(old, {CurrentRole});
    rowChanged(index, {CurrentRole});
    emit currentChanged(index);
}

void ImageList::setCurrentRotation(int rotation)
{
    if (!hasCurrent())
        return;
    m_entries[static_cast<size_t>(m_current)].rotation = rotation;
    rowChanged(m_current, {RotationRole});
}

std::optional<int> ImageList::previousIndex() const
{
    if (count() == 0 || (count() == 1 && hasCurrent()))
        return std::nullopt;
    const int index = hasCurrent() ? m_current - 1 : count() - 1;
    return index < 0 ? count() - 1 : index;
}

std::optional<int> ImageList::nextIndex() const
{
    if (count() == 0)
        return std::nullopt;
    const int index = hasCurrent() ? m_current + 1 : 0;
    return index >= count() ? 0 : index;
}

QString ImageList::title() const
{
    if (!hasCurrent())
        return programName();
    return programName() + QStringLiteral(" - ") + currentPath()
           + QString::asprintf(" - [%d of %d]", m_current + 1, count());
}

int ImageList::indexOf(const QString &path, int expected) const
{
    if (expected >= 0 && expected < count() && m_entries[static_cast<size_t>(expected)].path == path)
        return expected;
    for (size_t i = 0; i < m_entries.size(); ++i)
        if (m_entries[i].path == path)
            return static_cast<int>(i);
    return -1;
}

DeleteImageResult ImageList::deleteImage(const QString &path, int expected,
                                         const std::function<void(std::string)> &log)
{
    DeleteImageResult result = deleteImageFiles(path, log);
    if (!result.deleted)
        return result;
    const int deleted = indexOf(path, expected);
    if (deleted >= 0) {
        beginRemoveRows(QModelIndex(), deleted, deleted);
        m_entries.erase(m_entries.begin() + deleted);
        endRemoveRows();
    }
    // Without the row the old current index means nothing: the step forward
    // from here lands on the entry that moved into the deleted place.
    m_current = m_entries.empty() ? -1 : (deleted >= 0 ? deleted : expected) - 1;
    rowChanged(m_current, {CurrentRole});
    emit currentChanged(m_current);
    return result;
}

RenameImageResult ImageList::renameImage(const QString &path, int expected, const QString &newName)
{
    RenameImageResult result = renameImageFiles(path, newName);
    if (!result.imageRenamed())
        return result;
    if (const int renamed = indexOf(path, expected); renamed >= 0) {
        m_entries[static_cast<size_t>(renamed)].path = result.newPath;
        rowChanged(renamed, {Qt::DisplayRole, Qt::ToolTipRole, PathRole});
    }
    return result;
}
