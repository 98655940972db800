// The window's shooting aids with the simulated camera: the thumbnail on show
// while the full image crosses a slowed cable, reconnecting a camera that
// comes back by itself, and clipping marks on an over-exposed shot.
#include "WindowTestSupport.h"

#include "CameraReturnWatch.h"
#include "ClippingMarks.h"
#include "PreviewWindow.h"

#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QImageReader>
#include <QLabel>
#include <QRegularExpression>

#include <functional>

namespace {

// A camera of 2002 on USB 1.1 at a third of its pace: a Large/Fine JPEG takes seconds.
const char *const kSlowLargeFine = "mode=manual;tv=1/125;av=8;quality=large/fine;transfer=300000";
// Manual exposure of 1/30 s at f/8 in the sunny scene: much of the picture burns out.
const char *const kOverExposed = "mode=manual;tv=1/30;av=8;quality=small/fine";

bool isAllWhite(const QImage &image)
{
    for (int y = 0; y < image.height(); y += 5)
        for (int x = 0; x < image.width(); x += 5)
            if (image.pixel(x, y) != qRgb(255, 255, 255))
                return false;
    return true;
}

int64_t countColour(const QImage &image, QRgb colour)
{
    int64_t count = 0;
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < rgb.height(); ++y)
        for (int x = 0; x < rgb.width(); ++x)
            count += (rgb.pixel(x, y) & 0xFFFFFF) == (colour & 0xFFFFFF);
    return count;
}

}  // namespace

class ShootingAidsTest : public WindowTest {
protected:
    QString statusText() { return text(find("statusLine")); }
    QImage previewImage() { return find<QLabel>("previewPicture")->pixmap().toImage(); }
    static std::string camera(const std::string &command) { return simcam::runControlCommand(command); }

    // What the window shows in the moments of one release: whether a new
    // picture stood on show before any image was listed as saved.
    struct ReleaseWatch {
        bool ended = false;
        bool pictureBeforeSave = false;
        QString statusWithPicture;
    };
    ReleaseWatch releaseAndWatch(CDezedoRavovadDlg &window, Qt::Key key, size_t savedBefore = 0)
    {
        ReleaseWatch watch;
        QTest::keyClick(&window, key);
        watch.ended = QTest::qWaitFor(
            [&] {
                if (!watch.pictureBeforeSave && window.imageList().size() == savedBefore && window.isBusy()
                    && !isAllWhite(previewImage())) {
                    watch.pictureBeforeSave = true;
                    watch.statusWithPicture = statusText();
                }
                return !window.isBusy() && !window.isReleasePending();
            },
            30000);
        return watch;
    }
};

// ---------------------------------------------------------------------------
// The thumbnail first

TEST_F(ShootingAidsTest, TheThumbnailIsPaintedFirstThenTheFullView)
{
    attachCamera("EOS D60", kSlowLargeFine);
    CDezedoRavovadDlg &window = open();
    const ReleaseWatch watch = releaseAndWatch(window, Qt::Key_F8);
    ASSERT_TRUE(watch.ended);
    EXPECT_TRUE(watch.pictureBeforeSave);
    EXPECT_TRUE(watch.statusWithPicture.startsWith(QStringLiteral("Transferring image")))
        << watch.statusWithPicture.toStdString();

    // Then the full view, installed as ever: the saved file, its line, its list entry.
    ASSERT_EQ(window.imageList().size(), 1u);
    EXPECT_TRUE(statusText().startsWith(QStringLiteral("Saved: ") + m_images + QStringLiteral("/IMG_0001.JPG")));
    EXPECT_TRUE(m_prompts.shown.empty());
    // The full view fills the preview's width (the 4:3 thumbnail could not).
    const QImage shown = previewImage();
    EXPECT_NE(shown.pixel(2, 200), qRgb(255, 255, 255));
}

// Switched off, or a preview shot: nothing new stands on show before the
// shot's own picture.
struct NoEarlyPictureCase {
    const char *name;
    const char *store;   // "Store" setting
    uint32_t thumbnailFirst;
    Qt::Key key;
};

class NoEarlyPictureTest : public ShootingAidsTest, public ::testing::WithParamInterface<NoEarlyPictureCase> {};

