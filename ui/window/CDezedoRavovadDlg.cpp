#include "CDezedoRavovadDlg.h"

#include "CameraReturnWatch.h"
#include "DesktopCameraMount.h"
#include "DiskSpace.h"
#include "FormatSize.h"
#include "HistogramChart.h"
#include "KeyRepeatFilter.h"
#include "PanelTexts.h"
#include "PreviewWindow.h"
#include "QtPrompts.h"
#include "SettingsPanel.h"
#include "SettingsStore.h"
#include "WindowEvents.h"
#include "psError.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QStackedWidget>
#include <QThread>
#include <QVBoxLayout>

#include <algorithm>
#include <chrono>
#include <thread>

namespace {

constexpr int kPreviewWidth = 720;
constexpr int kPreviewHeight = 480;
// Below this screen height the window switches to its compact layout.
constexpr int kCompactScreenHeight = 740;
// The preview's distance from the window's right edge.
constexpr int kPreviewRightMargin = 5;
// The narrowest the compact layout's left column (buttons, image information,
// comment) gets before the preview shrinks for it.
constexpr int kCompactColumnMinimum = 300;
// The smallest scale of the compact layout's pictures, for absurdly small screens.
constexpr double kSmallestPictureScale = 0.4;

const QString kSavingRemainingText = QStringLiteral("Saving the remaining images...");
constexpr int kClaimAttempts = 5;
constexpr std::chrono::milliseconds kClaimRetryPause(300);
const QString kDesktopMountQuestion =
    QStringLiteral("The camera is in use by the desktop's camera mount.\nRelease it so that Quillomat can connect?");

QLineEdit *readOnlyLine(const char *objectName, int controlId, QWidget *parent)
{
    auto *line = new QLineEdit(parent);
    line->setObjectName(QString::fromLatin1(objectName));
    line->setProperty("controlId", controlId);
    line->setReadOnly(true);
    line->setFocusPolicy(Qt::NoFocus);
    return line;
}

QCheckBox *histogramBox(const char *caption, const char *objectName, QWidget *parent)
{
    auto *box = new QCheckBox(QString::fromLatin1(caption), parent);
    box->setObjectName(QString::fromLatin1(objectName));
    return box;
}

QPixmap whitePreview(QSize size)
{
    QPixmap pixmap(size);
    pixmap.fill(Qt::white);
    return pixmap;
}

}  // namespace

CDezedoRavovadDlg::CDezedoRavovadDlg(WindowServices services, QWidget *parent)
    : QMainWindow(parent), m_services(std::move(services))
{
    setObjectName(QStringLiteral("mainWindow"));
    setWindowTitle(QStringLiteral("Quillomat"));
    if (m_services.prompts) {
        m_prompts = m_services.prompts;
    } else {
        m_ownPrompts = std::make_unique<QtPrompts>();
        m_prompts = m_ownPrompts.get();
    }
    m_store = m_services.settingsFile.isEmpty() ? std::make_unique<SettingsStore>()
                                                : std::make_unique<SettingsStore>(m_services.settingsFile);
    m_previewWindow = new PreviewWindow(this);
    m_previewWindow->setObjectName(QStringLiteral("previewWindow"));
    m_returnWatch = std::make_unique<CameraReturnWatch>([this] { onCameraBack(); });
    // A held key gives one command, also where the platform misses its repeats.
    new KeyRepeatFilter(this);

    createWidgets();
    const QSize screen = screenSize();
    m_compactLayout = screen.height() < kCompactScreenHeight;
    if (m_compactLayout)
        arrangeCompact(screen);
    else
        arrangeNormal();
    connectCommands();
    initialise();
}

CDezedoRavovadDlg::~CDezedoRavovadDlg()
{
    disconnectIpc();
    if (m_teardown.joinable())
        m_teardown.join();
    if (!m_closeReady)
        m_store->saveSettings(m_settings, *this);
    showBlankScreen(false);
    m_camera.reset();
    m_returnWatch.reset();
}

// ---------------------------------------------------------------------------
// Construction

QSize CDezedoRavovadDlg::screenSize() const
{
    const QScreen *primary = QGuiApplication::primaryScreen();
    QSize size = primary ? primary->availableGeometry().size() : QSize(kPreviewWidth, kCompactScreenHeight);
    if (m_services.screenHeight)
        size.setHeight(m_services.screenHeight());
    if (m_services.screenWidth)
        size.setWidth(m_services.screenWidth());
    return size;
}

