// Shooting from the real window with the simulated camera: Release and
// Preview from every place that invokes them, what each shot shows, the
// settings panel talking to the camera, and every camera fault in the
// program's own words.
#include "WindowTestSupport.h"

#include "PanelTexts.h"

#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QAbstractItemView>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>

#include <cstdio>

namespace {

bool isAllWhite(const QImage &image)
{
    for (int y = 0; y < image.height(); y += 7)
        for (int x = 0; x < image.width(); x += 7)
            if (image.pixel(x, y) != qRgb(255, 255, 255))
                return false;
    return true;
}

// Counts how often the black screen is put up.
class BlankScreenWatch : public QObject {
public:
    BlankScreenWatch() { qApp->installEventFilter(this); }
    ~BlankScreenWatch() override { qApp->removeEventFilter(this); }
    int shown = 0;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Show && watched->objectName() == QStringLiteral("blankScreen"))
            ++shown;
        return false;
    }
};

bool blankScreenUp()
{
    for (QWidget *widget : QApplication::topLevelWidgets())
        if (widget->objectName() == QStringLiteral("blankScreen") && widget->isVisible())
            return true;
    return false;
}

}  // namespace

class ShootingTest : public WindowTest {
protected:
    QStringList files() const { return QDir(m_images).entryList(QDir::Files | QDir::Hidden, QDir::Name); }
    QString statusText() { return text(find("statusLine")); }
    // The camera's side, as quillomat-simcam works it.
    static std::string camera(const std::string &command) { return simcam::runControlCommand(command); }
};

TEST_F(ShootingTest, F8SavesTheShotAndShowsItsPreviewHistogramAndInformation)
{
    attachCamera("EOS D60", "mode=manual;tv=1/125;av=8;iso=200;quality=large/fine;owner=Anna");
    CDezedoRavovadDlg &window = open();
    const QImage emptyChart = find<QLabel>("histogramPicture")->pixmap().toImage();

    QTest::keyClick(&window, Qt::Key_F8);
    ASSERT_TRUE(waitForShots(window, 1));
    EXPECT_EQ(files(), QStringList{QStringLiteral("IMG_0001.JPG")});
    const QString saved = m_images + QStringLiteral("/IMG_0001.JPG");
    const qint64 kilobytes = QFileInfo(saved).size() / 1024;
    EXPECT_EQ(statusText(), QStringLiteral("Saved: ") + saved + QStringLiteral(" (") + formatSize(kilobytes)
                                + QStringLiteral(")"));
    EXPECT_FALSE(isAllWhite(find<QLabel>("previewPicture")->pixmap().toImage()));
    EXPECT_NE(find<QLabel>("histogramPicture")->pixmap().toImage(), emptyChart);
    const QString info = find<QPlainTextEdit>("imageInfoText")->toPlainText();
    EXPECT_TRUE(info.contains(QStringLiteral("1/125"))) << info.toStdString();
    EXPECT_GT(info.split(QLatin1Char('\n')).size(), 3);
    EXPECT_TRUE(action("propertiesAction")->isEnabled());
    EXPECT_TRUE(m_prompts.shown.empty());
    EXPECT_EQ(find<QProgressBar>("transferProgress")->value(), 0);
    if (!haveExiftool())
        GTEST_SKIP() << "exiftool is not installed";
    EXPECT_EQ(exiftool(saved, "Model"), "Canon EOS D60");
    EXPECT_EQ(exiftool(saved, "ExposureTime"), "1/125");
    EXPECT_EQ(exiftool(saved, "OwnerName"), "Anna");
}