TEST_P(NoEarlyPictureTest, NoPictureStandsInForTheFullView)
{
    const NoEarlyPictureCase &c = GetParam();
    storeSetting("ThumbnailFirst", c.thumbnailFirst);
    storeSetting("Store", QString::fromLatin1(c.store).toUInt());
    attachCamera("EOS D60", kSlowLargeFine);
    CDezedoRavovadDlg &window = open();
    const ReleaseWatch watch = releaseAndWatch(window, c.key);
    ASSERT_TRUE(watch.ended) << c.name;
    EXPECT_FALSE(watch.pictureBeforeSave) << c.name;
    EXPECT_FALSE(isAllWhite(previewImage())) << c.name << ": the shot itself is shown in the end";
    EXPECT_TRUE(m_prompts.shown.empty()) << c.name;
}

INSTANTIATE_TEST_SUITE_P(Cases, NoEarlyPictureTest,
                         ::testing::Values(NoEarlyPictureCase{"SwitchedOff", "0", 0, Qt::Key_F8},
                                           NoEarlyPictureCase{"PreviewShot", "0", 1, Qt::Key_F9}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(ShootingAidsTest, AThumbnailWhoseFullViewNeverComesIsMarkedNotSaved)
{
    storeSetting("AutoReconnect", 0u);
    attachCamera("EOS D60", kSlowLargeFine);
    CDezedoRavovadDlg &window = open();
    // The thumbnail crosses; the cable goes in the middle of the full view.
    QTest::keyClick(&window, Qt::Key_F8);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !isAllWhite(previewImage()); }, 20000));
    ASSERT_TRUE(window.imageList().empty());
    ASSERT_EQ(camera("unplug"), "ok");
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window.isConnected(); }, 20000));
    EXPECT_TRUE(window.imageList().empty());
    EXPECT_EQ(statusText(), QStringLiteral("Camera error, please turn camera off and try again"));
    ASSERT_FALSE(m_prompts.shown.empty());
    EXPECT_EQ(m_prompts.messageTexts().back(), QStringLiteral("USB connection to camera lost\nNot saved: IMG_0001.JPG"));
    // The picture carries a dark band across its middle, over the white margin too.
    const QImage shown = previewImage();
    const QColor band = shown.pixelColor(3, shown.height() / 2 - 20);
    EXPECT_LT(band.lightness(), 140);
    EXPECT_EQ(shown.pixel(3, 3), qRgb(255, 255, 255));
    EXPECT_FALSE(window.isWatchingForCamera()) << "reconnecting was switched off";
}

// ---------------------------------------------------------------------------
// The camera comes back

TEST_F(ShootingAidsTest, ACameraThatComesBackIsReconnectedWithTheRunsImages)
{
    attachCamera("EOS D60", "mode=manual;tv=1/125;quality=small/normal");
    CDezedoRavovadDlg &window = open();
    QTest::keyClick(&window, Qt::Key_F8);
    ASSERT_TRUE(waitForShots(window, 1));

    ASSERT_EQ(camera("unplug"), "ok");
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window.isConnected(); }, 10000));
    EXPECT_EQ(text(find("connectionText")), QStringLiteral("Not connected"));
    EXPECT_TRUE(window.isWatchingForCamera());
    // Away for a while: looked for, never more than once a second, nothing said.
    const int looksBefore = window.returnWatch().lookCount();
    const size_t boxes = m_prompts.shown.size();
    QElapsedTimer away;
    away.start();
    QTest::qWait(2500);
    const int looks = window.returnWatch().lookCount() - looksBefore;
    EXPECT_GE(looks, 1);
    EXPECT_LE(looks, static_cast<int>(away.elapsed() / 1000) + 1);
    EXPECT_FALSE(window.isConnected());
    EXPECT_EQ(m_prompts.shown.size(), boxes);

    ASSERT_EQ(camera("reconnect"), "ok");
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.isConnected(); }, 10000));
    EXPECT_FALSE(window.isWatchingForCamera());
    EXPECT_EQ(statusText(), QStringLiteral("Camera back: reconnected"));
    EXPECT_EQ(text(find("connectionText")), QStringLiteral("Connected to EOS D60"));
    EXPECT_EQ(window.imageList().size(), 1u);
    EXPECT_EQ(m_prompts.shown.size(), boxes);

    // And it shoots on where it left off.
    QTest::keyClick(&window, Qt::Key_F8);
    ASSERT_TRUE(waitForShots(window, 2));
    EXPECT_TRUE(window.imageList().back().path.endsWith(QStringLiteral("IMG_0002.JPG")));
}

