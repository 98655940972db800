// The real main window on the offscreen platform with the simulated camera
// in the same process: start-up, connection, status, the settings held in
// its controls, and closing while an image is on its way.
#include "WindowTestSupport.h"

#include "HelpPageOpener.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QSpinBox>
#include <QTimer>

#include <QLabel>
#include <QMenuBar>

#include <cstring>
#include <filesystem>
#include <functional>
#include <optional>
#include <tuple>
#include <map>

TEST_F(WindowTest, WithoutACameraEveryCameraControlIsDisabled)
{
    detachCamera();
    CDezedoRavovadDlg &window = open();

    EXPECT_FALSE(window.isConnected());
    EXPECT_EQ(text(find("statusLine")), QStringLiteral("Error connecting to camera"));
    EXPECT_EQ(text(find("connectionText")), QStringLiteral("Not connected"));
    for (const char *name : {"releaseButton", "previewButton", "tvList", "avList", "isoList", "sizeQualityList",
                             "whiteBalanceList", "meteringModeList", "driveModeList", "afPointList", "afModeList",
                             "exposureCompensationList", "flashCompensationList", "parameterSetList",
                             "storeImagesOnList", "cameraBeepCheck", "previousButton", "nextButton"})
        EXPECT_FALSE(find(name)->isEnabled()) << name;
    for (const char *name : {"releaseShutterAction", "previewAction", "refreshAction", "timeLapseAction",
                             "forceUiUnlockAction"})
        EXPECT_FALSE(action(name)->isEnabled()) << name;
    EXPECT_EQ(action("connectAction")->text(), QStringLiteral("&Connect"));
    EXPECT_TRUE(m_prompts.shown.empty());
}

TEST_F(WindowTest, AnotherModelIsRefusedByName)
{
    attachCamera("PowerShot G2");
    CDezedoRavovadDlg &window = open();

    EXPECT_FALSE(window.isConnected());
    EXPECT_EQ(text(find("statusLine")),
              QStringLiteral("Error connecting to camera, incorrect camera type: PowerShot G2"));
    ASSERT_EQ(m_prompts.shown.size(), 1u);
    EXPECT_EQ(m_prompts.shown[0].icon, Prompts::Icon::Error);
    EXPECT_EQ(m_prompts.shown[0].caption, QStringLiteral("Quillomat"));
    EXPECT_EQ(m_prompts.shown[0].text,
              QStringLiteral("Quillomat will only work with the Canon EOS D30 and D60.\nIt does not work with the "
                             "PowerShot G2"));
    EXPECT_EQ(text(find("connectionText")), QStringLiteral("Not connected"));
}

class MainWindowModelTest : public WindowTest, public ::testing::WithParamInterface<const char *> {};

TEST_P(MainWindowModelTest, ConnectsAtStartWithTheModelsLists)
{
    const std::string model = GetParam();
    const bool d60 = model == "EOS D60";
    attachCamera(model, "mode=manual;tv=1/125;av=8");
    CDezedoRavovadDlg &window = open();

    ASSERT_TRUE(window.isConnected());
    EXPECT_EQ(text(find("connectionText")), QStringLiteral("Connected to ") + QString::fromStdString(model));
    EXPECT_EQ(text(find("statusLine")), QString());
    EXPECT_EQ(action("connectAction")->text(), QStringLiteral("Disconnect"));
    EXPECT_EQ(entries(find<QComboBox>("isoList")).last(), d60 ? QStringLiteral("1000") : QStringLiteral("1600"));
    EXPECT_EQ(find<QComboBox>("sizeQualityList")->count(), d60 ? 7 : 5);
    QComboBox *sets = find<QComboBox>("parameterSetList");
    if (d60) {
        EXPECT_EQ(entries(sets), QStringList{QStringLiteral("N/A")});
        EXPECT_FALSE(sets->isEnabled());
    } else {
        EXPECT_EQ(sets->itemText(0), QStringLiteral("Standard"));
    }
    // The first refresh filled the step lists and shows the camera's values.
    EXPECT_EQ(find<QComboBox>("tvList")->itemText(0), QStringLiteral("Bulb"));
    EXPECT_EQ(find<QComboBox>("tvList")->currentText(), QStringLiteral("1/125"));
    EXPECT_EQ(find<QComboBox>("avList")->currentText(), QStringLiteral("8.0"));
    EXPECT_EQ(text(find("modeText")), QStringLiteral("Mode: Manual"));
    for (const char *name : {"releaseButton", "previewButton", "tvList", "avList", "isoList", "sizeQualityList"})
        EXPECT_TRUE(find(name)->isEnabled()) << name;
    EXPECT_TRUE(action("releaseShutterAction")->isEnabled());
    EXPECT_FALSE(action("forceUiUnlockAction")->isEnabled());
}