void CDezedoRavovadDlg::createWidgets()
{
    m_actions.create(this, menuBar());

    m_releaseButton = new QPushButton(QStringLiteral("Release (F8)"));
    m_releaseButton->setObjectName(QStringLiteral("releaseButton"));
    m_releaseButton->setProperty("controlId", 1002);
    m_previewButton = new QPushButton(QStringLiteral("Preview (F9)"));
    m_previewButton->setObjectName(QStringLiteral("previewButton"));
    m_previewButton->setProperty("controlId", 1020);

    m_panel = new SettingsPanel;

    m_previewPicture = new QLabel;
    m_previewPicture->setObjectName(QStringLiteral("previewPicture"));
    m_previewPicture->setProperty("controlId", 1019);
    m_previewPicture->setFixedSize(kPreviewWidth, kPreviewHeight);
    m_previewPicture->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_previewPicture->setFrameShape(QFrame::Box);
    m_previewPicture->setLineWidth(0);

    m_histogramPicture = new QLabel;
    m_histogramPicture->setObjectName(QStringLiteral("histogramPicture"));
    m_histogramPicture->setProperty("controlId", 1044);
    m_histogramPicture->setFixedSize(kHistogramChartWidth, kHistogramChartHeight);
    m_clippingText = new QLabel;
    m_clippingText->setObjectName(QStringLiteral("clippingText"));
    m_clippingText->hide();
    m_red = histogramBox("Red", "histogramRedCheck", nullptr);
    m_green = histogramBox("Green", "histogramGreenCheck", nullptr);
    m_blue = histogramBox("Blue", "histogramBlueCheck", nullptr);
    m_intensity = histogramBox("Intensity", "histogramIntensityCheck", nullptr);

    m_imageInfoLabel = new QLabel(QStringLiteral("Image info:"));
    m_imageInfoLabel->setObjectName(QStringLiteral("imageInfoLabel"));
    m_imageInfo = new QPlainTextEdit;
    m_imageInfo->setObjectName(QStringLiteral("imageInfoText"));
    m_imageInfo->setProperty("controlId", 1063);
    m_imageInfo->setReadOnly(true);
    m_imageInfo->setFocusPolicy(Qt::NoFocus);
    m_imageInfo->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_comment = new QLineEdit;
    m_comment->setObjectName(QStringLiteral("commentEdit"));
    m_comment->setProperty("controlId", 1119);
    m_comment->setMaxLength(255);
    m_comment->setPlaceholderText(QStringLiteral("Written into each new image"));
    m_previousButton = new QPushButton(QStringLiteral("<"));
    m_previousButton->setObjectName(QStringLiteral("previousButton"));
    m_previousButton->setProperty("controlId", 1116);
    m_nextButton = new QPushButton(QStringLiteral(">"));
    m_nextButton->setObjectName(QStringLiteral("nextButton"));
    m_nextButton->setProperty("controlId", 1117);

    m_statusLine = readOnlyLine("statusLine", 1015, nullptr);
    m_progress = new QProgressBar;
    m_progress->setObjectName(QStringLiteral("transferProgress"));
    m_progress->setProperty("controlId", 1057);
    m_progress->setRange(0, 100);
    m_progress->setValue(0);
    m_progress->setTextVisible(false);
    m_connectionText = readOnlyLine("connectionText", 1091, nullptr);
    m_freeSpaceText = readOnlyLine("freeSpaceText", 1077, nullptr);
    m_freeSpaceText->setAlignment(Qt::AlignRight);
}

