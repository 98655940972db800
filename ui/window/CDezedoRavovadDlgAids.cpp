// The main window's shooting aids, each switched in Preferences: the
// camera's thumbnail on show while the full image crosses the cable,
// reconnecting a camera that comes back by itself, and clipping marks.
#include "CDezedoRavovadDlg.h"

#include "CameraReturnWatch.h"
#include "PreviewDecoder.h"
#include "PreviewWindow.h"
#include "WindowActions.h"

#include <QAction>
#include <QFont>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>

#include <algorithm>

namespace {

const QString kNotSavedText = QStringLiteral("Photo not saved");
const QString kWrongModelText = QStringLiteral("Error connecting to camera, incorrect camera type: ");

// A full-size preview is this wide (landscape) or this tall (portrait).
constexpr int kPreviewLongSide = 720;

}  // namespace

void CDezedoRavovadDlg::applyAidSettings()
{
    m_thumbnailsWanted.store(m_settings.thumbnailFirst != 0);
    const bool offered = m_settings.clippingMarks != 0;
    m_actions.showClipping->setVisible(offered);
    m_actions.showClipping->setEnabled(offered);
    m_actions.showClipping->setChecked(clippingShown());
    m_previewWindow->setClippingMarks(clippingShown());
    if (m_settings.autoReconnect == 0)
        m_returnWatch->stop();
}

bool CDezedoRavovadDlg::clippingShown() const
{
    return m_settings.clippingMarks != 0 && m_settings.showClipping != 0;
}

bool CDezedoRavovadDlg::isWatchingForCamera() const
{
    return m_returnWatch->isWatching();
}

void CDezedoRavovadDlg::onShowClipping()
{
    if (m_settings.clippingMarks == 0)
        return;
    m_settings.showClipping = m_settings.showClipping != 0 ? 0 : 1;
    applyAidSettings();
    if (m_provisionalOnShow)
        return;  // the full view, on its way, will show them
    redecodeHeldJpeg();
}

void CDezedoRavovadDlg::onThumbnail(const std::vector<uint8_t> &bytes)
{
    // A thumbnail that comes after its full view (or none) would hide the real picture.
    if (m_settings.thumbnailFirst == 0 || bytes.empty() || !m_busy)
        return;
    Histogram histogram;
    QImage bitmap;
    QString error;
    if (!decodePreviewBitmap(bytes.data(), bytes.size(), histogram, static_cast<int>(m_settings.orientation), bitmap,
                             error))
        return;  // the full view comes anyway
    const int longSide = std::max(bitmap.width(), bitmap.height());
    if (longSide > 0 && longSide < kPreviewLongSide)
        bitmap = bitmap.scaled(bitmap.width() * kPreviewLongSide / longSide,
                               bitmap.height() * kPreviewLongSide / longSide, Qt::KeepAspectRatio,
                               Qt::SmoothTransformation);
    // Display only: no image entry, no held JPEG, no "Saved:" line, no IPC
    // notice, and the shot does not count as arrived.
    paintPreview(bitmap, histogram);
    m_provisionalOnShow = true;
}

void CDezedoRavovadDlg::endProvisionalPicture(bool setStatus)
{
    if (!m_provisionalOnShow)
        return;
    m_provisionalOnShow = false;
    // The thumbnail stays, marked as what it is: a shot that was not saved.
    QPixmap shown = m_previewPicture->pixmap();
    if (!shown.isNull()) {
        QPainter painter(&shown);
        QFont font = painter.font();
        font.setPointSize(20);
        font.setBold(true);
        painter.setFont(font);
        const QRect band(0, shown.height() / 2 - 24, shown.width(), 48);
        painter.fillRect(band, QColor(0, 0, 0, 160));
        painter.setPen(Qt::white);
        painter.drawText(band, Qt::AlignCenter, kNotSavedText);
        painter.end();
        m_previewPicture->setPixmap(shown);
    }
    if (setStatus)
        m_statusLine->setText(kNotSavedText);
}

void CDezedoRavovadDlg::onCameraBack()
{
    if (m_camera || m_closing)
        return;
    if (toggleConnection()) {
        m_statusLine->setText(QStringLiteral("Camera back: reconnected"));
        return;
    }
    // Another model on the cable was told about once; anything else may
    // still be settling, so looking goes on.
    if (!m_statusLine->text().startsWith(kWrongModelText))
        m_returnWatch->start();
}