INSTANTIATE_TEST_SUITE_P(Models, MainWindowModelTest, ::testing::Values("EOS D30", "EOS D60"));

TEST_F(WindowTest, AnImageZoneModeLeavesOnlyTheBasicControls)
{
    attachCamera("EOS D60", "mode=portrait");
    open();

    EXPECT_EQ(text(find("modeText")), QStringLiteral("Mode: Portrait"));
    for (const char *name : {"releaseButton", "previewButton", "isoList", "driveModeList", "storeImagesOnList",
                             "cameraBeepCheck"})
        EXPECT_TRUE(find(name)->isEnabled()) << name;
    for (const char *name : {"sizeQualityList", "whiteBalanceList", "meteringModeList", "flashCompensationList",
                             "exposureCompensationList", "avList", "tvList", "afModeList", "afPointList",
                             "parameterSetList"})
        EXPECT_FALSE(find(name)->isEnabled()) << name;
}

TEST_F(WindowTest, LowScreensGetTheCompactLayout)
{
    detachCamera();
    EXPECT_FALSE(open(768).isCompactLayout());
    m_window.reset();
    CDezedoRavovadDlg &compact = open(720);
    EXPECT_TRUE(compact.isCompactLayout());
    EXPECT_TRUE(compact.windowState() & Qt::WindowFullScreen);
    auto *picture = find("previewPicture");
    auto *panel = find("cameraSettingsGroup");
    EXPECT_TRUE(panel->isVisible());
    EXPECT_FALSE(picture->isVisible());
    QTest::keyClick(&compact, Qt::Key_F4);
    EXPECT_TRUE(picture->isVisible());
    EXPECT_FALSE(panel->isVisible());
}

TEST_F(WindowTest, FreeSpaceIsShownForTheImageFolder)
{
    detachCamera();
    storeSetting("BaseDirectory", QStringLiteral("//server/share/photos"));
    open();
    EXPECT_EQ(text(find("freeSpaceText")), QStringLiteral("<network drive>"));
    m_window.reset();

    storeSetting("BaseDirectory", m_images + QStringLiteral("/not/yet/made"));
    open();
    EXPECT_TRUE(text(find("freeSpaceText")).endsWith(QStringLiteral(" free"))) << text(find("freeSpaceText")).toStdString();
}

TEST_F(WindowTest, SettingsHeldInControlsGoThroughTheRealWidgets)
{
    detachCamera();
    storeSetting("Quality", 7u);
    storeSetting("WhiteBalance", 3u);
    storeSetting("HistogramGreen", 0u);
    storeSetting("Store", 2u);
    open();

    EXPECT_EQ(find<QComboBox>("sizeQualityList")->currentIndex(), -1);
    EXPECT_EQ(find<QComboBox>("whiteBalanceList")->currentText(), QStringLiteral("Tungsten"));
    EXPECT_FALSE(find<QCheckBox>("histogramGreenCheck")->isChecked());
    EXPECT_TRUE(find<QCheckBox>("histogramRedCheck")->isChecked());
    EXPECT_EQ(find<QComboBox>("storeImagesOnList")->currentText(), QStringLiteral("CF only"));

    find<QCheckBox>("histogramBlueCheck")->setChecked(false);
    m_window->close();
    m_window.reset();
    EXPECT_EQ(storedSetting("Quality").toLongLong(), 4294967295LL);
    EXPECT_EQ(storedSetting("WhiteBalance").toUInt(), 3u);
    EXPECT_EQ(storedSetting("HistogramBlue").toUInt(), 0u);
    EXPECT_EQ(storedSetting("HistogramGreen").toUInt(), 0u);
    EXPECT_EQ(storedSetting("Store").toUInt(), 2u);
}

TEST_F(WindowTest, PreferencesCancelKeepsTheFolder)
{
    detachCamera();
    CDezedoRavovadDlg &window = open();
    const QString before = window.settings().baseDirectory;
    m_prompts.folderAnswers.push_back(m_folder.filePath(QStringLiteral("elsewhere")));
    bool sawDialog = false;
    QTimer::singleShot(0, [&] {
        QWidget *dialog = QApplication::activeModalWidget();
        sawDialog = dialog && dialog->windowTitle() == QStringLiteral("Quillomat Preferences");
        if (!dialog)
            return;
        if (auto *browse = dialog->findChild<QPushButton *>(QStringLiteral("browseButton")))
            QTest::mouseClick(browse, Qt::LeftButton);
        static_cast<QDialog *>(dialog)->reject();
    });
    action("preferencesAction")->trigger();
    EXPECT_TRUE(sawDialog);
    EXPECT_EQ(window.settings().baseDirectory, before);
}