void CDezedoRavovadDlg::arrangeNormal()
{
    auto *central = new QWidget;
    central->setObjectName(QStringLiteral("centralArea"));
    auto *grid = new QGridLayout(central);
    grid->setContentsMargins(6, 6, kPreviewRightMargin, 6);

    auto *left = new QVBoxLayout;
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_releaseButton);
    buttons->addWidget(m_previewButton);
    left->addLayout(buttons);
    left->addWidget(m_panel, 1);
    grid->addLayout(left, 0, 0, 2, 1);

    grid->addWidget(m_previewPicture, 0, 1, Qt::AlignRight | Qt::AlignTop);

    auto *lower = new QHBoxLayout;
    auto *histogramColumn = new QVBoxLayout;
    histogramColumn->addWidget(m_histogramPicture);
    auto *boxes = new QHBoxLayout;
    for (QCheckBox *box : {m_red, m_green, m_blue, m_intensity})
        boxes->addWidget(box);
    histogramColumn->addLayout(boxes);
    histogramColumn->addWidget(m_clippingText);
    histogramColumn->addStretch();
    lower->addLayout(histogramColumn);

    auto *infoColumn = new QVBoxLayout;
    infoColumn->addWidget(m_imageInfoLabel);
    infoColumn->addWidget(m_imageInfo, 1);
    auto *commentRow = new QHBoxLayout;
    auto *commentLabel = new QLabel(QStringLiteral("Comment:"));
    commentLabel->setBuddy(m_comment);
    commentRow->addWidget(commentLabel);
    commentRow->addWidget(m_comment, 1);
    infoColumn->addLayout(commentRow);
    auto *browseRow = new QHBoxLayout;
    browseRow->addWidget(m_previousButton);
    browseRow->addWidget(m_nextButton);
    browseRow->addStretch();
    infoColumn->addLayout(browseRow);
    lower->addLayout(infoColumn, 1);
    grid->addLayout(lower, 1, 1);

    auto *statusRow = new QHBoxLayout;
    statusRow->addWidget(m_statusLine, 3);
    statusRow->addWidget(m_progress, 1);
    grid->addLayout(statusRow, 2, 0, 1, 2);
    auto *connectionRow = new QHBoxLayout;
    connectionRow->addWidget(m_connectionText, 1);
    connectionRow->addStretch(2);
    connectionRow->addWidget(m_freeSpaceText, 1);
    grid->addLayout(connectionRow, 3, 0, 1, 2);
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(1, 1);
    setCentralWidget(central);
}

void CDezedoRavovadDlg::arrangeCompact(const QSize &screen)
{
    // The preview at the top right; the settings lists share its place and
    // F4 swaps them. The enlarged buttons and the shot's information stand
    // in the column to the left. Everything fits the screen: on a small one
    // the preview and the histogram shrink rather than push the comment and
    // the status line off the bottom.
    auto *central = new QWidget;
    central->setObjectName(QStringLiteral("centralArea"));
    auto *grid = new QGridLayout(central);
    grid->setContentsMargins(6, 6, kPreviewRightMargin, 6);

    auto *left = new QVBoxLayout;
    for (QPushButton *button : {m_releaseButton, m_previewButton}) {
        button->setMinimumHeight(60);
        QFont font = button->font();
        font.setPointSizeF(font.pointSizeF() * 1.5);
        button->setFont(font);
        left->addWidget(button);
    }
    left->addWidget(m_imageInfoLabel);
    // The column is narrow: long lines wrap rather than being cut off.
    m_imageInfo->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    left->addWidget(m_imageInfo, 1);
    auto *commentLabel = new QLabel(QStringLiteral("Comment:"));
    commentLabel->setBuddy(m_comment);
    left->addWidget(commentLabel);
    left->addWidget(m_comment);
    auto *browseRow = new QHBoxLayout;
    browseRow->addWidget(m_previousButton);
    browseRow->addWidget(m_nextButton);
    left->addLayout(browseRow);
    grid->addLayout(left, 0, 0, 2, 1);

    m_panel->arrangeInColumns(2);
    m_compactStack = new QStackedWidget;
    m_compactStack->setObjectName(QStringLiteral("compactStack"));
    m_compactStack->addWidget(m_panel);
    m_compactStack->addWidget(m_previewPicture);
    grid->addWidget(m_compactStack, 0, 1, Qt::AlignRight | Qt::AlignTop);

    auto *histogramRow = new QHBoxLayout;
    histogramRow->addWidget(m_histogramPicture);
    auto *boxes = new QVBoxLayout;
    for (QCheckBox *box : {m_red, m_green, m_blue, m_intensity})
        boxes->addWidget(box);
    boxes->addWidget(m_clippingText);
    histogramRow->addLayout(boxes);
    histogramRow->addStretch();
    grid->addLayout(histogramRow, 1, 1, Qt::AlignTop);

    auto *statusRow = new QHBoxLayout;
    statusRow->addWidget(m_statusLine, 3);
    statusRow->addWidget(m_progress, 1);
    statusRow->addWidget(m_connectionText, 1);
    statusRow->addWidget(m_freeSpaceText, 1);
    grid->addLayout(statusRow, 2, 0, 1, 2);
    grid->setColumnStretch(0, 1);
    setCentralWidget(central);
    fitCompactPictures(screen, grid, boxes);
}

