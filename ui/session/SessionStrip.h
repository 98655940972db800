// The "Session" window: the images saved in this run, oldest first, as
// thumbnails with their names, the current one marked. A window of its own
// beside the main window, never docked into it, so the main window's layouts
// keep fitting their screen. It follows the image list: new shots appear at
// the end, deleted and renamed ones change at once. A click asks the owner
// to show that image; the strip itself changes nothing.
#ifndef QUILLOMAT_UI_SESSION_SESSIONSTRIP_H
#define QUILLOMAT_UI_SESSION_SESSIONSTRIP_H

#include <QWidget>

class ImageList;
class QListView;
class ThumbnailCache;

class SessionStrip : public QWidget {
    Q_OBJECT
public:
    SessionStrip(ImageList &images, QWidget *owner);

    QListView *view() const { return m_view; }
    ThumbnailCache &thumbnails() const { return *m_thumbnails; }

signals:
    // The user clicked the image at `index`.
    void imageChosen(int index);
    // The user closed the window.
    void closed();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void showCurrent();

    ImageList &m_images;
    ThumbnailCache *m_thumbnails = nullptr;
    QListView *m_view = nullptr;
};

#endif
