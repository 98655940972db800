// The main window's camera side: the settings panel's refresh and change
// handlers, the Release and Preview commands, and the handling of what the
// session and its release thread send while a photo is taken.
#include "CDezedoRavovadDlg.h"

#include "BulbMode.h"
#include "CameraReturnWatch.h"
#include "ClippingMarks.h"
#include "FormatSize.h"
#include "GridOverlay.h"
#include "HistogramChart.h"
#include "ImageAttributesDialog.h"
#include "ImageComment.h"
#include "ImageInfo.h"
#include "ImageRotation.h"
#include "InfoText.h"
#include "PanelTexts.h"
#include "PreviewDecoder.h"
#include "PreviewWindow.h"
#include "Prompts.h"
#include "SettingsPanel.h"
#include "WaitCursor.h"
#include "WindowEvents.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStackedWidget>

#include <cstring>

namespace {

const QString kBusyText = QStringLiteral(
    "The camera is busy or is not responding.\nIf the LCD monitor is on please turn it off and try again");
const QString kBulbText = bulbRefusalText();
const QString kLockFailedText = QStringLiteral("CDezedoRavovadDlg::OnReleaseButton()\nsetUILock() returned false");

void putWord(ReleaseParams &params, size_t offset, uint32_t value)
{
    params.bytes[offset] = static_cast<uint8_t>(value);
    params.bytes[offset + 1] = static_cast<uint8_t>(value >> 8);
}

uint16_t word(const ReleaseParams &params, size_t offset)
{
    return releaseBlockWord(params.bytes, offset);
}

// Line feeds as the information box shows them.
QString withCrLf(const std::string &text)
{
    QString result = QString::fromStdString(text);
    result.remove(QLatin1Char('\r'));
    result.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return result;
}

}  // namespace

// ---------------------------------------------------------------------------
// The settings panel

uint16_t CDezedoRavovadDlg::readSetting(uint16_t item)
{
    uint8_t block[PS_CAMERA_SETTING_SIZE] = {};
    block[0] = static_cast<uint8_t>(item);
    block[1] = static_cast<uint8_t>(item >> 8);
    m_camera->readCameraSetting(block);
    return static_cast<uint16_t>(block[4] | (block[5] << 8));
}

void CDezedoRavovadDlg::setIncrementMode(IncrementMode mode)
{
    if (m_incrementMode == mode)
        return;
    m_panel->fillStepLists(mode, m_lowApertureLimit, m_highApertureLimit);
    m_incrementMode = mode;
}

void CDezedoRavovadDlg::refreshCameraSettings()
{
    if (!m_camera)
        return;
    WaitCursor wait;
    if (!m_camera->setUILock()) {
        m_refreshPending = true;
        return;
    }
    m_camera->setIgnoreControlChanges(true);
    try {
        ReleaseParams params;
        m_camera->getReleaseParams(params);
        m_lowApertureLimit = word(params, 36);
        m_highApertureLimit = word(params, 38);
        m_panel->setCustomText(customSettingsText(readSetting(3)));
        setIncrementMode(readSetting(4) == 0 ? IncrementMode::HalfStop : IncrementMode::ThirdStop);
        m_panel->setModeText(modeText(params.bytes));
        m_panel->showReleaseParams(params, m_isD60 ? CameraModelKind::D60 : CameraModelKind::D30);
        m_panel->setLensText(lensText(params.bytes));
        m_panel->markUnreachable(m_camera->reachableFields());
    } catch (...) {
        // The lists keep what they showed; the next refresh tries again.
    }
    m_camera->resetUILock();
    updateControls();
    m_camera->setIgnoreControlChanges(false);
}