void CDezedoRavovadDlg::fitCompactPictures(const QSize &screen, const QGridLayout *grid, const QLayout *histogramBoxes)
{
    const QMargins margins = grid->contentsMargins();
    const int rowSpacing = std::max(0, grid->verticalSpacing());
    const int columnSpacing = std::max(0, grid->horizontalSpacing());
    int statusHeight = 0;
    for (const QWidget *control : {static_cast<QWidget *>(m_statusLine), static_cast<QWidget *>(m_progress),
                                   static_cast<QWidget *>(m_connectionText), static_cast<QWidget *>(m_freeSpaceText)})
        statusHeight = std::max(statusHeight, control->sizeHint().height());
    const int boxesHeight = histogramBoxes->minimumSize().height();

    // Height: the menu, the preview, the histogram row and the status row.
    const int pictures = screen.height() - menuBar()->sizeHint().height() - margins.top() - margins.bottom()
                         - statusHeight - 2 * rowSpacing;
    double scale = static_cast<double>(pictures) / (kPreviewHeight + kHistogramChartHeight);
    if (kHistogramChartHeight * scale < boxesHeight)
        scale = static_cast<double>(pictures - boxesHeight) / kPreviewHeight;
    // Width: the left column keeps room for its buttons and texts.
    const int width = screen.width() - margins.left() - margins.right() - columnSpacing - kCompactColumnMinimum;
    scale = std::clamp(std::min(scale, static_cast<double>(width) / kPreviewWidth), kSmallestPictureScale, 1.0);

    const QSize preview(static_cast<int>(kPreviewWidth * scale), static_cast<int>(kPreviewHeight * scale));
    m_previewPicture->setFixedSize(preview);
    m_compactStack->setFixedSize(preview.expandedTo(m_panel->minimumSizeHint()));
    m_histogramPicture->setFixedSize(static_cast<int>(kHistogramChartWidth * scale),
                                     static_cast<int>(kHistogramChartHeight * scale));
    m_histogramPicture->setScaledContents(true);
}

void CDezedoRavovadDlg::initialise()
{
    m_panel->fillStartupLists();
    m_store->loadSettings(m_settings, *this);
    publishImageDirectorySettings();
    applyAidSettings();
    m_statusLine->setText(QStringLiteral("Not connected to camera"));
    m_busy = false;
    m_previewPicture->setPixmap(whitePreview(m_previewPicture->size()));
    m_histogramChart = makeHistogramChart();
    m_histogram.clear();
    redrawHistogram();
    m_lowApertureLimit = 24;
    m_highApertureLimit = 80;
    toggleConnection();
    updateDiskSpace();
    if (m_compactLayout) {
        // The screen's size also where no window manager makes it full screen.
        resize(screenSize());
        setWindowState(windowState() | Qt::WindowFullScreen);
    }
}

void CDezedoRavovadDlg::publishImageDirectorySettings()
{
    std::lock_guard lock(m_directoryMutex);
    m_directorySettings = ::imageDirectorySettings(m_settings);
}

ImageDirectorySettings CDezedoRavovadDlg::imageDirectorySettings() const
{
    std::lock_guard lock(m_directoryMutex);
    return m_directorySettings;
}

// ---------------------------------------------------------------------------
// The settings held in controls

namespace {

QComboBox *listFor(SettingsPanel *panel, SettingsControls::List list)
{
    using List = SettingsControls::List;
    switch (list) {
    case List::ShutterSpeed: return panel->tv;
    case List::Aperture: return panel->av;
    case List::MeteringMode: return panel->meteringMode;
    case List::DriveMode: return panel->driveMode;
    case List::Iso: return panel->iso;
    case List::Quality: return panel->sizeQuality;
    case List::WhiteBalance: return panel->whiteBalance;
    case List::ExposureCompensation: return panel->exposureCompensation;
    case List::FlashCompensation: return panel->flashCompensation;
    case List::Store: return panel->storeImagesOn;
    }
    return nullptr;
}

}  // namespace

