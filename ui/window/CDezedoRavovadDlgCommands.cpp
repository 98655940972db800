// The main window's commands: wiring of the actions and buttons, and the
// commands that do not take a photo.
#include "CDezedoRavovadDlg.h"

#include "AboutDlg.h"
#include "GridSettingsDlg.h"
#include "HelpPageOpener.h"
#include "ImageAttributesDialog.h"
#include "ImageRotation.h"
#include "PreferencesDlg.h"
#include "PreviewDecoder.h"
#include "PreviewWindow.h"
#include "Prompts.h"
#include "SettingsPanel.h"
#include "WaitCursor.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QStackedWidget>
#include <QWindowStateChangeEvent>

namespace {

// A black full-screen window over everything while a photo is taken; a
// click closes it.
class BlankScreen : public QWidget {
public:
    BlankScreen()
        : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
    {
        setObjectName(QStringLiteral("blankScreen"));
        setAttribute(Qt::WA_DeleteOnClose);
        setAttribute(Qt::WA_ShowWithoutActivating);
        QPalette black = palette();
        black.setColor(QPalette::Window, Qt::black);
        setPalette(black);
        setAutoFillBackground(true);
    }

protected:
    void mousePressEvent(QMouseEvent *event) override
    {
        if (event->button() == Qt::LeftButton)
            close();
    }
};

}  // namespace

void CDezedoRavovadDlg::connectCommands()
{
    const WindowActions &a = m_actions;
    connect(m_releaseButton, &QPushButton::clicked, this, &CDezedoRavovadDlg::OnReleaseButton);
    connect(m_previewButton, &QPushButton::clicked, this, &CDezedoRavovadDlg::OnPreview);
    connect(a.releaseShutter, &QAction::triggered, this, &CDezedoRavovadDlg::OnReleaseButton);
    connect(a.preview, &QAction::triggered, this, &CDezedoRavovadDlg::OnPreview);

    connect(a.fullScreen, &QAction::triggered, this, &CDezedoRavovadDlg::onFullScreen);
    connect(a.preferences, &QAction::triggered, this, &CDezedoRavovadDlg::onPreferences);
    connect(a.exit, &QAction::triggered, this, &QWidget::close);
    connect(a.cameraSettings, &QAction::triggered, this, &CDezedoRavovadDlg::onCameraSettings);
    connect(a.refresh, &QAction::triggered, this, &CDezedoRavovadDlg::onRefresh);
    connect(a.forceUiUnlock, &QAction::triggered, this, &CDezedoRavovadDlg::onForceUiUnlock);
    connect(a.connect, &QAction::triggered, this, [this] { toggleConnection(); });
    connect(a.blankScreen, &QAction::triggered, this, [this] {
        m_settings.blankScreenWhenTakingPhoto = m_settings.blankScreenWhenTakingPhoto ? 0 : 1;
        updateControls();
    });
    connect(a.landscape, &QAction::triggered, this, [this] { onOrientation(0); });
    connect(a.portrait2, &QAction::triggered, this, [this] { onOrientation(90); });
    connect(a.inverted, &QAction::triggered, this, [this] { onOrientation(180); });
    connect(a.portrait1, &QAction::triggered, this, [this] { onOrientation(270); });
    connect(a.rotate, &QAction::triggered, this, &CDezedoRavovadDlg::onRotate);
    connect(a.viewImage, &QAction::triggered, this, &CDezedoRavovadDlg::onViewImage);
    connect(a.displayGrid, &QAction::triggered, this, &CDezedoRavovadDlg::onDisplayGrid);
    connect(a.gridSettings, &QAction::triggered, this, &CDezedoRavovadDlg::onGridSettings);
    connect(a.showClipping, &QAction::triggered, this, &CDezedoRavovadDlg::onShowClipping);
    connect(a.properties, &QAction::triggered, this, &CDezedoRavovadDlg::onProperties);
    connect(a.helpContents, &QAction::triggered, this, &CDezedoRavovadDlg::onHelpContents);
    connect(a.about, &QAction::triggered, this, &CDezedoRavovadDlg::onAbout);
    connect(a.compactToggle, &QAction::triggered, this, &CDezedoRavovadDlg::onCompactToggle);

    connectImageCommands();
    connectTimeLapse();
    connectRegistration();
    connectIpc();

    for (QComboBox *list : {m_panel->tv, m_panel->av, m_panel->exposureCompensation, m_panel->flashCompensation,
                            m_panel->sizeQuality, m_panel->whiteBalance, m_panel->meteringMode, m_panel->driveMode,
                            m_panel->iso, m_panel->afPoint, m_panel->afMode, m_panel->parameterSet})
        connect(list, &QComboBox::activated, this, [this, list] { onSettingChanged(list); });
    connect(m_panel->storeImagesOn, &QComboBox::activated, this, &CDezedoRavovadDlg::onStoreImagesOnChanged);
    connect(m_panel->cameraBeep, &QCheckBox::clicked, this, &CDezedoRavovadDlg::onCameraBeepChanged);
    for (QCheckBox *box : {m_red, m_green, m_blue, m_intensity})
        connect(box, &QCheckBox::clicked, this, &CDezedoRavovadDlg::redrawHistogram);

    connect(m_previewWindow, &PreviewWindow::keyForwarded, this, [this](QKeyCombination key) {
        const QKeySequence pressed(key);
        for (QAction *action : findChildren<QAction *>()) {
            if (action->isEnabled() && action->shortcut() == pressed) {
                action->trigger();
                return;
            }
        }
    });
    connect(qApp, &QGuiApplication::applicationStateChanged, m_previewWindow,
            [this](Qt::ApplicationState state) { m_previewWindow->setProgramActive(state == Qt::ApplicationActive); });

    // Mouse buttons are looked at before any control of the window sees them.
    for (QWidget *child : findChildren<QWidget *>())
        child->installEventFilter(this);
    installEventFilter(this);
}