TEST_F(ShootingTest, ARawShotSavesTheThumbnailAndTheRawFile)
{
    attachCamera("EOS D60", "mode=manual;tv=1/125;quality=raw");
    CDezedoRavovadDlg &window = open();
    EXPECT_EQ(find<QComboBox>("sizeQualityList")->currentText(), QStringLiteral("Raw"));
    QTest::mouseClick(find<QPushButton>("releaseButton"), Qt::LeftButton);
    ASSERT_TRUE(waitForShots(window, 1));
    EXPECT_EQ(files(), (QStringList{QStringLiteral("CRW_0001.CRW"), QStringLiteral("CRW_0001.THM")}));
    EXPECT_TRUE(statusText().startsWith(QStringLiteral("Saved: ") + m_images)) << statusText().toStdString();
    if (!haveExiftool())
        GTEST_SKIP() << "exiftool is not installed";
    EXPECT_EQ(exiftool(m_images + QStringLiteral("/CRW_0001.CRW"), "Model"), "Canon EOS D60");
}

TEST_F(ShootingTest, APreviewShotIsShownButNotSaved)
{
    attachCamera("EOS D30", "mode=manual;tv=1/125;quality=large/fine");
    CDezedoRavovadDlg &window = open();
    QTest::keyClick(&window, Qt::Key_F9);
    EXPECT_TRUE(QTest::qWaitFor([&] { return statusText() == QStringLiteral("Photo not saved") && !window.isBusy(); },
                                15000));
    EXPECT_TRUE(files().isEmpty());
    EXPECT_FALSE(isAllWhite(find<QLabel>("previewPicture")->pixmap().toImage()));
    EXPECT_EQ(window.currentImage(), -1);
    // The camera is back on the user's own quality afterwards.
    EXPECT_EQ(find<QComboBox>("sizeQualityList")->currentText(), QStringLiteral("Large/Fine"));
}

TEST_F(ShootingTest, TheCamerasOwnShutterButtonIsFollowed)
{
    attachCamera("EOS D60", "mode=av;av=5.6");
    CDezedoRavovadDlg &window = open();
    EXPECT_EQ(camera("shutter").rfind("ok", 0), 0u);
    ASSERT_TRUE(waitForShots(window, 1));
    EXPECT_EQ(files(), QStringList{QStringLiteral("IMG_0001.JPG")});
    // Not released from the PC: no lock to give back and no focus complaint.
    EXPECT_TRUE(m_prompts.shown.empty());
}

TEST_F(ShootingTest, AFullOrMissingCardIsReported)
{
    for (const char *card : {"card=0", "card=none"}) {
        attachCamera("EOS D60", std::string("mode=manual;tv=1/125;") + card);
        CDezedoRavovadDlg &window = open();
        find<QComboBox>("storeImagesOnList")->setCurrentIndex(1);  // PC + CF
        emit find<QComboBox>("storeImagesOnList")->activated(1);
        m_prompts.shown.clear();
        QTest::keyClick(&window, Qt::Key_F8);
        ASSERT_TRUE(QTest::qWaitFor([&] { return !m_prompts.shown.empty(); }, 15000)) << card;
        EXPECT_EQ(m_prompts.messageTexts().back(), QStringLiteral("CF card full or not present")) << card;
        EXPECT_FALSE(window.isBusy());
        EXPECT_TRUE(find("releaseButton")->isEnabled());
        EXPECT_TRUE(files().isEmpty());
        m_window.reset();
    }
}

TEST_F(ShootingTest, AFocusFailureSaysSo)
{
    attachCamera("EOS D60", "mode=manual;tv=1/125;affail=1");
    CDezedoRavovadDlg &window = open();
    QTest::keyClick(&window, Qt::Key_F8);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !m_prompts.shown.empty(); }, 15000));
    EXPECT_EQ(m_prompts.messageTexts().back(),
              QStringLiteral("The camera was unable to take a photo. The most likely\n"
                             "cause for this is the AF being unable to focus properly."));
    EXPECT_FALSE(window.isBusy());
    EXPECT_TRUE(files().isEmpty());
}