int CDezedoRavovadDlg::listPosition(List list) const
{
    return listFor(m_panel, list)->currentIndex();
}

void CDezedoRavovadDlg::setListPosition(List list, int position)
{
    QComboBox *box = listFor(m_panel, list);
    const QSignalBlocker quiet(box);
    box->setCurrentIndex(position >= 0 && position < box->count() ? position : -1);
}

bool CDezedoRavovadDlg::isChecked(CheckBox box) const
{
    switch (box) {
    case CheckBox::HistogramRed: return m_red->isChecked();
    case CheckBox::HistogramGreen: return m_green->isChecked();
    case CheckBox::HistogramBlue: return m_blue->isChecked();
    case CheckBox::HistogramIntensity: return m_intensity->isChecked();
    case CheckBox::CameraBeep: return m_panel->cameraBeep->isChecked();
    }
    return false;
}

void CDezedoRavovadDlg::setChecked(CheckBox box, bool checked)
{
    QCheckBox *target = nullptr;
    switch (box) {
    case CheckBox::HistogramRed: target = m_red; break;
    case CheckBox::HistogramGreen: target = m_green; break;
    case CheckBox::HistogramBlue: target = m_blue; break;
    case CheckBox::HistogramIntensity: target = m_intensity; break;
    case CheckBox::CameraBeep: target = m_panel->cameraBeep; break;
    }
    const QSignalBlocker quiet(target);
    target->setChecked(checked);
}

// ---------------------------------------------------------------------------
// Connection and status

void CDezedoRavovadDlg::connectOnUsb()
{
    try {
        m_camera = std::make_unique<Camera>(*this, PS_PORT_TYPE_USB, m_services.cameraConfig);
        return;
    } catch (const psCException &e) {
        // The desktop's camera mount took the camera as it was plugged in.
        if (psErrorCode(e.code) != psERR_COMM_PORT_IS_IN_USE ||
            !m_prompts->askYesNo(this, Prompts::programCaption(), kDesktopMountQuestion) ||
            !DesktopCameraMount(m_services.desktopMountRunner).release())
            throw;
    }
    // The mount's process may take a moment to let go of the camera.
    for (int attempt = 1;; ++attempt) {
        try {
            m_camera = std::make_unique<Camera>(*this, PS_PORT_TYPE_USB, m_services.cameraConfig);
            return;
        } catch (const psCException &e) {
            if (psErrorCode(e.code) != psERR_COMM_PORT_IS_IN_USE || attempt == kClaimAttempts)
                throw;
        }
        std::this_thread::sleep_for(kClaimRetryPause);
    }
}

bool CDezedoRavovadDlg::ensureConnected()
{
    return m_camera ? true : toggleConnection();
}

bool CDezedoRavovadDlg::toggleConnection()
{
    // The user's own Connect or Disconnect ends any looking for the camera.
    m_returnWatch->stop();
    if (m_camera) {
        if (m_camera->hasImagesToSave()) {
            // Their transfer can take long: the window keeps showing it.
            m_statusLine->setText(kSavingRemainingText);
            endSessionInBackground();
            updateControls();
            return false;
        }
        const std::vector<std::string> unsaved = disconnectSession(QString());
        updateControls();
        showErrorWithUnsaved(QString(), unsaved);
        return false;
    }
    // The camera is still being let go of by the last session.
    if (m_teardown.joinable())
        m_teardown.join();

    m_statusLine->setText(QStringLiteral("Connecting to camera..."));
    m_statusLine->repaint();
    QString failure;
    try {
        connectOnUsb();
    } catch (...) {
        m_camera.reset();
        try {
            m_camera = std::make_unique<Camera>(*this, PS_PORT_TYPE_SERIAL, m_services.cameraConfig);
        } catch (const psCException &e) {
            failure = (e.code & 0xFFFFu) == 5u ? QString() : QStringLiteral("Error connecting to camera");
        } catch (...) {
            failure = QStringLiteral("Error connecting to camera");
        }
    }
    if (!m_camera) {
        m_statusLine->setText(failure);
        updateControls();
        return false;
    }

    const QString model = QString::fromStdString(m_camera->cameraModelName());
    const bool isD30 = model.compare(QStringLiteral("EOS D30"), Qt::CaseInsensitive) == 0;
    const bool isD60 = model.compare(QStringLiteral("EOS D60"), Qt::CaseInsensitive) == 0;
    if (!isD30 && !isD60) {
        m_camera.reset();
        m_statusLine->setText(QStringLiteral("Error connecting to camera, incorrect camera type: ") + model);
        m_prompts->message(this, Prompts::Icon::Error, Prompts::programCaption(),
                           QStringLiteral("Quillomat will only work with the Canon EOS D30 and D60.\n"
                                          "It does not work with the ")
                               + model);
        updateControls();
        return false;
    }

    m_modelName = model;
    m_isD60 = isD60;
    m_panel->fillModelLists(m_isD60 ? CameraModelKind::D60 : CameraModelKind::D30);
    if (m_services.connectPause.count() > 0)
        QThread::msleep(static_cast<unsigned long>(m_services.connectPause.count()));
    onStoreImagesOnChanged();
    try {
        // The opposite of the camera's mode, so that the refresh fills the step lists.
        m_incrementMode = readSetting(4) == 0 ? IncrementMode::ThirdStop : IncrementMode::HalfStop;
    } catch (...) {
        // The refresh below reads it again and reports nothing either.
    }
    fillParameterSets();
    refreshCameraSettings();
    m_statusLine->clear();
    updateControls();
    return true;
}

