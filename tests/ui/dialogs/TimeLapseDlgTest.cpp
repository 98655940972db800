// The "Time Lapse" dialog on its own: a host that counts what the dialog
// asks of the window, a clock the test sets, and ticks the test gives.
#include "DialogTestSupport.h"
#include "RecordingPrompts.h"
#include "TimeLapseDlg.h"
#include "TimeLapseHost.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <functional>
#include <memory>

namespace {

using namespace std::chrono_literals;

class CountingHost : public TimeLapseHost {
public:
    bool isBusy() const override { return busy; }
    bool isConnected() const override { return connected; }
    void release() override
    {
        ++releases;
        if (onRelease)
            onRelease();
    }
    bool ensureConnected() override
    {
        ++ensureConnectedCalls;
        if (!connected && cameraAttached)
            connected = true;
        return connected;
    }

    bool busy = false;
    bool connected = true;
    bool cameraAttached = true;
    int releases = 0;
    int ensureConnectedCalls = 0;
    std::function<void()> onRelease;
};

const QString kCompleted = QStringLiteral("Time-lapse sequence completed.");

class TimeLapseDlgTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_dialog = std::make_unique<CTimeLapseDlg>(m_host, m_prompts);
        m_dialog->setClock([this] { return m_now; });
        // The test gives every tick itself.
        m_dialog->setTickPeriod(1h);
        m_dialog->show();
        ASSERT_TRUE(settle([&] { return m_dialog->isVisible(); }));
    }

    template <typename T = QWidget>
    T *find(const char *name) { return child<T>(m_dialog.get(), name); }

    QLineEdit *edit(const char *name) { return find<QLineEdit>(name); }
    QString status() { return edit("timeLapseStatus")->text(); }
    QString button() { return find<QPushButton>("startButton")->text(); }

    void type(const char *field, const QString &text)
    {
        QLineEdit *line = edit(field);
        line->setFocus();
        line->selectAll();
        QTest::keyClick(line, Qt::Key_Delete);
        QTest::keyClicks(line, text);
    }

    void clickStart() { QTest::mouseClick(find<QPushButton>("startButton"), Qt::LeftButton); }

    // Ticks at the second `now`.
    void tickAt(int64_t now)
    {
        m_now = now;
        m_dialog->tick();
    }

    CountingHost m_host;
    RecordingPrompts m_prompts;
    int64_t m_now = 1000;
    std::unique_ptr<CTimeLapseDlg> m_dialog;
};

TEST_F(TimeLapseDlgTest, ShowsItsFieldsInLayoutOrderWithTheirStartValues)
{
    EXPECT_EQ(m_dialog->windowTitle(), QStringLiteral("Time Lapse"));
    EXPECT_TRUE(m_dialog->isModal());
    const char *order[] = {"shotCountEdit", "initialDelayEdit", "intervalEdit", "timeLapseStatus", "startButton"};
    for (size_t i = 1; i < std::size(order); ++i)
        EXPECT_LT(find(order[i - 1])->y(), find(order[i])->y()) << order[i];
    EXPECT_EQ(find(order[4])->y(), find("cancelButton")->y());
    EXPECT_LT(find("startButton")->x(), find("cancelButton")->x());

    EXPECT_EQ(find<QLabel>("shotCountLabel")->text(), QStringLiteral("Number of shots in the sequence:"));
    EXPECT_EQ(find<QLabel>("initialDelayLabel")->text(), QStringLiteral("Initial delay before first shot (secs):"));
    EXPECT_EQ(find<QLabel>("intervalLabel")->text(), QStringLiteral("Interval between shots (secs):"));
    EXPECT_EQ(find<QLabel>("shotCountLabel")->buddy(), edit("shotCountEdit"));
    EXPECT_EQ(edit("intervalEdit")->text(), QStringLiteral("10"));
    EXPECT_EQ(edit("shotCountEdit")->text(), QStringLiteral("1"));
    EXPECT_EQ(edit("initialDelayEdit")->text(), QStringLiteral("0"));
    EXPECT_TRUE(edit("timeLapseStatus")->isReadOnly());
    EXPECT_TRUE(status().isEmpty());
    EXPECT_EQ(button(), QStringLiteral("Start"));
    EXPECT_EQ(find<QPushButton>("cancelButton")->text(), QStringLiteral("Cancel"));
    for (QWidget *widget : m_dialog->findChildren<QWidget *>())
        EXPECT_FALSE(widget->objectName().isEmpty()) << widget->metaObject()->className();
}