void CDezedoRavovadDlg::fillParameterSets()
{
    if (!m_camera)
        return;
    QComboBox *list = m_panel->parameterSet;
    if (m_isD60 || (m_camera->reachableFields() & PS_FIELD_PARAMETER_SET) == 0) {
        SettingsPanel::fill(list, {{QStringLiteral("N/A"), std::nullopt}});
        list->setEnabled(false);
        return;
    }
    ListEntries sets{{QStringLiteral("Standard"), 0u}};
    for (uint32_t set = 1; set <= 3; ++set) {
        psParameterSetRecord record{};
        record.fields[0] = set;
        try {
            m_camera->readParameterSet(record);
        } catch (...) {
            continue;
        }
        if (record.fields[1] != 0)
            sets.push_back({parameterSetText(static_cast<int>(set), record.fields), set});
    }
    SettingsPanel::fill(list, sets);
    list->setEnabled(list->count() > 1);
}

void CDezedoRavovadDlg::changeReleaseParams(const std::function<void(ReleaseParams &)> &write,
                                            const std::function<void(const ReleaseParams &)> &show)
{
    if (!m_camera)
        return;
    WaitCursor wait;
    if (!m_camera->setUILock()) {
        // Nothing was sent: the control shows again what the camera holds,
        // as it did before the change, so the window never claims a setting
        // the next shot will not have.
        show(m_camera->cachedReleaseParams());
        m_prompts->message(this, Prompts::Icon::Refusal, Prompts::programCaption(), kBusyText);
        return;
    }
    try {
        ReleaseParams params;
        m_camera->getReleaseParams(params);
        write(params);
        m_camera->setReleaseParams(params);
        m_camera->getReleaseParams(params);
        // What the camera holds now: a value it refused springs back.
        show(params);
    } catch (...) {
        // What the camera was last known to hold: the new value once it was
        // written, the old one when the writing failed.
        show(m_camera->cachedReleaseParams());
    }
    m_camera->resetUILock();
}

void CDezedoRavovadDlg::onSettingChanged(QComboBox *list)
{
    SettingsPanel *p = m_panel;
    const CameraModelKind model = m_isD60 ? CameraModelKind::D60 : CameraModelKind::D30;
    if (list == p->sizeQuality) {
        const std::optional<SizeQualityBytes> bytes = sizeQualityBytes(model, list->currentIndex());
        if (!bytes)
            return;
        changeReleaseParams(
            [&](ReleaseParams &params) {
                params.bytes[ReleaseParams::kQuality] = bytes->quality;
                params.bytes[ReleaseParams::kImageType] = bytes->imageType;
                params.bytes[ReleaseParams::kImageSize] = bytes->size;
            },
            [&](const ReleaseParams &params) { p->showReleaseParams(params, model); });
        return;
    }

    const std::optional<uint32_t> value = SettingsPanel::selectedValue(list);
    if (!value)
        return;
    struct Field {
        QComboBox *list;
        size_t offset;
        bool isWord;
    };
    const Field fields[] = {
        {p->tv, 30, true},           {p->av, 28, true},          {p->iso, 26, true},
        {p->whiteBalance, 16, false}, {p->meteringMode, 12, false}, {p->driveMode, 10, false},
        {p->afPoint, 14, true},      {p->afMode, 18, false},     {p->parameterSet, 24, true},
        {p->exposureCompensation, 32, false}, {p->flashCompensation, 33, false},
    };
    for (const Field &field : fields) {
        if (field.list != list)
            continue;
        // The camera keeps flash compensation 24 above the list's codes.
        const uint32_t stored = list == p->flashCompensation ? static_cast<uint8_t>(*value + 24) : *value;
        changeReleaseParams(
            [&](ReleaseParams &params) {
                if (field.isWord)
                    putWord(params, field.offset, stored);
                else
                    params.bytes[field.offset] = static_cast<uint8_t>(stored);
            },
            [&](const ReleaseParams &params) {
                uint32_t shown = field.isWord ? word(params, field.offset) : params.bytes[field.offset];
                if (list == p->flashCompensation)
                    shown = static_cast<uint8_t>(shown - 24);
                if (list == p->parameterSet)
                    shown &= 0x7u;
                SettingsPanel::selectByValue(list, shown);
            });
        return;
    }
}

