// The "Image Preview" window: the current JPEG at full decoded size, with
// scroll bars, dragging with the mouse and the main window's shortcuts.
//
// The window is owned by the main window and starts hidden. Key presses are
// not handled here but handed on through keyForwarded, so whoever owns the
// shortcuts (the main window) can act on them while this window has the
// focus. While the program is the active application the window stays on
// top; when another application becomes active it stops doing so.
#ifndef QUILLOMAT_PREVIEW_PREVIEWWINDOW_H
#define QUILLOMAT_PREVIEW_PREVIEWWINDOW_H

#include <QAbstractScrollArea>
#include <QCursor>
#include <QImage>
#include <QKeyCombination>
#include <QPoint>
#include <QString>

#include <cstddef>

class QScrollBar;

class PreviewWindow : public QAbstractScrollArea
{
    Q_OBJECT

public:
    explicit PreviewWindow(QWidget *owner = nullptr);

    // The View Image command: marks the window visible, shows the image and
    // brings the window up on top without moving or resizing it. The window
    // opens even if the image cannot be decoded (the error is returned).
    bool viewImage(const unsigned char *data, std::size_t length, int rotation, QString &error);

    // Decodes at full size and shows the image, only while the window is
    // visible (otherwise returns true and does nothing). No bytes clears the
    // picture. If decoding fails, the image on show stays and false is returned.
    bool showImage(const unsigned char *data, std::size_t length, int rotation, QString &error);

    // Marks clipped pixels (ClippingMarks) on the images shown from now on.
    void setClippingMarks(bool on) { m_clippingMarks = on; }

    bool isPreviewVisible() const { return m_visible; }
    int rotation() const { return m_rotation; }
    // The size on show, after rotation (0 x 0 without an image).
    QSize displayedSize() const { return m_image.size(); }
    bool isDragging() const { return m_dragging; }

public slots:
    // Stays on top only while the program is the active application.
    void setProgramActive(bool active);

signals:
    // A key pressed in this window (not auto-repeats), for the owner's shortcuts.
    void keyForwarded(QKeyCombination key);
    // The user closed the window.
    void closed();

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;
    void wheelEvent(QWheelEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void updateScrollRanges();
    // The positions for a new image from those of the previous one.
    void placeScrollPositions(const QSize &previousImage, const QSize &previousPage, const QPoint &previousPosition);
    void pageStep(QScrollBar *bar, int action, int clientSize);
    // Moves by `delta`, clamped to the scroll range; true if the position changed.
    static bool scrollBy(QScrollBar *bar, int delta);

    QImage m_image;                 // what is painted (RGB32), empty without an image
    QSize m_scrollSize;             // the image size the scroll ranges were set for
    int m_rotation = 0;
    bool m_scrollInitialised = false;
    bool m_visible = false;
    bool m_clippingMarks = false;
    bool m_onTop = false;
    bool m_dragging = false;
    QCursor m_cursorBeforeDrag;
    QPoint m_lastDragPoint;
};

#endif