TEST_F(ShootingTest, BulbIsRefusedFromEveryPlace)
{
    storeSetting("RightButtonAction", QStringLiteral("Release"));
    attachCamera("EOS D60", "mode=manual;tv=bulb");
    CDezedoRavovadDlg &window = open();
    ASSERT_EQ(find<QComboBox>("tvList")->currentText(), QStringLiteral("Bulb"));
    const QString bulb = QStringLiteral(
        "Sorry, bulb mode is not available from the PC.\nIt can be used if you use the camera's shutter release");

    QTest::keyClick(&window, Qt::Key_F8);
    QTest::mouseClick(find<QPushButton>("releaseButton"), Qt::LeftButton);
    QTest::mouseClick(find<QPushButton>("previewButton"), Qt::LeftButton);
    QTest::mouseClick(find<QLabel>("previewPicture"), Qt::RightButton);
    QTest::qWait(300);
    ASSERT_EQ(m_prompts.shown.size(), 4u);
    for (const auto &shown : m_prompts.shown) {
        EXPECT_EQ(shown.text, bulb);
        EXPECT_EQ(shown.icon, Prompts::Icon::Refusal);
    }
    EXPECT_TRUE(files().isEmpty());
    EXPECT_FALSE(window.isBusy());
}

TEST_F(ShootingTest, AHeldF8ReleasesOnce)
{
    attachCamera("EOS D60", "mode=manual;tv=1/125;quality=small/fine");
    CDezedoRavovadDlg &window = open();
    QTest::simulateEvent(&window, true, Qt::Key_F8, Qt::NoModifier, QString(), false);
    for (int i = 0; i < 5; ++i)
        QTest::simulateEvent(&window, true, Qt::Key_F8, Qt::NoModifier, QString(), true);
    QTest::simulateEvent(&window, false, Qt::Key_F8, Qt::NoModifier, QString(), false);
    ASSERT_TRUE(waitForShots(window, 1));
    QTest::qWait(500);
    EXPECT_EQ(files(), QStringList{QStringLiteral("IMG_0001.JPG")});
}

namespace {

// A key as the X platform delivers it: stamped with the server's time, the
// shortcuts tried first, and not marked as a repeat.
void platformKey(QWidget *target, QEvent::Type type, Qt::Key key, ulong time, const QString &text = QString())
{
    if (type == QEvent::KeyPress && qt_sendShortcutOverrideEvent(target, time, key, Qt::NoModifier, text, false))
        return;
    QKeyEvent event(type, key, Qt::NoModifier, text, false);
    event.setTimestamp(time);
    QApplication::sendEvent(target, &event);
}

// The X server's repeats of a held key: a release and a press stamped alike.
void serverRepeats(QWidget *target, Qt::Key key, ulong &time, int count, const QString &text = QString())
{
    for (int i = 0; i < count; ++i) {
        time += 33;
        platformKey(target, QEvent::KeyRelease, key, time, text);
        platformKey(target, QEvent::KeyPress, key, time, text);
        QTest::qWait(50);
    }
}

}  // namespace

TEST_F(ShootingTest, RepeatsThePlatformLeftUnmarkedTakeNoFurtherPhoto)
{
    attachCamera("EOS D60", "mode=manual;tv=1/125;quality=small/fine");
    CDezedoRavovadDlg &window = open();
    QWidget *focus = window.focusWidget();
    ASSERT_NE(focus, nullptr);
    ulong time = 1000;
    platformKey(focus, QEvent::KeyPress, Qt::Key_F8, time);
    ASSERT_TRUE(waitForShots(window, 1));
    // The shot is done while the key is still held.
    serverRepeats(focus, Qt::Key_F8, time, 6);
    platformKey(focus, QEvent::KeyRelease, Qt::Key_F8, time += 40);
    QTest::qWait(300);
    EXPECT_EQ(window.imageList().size(), 1u);
    EXPECT_FALSE(window.isReleasePending());

    // Pressed again: another photo.
    platformKey(focus, QEvent::KeyPress, Qt::Key_F8, time += 250);
    EXPECT_TRUE(waitForShots(window, 2));
    platformKey(focus, QEvent::KeyRelease, Qt::Key_F8, time += 80);

    // A letter held in the comment box still repeats there.
    auto *comment = find<QLineEdit>("commentEdit");
    comment->setFocus();
    platformKey(comment, QEvent::KeyPress, Qt::Key_A, time += 500, QStringLiteral("a"));
    serverRepeats(comment, Qt::Key_A, time, 3, QStringLiteral("a"));
    platformKey(comment, QEvent::KeyRelease, Qt::Key_A, time += 40, QStringLiteral("a"));
    EXPECT_EQ(comment->text(), QStringLiteral("aaaa"));
}