std::vector<std::string> CDezedoRavovadDlg::disconnectSession(const QString &failureText)
{
    m_statusLine->setText(m_camera && m_camera->hasImagesToSave() ? kSavingRemainingText
                                                                   : QStringLiteral("Disconnecting from camera..."));
    m_statusLine->repaint();
    std::vector<std::string> unsaved;
    try {
        if (m_camera) {
            m_camera->close();
            unsaved = m_camera->unsavedImages();
        }
        m_camera.reset();
        m_statusLine->setText(failureText);
    } catch (...) {
        m_statusLine->setText(QStringLiteral("Error disconnecting from camera"));
    }
    showBlankScreen(false);
    m_busy = false;
    m_releaseLocked = false;
    return unsaved;
}

void CDezedoRavovadDlg::endSessionInBackground()
{
    m_teardown = std::thread([this, camera = std::move(m_camera)]() mutable {
        auto *closed = new WindowCallEvent(WindowCall::SessionClosed);
        camera->close();
        closed->unsaved = camera->unsavedImages();
        camera.reset();
        QCoreApplication::postEvent(this, closed);
    });
    showBlankScreen(false);
    m_busy = false;
    m_releaseLocked = false;
}

void CDezedoRavovadDlg::showErrorWithUnsaved(const QString &text, const std::vector<std::string> &unsaved)
{
    QString box = text;
    if (!unsaved.empty()) {
        QStringList names;
        for (const std::string &name : unsaved)
            names << QString::fromStdString(name);
        if (!box.isEmpty())
            box += QLatin1Char('\n');
        box += QStringLiteral("Not saved: ") + names.join(QStringLiteral(", "));
    }
    if (!box.isEmpty())
        showErrorNow(box);
}