TEST_F(TimeLapseDlgTest, ThreeShotsTenSecondsApartThenCompleted)
{
    type("shotCountEdit", QStringLiteral("3"));
    clickStart();
    EXPECT_TRUE(m_dialog->isRunning());
    EXPECT_EQ(button(), QStringLiteral("Stop"));
    EXPECT_TRUE(status().isEmpty());  // written by the first tick

    std::vector<int64_t> fired;
    m_host.onRelease = [&] { fired.push_back(m_now); };
    for (int64_t t = 1000; t <= 1021; ++t) {
        tickAt(t);
        if (t == 1005) {
            EXPECT_EQ(status(), QStringLiteral("5 secs to next shot, 2 shots remaining"));
        }
        if (t == 1019) {
            EXPECT_EQ(status(), QStringLiteral("1 secs to next shot, 1 shots remaining"));
        }
    }
    EXPECT_EQ(fired, (std::vector<int64_t>{1001, 1010, 1020}));
    EXPECT_EQ(status(), kCompleted);
    EXPECT_EQ(button(), QStringLiteral("Start"));
    EXPECT_FALSE(m_dialog->isRunning());
    EXPECT_TRUE(m_dialog->isVisible());
    EXPECT_TRUE(m_prompts.shown.empty());

    // Idle again: a fresh sequence can start, its count from nothing.
    m_now = 2000;
    clickStart();
    EXPECT_EQ(m_dialog->shotsTaken(), 0);
    tickAt(2001);
    EXPECT_EQ(m_dialog->shotsTaken(), 1);
}

TEST_F(TimeLapseDlgTest, ABusyCameraMakesTheSequenceRunLate)
{
    type("shotCountEdit", QStringLiteral("2"));
    clickStart();
    tickAt(1001);
    ASSERT_EQ(m_host.releases, 1);
    m_host.busy = true;  // the first release takes 25 seconds
    for (int64_t t = 1002; t <= 1026; ++t) {
        tickAt(t);
        if (t > 1010) {
            EXPECT_EQ(status(), QStringLiteral("Running %1 secs late, 1 shots remaining").arg(t - 1010));
        }
    }
    m_host.busy = false;
    tickAt(1027);
    EXPECT_EQ(m_host.releases, 1);  // first seen idle in this second
    tickAt(1028);
    EXPECT_EQ(m_host.releases, 2);
    EXPECT_TRUE(status().isEmpty());
    m_host.busy = true;
    tickAt(1029);
    EXPECT_EQ(status(), QStringLiteral("Taking the last photo in the sequence..."));
    EXPECT_EQ(button(), QStringLiteral("Stop"));
    m_host.busy = false;
    tickAt(1030);
    EXPECT_EQ(status(), kCompleted);
}

TEST_F(TimeLapseDlgTest, NoShotsIsRefusedAndNothingStarts)
{
    for (const QString &count : {QStringLiteral("0"), QStringLiteral("-4")}) {
        m_prompts.shown.clear();
        type("shotCountEdit", count);
        clickStart();
        ASSERT_EQ(m_prompts.shown.size(), 1u);
        EXPECT_EQ(m_prompts.shown[0].icon, Prompts::Icon::Error);
        EXPECT_EQ(m_prompts.shown[0].caption, QStringLiteral("Error"));
        EXPECT_EQ(m_prompts.shown[0].text, QStringLiteral("Error: you must specify at least 1 shot in the sequence"));
        EXPECT_FALSE(m_dialog->isRunning());
        EXPECT_EQ(button(), QStringLiteral("Start"));
        tickAt(m_now + 5);
        EXPECT_EQ(m_host.releases, 0);
        EXPECT_TRUE(status().isEmpty());
    }
}

TEST_F(TimeLapseDlgTest, AFieldThatDoesNotParseKeepsItsValueAndTheOnesAfterIt)
{
    // The shot count is read after the interval: the refused interval keeps
    // both at what they were, and Start goes on with those.
    type("intervalEdit", QStringLiteral("ten"));
    type("shotCountEdit", QStringLiteral("5"));
    type("initialDelayEdit", QStringLiteral("3"));
    clickStart();
    ASSERT_EQ(m_prompts.messageTexts(), (std::vector<QString>{QStringLiteral("Please enter an integer.")}));
    EXPECT_EQ(m_prompts.shown[0].icon, Prompts::Icon::Refusal);
    EXPECT_EQ(m_prompts.shown[0].caption, QStringLiteral("Quillomat"));
    EXPECT_EQ(m_dialog->focusWidget(), edit("intervalEdit"));
    EXPECT_EQ(m_dialog->interval(), 10);
    EXPECT_EQ(m_dialog->shotCount(), 1);
    EXPECT_EQ(m_dialog->initialDelay(), 0);
    EXPECT_TRUE(m_dialog->isRunning());
    tickAt(1001);
    EXPECT_EQ(m_host.releases, 1);
    tickAt(1002);
    EXPECT_EQ(status(), kCompleted);

    // The interval parses, the shot count does not: the interval is taken.
    m_prompts.shown.clear();
    type("intervalEdit", QStringLiteral(" 7 "));
    type("shotCountEdit", QStringLiteral("99999999999"));
    clickStart();
    EXPECT_EQ(m_prompts.messageTexts(), (std::vector<QString>{QStringLiteral("Please enter an integer.")}));
    EXPECT_EQ(m_dialog->focusWidget(), edit("shotCountEdit"));
    EXPECT_EQ(m_dialog->interval(), 7);
    EXPECT_EQ(m_dialog->shotCount(), 1);
    EXPECT_EQ(m_dialog->initialDelay(), 0);
    m_dialog->startOrStop();  // Stop

    // All three parse.
    m_prompts.shown.clear();
    type("shotCountEdit", QStringLiteral("4"));
    type("initialDelayEdit", QStringLiteral("-2"));
    clickStart();
    EXPECT_TRUE(m_prompts.shown.empty());
    EXPECT_EQ(m_dialog->interval(), 7);
    EXPECT_EQ(m_dialog->shotCount(), 4);
    EXPECT_EQ(m_dialog->initialDelay(), -2);
}