// A box that stays open as a desktop one does: its own event loop runs until
// the condition holds (or a hang guard passes), and it notes whether the
// condition was met while it was open.
class LingeringBoxPrompts : public RecordingPrompts {
public:
    std::function<void()> whileOpen;
    std::function<bool()> closeWhen;
    bool metWhileOpen = false;

    void message(QWidget *parent, Icon icon, const QString &caption, const QString &text) override
    {
        RecordingPrompts::message(parent, icon, caption, text);
        if (!closeWhen)
            return;
        if (whileOpen)
            whileOpen();
        metWhileOpen = QTest::qWaitFor(closeWhen, 10000);
        closeWhen = nullptr;
    }
};

TEST_F(ShootingAidsTest, TheCameraIsReconnectedWhileTheShutdownBoxIsStillOpen)
{
    attachCamera("EOS D60", "mode=manual;tv=1/125;quality=small/normal");
    LingeringBoxPrompts prompts;
    WindowServices services;
    services.prompts = &prompts;
    services.settingsFile = m_settingsFile;
    services.cameraConfig.settleTime = std::chrono::milliseconds(0);
    services.connectPause = std::chrono::milliseconds(0);
    services.screenHeight = [] { return 1024; };
    services.screenWidth = [] { return 1280; };
    m_window = std::make_unique<CDezedoRavovadDlg>(services);
    m_window->show();
    ASSERT_TRUE(m_window->isConnected());

    CDezedoRavovadDlg &window = *m_window;
    prompts.whileOpen = [] { simcam::runControlCommand("reconnect"); };
    prompts.closeWhen = [&] { return window.isConnected(); };
    ASSERT_EQ(camera("battery-cover"), "ok");
    ASSERT_TRUE(QTest::qWaitFor([&] { return !prompts.shown.empty(); }, 10000));
    EXPECT_EQ(prompts.shown.front().text, QStringLiteral("Camera battery cover opened"));
    EXPECT_TRUE(prompts.metWhileOpen);
    EXPECT_TRUE(window.isConnected());
    EXPECT_EQ(prompts.shown.size(), 1u);
}

// Only a camera that went away by itself is looked for.
struct NoReconnectCase {
    const char *name;
    bool userDisconnects;
    uint32_t autoReconnect;
};

class NoReconnectTest : public ShootingAidsTest, public ::testing::WithParamInterface<NoReconnectCase> {};

TEST_P(NoReconnectTest, TheCameraStaysDisconnected)
{
    const NoReconnectCase &c = GetParam();
    storeSetting("AutoReconnect", c.autoReconnect);
    attachCamera("EOS D60", "mode=manual;tv=1/125;quality=small/normal");
    CDezedoRavovadDlg &window = open();
    ASSERT_TRUE(window.isConnected());
    if (c.userDisconnects)
        action("connectAction")->trigger();
    else
        ASSERT_EQ(camera("unplug"), "ok");
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window.isConnected(); }, 10000));
    ASSERT_EQ(camera("reconnect"), "ok");
    QTest::qWait(2500);
    EXPECT_FALSE(window.isConnected()) << c.name;
    EXPECT_FALSE(window.isWatchingForCamera()) << c.name;
    EXPECT_EQ(window.returnWatch().lookCount(), 0) << c.name;
}

INSTANTIATE_TEST_SUITE_P(Cases, NoReconnectTest,
                         ::testing::Values(NoReconnectCase{"UsersDisconnect", true, 1},
                                           NoReconnectCase{"SwitchedOff", false, 0}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(ShootingAidsTest, TheUsersConnectEndsTheLooking)
{
    attachCamera("EOS D60", "mode=manual;tv=1/125;quality=small/normal");
    CDezedoRavovadDlg &window = open();
    ASSERT_EQ(camera("power-off"), "ok");
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window.isConnected(); }, 10000));
    EXPECT_TRUE(window.isWatchingForCamera());
    ASSERT_EQ(camera("reconnect"), "ok");
    action("connectAction")->trigger();
    EXPECT_TRUE(window.isConnected());
    EXPECT_FALSE(window.isWatchingForCamera());
}