void CDezedoRavovadDlg::updateControls()
{
    // The window's own focus, also while a dialog or another program has the
    // keyboard: the toolkit moves it along the tab order when its control is
    // disabled, which can land it in the comment box.
    const QPointer<QWidget> focus = focusWidget();

    WindowState state;
    state.connected = m_camera != nullptr;
    state.busy = m_busy;
    state.modeText = m_panel->modeText();
    state.afModeText = m_panel->afMode->currentText();
    state.parameterSetCount = m_panel->parameterSet->count();
    state.imageCount = m_images.count();
    state.currentImage = m_images.currentIndex();
    state.previewHoldsImage = m_previewHoldsImage;
    state.savedImageHeld = !m_heldJpeg.empty();
    state.orientation = static_cast<int>(m_settings.orientation);
    state.displayGrid = m_settings.displayGrid != 0;
    state.blankScreenWhenTakingPhoto = m_settings.blankScreenWhenTakingPhoto != 0;
    state.modelName = m_modelName;
    if (m_camera)
        state.reachableFields = m_camera->reachableFields();
    const ControlStates c = controlStates(state);

    m_previewButton->setEnabled(c.preview);
    m_releaseButton->setEnabled(c.release);
    m_panel->sizeQuality->setEnabled(c.sizeQuality);
    m_panel->flashCompensation->setEnabled(c.flashCompensation);
    m_panel->exposureCompensation->setEnabled(c.exposureCompensation);
    m_panel->iso->setEnabled(c.iso);
    m_panel->whiteBalance->setEnabled(c.whiteBalance);
    m_panel->meteringMode->setEnabled(c.meteringMode);
    m_panel->av->setEnabled(c.av);
    m_panel->tv->setEnabled(c.tv);
    m_panel->driveMode->setEnabled(c.driveMode);
    m_panel->afMode->setEnabled(c.afMode);
    m_panel->afPoint->setEnabled(c.afPoint);
    m_panel->storeImagesOn->setEnabled(c.storeImagesOn);
    m_panel->cameraBeep->setEnabled(c.cameraBeep);
    m_panel->parameterSet->setEnabled(c.parameterSet);
    m_previousButton->setEnabled(c.previousNext);
    m_nextButton->setEnabled(c.previousNext);
    m_actions.previousImage->setEnabled(c.previousNext);
    m_actions.nextImage->setEnabled(c.previousNext);

    m_actions.deleteImage->setEnabled(c.deleteImage);
    m_actions.connect->setText(c.connectReadsDisconnect ? QStringLiteral("Disconnect") : QStringLiteral("&Connect"));
    // Not while the last session still lets go of the camera.
    m_actions.connect->setEnabled(!m_teardown.joinable());
    m_actions.cameraSettings->setEnabled(c.cameraSettings);
    m_actions.forceUiUnlock->setEnabled(c.forceUiUnlock);
    m_actions.releaseShutter->setEnabled(c.releaseShutter);
    m_actions.preview->setEnabled(c.releaseShutter);
    m_actions.refresh->setEnabled(c.releaseShutter);
    m_actions.timeLapse->setEnabled(c.releaseShutter);
    m_actions.landscape->setChecked(c.landscapeChecked);
    m_actions.inverted->setChecked(c.invertedChecked);
    m_actions.portrait1->setChecked(c.portrait1Checked);
    m_actions.portrait2->setChecked(c.portrait2Checked);
    m_actions.displayGrid->setEnabled(c.displayGridEnabled);
    m_actions.displayGrid->setChecked(c.displayGridChecked);
    m_actions.blankScreen->setChecked(c.blankScreenChecked);
    m_actions.properties->setEnabled(!m_cameraInfoText.isEmpty());

    m_connectionText->setText(c.connectionText);

    keepFocus(focus);
}

void CDezedoRavovadDlg::keepFocus(QWidget *remembered)
{
    if (remembered && remembered->isEnabled() && remembered->isVisible()) {
        if (focusWidget() != remembered)
            remembered->setFocus();
        return;
    }
    m_red->setFocus();
}

void CDezedoRavovadDlg::updateDiskSpace()
{
    m_freeSpaceText->setText(diskSpaceText(m_settings.baseDirectory));
}

// ---------------------------------------------------------------------------
// CameraWindow: from any thread to the user-interface thread, in order

void CDezedoRavovadDlg::postMessage(PostedMessage message)
{
    QCoreApplication::postEvent(this, new CameraMessageEvent(std::move(message)));
}

void CDezedoRavovadDlg::showError(const std::string &text)
{
    QCoreApplication::postEvent(this, new WindowCallEvent(WindowCall::ShowError, text));
}

void CDezedoRavovadDlg::setStatusText(const std::string &text)
{
    QCoreApplication::postEvent(this, new WindowCallEvent(WindowCall::SetStatusText, text));
}

void CDezedoRavovadDlg::setProgress(uint16_t value)
{
    QCoreApplication::postEvent(this, new WindowCallEvent(WindowCall::SetProgress, {}, value));
}

void CDezedoRavovadDlg::onImageSaved(const std::string &path)
{
    QCoreApplication::postEvent(this, new WindowCallEvent(WindowCall::OnImageSaved, path));
}

void CDezedoRavovadDlg::endReleaseInUi(const std::string &first, const std::string &second,
                                       const std::string &error)
{
    auto *call = new WindowCallEvent(WindowCall::EndReleaseInUi, error);
    call->first = first;
    call->second = second;
    QCoreApplication::postEvent(this, call);
}

void CDezedoRavovadDlg::showExceptionBox(const std::string &text, ModalReply reply)
{
    auto *call = new WindowCallEvent(WindowCall::ShowExceptionBox, text);
    call->reply = reply;
    QCoreApplication::postEvent(this, call);
}