TEST_F(ShootingTest, MouseButtonsRunTheirActions)
{
    storeSetting("RightButtonAction", QStringLiteral("Preview"));
    storeSetting("MiddleButtonAction", QStringLiteral("Release"));
    attachCamera("EOS D60", "mode=manual;tv=1/125;quality=small/fine");
    CDezedoRavovadDlg &window = open();

    // A middle click on the window's picture runs MiddleButtonAction.
    QTest::mouseClick(find<QLabel>("previewPicture"), Qt::MiddleButton);
    ASSERT_TRUE(waitForShots(window, 1));
    EXPECT_EQ(files(), QStringList{QStringLiteral("IMG_0001.JPG")});

    // A right click over any control with RightButtonAction "Preview" takes
    // a preview, over a drop-down list too, whose own list stays shut.
    for (const char *control : {"nextButton", "isoList"}) {
        find<QLineEdit>("statusLine")->clear();
        QTest::mouseClick(find(control), Qt::RightButton);
        EXPECT_TRUE(QTest::qWaitFor(
            [&] { return statusText() == QStringLiteral("Photo not saved") && !window.isReleasePending(); }, 15000))
            << control;
        EXPECT_FALSE(find<QComboBox>("isoList")->view()->isVisible());
    }
    EXPECT_EQ(files().size(), 1);
}

class ShutdownTest : public ShootingTest, public ::testing::WithParamInterface<std::pair<const char *, const char *>> {};

TEST_P(ShutdownTest, ACameraGoneMidTransferEndsTheSessionCleanly)
{
    const auto [command, box] = GetParam();
    attachCamera("EOS D60", "mode=manual;tv=1/125;quality=large/fine;transfer=100000");
    CDezedoRavovadDlg &window = open();
    QTest::keyClick(&window, Qt::Key_F8);
    ASSERT_TRUE(QTest::qWaitFor([&] { return statusText().startsWith(QStringLiteral("Transferring image")); }, 15000));
    camera(command);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window.isConnected(); }, 15000)) << command;
    EXPECT_EQ(statusText(), QStringLiteral("Camera error, please turn camera off and try again"));
    EXPECT_EQ(text(find("connectionText")), QStringLiteral("Not connected"));
    EXPECT_FALSE(window.isBusy());
    ASSERT_FALSE(m_prompts.shown.empty());
    // The image that was crossing the cable is named on a line of its own.
    EXPECT_EQ(m_prompts.messageTexts().back(), QString::fromLatin1(box) + QStringLiteral("\nNot saved: IMG_0001.JPG"));
    // The window still answers, and nothing half-written was left behind.
    QTest::qWait(300);
    for (const QString &name : files())
        EXPECT_FALSE(name.startsWith(QLatin1Char('.'))) << name.toStdString();
    EXPECT_FALSE(find("releaseButton")->isEnabled());
}

INSTANTIATE_TEST_SUITE_P(Reasons, ShutdownTest,
                         ::testing::Values(std::pair{"dial av", "Camera mode dial has changed"},
                                           std::pair{"cf-cover", "Camera CF cover opened"},
                                           std::pair{"battery-cover", "Camera battery cover opened"},
                                           std::pair{"power-off", "Camera has shutdown"},
                                           std::pair{"unplug", "USB connection to camera lost"}));