// ---------------------------------------------------------------------------
// Window commands

void CDezedoRavovadDlg::onRefresh()
{
    if (!m_camera)
        return;
    WaitCursor wait;
    refreshCameraSettings();
    updateDiskSpace();
}

void CDezedoRavovadDlg::onForceUiUnlock()
{
    const QString question = QStringLiteral(
        "Unlock camera\nThis should only be used as a last resort when\nthe camera remains locked even after "
        "pressing the\nMENU button and shutter release\nDo you wish to override the camera lock?");
    if (!m_prompts->askYesNo(this, Prompts::programCaption(), question))
        return;
    m_busy = false;
    if (m_releaseLocked) {
        if (m_camera)
            m_camera->resetUILock();
        m_releaseLocked = false;
    }
    // The release is ended by hand: nothing else would take the black window away.
    showBlankScreen(false);
    updateControls();
    if (m_camera)
        m_camera->resetUILock();
}

void CDezedoRavovadDlg::onCameraSettings()
{
    if (!m_camera)
        return;
    try {
        m_camera->settingsDialog(this);
    } catch (...) {
        // The runtime has no dialog here (no display): nothing changed.
    }
    fillParameterSets();
    refreshCameraSettings();
}

void CDezedoRavovadDlg::onPreferences()
{
    const uint32_t sessionStrip = m_settings.sessionStrip;
    const bool clipping = clippingShown();
    CPreferencesDlg dialog(m_settings, *m_prompts, m_services.today, this);
    dialog.exec();
    if (m_settings.sessionStrip != sessionStrip)
        showSessionStrip(m_settings.sessionStrip != 0);
    publishImageDirectorySettings();
    applyAidSettings();
    if (clippingShown() != clipping)
        redecodeHeldJpeg();
    updateDiskSpace();
}

void CDezedoRavovadDlg::onFullScreen()
{
    if (windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen)) {
        setWindowFlag(Qt::FramelessWindowHint, false);
        showNormal();
    } else {
        setWindowFlag(Qt::FramelessWindowHint, true);
        showMaximized();
    }
}

