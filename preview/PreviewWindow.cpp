#include "PreviewWindow.h"

#include "ClippingMarks.h"
#include "PreviewDecoder.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>

#include <algorithm>
#include <cstdint>

namespace {

constexpr int kLineStep = 10;
constexpr int kWheelNotch = 120;
constexpr int kWheelStep = 60;

// Wait cursor for as long as it lives.
class WaitCursor
{
public:
    WaitCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QGuiApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor &) = delete;
    WaitCursor &operator=(const WaitCursor &) = delete;
};

} // namespace

PreviewWindow::PreviewWindow(QWidget *owner)
    : QAbstractScrollArea(owner)
{
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMaximizeButtonHint
                   | Qt::WindowCloseButtonHint);
    setWindowTitle(QStringLiteral("Image Preview"));
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    horizontalScrollBar()->setSingleStep(kLineStep);
    verticalScrollBar()->setSingleStep(kLineStep);
    // Page moves are 4/5 of the client area, while the scroll bar's page (its
    // thumb) is the whole client area.
    connect(horizontalScrollBar(), &QScrollBar::actionTriggered, this,
            [this](int action) { pageStep(horizontalScrollBar(), action, viewport()->width()); });
    connect(verticalScrollBar(), &QScrollBar::actionTriggered, this,
            [this](int action) { pageStep(verticalScrollBar(), action, viewport()->height()); });
    // 461 x 345 dialog units.
    const QFontMetrics metrics = fontMetrics();
    resize(461 * metrics.averageCharWidth() / 4, 345 * metrics.height() / 8);

    if (qGuiApp != nullptr) {
        connect(qGuiApp, &QGuiApplication::applicationStateChanged, this,
                [this](Qt::ApplicationState state) { setProgramActive(state == Qt::ApplicationActive); });
        setProgramActive(QGuiApplication::applicationState() == Qt::ApplicationActive);
    }
}

bool PreviewWindow::viewImage(const unsigned char *data, std::size_t length, int rotation, QString &error)
{
    m_visible = true;
    // Shown first, so the image is placed in the window's real client area.
    show();
    raise();
    activateWindow();
    return showImage(data, length, rotation, error);
}

bool PreviewWindow::showImage(const unsigned char *data, std::size_t length, int rotation, QString &error)
{
    if (!m_visible)
        return true;
    WaitCursor wait;
    if (data == nullptr || length == 0) {
        m_rotation = rotation;
        // The scroll bars keep their ranges; only the picture goes.
        m_image = QImage();
        viewport()->update();
        return true;
    }
    QImage decoded;
    if (!decodeFullImage(data, length, rotation, decoded, error))
        return false;
    m_rotation = rotation;
    setWindowIcon(QGuiApplication::windowIcon());

    // Read before the new ranges are set: they would clamp the positions.
    const QSize previousImage = m_scrollSize;
    const QSize previousPage(horizontalScrollBar()->pageStep(), verticalScrollBar()->pageStep());
    const QPoint previousPosition(horizontalScrollBar()->value(), verticalScrollBar()->value());
    m_image = decoded.convertToFormat(QImage::Format_RGB32);
    if (m_clippingMarks)
        markClipping(m_image);
    m_scrollSize = m_image.size();
    setWindowTitle(QStringLiteral("Image Preview (%1x%2)").arg(m_image.width()).arg(m_image.height()));
    placeScrollPositions(previousImage, previousPage, previousPosition);
    viewport()->update();
    return true;
}

void PreviewWindow::placeScrollPositions(const QSize &previousImage, const QSize &previousPage,
                                         const QPoint &previousPosition)
{
    // Scroll bars appearing or going shrink or grow the client area: let it settle first.
    updateScrollRanges();
    updateScrollRanges();
    const QSize client = viewport()->size();
    const QSize image = m_image.size();
    QScrollBar *bars[2] = {horizontalScrollBar(), verticalScrollBar()};
    int positions[2] = {previousPosition.x(), previousPosition.y()};
    const int imageSizes[2] = {image.width(), image.height()};
    const int clientSizes[2] = {client.width(), client.height()};
    const int previousSizes[2] = {previousImage.width(), previousImage.height()};
    const int previousPages[2] = {previousPage.width(), previousPage.height()};
    for (int axis = 0; axis < 2; ++axis) {
        if (!m_scrollInitialised) {
            positions[axis] = (imageSizes[axis] - clientSizes[axis]) / 2;
        } else if (imageSizes[axis] != previousSizes[axis] && positions[axis] > 0 && previousSizes[axis] > 0
                   && clientSizes[axis] < imageSizes[axis]) {
            // Keep the point at the centre of the view where it was.
            positions[axis] = int((std::int64_t(previousPages[axis]) / 2 + positions[axis]) * imageSizes[axis]
                                      / previousSizes[axis]
                                  - clientSizes[axis] / 2);
        }
    }
    m_scrollInitialised = true;
    updateScrollRanges();
    bars[0]->setValue(positions[0]);
    bars[1]->setValue(positions[1]);
}