TEST_F(ShootingTest, TheApertureListFollowsTheLensInBothIncrementModes)
{
    for (const char *increments : {"half", "third"}) {
        simcam::SimConfig config = simcam::SimConfig::forModel("EOS D60");
        config.exposureCap = config.mirrorDelay = config.processingDelay = std::chrono::milliseconds(0);
        std::string error;
        ASSERT_TRUE(config.apply(std::string("mode=av;increments=") + increments, &error)) << error;
        config.state.apertureMin = 0x1A;
        config.state.apertureMax = 0x4E;
        simcam::configureCamera(config);
        open();
        const QStringList av = entries(find<QComboBox>("avList"));
        const bool half = std::string(increments) == "half";
        EXPECT_EQ(av.first(), half ? QStringLiteral("2.0") : QStringLiteral("2.2")) << increments;
        EXPECT_EQ(av.at(av.size() - 2), half ? QStringLiteral("19") : QStringLiteral("22")) << increments;
        EXPECT_EQ(av.last(), QStringLiteral("Auto"));
        EXPECT_EQ(find<QComboBox>("tvList")->count(), half ? 37 : 54);
        EXPECT_EQ(find<QComboBox>("exposureCompensationList")->count(), half ? 13 : 19);
        m_window.reset();
    }
}

TEST_F(ShootingTest, FlashCompensationIsKeptTwentyFourAbove)
{
    attachCamera("EOS D60", "mode=manual;flashcomp=0");
    CDezedoRavovadDlg &window = open();
    QComboBox *flash = find<QComboBox>("flashCompensationList");
    EXPECT_EQ(flash->currentText(), QStringLiteral("0"));
    ReleaseParams params;
    ASSERT_TRUE(window.camera()->getReleaseParams(params));
    EXPECT_EQ(params.bytes[33], 0x30);

    const int plusOne = flash->findText(QStringLiteral("+1"));
    ASSERT_GE(plusOne, 0);
    flash->setCurrentIndex(plusOne);
    emit flash->activated(plusOne);
    EXPECT_EQ(window.camera()->cachedReleaseParams().bytes[33], 0x28);
    EXPECT_EQ(flash->currentText(), QStringLiteral("+1"));
    ASSERT_TRUE(window.camera()->getReleaseParams(params));
    EXPECT_EQ(params.bytes[33], 0x28) << "the camera holds +1";
}

TEST_F(ShootingTest, MediumFineOnTheD60WritesItsThreeBytes)
{
    attachCamera("EOS D60", "mode=manual;quality=large/fine");
    CDezedoRavovadDlg &window = open();
    QComboBox *quality = find<QComboBox>("sizeQualityList");
    const int medium = quality->findText(QStringLiteral("Medium/Fine"));
    ASSERT_EQ(medium, 3);
    quality->setCurrentIndex(medium);
    emit quality->activated(medium);
    ReleaseParams params;
    ASSERT_TRUE(window.camera()->getReleaseParams(params));
    EXPECT_EQ(params.bytes[1], 3);
    EXPECT_EQ(params.bytes[2], 1);
    EXPECT_EQ(params.bytes[3], 1);
    EXPECT_EQ(quality->currentText(), QStringLiteral("Medium/Fine"));
}

TEST_F(ShootingTest, ARefusedValueSpringsBack)
{
    // ISO 1600 is no D60 value: the list offers 1000 instead, but the
    // camera also refuses what its mode does not offer.
    attachCamera("EOS D60", "mode=av;av=5.6");
    CDezedoRavovadDlg &window = open();
    QComboBox *tv = find<QComboBox>("tvList");
    const QString before = tv->currentText();
    const int other = tv->findText(QStringLiteral("1/500"));
    ASSERT_GE(other, 0);
    tv->setCurrentIndex(other);
    emit tv->activated(other);
    // In Av the camera chooses the shutter speed: it keeps its own.
    EXPECT_EQ(tv->currentText(), before);
    EXPECT_TRUE(window.isConnected());
}

TEST_F(ShootingTest, AChangeWhileTheLcdMenuIsOpenIsRefused)
{
    attachCamera("EOS D60", "mode=manual;drive=single");
    CDezedoRavovadDlg &window = open();
    camera("menu on");
    QComboBox *drive = find<QComboBox>("driveModeList");
    const int continuous = drive->findText(QStringLiteral("Continuous"));
    drive->setCurrentIndex(continuous);
    emit drive->activated(continuous);
    ASSERT_EQ(m_prompts.shown.size(), 1u);
    EXPECT_EQ(m_prompts.shown[0].icon, Prompts::Icon::Refusal);
    EXPECT_EQ(m_prompts.shown[0].text,
              QStringLiteral("The camera is busy or is not responding.\n"
                             "If the LCD monitor is on please turn it off and try again"));
    EXPECT_EQ(drive->currentText(), QStringLiteral("Single")) << "what the camera holds";
    camera("menu off");
    ReleaseParams params;
    ASSERT_TRUE(window.camera()->getReleaseParams(params));
    EXPECT_EQ(params.bytes[10], 0) << "no block was written";
}

