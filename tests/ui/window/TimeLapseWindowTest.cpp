// Time-lapse sequences end to end: the real window opens "Time Lapse..." and
// the dialog presses the window's Release on the simulated camera. The
// dialog's clock is the test's, and its timer ticks every few milliseconds,
// so a sequence takes the camera's time, not the schedule's seconds.
#include "TimeLapseDlg.h"
#include "WindowTestSupport.h"

#include <QFileInfo>
#include <QPushButton>
#include <QTimer>

#include <functional>

namespace {

using namespace std::chrono_literals;

const QString kCompleted = QStringLiteral("Time-lapse sequence completed.");

class TimeLapseWindowTest : public WindowTest {
protected:
    // Opens "Time Lapse..." and runs `drive` inside the dialog's modal loop;
    // returns once the dialog has closed (drive closes it, or this does).
    void withTimeLapse(const std::function<void(CTimeLapseDlg &)> &drive)
    {
        QAction *command = action("timeLapseAction");
        ASSERT_TRUE(command->isEnabled());
        bool driven = false;
        QTimer::singleShot(0, m_window.get(), [&] {
            auto *dialog = m_window->findChild<CTimeLapseDlg *>();
            if (!dialog) {
                ADD_FAILURE() << "no time-lapse dialog";
                return;
            }
            EXPECT_TRUE(dialog->isModal());
            EXPECT_TRUE(dialog->isVisible());
            dialog->setClock([this] { return m_now; });
            dialog->setTickPeriod(20ms);
            drive(*dialog);
            driven = true;
            if (dialog->isVisible())
                dialog->reject();
        });
        command->trigger();
        EXPECT_TRUE(driven);
        EXPECT_EQ(m_window->findChild<CTimeLapseDlg *>(), nullptr);
    }

    static QLineEdit *field(CTimeLapseDlg &dialog, const char *name)
    {
        return dialog.findChild<QLineEdit *>(QString::fromLatin1(name));
    }

    static QString status(CTimeLapseDlg &dialog) { return field(dialog, "timeLapseStatus")->text(); }

    static void start(CTimeLapseDlg &dialog, int shots, int interval)
    {
        field(dialog, "shotCountEdit")->setText(QString::number(shots));
        field(dialog, "intervalEdit")->setText(QString::number(interval));
        field(dialog, "initialDelayEdit")->setText(QStringLiteral("0"));
        QTest::mouseClick(dialog.findChild<QPushButton *>(QStringLiteral("startButton")), Qt::LeftButton);
    }

    // Moves the dialog's clock to `second` and waits for the window to have
    // saved `shots` images and be idle again, and for a few ticks to see it
    // idle in that second, as the one-second ticks would.
    bool shootAt(int64_t second, size_t shots)
    {
        m_now = second;
        if (!waitForShots(*m_window, shots))
            return false;
        QTest::qWait(100);
        return true;
    }

    QStringList savedNames() const
    {
        QStringList names;
        for (const ImageEntry &entry : m_window->imageList())
            names << QFileInfo(entry.path).fileName();
        return names;
    }

    bool shownText(const QString &text) const
    {
        for (const RecordingPrompts::Shown &box : m_prompts.shown)
            if (box.text == text)
                return true;
        return false;
    }