bool CDezedoRavovadDlg::event(QEvent *event)
{
    const int type = event->type();
    if ((type >= static_cast<int>(CameraMessage::WM_CAMERA_UI_CHANGED)
         && type <= static_cast<int>(CameraMessage::WM_CAMERA_CARD_FULL))
        || type == static_cast<int>(CameraMessage::WM_DISPLAY_THUMBNAIL)) {
        handleCameraMessage(static_cast<CameraMessageEvent *>(event)->message());
        return true;
    }
    // The strip left open in the last run comes back with the window.
    if (type == QEvent::Show && m_settings.sessionStrip && !m_sessionStrip)
        showSessionStrip(true);
    if (type == WM_UNBLANK_SCREEN) {
        showBlankScreen(false);
        return true;
    }
    if (type >= static_cast<int>(WindowCall::ShowError) && type <= static_cast<int>(WindowCall::SessionClosed)) {
        handleWindowCall(*static_cast<WindowCallEvent *>(event));
        return true;
    }
    return QMainWindow::event(event);
}

void CDezedoRavovadDlg::handleWindowCall(WindowCallEvent &call)
{
    switch (call.call()) {
    case WindowCall::ShowError:
        showErrorNow(QString::fromStdString(call.text()));
        break;
    case WindowCall::SetStatusText:
        m_statusLine->setText(QString::fromStdString(call.text()));
        break;
    case WindowCall::SetProgress:
        m_progress->setValue(call.value());
        notifyIpcProgress(call.value());
        showBlankScreen(false);
        break;
    case WindowCall::OnImageSaved:
        onImageSavedNow(QString::fromStdString(call.text()));
        break;
    case WindowCall::EndReleaseInUi:
        // The release never started: the lock taken for it is given back,
        // or the camera's controls would stay locked until forced.
        if (m_releaseLocked) {
            if (m_camera)
                m_camera->resetUILock();
            m_releaseLocked = false;
        }
        showBlankScreen(false);
        m_progress->setValue(0);
        m_cameraInfoText = call.text().empty() ? QString::fromStdString(call.first) : QStringLiteral("Unknown");
        updateControls();
        m_releaseButton->setFocus();
        updateDiskSpace();
        break;
    case WindowCall::ShowExceptionBox:
        m_prompts->message(this, Prompts::Icon::Error, QStringLiteral("Exception Error (ReleaseThread)"),
                           QString::fromStdString(call.text()));
        call.reply.close();
        break;
    case WindowCall::SessionClosed:
        if (m_teardown.joinable())
            m_teardown.join();
        if (m_closing) {
            showErrorWithUnsaved(QString(), call.unsaved);
            m_closeReady = true;
            close();
            break;
        }
        // A Disconnect that had images to save; the last one's "Saved: " stays.
        if (!m_camera && m_statusLine->text() == kSavingRemainingText)
            m_statusLine->clear();
        updateControls();
        showErrorWithUnsaved(QString(), call.unsaved);
        break;
    }
}

void CDezedoRavovadDlg::showErrorNow(const QString &text)
{
    if (routeErrorToTimeLapse(text))
        return;
    m_prompts->message(this, Prompts::Icon::Error, Prompts::programCaption(), text);
}

// ---------------------------------------------------------------------------
// Closing

void CDezedoRavovadDlg::closeEvent(QCloseEvent *event)
{
    if (m_closeReady || (!m_camera && !m_teardown.joinable())) {
        if (!m_closeReady) {
            m_store->saveSettings(m_settings, *this);
            m_closeReady = true;
        }
        m_previewWindow->close();
        showBlankScreen(false);
        QMainWindow::closeEvent(event);
        return;
    }
    event->ignore();
    if (m_closing)
        return;
    // Settings first, as the user left them; then the session ends on a
    // thread of its own, saving the images the camera has already announced,
    // while the window keeps showing their progress.
    m_closing = true;
    m_store->saveSettings(m_settings, *this);
    m_statusLine->setText(QStringLiteral("Saving the last images before closing..."));
    centralWidget()->setEnabled(false);
    menuBar()->setEnabled(false);
    // A Disconnect may have the session on its way out already.
    if (m_camera)
        endSessionInBackground();
}