TEST_F(ShootingTest, ARefusedChangeShowsWhatTheCameraStillHolds)
{
    struct Change {
        const char *list;
        const char *before;
        const char *chosen;
    };
    // Each refusal costs the camera layer's busy time-out: one list of each kind.
    const Change changes[] = {
        {"tvList", "1/250", "1/350"},
        {"sizeQualityList", "Large/Fine", "Small/Normal"},
    };
    attachCamera("EOS D60", "mode=manual;increments=half;tv=1/250;quality=large/fine;beep=on");
    CDezedoRavovadDlg &window = open();
    camera("menu on");
    for (const Change &change : changes) {
        auto *list = find<QComboBox>(change.list);
        ASSERT_EQ(list->currentText(), QString::fromLatin1(change.before)) << change.list;
        const int chosen = list->findText(QString::fromLatin1(change.chosen));
        ASSERT_GE(chosen, 0) << change.list;
        list->setCurrentIndex(chosen);
        emit list->activated(chosen);
        EXPECT_EQ(list->currentText(), QString::fromLatin1(change.before)) << change.list;
    }
    auto *beep = find<QCheckBox>("cameraBeepCheck");
    ASSERT_TRUE(beep->isChecked());
    QTest::mouseClick(beep, Qt::LeftButton);
    EXPECT_TRUE(beep->isChecked()) << "the camera still beeps";
    EXPECT_EQ(m_prompts.shown.size(), std::size(changes) + 1);

    // Once the menu is closed the same choice goes through.
    camera("menu off");
    auto *tv = find<QComboBox>("tvList");
    const int chosen = tv->findText(QStringLiteral("1/350"));
    tv->setCurrentIndex(chosen);
    emit tv->activated(chosen);
    EXPECT_EQ(tv->currentText(), QStringLiteral("1/350"));
    ReleaseParams params;
    ASSERT_TRUE(window.camera()->getReleaseParams(params));
    EXPECT_EQ(releaseBlockWord(params.bytes, 30), 0x7C) << "1/350, a half stop above 1/250";
}

TEST_F(ShootingTest, ControlsChangedOnTheCameraWhileBusyWaitForTheReleaseToEnd)
{
    attachCamera("EOS D60", "mode=manual;tv=1/125;quality=large/fine;transfer=300000");
    CDezedoRavovadDlg &window = open();
    camera("shutter");
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.isBusy(); }, 15000));
    // The camera's own dial while a shot is on its way: the window notes it
    // and refreshes once the release has ended.
    EXPECT_EQ(camera("set tv 1/250").rfind("ok", 0), 0u);
    QTest::qWait(100);
    EXPECT_TRUE(window.isBusy());
    EXPECT_EQ(find<QComboBox>("tvList")->currentText(), QStringLiteral("1/125"));
    ASSERT_TRUE(waitForShots(window, 1));
    EXPECT_TRUE(QTest::qWaitFor([&] { return find<QComboBox>("tvList")->currentText() == QStringLiteral("1/250"); },
                                5000));
}