TEST_F(WindowTest, ForceUnlockAsksFirst)
{
    attachCamera("EOS D60", "mode=manual");
    CDezedoRavovadDlg &window = open();
    ASSERT_TRUE(window.isConnected());
    m_prompts.yesNoAnswers.push_back(false);
    action("forceUiUnlockAction")->setEnabled(true);
    action("forceUiUnlockAction")->trigger();
    ASSERT_EQ(m_prompts.shown.size(), 1u);
    EXPECT_EQ(m_prompts.shown[0].kind, RecordingPrompts::Shown::Kind::Question);
    EXPECT_TRUE(m_prompts.shown[0].text.startsWith(QStringLiteral("Unlock camera\nThis should only be used")));
}

TEST_F(WindowTest, F8SavesAndShowsTheShot)
{
    attachCamera("EOS D60", "mode=manual;tv=1/125;quality=large/fine");
    CDezedoRavovadDlg &window = open();
    ASSERT_TRUE(window.isConnected());

    QTest::keyClick(&window, Qt::Key_F8);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window.imageList().empty() && !window.isBusy(); }, 15000));
    const QString saved = m_images + QStringLiteral("/IMG_0001.JPG");
    EXPECT_TRUE(QFileInfo::exists(saved));
    EXPECT_TRUE(text(find("statusLine")).startsWith(QStringLiteral("Saved: ") + saved + QStringLiteral(" (")))
        << text(find("statusLine")).toStdString();
    EXPECT_TRUE(text(find("statusLine")).endsWith(QStringLiteral("KB)")));
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Quillomat - ") + saved + QStringLiteral(" - [1 of 1]"));
    EXPECT_TRUE(m_prompts.shown.empty());
}

TEST_F(WindowTest, ClosingDuringATransferSavesTheAnnouncedImage)
{
    // A slow cable: the image is still on its way when the window closes.
    attachCamera("EOS D60", "mode=manual;tv=1/125;quality=small/normal;transfer=200000");
    CDezedoRavovadDlg &window = open();
    ASSERT_TRUE(window.isConnected());

    QTest::keyClick(&window, Qt::Key_F8);
    QLineEdit *status = find<QLineEdit>("statusLine");
    ASSERT_TRUE(QTest::qWaitFor([&] { return status->text().startsWith(QStringLiteral("Transferring image")); },
                                15000));
    window.close();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window.isVisible(); }, 30000));
    EXPECT_TRUE(QFileInfo::exists(m_images + QStringLiteral("/IMG_0001.JPG")));
    // Nothing half-written is left beside it.
    EXPECT_EQ(QDir(m_images).entryList(QDir::Files | QDir::Hidden).size(), 1);
}

TEST_F(WindowTest, DisconnectingDuringATransferKeepsTheWindowGoingUntilTheImageIsSaved)
{
    attachCamera("EOS D60", "mode=manual;tv=1/125;quality=small/normal;transfer=40000");
    CDezedoRavovadDlg &window = open();
    ASSERT_TRUE(window.isConnected());

    QTest::keyClick(&window, Qt::Key_F8);
    QLineEdit *status = find<QLineEdit>("statusLine");
    ASSERT_TRUE(QTest::qWaitFor([&] { return status->text().startsWith(QStringLiteral("Transferring image")); },
                                15000));
    QAction *connect = action("connectAction");
    ASSERT_EQ(connect->text(), QStringLiteral("Disconnect"));
    connect->trigger();
    // The command is back before the image is in: the window is not held up.
    const QString saved = m_images + QStringLiteral("/IMG_0001.JPG");
    EXPECT_FALSE(QFileInfo::exists(saved));
    EXPECT_FALSE(window.isConnected());
    EXPECT_EQ(status->text(), QStringLiteral("Saving the remaining images..."));
    EXPECT_FALSE(connect->isEnabled()) << "no new session while the old one lets go of the camera";

    // Its progress is shown while it comes in.
    int highest = 0;
    QProgressBar *progress = find<QProgressBar>("transferProgress");
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            highest = std::max(highest, progress->value());
            return connect->isEnabled();
        },
        30000));
    EXPECT_GT(highest, 0);
    EXPECT_TRUE(QFileInfo::exists(saved));
    EXPECT_EQ(window.imageList().size(), 1u);
    EXPECT_EQ(connect->text(), QStringLiteral("&Connect"));
    EXPECT_TRUE(m_prompts.shown.empty());

    // And the camera can be taken up again.
    connect->trigger();
    EXPECT_TRUE(window.isConnected());
}