TEST_F(TimeLapseDlgTest, StopDuringTheCountdownAbandons)
{
    type("initialDelayEdit", QStringLiteral("30"));
    clickStart();
    tickAt(1003);
    EXPECT_EQ(status(), QStringLiteral("27 secs to next shot, 1 shots remaining"));
    const int connects = m_host.ensureConnectedCalls;
    clickStart();
    EXPECT_EQ(button(), QStringLiteral("Start"));
    EXPECT_EQ(status(), QStringLiteral("Time-lapse sequence abandoned"));
    EXPECT_EQ(m_host.ensureConnectedCalls, connects + 1);
    EXPECT_FALSE(m_dialog->isRunning());
    tickAt(1031);  // a tick already queued
    EXPECT_EQ(m_host.releases, 0);
    EXPECT_EQ(status(), QStringLiteral("Time-lapse sequence abandoned"));
}

TEST_F(TimeLapseDlgTest, AnErrorAbandonsTheSequenceAndKeepsItsText)
{
    type("shotCountEdit", QStringLiteral("3"));
    clickStart();
    tickAt(1001);
    tickAt(1002);
    ASSERT_EQ(m_host.releases, 1);
    const int connects = m_host.ensureConnectedCalls;
    m_dialog->onError(QStringLiteral("CF card full or not present"));
    EXPECT_EQ(status(), QStringLiteral("Sequence abandoned due to error after 1 shots"));
    EXPECT_EQ(button(), QStringLiteral("Start"));
    ASSERT_EQ(m_prompts.shown.size(), 1u);
    EXPECT_EQ(m_prompts.shown[0].icon, Prompts::Icon::Error);
    EXPECT_EQ(m_prompts.shown[0].caption, QStringLiteral("ERROR"));
    EXPECT_EQ(m_prompts.shown[0].text, QStringLiteral("CF card full or not present"));
    EXPECT_EQ(m_host.ensureConnectedCalls, connects + 1);
    tickAt(1003);
    EXPECT_EQ(m_host.releases, 1);
    EXPECT_EQ(status(), QStringLiteral("Sequence abandoned due to error after 1 shots"));
}

TEST_F(TimeLapseDlgTest, AnErrorReportedByTheReleaseItselfIsNotOverwritten)
{
    type("shotCountEdit", QStringLiteral("2"));
    clickStart();
    m_host.onRelease = [&] { m_dialog->onError(QStringLiteral("CDezedoRavovadDlg::OnReleaseButton()\nsetUILock() returned false")); };
    tickAt(1001);
    // The refused release is no shot taken.
    EXPECT_EQ(status(), QStringLiteral("Sequence abandoned due to error after 0 shots"));
    EXPECT_FALSE(m_dialog->isRunning());
    ASSERT_EQ(m_prompts.shown.size(), 1u);
    EXPECT_EQ(m_prompts.shown[0].caption, QStringLiteral("ERROR"));
}

TEST_F(TimeLapseDlgTest, AReleaseRefusedBeforeTheNextTickIsNotCounted)
{
    type("shotCountEdit", QStringLiteral("3"));
    type("intervalEdit", QStringLiteral("3"));
    clickStart();
    tickAt(1001);
    tickAt(1002);
    tickAt(1003);
    ASSERT_EQ(m_host.releases, 2);
    // The camera's answer to the second release comes back before the next tick.
    m_dialog->onError(QStringLiteral("CF card full or not present"));
    EXPECT_EQ(status(), QStringLiteral("Sequence abandoned due to error after 1 shots"));
    EXPECT_EQ(m_dialog->shotsTaken(), 1);
}

