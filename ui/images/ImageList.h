// The images saved in this run, oldest first, and the one on show: the
// window's browsing rules (stepping with wrap-around, the title) and the
// list side of Delete and Rename, with the files and their THM companions.
// A list model, so that the main window, the session strip and the IPC side
// all follow the same list; it shows nothing and asks nothing itself.
#ifndef QUILLOMAT_UI_IMAGES_IMAGELIST_H
#define QUILLOMAT_UI_IMAGES_IMAGELIST_H

#include "ImageFileCommands.h"

#include <QAbstractListModel>
#include <QString>

#include <functional>
#include <optional>
#include <string>
#include <vector>

// One image saved in this run.
struct ImageEntry {
    QString path;
    int rotation = 0;
};

class ImageList : public QAbstractListModel {
    Q_OBJECT
public:
    enum Role {
        PathRole = Qt::UserRole + 1,  // the full path (QString)
        RotationRole,                 // the rotation recorded for it (int)
        CurrentRole,                  // true for the image on show
    };

    explicit ImageList(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    // Qt::DisplayRole is the file name; the roles above the rest.
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

    const std::vector<ImageEntry> &entries() const { return m_entries; }
    int count() const { return static_cast<int>(m_entries.size()); }
    // -1 for none; may be left out of range by the caller, so the range, not
    // the sign, says whether there is a current image.
    int currentIndex() const { return m_current; }
    bool hasCurrent() const { return m_current >= 0 && m_current < count(); }
    // The current image's path, empty when there is none.
    QString currentPath() const;

    // A saved image goes at the end and becomes current.
    void append(const QString &path, int rotation);
    void setCurrentIndex(int index);
    void setCurrentRotation(int rotation);

    // Where "<" and ">" go from here, wrapping at both ends; nothing when
    // they stop (an empty list; for "<" also a single current entry).
    std::optional<int> previousIndex() const;
    std::optional<int> nextIndex() const;

    // "Quillomat", or "Quillomat - <path> - [n of m]" with a current image.
    QString title() const;

    // The index of the entry with `path`, preferring `expected`: the list may
    // have grown while a question was open. -1 when it is gone.
    int indexOf(const QString &path, int expected) const;

    // Deletes the files of the entry with `path` (its THM too) and, when the
    // image is gone, the entry. The current index is then the entry before
    // the one that moved into its place, so that stepping forward shows that
    // one (the first after the last); -1 when the list is empty.
    DeleteImageResult deleteImage(const QString &path, int expected, const std::function<void(std::string)> &log);
    // Renames the files of the entry with `path` to `newName` (its THM too);
    // the entry follows once the image has its new name.
    RenameImageResult renameImage(const QString &path, int expected, const QString &newName);

    static QString programName();

signals:
    // The image on show changed: another entry, or none (-1).
    void currentChanged(int index);

private:
    void rowChanged(int row, const QList<int> &roles);

    std::vector<ImageEntry> m_entries;
    int m_current = -1;
};

#endif