TEST_F(WindowTest, EveryControlCarriesItsIdentifier)
{
    detachCamera();
    open();
    const std::map<const char *, int> controls = {
        {"releaseButton", 1002},     {"previewButton", 1020},      {"statusLine", 1015},
        {"connectionText", 1091},    {"freeSpaceText", 1077},      {"transferProgress", 1057},
        {"previewPicture", 1019},    {"histogramPicture", 1044},   {"imageInfoText", 1063},
        {"commentEdit", 1119},       {"previousButton", 1116},     {"nextButton", 1117},
        {"tvList", 1022},            {"avList", 1021},             {"exposureCompensationList", 1026},
        {"flashCompensationList", 1028}, {"sizeQualityList", 1004}, {"whiteBalanceList", 1024},
        {"meteringModeList", 1097},  {"driveModeList", 1098},      {"isoList", 1025},
        {"afPointList", 1088},       {"afModeList", 1089},         {"parameterSetList", 1114},
        {"storeImagesOnList", 1120}, {"cameraBeepCheck", 1096},    {"lensText", 1090},
        {"modeText", 1087},          {"customSettingsText", 1093},
    };
    for (const auto &[name, id] : controls)
        EXPECT_EQ(find(name)->property("controlId").toInt(), id) << name;
    EXPECT_EQ(find("previewPicture")->size(), QSize(720, 480));
    EXPECT_EQ(find("histogramPicture")->size(), QSize(276, 140));
    // The preview stands 5 pixels from the window's right edge, at the top.
    QWidget *picture = find("previewPicture");
    const QPoint topRight = picture->mapTo(m_window->centralWidget(), QPoint(picture->width(), 0));
    EXPECT_EQ(m_window->centralWidget()->width() - topRight.x(), 5);
}

TEST_F(WindowTest, TheMenuHasItsCaptionsIdentifiersAndKeys)
{
    detachCamera();
    open();
    struct Entry {
        const char *name;
        const char *caption;
        int id;
        QKeySequence key;
    };
    const Entry menu[] = {
        {"renameImageAction", "&Rename Image", 32789, QKeySequence(Qt::CTRL | Qt::Key_R)},
        {"deleteImageAction", "&Delete Image", 1082, QKeySequence(Qt::Key_Delete)},
        {"fullScreenAction", "&Full Screen", 32784, QKeySequence(Qt::Key_F11)},
        {"setupImageEditorAction", "&Setup Image Editor", 32810, {}},
        {"preferencesAction", "&Preferences", 32775, {}},
        {"exitAction", "E&xit", 2, {}},
        {"cameraSettingsAction", "&Settings...", 32781, {}},
        {"refreshAction", "&Refresh", 32782, QKeySequence(Qt::Key_F5)},
        {"forceUiUnlockAction", "&Force UI Unlock", 32783, QKeySequence(Qt::SHIFT | Qt::Key_F5)},
        {"registerForEventsAction", "Register for Camera &Events", 1083, {}},
        {"unregisterForEventsAction", "&Unregister for Camera Events", 1084, {}},
        {"releaseShutterAction", "Release Shutter", 1002, QKeySequence(Qt::Key_F8)},
        {"previewAction", "Preview", 1020, QKeySequence(Qt::Key_F9)},
        {"connectAction", "&Connect", 32774, {}},
        {"blankScreenAction", "Blank screen when taking photo", 32795, {}},
        {"timeLapseAction", "&Time Lapse...", 1072, {}},
        {"landscapeAction", "&Landscape", 32780, {}},
        {"invertedAction", "&Inverted", 32778, {}},
        {"portrait1Action", "Portrait &1", 32776, {}},
        {"portrait2Action", "Portrait &2", 32777, {}},
        {"rotateAction", "&Rotate", 32787, QKeySequence(Qt::Key_F6)},
        {"viewImageAction", "&View Image", 32786, QKeySequence(Qt::Key_F7)},
        {"displayGridAction", "Display &Grid", 32793, QKeySequence(Qt::CTRL | Qt::Key_G)},
        {"gridSettingsAction", "Grid &Settings...", 32794, {}},
        {"editCommentAction", "&Edit Comment", 32790, QKeySequence(Qt::CTRL | Qt::Key_E)},
        {"editImageAction", "E&dit Image", 32791, QKeySequence(Qt::Key_F3)},
        {"propertiesAction", "&Properties", 32779, {}},
        {"helpContentsAction", "&Contents", 32771, {}},
        {"aboutAction", "&About Quillomat", 32772, {}},
        {"compactToggleAction", nullptr, 32788, QKeySequence(Qt::Key_F4)},
        {"previousImageAction", nullptr, 1116, QKeySequence(Qt::Key_Left)},
        {"nextImageAction", nullptr, 1117, QKeySequence(Qt::Key_Right)},
    };
    for (const Entry &entry : menu) {
        QAction *a = action(entry.name);
        ASSERT_NE(a, nullptr);
        if (entry.caption) {
            EXPECT_EQ(a->text(), QString::fromUtf8(entry.caption)) << entry.name;
        }
        EXPECT_EQ(a->property("controlId").toInt(), entry.id) << entry.name;
        EXPECT_EQ(a->shortcut(), entry.key) << entry.name;
        if (!entry.key.isEmpty()) {
            EXPECT_FALSE(a->autoRepeat()) << entry.name;
        }
    }
    QStringList titles;
    for (QAction *top : m_window->menuBar()->actions())
        titles << top->text();
    EXPECT_EQ(titles, (QStringList{QStringLiteral("&File"), QStringLiteral("&Camera"), QStringLiteral("&Image"),
                                   QStringLiteral("&Help")}));
}