TEST_F(TimeLapseDlgTest, AnErrorWhileIdleOnlyShowsTheBox)
{
    type("initialDelayEdit", QStringLiteral("5"));
    clickStart();
    tickAt(1002);
    clickStart();  // Stop
    const int connects = m_host.ensureConnectedCalls;
    m_dialog->onError(QStringLiteral("psCException"));
    EXPECT_EQ(status(), QStringLiteral("Time-lapse sequence abandoned"));
    EXPECT_EQ(m_prompts.messageTexts(), (std::vector<QString>{QStringLiteral("psCException")}));
    EXPECT_EQ(m_host.ensureConnectedCalls, connects + 1);

    // The next Start clears the error: its ticks write the status again.
    clickStart();
    tickAt(1003);
    EXPECT_EQ(status(), QStringLiteral("4 secs to next shot, 1 shots remaining"));
}

TEST_F(TimeLapseDlgTest, ALostCameraAbandonsAtTheNextTick)
{
    type("shotCountEdit", QStringLiteral("5"));
    type("intervalEdit", QStringLiteral("2"));
    clickStart();
    tickAt(1001);
    tickAt(1002);
    tickAt(1003);
    ASSERT_EQ(m_host.releases, 2);
    m_host.connected = false;
    m_host.cameraAttached = false;
    tickAt(1004);
    EXPECT_EQ(m_host.releases, 2);
    EXPECT_FALSE(m_dialog->isRunning());
    EXPECT_EQ(status(), QStringLiteral("Sequence abandoned due to error after 2 shots"));
    EXPECT_EQ(m_prompts.messageTexts(),
              (std::vector<QString>{QStringLiteral("Camera error, please turn camera off and try again")}));
    EXPECT_EQ(m_prompts.shown[0].caption, QStringLiteral("ERROR"));

    // Without a camera Start runs nothing; with it back, Start reconnects.
    clickStart();
    EXPECT_FALSE(m_dialog->isRunning());
    EXPECT_EQ(status(), QStringLiteral("Not connected to camera"));
    m_host.cameraAttached = true;
    clickStart();
    EXPECT_TRUE(m_host.connected);
    EXPECT_TRUE(m_dialog->isRunning());
}

TEST_F(TimeLapseDlgTest, CancelStopsTheSequenceAndCloses)
{
    type("shotCountEdit", QStringLiteral("3"));
    clickStart();
    tickAt(1001);
    const int connects = m_host.ensureConnectedCalls;
    QTest::mouseClick(find<QPushButton>("cancelButton"), Qt::LeftButton);
    EXPECT_FALSE(m_dialog->isVisible());
    EXPECT_EQ(m_dialog->result(), QDialog::Rejected);
    EXPECT_FALSE(m_dialog->isRunning());
    EXPECT_EQ(m_host.ensureConnectedCalls, connects + 1);
    tickAt(1020);
    EXPECT_EQ(m_host.releases, 1);
}

TEST_F(TimeLapseDlgTest, EscapeIsCancel)
{
    clickStart();
    const int connects = m_host.ensureConnectedCalls;
    QTest::keyClick(m_dialog.get(), Qt::Key_Escape);
    EXPECT_FALSE(m_dialog->isVisible());
    EXPECT_FALSE(m_dialog->isRunning());
    EXPECT_EQ(m_host.ensureConnectedCalls, connects + 1);
}

TEST_F(TimeLapseDlgTest, ReturnPressesStart)
{
    QTest::keyClick(edit("shotCountEdit"), Qt::Key_Return);
    EXPECT_TRUE(m_dialog->isRunning());
    EXPECT_TRUE(m_dialog->isVisible());
}

TEST_F(TimeLapseDlgTest, TheTimerTicksTheSequence)
{
    // Every reading of this clock is a second later than the one before.
    m_dialog->setClock([this] { return m_now++; });
    m_dialog->setTickPeriod(10ms);
    type("shotCountEdit", QStringLiteral("3"));
    type("intervalEdit", QStringLiteral("2"));
    clickStart();
    ASSERT_TRUE(QTest::qWaitFor([&] { return status() == kCompleted; }, 5000)) << status().toStdString();
    EXPECT_EQ(m_host.releases, 3);
}

}  // namespace

TEST(TimeLapseDlgClock, TheFirstShotComesOneSecondAfterStart)
{
    // The program's own clock and one-second timer, once.
    CountingHost host;
    RecordingPrompts prompts;
    CTimeLapseDlg dialog(host, prompts);
    dialog.show();
    QTest::mouseClick(child<QPushButton>(&dialog, "startButton"), Qt::LeftButton);
    QTest::qWait(300);
    EXPECT_EQ(host.releases, 0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return host.releases == 1; }, 3000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !dialog.isRunning(); }, 3000));
    EXPECT_EQ(child<QLineEdit>(&dialog, "timeLapseStatus")->text(), kCompleted);
}