    int64_t m_now = 1000;
};

TEST_F(TimeLapseWindowTest, ThreeShotsTwoSecondsApartSaveThreeConsecutiveFiles)
{
    attachCamera("EOS D60", "mode=manual;tv=1/125;quality=large/fine");
    open();
    ASSERT_TRUE(m_window->isConnected());
    withTimeLapse([&](CTimeLapseDlg &dialog) {
        start(dialog, 3, 2);
        ASSERT_TRUE(dialog.isRunning());
        ASSERT_TRUE(QTest::qWaitFor([&] { return status(dialog) == QStringLiteral("0 secs to next shot, 3 shots remaining"); }));
        EXPECT_TRUE(m_window->imageList().empty());
        ASSERT_TRUE(shootAt(1001, 1));
        ASSERT_TRUE(QTest::qWaitFor([&] { return status(dialog) == QStringLiteral("1 secs to next shot, 2 shots remaining"); }));
        EXPECT_EQ(m_window->imageList().size(), 1u);
        ASSERT_TRUE(shootAt(1002, 2));
        ASSERT_TRUE(shootAt(1004, 3)) << status(dialog).toStdString() << " after " << dialog.shotsTaken();
        m_now = 1005;
        ASSERT_TRUE(QTest::qWaitFor([&] { return status(dialog) == kCompleted; })) << status(dialog).toStdString();
        EXPECT_FALSE(dialog.isRunning());
        EXPECT_EQ(dialog.findChild<QPushButton *>(QStringLiteral("startButton"))->text(), QStringLiteral("Start"));
        EXPECT_TRUE(dialog.isVisible());
        m_now = 1020;
        QTest::qWait(100);
    });
    EXPECT_EQ(savedNames(), (QStringList{QStringLiteral("IMG_0001.JPG"), QStringLiteral("IMG_0002.JPG"),
                                         QStringLiteral("IMG_0003.JPG")}));
    for (const ImageEntry &entry : m_window->imageList())
        EXPECT_TRUE(QFileInfo(entry.path).isFile()) << entry.path.toStdString();
    EXPECT_EQ(QDir(m_images).entryList(QDir::Files).size(), 3);
    EXPECT_TRUE(m_prompts.shown.empty()) << m_prompts.shown[0].text.toStdString();
    EXPECT_TRUE(m_window->isConnected());
}

TEST_F(TimeLapseWindowTest, AFullCardAbandonsAfterTheShotsTaken)
{
    storeSetting("Store", 1u);  // PC and card
    attachCamera("EOS D60", "mode=manual;tv=1/125;quality=small/normal");
    open();
    ASSERT_TRUE(m_window->isConnected());
    withTimeLapse([&](CTimeLapseDlg &dialog) {
        start(dialog, 3, 2);
        ASSERT_TRUE(shootAt(1001, 1));
        ASSERT_EQ(simcam::runControlCommand("card 0"), "ok");
        m_now = 1003;
        ASSERT_TRUE(QTest::qWaitFor([&] { return !dialog.isRunning(); }));
        EXPECT_EQ(status(dialog), QStringLiteral("Sequence abandoned due to error after 1 shots"));
        ASSERT_EQ(m_prompts.shown.size(), 1u);
        EXPECT_EQ(m_prompts.shown[0].caption, QStringLiteral("ERROR"));
        EXPECT_EQ(m_prompts.shown[0].icon, Prompts::Icon::Error);
        EXPECT_EQ(m_prompts.shown[0].text, QStringLiteral("CF card full or not present"));
        // Ticks still queued leave the abandon text alone.
        m_now = 1010;
        QTest::qWait(100);
        EXPECT_EQ(status(dialog), QStringLiteral("Sequence abandoned due to error after 1 shots"));
    });
    EXPECT_EQ(savedNames(), QStringList{QStringLiteral("IMG_0001.JPG")});
    EXPECT_TRUE(m_window->isConnected());
    EXPECT_FALSE(m_window->isBusy());

    // With the dialog closed the window shows its errors itself again.
    m_prompts.shown.clear();
    action("releaseShutterAction")->trigger();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !m_prompts.shown.empty(); }));
    EXPECT_EQ(m_prompts.shown[0].caption, QStringLiteral("Quillomat"));
    EXPECT_EQ(m_prompts.shown[0].text, QStringLiteral("CF card full or not present"));
}

TEST_F(TimeLapseWindowTest, AnUnpluggedCameraAbandonsAndReconnectsOnceBack)
{
    attachCamera("EOS D60", "mode=manual;tv=1/125;quality=small/normal");
    open();
    ASSERT_TRUE(m_window->isConnected());
    withTimeLapse([&](CTimeLapseDlg &dialog) {
        start(dialog, 5, 2);
        ASSERT_TRUE(shootAt(1001, 1));
        // Pulled between two shots.
        ASSERT_EQ(simcam::runControlCommand("unplug"), "ok");
        ASSERT_TRUE(QTest::qWaitFor([&] { return !m_window->isConnected() && !dialog.isRunning(); }));
        EXPECT_EQ(status(dialog), QStringLiteral("Sequence abandoned due to error after 1 shots"));
        EXPECT_TRUE(shownText(QStringLiteral("USB connection to camera lost")));
        bool errorBox = false;
        for (const RecordingPrompts::Shown &box : m_prompts.shown)
            errorBox = errorBox || (box.caption == QStringLiteral("ERROR") && box.icon == Prompts::Icon::Error);
        EXPECT_TRUE(errorBox);
        // The camera is still away: the dialog's reconnection found nothing.
        EXPECT_FALSE(m_window->isConnected());

        // Back again: the next Start reconnects and the sequence goes on.
        ASSERT_EQ(simcam::runControlCommand("reconnect"), "ok");
        m_now = 2000;
        start(dialog, 1, 2);
        EXPECT_TRUE(m_window->isConnected());
        ASSERT_TRUE(dialog.isRunning());
        ASSERT_TRUE(shootAt(2001, 2));
        m_now = 2002;
        ASSERT_TRUE(QTest::qWaitFor([&] { return status(dialog) == kCompleted; })) << status(dialog).toStdString();
    });
    EXPECT_EQ(savedNames(), (QStringList{QStringLiteral("IMG_0001.JPG"), QStringLiteral("IMG_0002.JPG")}));
}