TEST_F(WindowTest, AMissingHelpPageIsNamedInFull)
{
    detachCamera();
    open();
    const QString path = QCoreApplication::applicationDirPath() + QStringLiteral("/Quillomat.htm");
    QFile::remove(path);
    action("helpContentsAction")->trigger();
    ASSERT_EQ(m_prompts.messageTexts().size(), 1u);
    EXPECT_EQ(m_prompts.messageTexts()[0], QStringLiteral("Unable to find HTML help file:\n") + path);
    EXPECT_EQ(m_prompts.shown[0].icon, Prompts::Icon::Error);
}

// Help > Contents hands the page to xdg-open, here a script on a private PATH
// that records its arguments and ends with the status of each case.
TEST_F(WindowTest, HelpContentsSaysWhenNoProgramShowedThePage)
{
    detachCamera();
    CDezedoRavovadDlg &window = open();
    const QString page = QCoreApplication::applicationDirPath() + QStringLiteral("/Quillomat.htm");
    if (!QFile::exists(page)) {
        QFile file(page);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("<html><title>Quillomat</title></html>\n");
    }
    const QString bin = m_folder.filePath(QStringLiteral("bin"));
    ASSERT_TRUE(QDir().mkpath(bin));
    const QString record = m_folder.filePath(QStringLiteral("xdg-open.args"));
    // Only the private folder on the PATH, no browser named: put back at the end.
    struct Environment {
        const char *name;
        QByteArray value;
        bool set;
    };
    struct Restore {
        std::vector<Environment> saved;
        ~Restore()
        {
            for (const Environment &e : saved)
                e.set ? qputenv(e.name, e.value) : qunsetenv(e.name);
        }
    } restore;
    for (const char *name : {"PATH", "BROWSER", "DEFAULT_BROWSER"})
        restore.saved.push_back({name, qgetenv(name), qEnvironmentVariableIsSet(name)});
    qputenv("PATH", bin.toLocal8Bit());
    qunsetenv("BROWSER");
    qunsetenv("DEFAULT_BROWSER");

    struct Case {
        std::optional<int> xdgOpenStatus;  // none: no xdg-open on the PATH
        QString reason;                    // empty: no box
    };
    const Case cases[] = {
        {0, QString()},
        {3, HelpPageOpener::xdgOpenFailedText(3)},
        {4, QStringLiteral("xdg-open could not open it (exit status 4).")},
        {std::nullopt, HelpPageOpener::noBrowserText()},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.xdgOpenStatus ? *c.xdgOpenStatus : -1);
        m_prompts.shown.clear();
        QFile::remove(record);
        QFile::remove(bin + QStringLiteral("/xdg-open"));
        if (c.xdgOpenStatus) {
            QFile script(bin + QStringLiteral("/xdg-open"));
            ASSERT_TRUE(script.open(QIODevice::WriteOnly));
            script.write(QStringLiteral("#!/bin/sh\nprintf '%s\\n' \"$@\" > '%1'\nexit %2\n")
                             .arg(record)
                             .arg(*c.xdgOpenStatus)
                             .toLocal8Bit());
            script.close();
            script.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        }
        action("helpContentsAction")->trigger();
        auto *opener = window.findChild<HelpPageOpener *>(QStringLiteral("helpPageOpener"));
        ASSERT_NE(opener, nullptr);
        ASSERT_TRUE(QTest::qWaitFor([&] { return !opener->isOpening(); }, 10000));
        // The ended xdg-open deletes itself.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        if (c.xdgOpenStatus) {
            QFile args(record);
            ASSERT_TRUE(args.open(QIODevice::ReadOnly));
            EXPECT_EQ(QString::fromLocal8Bit(args.readAll()), page + QStringLiteral("\n"));
        }
        if (c.reason.isEmpty()) {
            EXPECT_TRUE(m_prompts.shown.empty());
        } else {
            ASSERT_EQ(m_prompts.messageTexts().size(), 1u);
            EXPECT_EQ(m_prompts.messageTexts()[0],
                      QStringLiteral("Unable to open HTML help file:\n") + page + QStringLiteral("\n") + c.reason);
            EXPECT_EQ(m_prompts.shown[0].icon, Prompts::Icon::Error);
        }
    }
}