TEST(CameraReturnWatch, OnlyTheCamerasOwnComingAndGoingReasonsCount)
{
    for (uint32_t reason = 0; reason < 32; ++reason)
        EXPECT_EQ(CameraReturnWatch::isComeBackReason(reason),
                  reason == 2 || reason == 3 || reason == 4 || reason == 5 || reason == 13)
            << reason;
}

// ---------------------------------------------------------------------------
// Clipping marks

TEST_F(ShootingAidsTest, ClippedPixelsAreMarkedAndTheirShareIsShown)
{
    attachCamera("EOS D60", kOverExposed);
    CDezedoRavovadDlg &window = open();
    QLabel *clipping = find<QLabel>("clippingText");
    QTest::keyClick(&window, Qt::Key_H, Qt::ControlModifier);
    EXPECT_TRUE(action("showClippingAction")->isChecked());
    QTest::keyClick(&window, Qt::Key_F8);
    ASSERT_TRUE(waitForShots(window, 1));

    const QRegularExpression format(QStringLiteral("^Clipped: (\\d+\\.\\d) % highlights, (\\d+\\.\\d) % shadows$"));
    const QRegularExpressionMatch match = format.match(clipping->text());
    ASSERT_TRUE(match.hasMatch()) << clipping->text().toStdString();
    EXPECT_TRUE(clipping->isVisible());
    const double highlights = match.captured(1).toDouble();
    EXPECT_GT(highlights, 10.0);

    // Independently: the saved file read by Qt's own reader, scaled to the preview.
    QImageReader reader(m_images + QStringLiteral("/IMG_0001.JPG"));
    reader.setScaledSize(QSize(720, 480));
    const QImage reference = reader.read();
    ASSERT_FALSE(reference.isNull());
    const ClippingShare expected = measureClipping(reference);
    EXPECT_NEAR(highlights, 100.0 * static_cast<double>(expected.highlights) / static_cast<double>(expected.pixels),
                3.0);

    // The marks cover as much of the picture as the text says.
    const QImage marked = previewImage();
    const double red = 100.0 * static_cast<double>(countColour(marked, qRgb(255, 0, 0))) / (720.0 * 480.0);
    EXPECT_NEAR(red, highlights, 1.0);

    // The "Image Preview" window marks them too.
    QTest::keyClick(&window, Qt::Key_F7);
    auto *preview = m_window->findChild<PreviewWindow *>(QStringLiteral("previewWindow"));
    ASSERT_NE(preview, nullptr);
    ASSERT_TRUE(QTest::qWaitFor([&] { return preview->isPreviewVisible(); }, 5000));
    EXPECT_GT(countColour(preview->viewport()->grab().toImage(), qRgb(255, 0, 0)), 1000);

    // Off again: the picture as shot, no text.
    QTest::keyClick(&window, Qt::Key_H, Qt::ControlModifier);
    EXPECT_FALSE(action("showClippingAction")->isChecked());
    EXPECT_FALSE(clipping->isVisible());
    EXPECT_LT(countColour(previewImage(), qRgb(255, 0, 0)), countColour(marked, qRgb(255, 0, 0)) / 20);
    EXPECT_LT(countColour(preview->viewport()->grab().toImage(), qRgb(255, 0, 0)), 1000);
    preview->close();
}

TEST_F(ShootingAidsTest, WithoutClippingMarksInPreferencesTheCommandIsGone)
{
    storeSetting("ClippingMarks", 0u);
    storeSetting("ShowClipping", 1u);
    attachCamera("EOS D60", kOverExposed);
    CDezedoRavovadDlg &window = open();
    EXPECT_FALSE(action("showClippingAction")->isVisible());
    QTest::keyClick(&window, Qt::Key_H, Qt::ControlModifier);
    QTest::keyClick(&window, Qt::Key_F8);
    ASSERT_TRUE(waitForShots(window, 1));
    EXPECT_FALSE(find<QLabel>("clippingText")->isVisible());
    // An over-exposed shot without marks: hardly any pure red.
    EXPECT_LT(countColour(previewImage(), qRgb(255, 0, 0)), 720 * 480 / 100);
}