void CDezedoRavovadDlg::onCompactToggle()
{
    if (!m_compactLayout)
        return;
    showCompactPage(m_compactStack->currentWidget() != m_previewPicture);
}

void CDezedoRavovadDlg::showCompactPage(bool preview)
{
    // A list that had the focus goes out of sight with the settings.
    const QPointer<QWidget> focus = focusWidget();
    m_compactStack->setCurrentWidget(preview ? static_cast<QWidget *>(m_previewPicture) : m_panel);
    m_imageInfoLabel->setVisible(!preview);
    keepFocus(focus);
}

// ---------------------------------------------------------------------------
// The image on show

void CDezedoRavovadDlg::redecodeHeldJpeg()
{
    if (m_heldJpeg.empty())
        return;
    WaitCursor wait;
    Histogram histogram;
    QImage bitmap;
    QString error;
    if (decodePreviewBitmap(m_heldJpeg.data(), m_heldJpeg.size(), histogram, m_heldRotation, bitmap, error))
        installPreview(bitmap, histogram);
}

void CDezedoRavovadDlg::onOrientation(int degrees)
{
    m_actions.landscape->setChecked(degrees == 0);
    m_actions.portrait2->setChecked(degrees == 90);
    m_actions.inverted->setChecked(degrees == 180);
    m_actions.portrait1->setChecked(degrees == 270);
    if (m_images.hasCurrent()) {
        writeImageRotation(QFile::encodeName(m_images.currentPath()).toStdString(), degrees);
        m_images.setCurrentRotation(degrees);
    }
    m_settings.orientation = static_cast<uint32_t>(degrees);
    // The picture on show turns too; a browsed one may have shown another rotation.
    if (m_heldRotation == degrees)
        return;
    m_heldRotation = degrees;
    redecodeHeldJpeg();
}

void CDezedoRavovadDlg::onRotate()
{
    if (m_heldJpeg.empty())
        return;
    // On from the picture on show, which a browsed image may hold turned
    // otherwise than new shots.
    switch (m_heldRotation) {
    case 0: onOrientation(90); break;
    case 90: onOrientation(180); break;
    case 180: onOrientation(270); break;
    default: onOrientation(0); break;
    }
}

void CDezedoRavovadDlg::onViewImage()
{
    if (m_busy || m_heldJpeg.empty())
        return;
    QString error;
    m_previewWindow->viewImage(m_heldJpeg.data(), m_heldJpeg.size(), m_heldRotation, error);
}

void CDezedoRavovadDlg::onDisplayGrid()
{
    m_settings.displayGrid = m_settings.displayGrid ? 0 : 1;
    m_actions.displayGrid->setChecked(m_settings.displayGrid != 0);
    redecodeHeldJpeg();
}

void CDezedoRavovadDlg::onGridSettings()
{
    GridSettings current;
    current.displayGrid = m_settings.displayGrid != 0;
    current.numHorzGridDivisions = static_cast<int>(m_settings.numHorzGridDivisions);
    current.numVertGridDivisions = static_cast<int>(m_settings.numVertGridDivisions);
    current.gridColour = m_settings.gridColour;
    CGridSettingsDlg dialog(*m_prompts, current, this);
    if (dialog.exec() == QDialog::Accepted) {
        const GridSettings chosen = dialog.values();
        const bool wasOn = m_settings.displayGrid != 0;
        m_settings.numHorzGridDivisions = static_cast<uint32_t>(chosen.numHorzGridDivisions);
        m_settings.numVertGridDivisions = static_cast<uint32_t>(chosen.numVertGridDivisions);
        m_settings.gridColour = chosen.gridColour;
        m_settings.displayGrid = chosen.displayGrid ? 1 : 0;
        if (!m_heldJpeg.empty() && (wasOn || chosen.displayGrid))
            redecodeHeldJpeg();
    }
    updateControls();
}