TEST_F(WindowTest, GridCommandsRedrawTheHeldShot)
{
    attachCamera("EOS D60", "mode=manual;tv=1/125;quality=small/fine");
    CDezedoRavovadDlg &window = open();
    ASSERT_TRUE(window.isConnected());
    QAction *grid = action("displayGridAction");
    // Nothing held yet: the grid cannot be switched on the preview.
    EXPECT_FALSE(grid->isEnabled());

    QTest::keyClick(&window, Qt::Key_F8);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window.imageList().empty() && !window.isBusy(); }, 15000));
    ASSERT_TRUE(grid->isEnabled());
    auto *picture = find<QLabel>("previewPicture");
    const QImage before = picture->pixmap().toImage();
    window.settings().gridColour = 0x0000FF;  // red
    window.settings().numHorzGridDivisions = 3;
    grid->trigger();
    EXPECT_TRUE(grid->isChecked());
    EXPECT_EQ(window.settings().displayGrid, 1u);
    const QImage with = picture->pixmap().toImage();
    // A vertical line a third of the way across, drawn into the bitmap.
    const int x = window.findChild<QLabel *>(QStringLiteral("previewPicture"))->width() / 3;
    EXPECT_EQ(QColor(with.pixel(x, 100)), QColor(Qt::red));
    EXPECT_NE(before.pixel(x, 100), with.pixel(x, 100));
    grid->trigger();
    EXPECT_EQ(picture->pixmap().toImage(), before);
}

TEST_F(WindowTest, MinimisingHidesTheImagePreviewWindow)
{
    attachCamera("EOS D60", "mode=manual;tv=1/125;quality=small/fine");
    CDezedoRavovadDlg &window = open();
    QTest::keyClick(&window, Qt::Key_F8);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window.imageList().empty() && !window.isBusy(); }, 15000));
    action("viewImageAction")->trigger();
    auto *preview = window.findChild<QWidget *>(QStringLiteral("previewWindow"));
    ASSERT_NE(preview, nullptr);
    EXPECT_TRUE(preview->isVisible());
    window.showMinimized();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !preview->isVisible(); }, 2000));
    window.showNormal();
    EXPECT_TRUE(QTest::qWaitFor([&] { return preview->isVisible(); }, 2000));
}

TEST_F(WindowTest, CameraSettingsChangesWhatTheWindowShows)
{
    attachCamera("EOS D30", "mode=manual;tv=1/125");
    CDezedoRavovadDlg &window = open();
    ASSERT_TRUE(window.isConnected());
    ASSERT_EQ(find<QComboBox>("tvList")->count(), 37);
    const int setsBefore = find<QComboBox>("parameterSetList")->count();
    bool sawDialog = false;
    // In the camera's own dialog: third-stop increments and mirror lock-up,
    // and parameter set 3 defined.
    QTimer::singleShot(0, [&] {
        QWidget *dialog = QApplication::activeModalWidget();
        sawDialog = dialog && dialog->objectName() == QStringLiteral("cameraSettingsDialog");
        if (!sawDialog)
            return;
        dialog->findChild<QSpinBox *>(QStringLiteral("customFunction4"))->setValue(1);
        dialog->findChild<QSpinBox *>(QStringLiteral("customFunction3"))->setValue(1);
        if (auto *defined = dialog->findChild<QCheckBox *>(QStringLiteral("parameterSet3Defined")))
            defined->setChecked(true);
        QTest::mouseClick(dialog->findChild<QPushButton *>(QStringLiteral("okButton")), Qt::LeftButton);
    });
    action("cameraSettingsAction")->trigger();
    ASSERT_TRUE(sawDialog);
    // The window read the camera again: third-stop lists, the custom-function
    // warning and the new parameter set.
    EXPECT_EQ(find<QComboBox>("tvList")->count(), 54);
    EXPECT_EQ(text(find("customSettingsText")), QStringLiteral("CFn 2: Mirror lockup selected"));
    EXPECT_EQ(find<QComboBox>("parameterSetList")->count(), setsBefore + 1);
}

// ---------------------------------------------------------------------------
// Where the keyboard focus goes when its control is disabled or hidden: back
// to the control that had it, else the "Red" check box; never on to the next
// control in the tab order, which may be the comment box (it would take the
// arrow keys and Del from the image commands).