void CDezedoRavovadDlg::onCameraBeepChanged()
{
    const bool on = m_panel->cameraBeep->isChecked();
    changeReleaseParams([&](ReleaseParams &params) { params.bytes[7] = on ? 1 : 0; },
                        [&](const ReleaseParams &params) {
                            const QSignalBlocker quiet(m_panel->cameraBeep);
                            m_panel->cameraBeep->setChecked(params.bytes[7] != 0);
                        });
}

void CDezedoRavovadDlg::onStoreImagesOnChanged()
{
    if (!m_camera)
        return;
    const int position = m_panel->storeImagesOn->currentIndex();
    if (position >= 0 && position <= 2)
        m_camera->setStoreMode(static_cast<StoreMode>(position));
}

// ---------------------------------------------------------------------------
// Release and Preview

void CDezedoRavovadDlg::OnReleaseButton()
{
    if (m_busy)
        return;
    if (m_panel->tv->currentIndex() == 0) {
        m_prompts->message(this, Prompts::Icon::Refusal, Prompts::programCaption(), kBulbText);
        return;
    }
    if (!m_camera)
        return;
    m_imageInfo->clear();
    updateControls();
    m_camera->setPreview(false);
    startShot(false);
}

void CDezedoRavovadDlg::OnPreview()
{
    if (m_panel->tv->currentIndex() == 0) {
        m_prompts->message(this, Prompts::Icon::Refusal, Prompts::programCaption(), kBulbText);
        return;
    }
    if (!m_camera || m_busy)
        return;
    startShot(true);
}

void CDezedoRavovadDlg::startShot(bool preview)
{
    WaitCursor wait;
    if (preview) {
        m_imageInfo->clear();
        updateControls();
    }
    if (!m_camera->setUILock()) {
        showErrorNow(kLockFailedText);
        return;
    }
    if (preview)
        m_camera->setPreview(true);
    m_releaseLocked = true;
    m_photoArrived = false;
    if (!m_camera->release()) {
        // Nothing was fired, so no release start or complete will come to
        // give the lock back; the reason is on its way to the user, and no
        // black screen may cover it.
        m_camera->resetUILock();
        m_releaseLocked = false;
        updateControls();
        return;
    }
    if (m_settings.blankScreenWhenTakingPhoto)
        showBlankScreen(true);
}

// ---------------------------------------------------------------------------
// Messages from the session and the release thread

void CDezedoRavovadDlg::handleCameraMessage(PostedMessage &message)
{
    switch (message.message) {
    case CameraMessage::WM_CAMERA_UI_CHANGED:
        if (m_busy || m_releaseLocked)
            m_refreshPending = true;
        else
            refreshCameraSettings();
        break;
    case CameraMessage::WM_CAMERA_TRANSFER_PROGRESS:
        m_statusLine->setText(message.wParam != 0
                                  ? QString::asprintf("Transferring image, (%d images remaining)",
                                                      static_cast<int>(message.wParam))
                                  : QStringLiteral("Transferring image"));
        break;
    case CameraMessage::WM_CAMERA_RELEASE_START:
        onReleaseStart();
        break;
    case CameraMessage::WM_CAMERA_RELEASE_COMPLETE:
        onReleaseComplete();
        break;
    case CameraMessage::WM_CAMERA_SHUTDOWN:
        onCameraShutdown(message.wParam);
        break;
    case CameraMessage::WM_DISPLAY_SHOT_INFO:
        m_imageInfo->setPlainText(withCrLf(message.text));
        break;
    case CameraMessage::WM_DISPLAY_CAMERA_INFO:
        m_cameraInfoText = QString::fromStdString(message.text);
        if (m_attributesDialog)
            m_attributesDialog->setText(m_cameraInfoText);
        m_actions.properties->setEnabled(!m_cameraInfoText.isEmpty());
        break;
    case CameraMessage::WM_DISPLAY_JPEG:
        if (message.wParam != 0 && !message.bytes.empty())
            onNewJpeg(std::move(message.bytes));
        break;
    case CameraMessage::WM_CAMERA_CARD_FULL:
        onCardFull();
        break;
    case CameraMessage::WM_DISPLAY_THUMBNAIL:
        onThumbnail(message.bytes);
        break;
    }
}