TEST_F(TimeLapseWindowTest, CancelReconnectsALostCamera)
{
    attachCamera("EOS D60", "mode=manual;tv=1/125;quality=small/normal");
    open();
    withTimeLapse([&](CTimeLapseDlg &dialog) {
        ASSERT_EQ(simcam::runControlCommand("power-off"), "ok");
        ASSERT_TRUE(QTest::qWaitFor([&] { return !m_window->isConnected(); }));
        EXPECT_TRUE(shownText(QStringLiteral("Camera has shutdown")));
        ASSERT_EQ(simcam::runControlCommand("reconnect"), "ok");
        QTest::mouseClick(dialog.findChild<QPushButton *>(QStringLiteral("cancelButton")), Qt::LeftButton);
        EXPECT_FALSE(dialog.isVisible());
    });
    EXPECT_TRUE(m_window->isConnected());
}

TEST_F(TimeLapseWindowTest, TheCommandIsGrayedWithoutACameraAndWhileBusy)
{
    detachCamera();
    open();
    EXPECT_FALSE(action("timeLapseAction")->isEnabled());
    m_window.reset();

    // A slow cable keeps the window busy for a while.
    attachCamera("EOS D60", "mode=manual;tv=1/125;quality=small/normal;transfer=100000");
    open();
    ASSERT_TRUE(action("timeLapseAction")->isEnabled());
    QTest::keyClick(m_window.get(), Qt::Key_F8);
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_window->isBusy(); }));
    EXPECT_FALSE(action("timeLapseAction")->isEnabled());
    m_window->onTimeLapse();  // a stray command opens nothing
    EXPECT_EQ(m_window->findChild<CTimeLapseDlg *>(), nullptr);
    ASSERT_TRUE(waitForShots(*m_window, 1));
    EXPECT_TRUE(action("timeLapseAction")->isEnabled());
}

}  // namespace

TEST_F(TimeLapseWindowTest, ASelfTimerShotIsNotReleasedAgainBeforeItStarts)
{
    // The self-timer holds the shot for 1.5 s before the camera reports its
    // release start; the next due second comes meanwhile.
    attachCamera("EOS D60", "mode=manual;tv=1/125;quality=small/fine;drive=self-timer;exposurecap=1500");
    open();
    ASSERT_TRUE(m_window->isConnected());
    withTimeLapse([&](CTimeLapseDlg &dialog) {
        start(dialog, 2, 1);
        ASSERT_TRUE(dialog.isRunning());
        m_now = 1001;
        ASSERT_TRUE(QTest::qWaitFor([&] { return m_window->isReleasePending(); }, 5000));
        m_now = 1002;  // due again while the first shot is still in the self-timer
        ASSERT_TRUE(waitForShots(*m_window, 1, 20000)) << status(dialog).toStdString();
        EXPECT_TRUE(m_prompts.shown.empty()) << "released again during the self-timer";
        QTest::qWait(100);  // a few ticks see the window idle in that second
        m_now = 1003;  // the late shot follows once the first has ended
        ASSERT_TRUE(waitForShots(*m_window, 2, 20000))
            << "status '" << status(dialog).toStdString() << "' taken " << dialog.shotsTaken() << " pending "
            << m_window->isReleasePending() << " running " << dialog.isRunning();
        m_now = 1004;
        ASSERT_TRUE(QTest::qWaitFor([&] { return status(dialog) == kCompleted; }, 5000)) << status(dialog).toStdString();
    });
    EXPECT_EQ(savedNames(), (QStringList{QStringLiteral("IMG_0001.JPG"), QStringLiteral("IMG_0002.JPG")}));
    EXPECT_TRUE(m_prompts.shown.empty()) << m_prompts.shown[0].text.toStdString();
}