TEST_F(ShootingTest, PortraitOneTwiceWritesTheFileTwiceAndDecodesOnce)
{
    attachCamera("EOS D60", "mode=manual;tv=1/125;quality=small/fine");
    CDezedoRavovadDlg &window = open();
    QTest::keyClick(&window, Qt::Key_F8);
    ASSERT_TRUE(waitForShots(window, 1));
    const QString saved = m_images + QStringLiteral("/IMG_0001.JPG");
    auto *picture = find<QLabel>("previewPicture");

    action("portrait1Action")->trigger();
    EXPECT_EQ(window.settings().orientation, 270u);
    EXPECT_TRUE(action("portrait1Action")->isChecked());
    EXPECT_FALSE(action("landscapeAction")->isChecked());
    const qint64 cacheKey = picture->pixmap().cacheKey();
    const QDateTime written = QFileInfo(saved).lastModified();
    QTest::qWait(1100);
    action("portrait1Action")->trigger();
    EXPECT_EQ(picture->pixmap().cacheKey(), cacheKey) << "decoded again";
    EXPECT_GT(QFileInfo(saved).lastModified(), written) << "rotation not written again";
    if (haveExiftool()) {
        EXPECT_EQ(exiftool(saved, "Orientation"), "Rotate 270 CW");
    }
    // F6 turns on from Portrait 1 to Landscape.
    QTest::keyClick(&window, Qt::Key_F6);
    EXPECT_EQ(window.settings().orientation, 0u);
}

TEST_F(ShootingTest, TheCommentIsWrittenIntoEachNewImage)
{
    attachCamera("EOS D60", "mode=manual;tv=1/125;quality=small/fine");
    CDezedoRavovadDlg &window = open();
    find<QLineEdit>("commentEdit")->setText(QStringLiteral("Studio B, test roll"));
    QTest::keyClick(&window, Qt::Key_F8);
    ASSERT_TRUE(waitForShots(window, 1));
    QTest::qWait(100);
    if (!haveExiftool())
        GTEST_SKIP() << "exiftool is not installed";
    EXPECT_EQ(exiftool(m_images + QStringLiteral("/IMG_0001.JPG"), "UserComment"), "Studio B, test roll");
}

TEST_F(ShootingTest, APortraitPreviewIsShownWholeAgainstTheRightEdge)
{
    attachCamera("EOS D60", "mode=manual;tv=1/125;quality=small/fine");
    CDezedoRavovadDlg &window = open();
    action("portrait1Action")->trigger();
    QTest::keyClick(&window, Qt::Key_F8);
    ASSERT_TRUE(waitForShots(window, 1));
    const QImage shown = find<QLabel>("previewPicture")->pixmap().toImage();
    ASSERT_EQ(shown.size(), QSize(720, 480));
    // Reduced to 320 x 480 at the right: white to its left, picture down to the bottom row.
    EXPECT_EQ(shown.pixel(10, 240), qRgb(255, 255, 255));
    EXPECT_EQ(shown.pixel(390, 240), qRgb(255, 255, 255));
    bool bottomRowDrawn = false;
    for (int x = 410; x < 720; x += 4)
        bottomRowDrawn = bottomRowDrawn || shown.pixel(x, 479) != qRgb(255, 255, 255);
    EXPECT_TRUE(bottomRowDrawn);
}

TEST_F(ShootingTest, AReleaseThatCannotStartGivesTheCameraBack)
{
    // The image folder is a file: the release cannot start.
    QFile blocker(m_images);
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    attachCamera("EOS D60", "mode=manual;tv=1/125");
    CDezedoRavovadDlg &window = open();
    QTest::keyClick(&window, Qt::Key_F8);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !m_prompts.shown.empty(); }, 5000));
    QTest::qWait(100);
    EXPECT_FALSE(window.isBusy());
    EXPECT_TRUE(find("releaseButton")->isEnabled());
    // The camera's own controls answer again, and the window follows them.
    EXPECT_EQ(camera("set tv 1/250").rfind("ok", 0), 0u);
    EXPECT_TRUE(QTest::qWaitFor([&] { return find<QComboBox>("tvList")->currentText() == QStringLiteral("1/250"); },
                                5000));
}