namespace {

// Another window of the program has the keyboard meanwhile (a dialog of its own).
class OtherWindowWithFocus {
public:
    OtherWindowWithFocus()
    {
        auto *edit = new QLineEdit(&m_dialog);
        m_dialog.show();
        m_dialog.activateWindow();
        edit->setFocus();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&m_dialog));
    }

private:
    QDialog m_dialog;
};

struct FocusCase {
    const char *name;
    const char *focusBefore;  // the control that has the window's focus first
    bool otherWindowActive;   // whether a dialog of the program has the keyboard meanwhile
    std::function<void(CDezedoRavovadDlg &)> happen;
    const char *normalFocus;   // where the focus is afterwards in the normal layout
    const char *compactFocus;  // and in the compact layout
};

void cameraShot(CDezedoRavovadDlg &window)
{
    const size_t before = window.imageList().size();
    ASSERT_EQ(simcam::runControlCommand("shutter").rfind("ok", 0), 0u);
    ASSERT_TRUE(waitForShots(window, before + 1));
    QTest::qWait(100);
}

void f8Shot(CDezedoRavovadDlg &window)
{
    const size_t before = window.imageList().size();
    QTest::keyClick(&window, Qt::Key_F8);
    ASSERT_TRUE(waitForShots(window, before + 1));
    QTest::qWait(100);
}

void reconnect(CDezedoRavovadDlg &window)
{
    window.toggleConnection();
    EXPECT_FALSE(window.isConnected());
    window.toggleConnection();
    EXPECT_TRUE(window.isConnected());
}

const FocusCase kFocusCases[] = {
    {"ShotWhileADialogHasTheKeyboard", "releaseButton", true, cameraShot, "releaseButton", "releaseButton"},
    {"ReconnectWhileADialogHasTheKeyboard", "releaseButton", true, reconnect, "histogramRedCheck",
     "histogramRedCheck"},
    {"ReconnectFromTheWindow", "tvList", false, reconnect, "histogramRedCheck", "histogramRedCheck"},
    // In the compact layout the new picture takes the settings lists' place.
    {"F8ShotFromTheTvList", "tvList", false, f8Shot, "tvList", "histogramRedCheck"},
    {"ShotFromTheCameraBeep", "cameraBeepCheck", true, cameraShot, "histogramRedCheck", "histogramRedCheck"},
};

void PrintTo(const FocusCase &c, std::ostream *out)
{
    *out << c.name;
}

}  // namespace

class FocusTest : public WindowTest, public ::testing::WithParamInterface<std::tuple<int, FocusCase>> {};

TEST_P(FocusTest, TheFocusGoesBackOrToTheRedCheckBoxNeverToTheComment)
{
    const auto &[screenHeight, c] = GetParam();
    attachCamera("EOS D60", "mode=manual;tv=1/125;quality=small/fine");
    CDezedoRavovadDlg &window = open(screenHeight);
    ASSERT_TRUE(window.isConnected());
    find(c.focusBefore)->setFocus();
    ASSERT_EQ(window.focusWidget(), find(c.focusBefore));
    {
        std::optional<OtherWindowWithFocus> other;
        if (c.otherWindowActive)
            other.emplace();
        c.happen(window);
    }
    const char *expected = window.isCompactLayout() ? c.compactFocus : c.normalFocus;
    ASSERT_NE(window.focusWidget(), nullptr) << c.name;
    EXPECT_EQ(window.focusWidget()->objectName().toStdString(), expected) << c.name;
}

INSTANTIATE_TEST_SUITE_P(Cases, FocusTest,
                         ::testing::Combine(::testing::Values(1024, 600), ::testing::ValuesIn(kFocusCases)),
                         [](const auto &info) {
                             return std::string(std::get<0>(info.param) < 740 ? "Compact" : "Normal")
                                    + std::get<1>(info.param).name;
                         });

TEST_F(WindowTest, TheCompactToggleTakesTheFocusFromTheListsItHides)
{
    attachCamera("EOS D60", "mode=manual;tv=1/125");
    CDezedoRavovadDlg &window = open(600);
    ASSERT_TRUE(window.isCompactLayout());
    auto *tv = find<QComboBox>("tvList");
    tv->setFocus();
    QTest::keyClick(&window, Qt::Key_F4);
    EXPECT_FALSE(tv->isVisible());
    EXPECT_EQ(window.focusWidget(), find("histogramRedCheck"));
    // The comment box keeps the focus the user gave it.
    find("commentEdit")->setFocus();
    QTest::keyClick(&window, Qt::Key_F4);
    EXPECT_TRUE(tv->isVisible());
    EXPECT_EQ(window.focusWidget(), find("commentEdit"));
}

// ---------------------------------------------------------------------------
// The compact layout on the small screens it exists for: everything inside
// the screen, nothing cut off or overlapping; the preview and the histogram
// shrink, keeping their shape, only where they must.