void CDezedoRavovadDlg::onReleaseStart()
{
    if (m_settings.blankScreenWhenTakingPhoto)
        showBlankScreen(true);
    m_provisionalOnShow = false;
    QWidget *focus = focusWidget();
    const QWidget *shooting[] = {m_previewButton, m_releaseButton, m_panel->sizeQuality, m_panel->flashCompensation,
                                 m_panel->iso, m_panel->whiteBalance, m_panel->av, m_panel->tv,
                                 m_panel->afMode, m_panel->afPoint};
    for (const QWidget *control : shooting) {
        if (focus == control) {
            m_previousFocus = focus;
            m_red->setFocus();
            break;
        }
    }
    m_busy = true;
    updateControls();
}

bool CDezedoRavovadDlg::releaseEnded()
{
    showBlankScreen(false);
    m_busy = false;
    if (!m_releaseLocked)
        return false;
    if (m_camera)
        m_camera->resetUILock();
    m_releaseLocked = false;
    return true;
}

void CDezedoRavovadDlg::onReleaseComplete()
{
    // A shot released from the PC that brought no picture: the lens could not
    // focus, unless the camera went away, which its own message tells.
    const bool cameraGone = m_camera && m_camera->isCameraGone();
    endProvisionalPicture(true);
    if (releaseEnded() && !m_photoArrived && !cameraGone)
        showErrorNow(QStringLiteral("The camera was unable to take a photo. The most likely\n"
                                    "cause for this is the AF being unable to focus properly."));
    updateControls();
    endOfRelease();
}

void CDezedoRavovadDlg::onCardFull()
{
    endProvisionalPicture(false);
    releaseEnded();
    updateControls();
    endOfRelease();
    showErrorNow(QStringLiteral("CF card full or not present"));
}

void CDezedoRavovadDlg::onCameraShutdown(uint32_t reason)
{
    showBlankScreen(false);
    const QString cameraError = QStringLiteral("Camera error, please turn camera off and try again");
    endProvisionalPicture(false);
    m_statusLine->setText(cameraError);
    std::vector<std::string> unsaved;
    if (m_camera)
        unsaved = disconnectSession(cameraError);
    m_busy = false;
    updateControls();
    QString text;
    switch (reason) {
    case 2: text = QStringLiteral("Camera mode dial has changed"); break;
    case 3: text = QStringLiteral("Camera CF cover opened"); break;
    case 4: text = QStringLiteral("Camera battery cover opened"); break;
    case 5: text = QStringLiteral("Camera has shutdown"); break;
    case 13: text = QStringLiteral("USB connection to camera lost"); break;
    default: break;
    }
    // Looking starts before the box, which may stay open while the camera comes back.
    if (m_settings.autoReconnect != 0 && CameraReturnWatch::isComeBackReason(reason))
        m_returnWatch->start();
    // What was lost is said even for a reason that has no text of its own.
    showErrorWithUnsaved(text, unsaved);
}

void CDezedoRavovadDlg::endOfRelease()
{
    m_progress->setValue(0);
    updateDiskSpace();
    if (m_previousFocus) {
        keepFocus(m_previousFocus);
        m_previousFocus.clear();
    }
    if (m_refreshPending) {
        refreshCameraSettings();
        m_refreshPending = false;
    }
}

void CDezedoRavovadDlg::onImageSavedNow(const QString &path)
{
    if (path.isEmpty()) {
        m_images.setCurrentIndex(-1);
    } else {
        m_images.append(path, static_cast<int>(m_settings.orientation));
        writeImageRotation(QFile::encodeName(path).toStdString(), static_cast<int32_t>(m_settings.orientation));
        imageSavedFollowUp(path);
    }
    updateControls();
}