void CDezedoRavovadDlg::onProperties()
{
    ImageAttributesDialog dialog(m_cameraInfoText, this);
    m_attributesDialog = &dialog;
    dialog.exec();
}

// ---------------------------------------------------------------------------
// Help

void CDezedoRavovadDlg::onHelpContents()
{
    const QString path = QCoreApplication::applicationDirPath() + QStringLiteral("/Quillomat.htm");
    if (!QFileInfo::exists(path)) {
        m_prompts->message(this, Prompts::Icon::Error, Prompts::programCaption(),
                           QStringLiteral("Unable to find HTML help file:\n") + path);
        return;
    }
    auto *opener = findChild<HelpPageOpener *>(QString(), Qt::FindDirectChildrenOnly);
    if (!opener) {
        opener = new HelpPageOpener(this);
        opener->setObjectName(QStringLiteral("helpPageOpener"));
        connect(opener, &HelpPageOpener::failed, this, [this](const QString &page, const QString &reason) {
            m_prompts->message(this, Prompts::Icon::Error, Prompts::programCaption(),
                               QStringLiteral("Unable to open HTML help file:\n") + page + QStringLiteral("\n") + reason);
        });
    }
    opener->open(path);
}

void CDezedoRavovadDlg::onAbout()
{
    CAboutDlg dialog(this);
    dialog.exec();
}

// ---------------------------------------------------------------------------
// The black screen and the mouse

void CDezedoRavovadDlg::showBlankScreen(bool on)
{
    if (on && !m_blankScreen) {
        auto *blank = new BlankScreen;
        m_blankScreen = blank;
        blank->showFullScreen();
        blank->raise();
    } else if (!on && m_blankScreen) {
        m_blankScreen->close();
        m_blankScreen.clear();
    }
}

void CDezedoRavovadDlg::runMouseAction(const QString &action)
{
    if (action == QStringLiteral("Release"))
        OnReleaseButton();
    else if (action == QStringLiteral("Preview"))
        OnPreview();
    else if (action == QStringLiteral("Edit Comment"))
        editComment();
    else if (action == QStringLiteral("Edit Image"))
        editImage();
}

bool CDezedoRavovadDlg::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::MouseButtonPress || !watched->isWidgetType())
        return QMainWindow::eventFilter(watched, event);
    auto *press = static_cast<QMouseEvent *>(event);
    auto *widget = static_cast<QWidget *>(watched);
    // A press a control ignores travels on to its parents as the same event:
    // only its first receiver decides.
    if (press->timestamp() == m_lastMousePress || widget->window() != this)
        return QMainWindow::eventFilter(watched, event);
    m_lastMousePress = press->timestamp();

    // First look: a right button set to Release or Preview, or a middle
    // button whose wheel action is, takes the photo before any control sees
    // it, a drop-down list included.
    const QString first = press->button() == Qt::RightButton    ? m_settings.rightButtonAction
                          : press->button() == Qt::MiddleButton ? m_settings.mouseWheelAction
                                                                : QString();
    if (first == QStringLiteral("Release") || first == QStringLiteral("Preview")) {
        runMouseAction(first);
        return true;
    }
    // Then the window itself, its pictures and labels, which let clicks through.
    const bool passesClicks = widget == this || widget == centralWidget() || qobject_cast<QLabel *>(widget)
                              || qobject_cast<QGroupBox *>(widget);
    if (passesClicks) {
        if (press->button() == Qt::RightButton)
            runMouseAction(m_settings.rightButtonAction);
        else if (press->button() == Qt::MiddleButton)
            runMouseAction(m_settings.middleButtonAction);
    }
    return QMainWindow::eventFilter(watched, event);
}

void CDezedoRavovadDlg::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::WindowStateChange) {
        if (windowState() & Qt::WindowMinimized) {
            m_previewWindow->hide();
        } else if (m_previewWindow->isPreviewVisible()) {
            m_previewWindow->show();
            m_previewWindow->raise();
        }
    }
    QMainWindow::changeEvent(event);
}