namespace {

struct CompactScreen {
    QSize size;
    bool fullSizePictures;  // room for the 720 x 480 preview and the 276 x 140 histogram
};

void PrintTo(const CompactScreen &screen, std::ostream *out)
{
    *out << screen.size.width() << "x" << screen.size.height();
}

QRect inWindow(const QWidget *widget)
{
    return QRect(widget->mapTo(widget->window(), QPoint(0, 0)), widget->size());
}

}  // namespace

class CompactLayoutTest : public WindowTest, public ::testing::WithParamInterface<CompactScreen> {
protected:
    // Every visible control lies inside the window, and no label, list or
    // button is narrower than its text needs.
    void expectAllInside(const CDezedoRavovadDlg &window, const char *page)
    {
        for (const QWidget *control : window.findChildren<QWidget *>()) {
            if (!control->isVisible() || control->isWindow() || control->objectName().startsWith(QLatin1String("qt_")))
                continue;
            const QRect rect = inWindow(control);
            EXPECT_TRUE(window.rect().contains(rect))
                << page << ": " << control->metaObject()->className() << " '" << control->objectName().toStdString()
                << "' at " << rect.x() << "," << rect.y() << " " << rect.width() << "x" << rect.height();
            const bool texts = qobject_cast<const QLabel *>(control) || qobject_cast<const QComboBox *>(control)
                               || qobject_cast<const QAbstractButton *>(control);
            const auto *label = qobject_cast<const QLabel *>(control);
            if (texts && !(label && !label->pixmap().isNull())) {
                EXPECT_GE(control->width(), control->minimumSizeHint().width())
                    << page << ": '" << text(control).toStdString() << "' cut off";
            }
        }
    }
};

TEST_P(CompactLayoutTest, EverythingFitsTheScreen)
{
    const CompactScreen screen = GetParam();
    attachCamera("EOS D60", "mode=manual;tv=1/125;quality=small/fine");
    CDezedoRavovadDlg &window = open(screen.size.height(), screen.size.width());
    ASSERT_TRUE(window.isCompactLayout());
    // The window as the screen holds it (the offscreen screen has its own size).
    window.setWindowState(Qt::WindowNoState);
    window.resize(screen.size);
    QTest::qWait(50);
    EXPECT_EQ(window.size(), screen.size);
    QTest::keyClick(&window, Qt::Key_F8);
    ASSERT_TRUE(waitForShots(window, 1));
    QTest::qWait(50);

    const QSize preview = find("previewPicture")->size();
    const QSize histogram = find("histogramPicture")->size();
    if (screen.fullSizePictures) {
        EXPECT_EQ(preview, QSize(720, 480));
        EXPECT_EQ(histogram, QSize(276, 140));
    } else {
        EXPECT_LT(preview.width(), 720);
        EXPECT_NEAR(preview.width() * 2, preview.height() * 3, 3) << "3:2 like the preview";
        EXPECT_NEAR(histogram.width() * 140, histogram.height() * 276, 276) << "the histogram's shape";
    }
    auto *info = find<QPlainTextEdit>("imageInfoText");
    EXPECT_EQ(info->horizontalScrollBar()->maximum(), 0) << "every information line shown whole";
    expectAllInside(window, "preview");

    // The main parts stand side by side or one above the other, never over each other.
    const char *parts[] = {"releaseButton", "previewButton", "imageInfoText", "commentEdit", "previousButton",
                           "nextButton", "compactStack", "histogramPicture", "histogramIntensityCheck",
                           "statusLine", "transferProgress", "connectionText", "freeSpaceText"};
    for (const char *a : parts)
        for (const char *b : parts)
            if (std::strcmp(a, b) < 0) {
                EXPECT_FALSE(inWindow(find(a)).intersects(inWindow(find(b)))) << a << " over " << b;
            }

    // F4: the settings lists in the preview's place, each at its own width.
    QTest::keyClick(&window, Qt::Key_F4);
    ASSERT_TRUE(find("cameraSettingsGroup")->isVisible());
    expectAllInside(window, "settings");
    for (const QComboBox *list : find("cameraSettingsGroup")->findChildren<QComboBox *>())
        EXPECT_LE(list->width(), list->sizeHint().width()) << list->objectName().toStdString() << " stretched";
}

INSTANTIATE_TEST_SUITE_P(Screens, CompactLayoutTest,
                         ::testing::Values(CompactScreen{QSize(1024, 600), false},
                                           CompactScreen{QSize(1280, 720), true}),
                         [](const auto &info) {
                             return std::to_string(info.param.size.width()) + "x"
                                    + std::to_string(info.param.size.height());
                         });