void CDezedoRavovadDlg::onNewJpeg(std::vector<uint8_t> bytes)
{
    WaitCursor wait;
    m_photoArrived = true;
    m_provisionalOnShow = false;
    m_heldJpeg = std::move(bytes);
    m_heldRotation = static_cast<int>(m_settings.orientation);
    redecodeHeldJpeg();

    if (m_images.hasCurrent() && !m_comment->text().isEmpty()) {
        const std::string path = QFile::encodeName(m_images.currentPath()).toStdString();
        writeImageComment(path, m_comment->text().toStdString());
        ImageInfo info(path);
        m_cameraInfoText = QString::fromStdString(cameraInfoText(info));
        if (m_attributesDialog)
            m_attributesDialog->setText(m_cameraInfoText);
    }
}

void CDezedoRavovadDlg::showPreviewBitmap(const QImage &bitmap, const Histogram &histogram)
{
    paintPreview(bitmap, histogram);
    if (m_previewWindow->isPreviewVisible()) {
        QString error;
        m_previewWindow->showImage(m_heldJpeg.data(), m_heldJpeg.size(), m_heldRotation, error);
    }
}

void CDezedoRavovadDlg::paintPreview(const QImage &bitmap, const Histogram &histogram)
{
    m_previewBitmap = bitmap;
    // Marked before the grid, whose lines are no part of the picture.
    if (clippingShown()) {
        m_clippingText->setText(clippingText(markClipping(m_previewBitmap)));
        m_clippingText->show();
    } else {
        m_clippingText->hide();
    }
    if (m_settings.displayGrid) {
        GridSettings grid;
        grid.displayGrid = true;
        grid.numHorzGridDivisions = static_cast<int>(m_settings.numHorzGridDivisions);
        grid.numVertGridDivisions = static_cast<int>(m_settings.numVertGridDivisions);
        grid.gridColour = m_settings.gridColour;
        drawGrid(m_previewBitmap, grid);
    }
    // Against the picture's right edge at 1:1. A portrait preview is taller
    // than the picture, and the compact layout's picture may be smaller than
    // a preview: it is shown whole, reduced to fit, rather than cut off.
    QPixmap shown(m_previewPicture->size());
    shown.fill(Qt::white);
    {
        QPainter painter(&shown);
        QSize size = m_previewBitmap.size();
        if (size.height() > shown.height() || size.width() > shown.width())
            size.scale(shown.size(), Qt::KeepAspectRatio);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(QRect(QPoint(shown.width() - size.width(), 0), size), m_previewBitmap);
    }
    m_previewPicture->setPixmap(shown);
    m_previewHoldsImage = true;
    m_histogram = histogram;
    redrawHistogram();
    if (m_compactLayout)
        showCompactPage(true);
}

void CDezedoRavovadDlg::installPreview(const QImage &bitmap, const Histogram &histogram)
{
    if (bitmap.isNull())
        return;
    showPreviewBitmap(bitmap, histogram);

    QString status = QStringLiteral("Photo not saved");
    if (m_images.currentIndex() == -1) {
        notifyIpcImage(QString());
    } else if (m_images.hasCurrent()) {
        const QFileInfo file(m_images.currentPath());
        if (file.exists()) {
            status = QStringLiteral("Saved: ") + file.filePath() + QStringLiteral(" (")
                     + formatSize(static_cast<uint64_t>(file.size()) / 1024) + QStringLiteral(")");
            notifyIpcImage(file.filePath());
        }
    }
    m_statusLine->setText(status);
    updateTitle();
}

void CDezedoRavovadDlg::redrawHistogram()
{
    HistogramChannels channels;
    channels.red = m_red->isChecked();
    channels.green = m_green->isChecked();
    channels.blue = m_blue->isChecked();
    channels.intensity = m_intensity->isChecked();
    drawHistogram(m_histogramChart, m_histogram, channels);
    m_histogramPicture->setPixmap(QPixmap::fromImage(m_histogramChart));
}

void CDezedoRavovadDlg::updateTitle()
{
    setWindowTitle(m_images.title());
}