void PreviewWindow::updateScrollRanges()
{
    const QSize client = viewport()->size();
    const QSize image = m_scrollSize;
    horizontalScrollBar()->setPageStep(client.width());
    verticalScrollBar()->setPageStep(client.height());
    horizontalScrollBar()->setRange(0, std::max(0, image.width() - client.width()));
    verticalScrollBar()->setRange(0, std::max(0, image.height() - client.height()));
}

void PreviewWindow::pageStep(QScrollBar *bar, int action, int clientSize)
{
    const int step = clientSize * 4 / 5;
    if (action == QAbstractSlider::SliderPageStepAdd)
        bar->setSliderPosition(std::clamp(bar->value() + step, bar->minimum(), bar->maximum()));
    else if (action == QAbstractSlider::SliderPageStepSub)
        bar->setSliderPosition(std::clamp(bar->value() - step, bar->minimum(), bar->maximum()));
}

bool PreviewWindow::scrollBy(QScrollBar *bar, int delta)
{
    const int before = bar->value();
    bar->setValue(std::clamp(before + delta, bar->minimum(), bar->maximum()));
    return bar->value() != before;
}

void PreviewWindow::paintEvent(QPaintEvent *)
{
    QPainter painter(viewport());
    painter.fillRect(viewport()->rect(), palette().window());
    if (m_image.isNull())
        return;
    const QSize client = viewport()->size();
    // Centred in a direction where the image is smaller than the view.
    const int x = m_image.width() < client.width() ? (client.width() - m_image.width()) / 2
                                                   : -horizontalScrollBar()->value();
    const int y = m_image.height() < client.height() ? (client.height() - m_image.height()) / 2
                                                     : -verticalScrollBar()->value();
    painter.drawImage(QPoint(x, y), m_image);
}

void PreviewWindow::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    updateScrollRanges();
    viewport()->update();
}

void PreviewWindow::scrollContentsBy(int, int)
{
    viewport()->update();
}

void PreviewWindow::wheelEvent(QWheelEvent *event)
{
    // Whole notches only: a partial one does nothing.
    const int notches = event->angleDelta().y() / kWheelNotch;
    if (scrollBy(verticalScrollBar(), -notches * kWheelStep))
        viewport()->update();
    event->accept();
}

void PreviewWindow::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mousePressEvent(event);
        return;
    }
    // The press grabs the mouse until release, so moves outside still drag.
    m_dragging = true;
    m_cursorBeforeDrag = viewport()->cursor();
    viewport()->setCursor(Qt::SizeAllCursor);
    m_lastDragPoint = event->position().toPoint();
    event->accept();
}

void PreviewWindow::mouseMoveEvent(QMouseEvent *event)
{
    if (!m_dragging) {
        QAbstractScrollArea::mouseMoveEvent(event);
        return;
    }
    const QPoint point = event->position().toPoint();
    const QPoint delta = m_lastDragPoint - point;
    // Both directions move, even if the first changed nothing.
    const bool movedX = scrollBy(horizontalScrollBar(), delta.x());
    const bool movedY = scrollBy(verticalScrollBar(), delta.y());
    if (movedX || movedY)
        viewport()->update();
    m_lastDragPoint = point;
    event->accept();
}

void PreviewWindow::mouseReleaseEvent(QMouseEvent *event)
{
    if (!m_dragging || event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mouseReleaseEvent(event);
        return;
    }
    m_dragging = false;
    viewport()->setCursor(m_cursorBeforeDrag);
    event->accept();
}

void PreviewWindow::keyPressEvent(QKeyEvent *event)
{
    event->accept();
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    if (!event->isAutoRepeat())
        emit keyForwarded(event->keyCombination());
}

void PreviewWindow::closeEvent(QCloseEvent *event)
{
    m_visible = false;
    m_dragging = false;
    event->accept();
    if (QWidget *owner = parentWidget())
        owner->activateWindow();
    emit closed();
}

void PreviewWindow::setProgramActive(bool active)
{
    if (active == m_onTop)
        return;
    m_onTop = active;
    // Changing the flags hides a window; show it again if it was on show.
    const bool shown = isVisible();
    setWindowFlag(Qt::WindowStaysOnTopHint, active);
    if (shown)
        show();
}