// A release that returns without firing the shutter, however it fails: the
// reason is shown with no black screen over it, the camera's controls are
// given back (its own changes reach the window again), nothing counts as a
// release in progress any more, and the next release works.
TEST_F(ShootingTest, AReleaseThatFiresNothingLeavesNothingLocked)
{
    struct Case {
        const char *name;
        const char *camera;      // simulated camera
        Qt::Key key;             // F8 Release, F9 Preview
        bool folderIsAFile;      // the image folder cannot be made
        const char *box;         // the start of the one box shown
    };
    const Case cases[] = {
        {"busy camera", "mode=manual;tv=1/125;busyrelease=1", Qt::Key_F8, false, "psCException"},
        {"preview in an image-zone mode", "mode=portrait;quality=large/fine", Qt::Key_F9, false,
         "Unable to set camera to small, normal JPEG for preview shot"},
        {"unusable folder", "mode=manual;tv=1/125", Qt::Key_F8, true, "Invalid directory for images:\n"},
    };
    storeSetting("BlankScreenWhenTakingPhoto", 1u);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QFile blocker(m_images);
        if (c.folderIsAFile) {
            ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
            blocker.close();
        }
        attachCamera("EOS D60", c.camera);
        CDezedoRavovadDlg &window = open();
        ASSERT_TRUE(window.isConnected());
        BlankScreenWatch watch;
        m_prompts.shown.clear();

        QTest::keyClick(&window, c.key);
        EXPECT_FALSE(window.isReleasePending()) << "no release start will come";
        ASSERT_TRUE(QTest::qWaitFor([&] { return !m_prompts.shown.empty(); }, 5000));
        EXPECT_TRUE(m_prompts.shown.back().text.startsWith(QString::fromLatin1(c.box)))
            << m_prompts.shown.back().text.toStdString();
        EXPECT_EQ(watch.shown, 0);
        EXPECT_FALSE(blankScreenUp());
        EXPECT_FALSE(window.isReleasePending());
        EXPECT_TRUE(find("releaseButton")->isEnabled());

        // The camera's own controls answer again, and the window follows them.
        ASSERT_TRUE(find<QCheckBox>("cameraBeepCheck")->isChecked());
        const std::string answer = camera("set beep off");
        EXPECT_EQ(answer.rfind("ok", 0), 0u) << answer;
        EXPECT_TRUE(QTest::qWaitFor([&] { return !find<QCheckBox>("cameraBeepCheck")->isChecked(); }, 5000));

        if (c.folderIsAFile)
            QFile::remove(m_images);
        if (c.key == Qt::Key_F8) {
            // The busy camera is ready now: the next release saves its shot.
            m_prompts.shown.clear();
            QTest::keyClick(&window, Qt::Key_F8);
            EXPECT_TRUE(waitForShots(window, 1));
            EXPECT_TRUE(m_prompts.shown.empty());
            EXPECT_FALSE(blankScreenUp()) << "the black window goes when the release ends";
            EXPECT_GE(watch.shown, 1);
        }
        m_window.reset();
        QDir(m_images).removeRecursively();
    }
}

// The cable goes while a raw shot's CRW is on its way: the box that says so
// names what was lost, and the THM already saved stays.
TEST_F(ShootingTest, AShotLostWithTheCableIsNamedInTheBoxThatSaysSo)
{
    attachCamera("EOS D60", "mode=manual;tv=1/125;quality=raw;transfer=200000");
    CDezedoRavovadDlg &window = open();
    QTest::keyClick(&window, Qt::Key_F8);
    const QString thm = m_images + QStringLiteral("/CRW_0001.THM");
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return QFileInfo::exists(thm) && find<QProgressBar>("transferProgress")->value() > 0; }, 15000));
    EXPECT_EQ(camera("unplug").rfind("ok", 0), 0u);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !m_prompts.shown.empty(); }, 10000));
    // Whether the transfer's end or the camera's comes first: one box, and
    // not the one that blames the focus.
    QTest::qWait(200);
    ASSERT_EQ(m_prompts.shown.size(), 1u) << m_prompts.shown[0].text.toStdString();
    EXPECT_EQ(m_prompts.shown[0].icon, Prompts::Icon::Error);
    EXPECT_EQ(m_prompts.shown[0].text, QStringLiteral("USB connection to camera lost\nNot saved: CRW_0001.CRW"));
    EXPECT_FALSE(window.isConnected());
    EXPECT_EQ(files(), QStringList{QStringLiteral("CRW_0001.THM")});
}
