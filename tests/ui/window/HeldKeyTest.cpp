// Keys held down on a real X display (Xvfb), with the X server's own key
// repeat: a held F8 or F9 takes one photo. The X server repeats a held key
// as release-and-press pairs that the toolkit does not always recognise, so
// only a real display shows whether a repeat still fires a command.
#include "WindowTestSupport.h"

#include <QGuiApplication>
#include <QProcess>
#include <QStandardPaths>

namespace {

constexpr int kReleaseStart = 2028;  // the window's event for the camera's release start

// Counts the releases the camera reports to the window.
class ReleaseCounter : public QObject {
public:
    int count = 0;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == static_cast<QEvent::Type>(kReleaseStart))
            ++count;
        return false;
    }
};

bool run(const QString &program, const QStringList &arguments)
{
    return QProcess::execute(program, arguments) == 0;
}

}  // namespace

class HeldKeyTest : public WindowTest, public ::testing::WithParamInterface<const char *> {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        if (QGuiApplication::platformName() != QStringLiteral("xcb"))
            GTEST_SKIP() << "needs an X display (run under xvfb-run with QT_QPA_PLATFORM=xcb)";
        for (const char *tool : {"xset", "xdotool"})
            if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty())
                GTEST_SKIP() << tool << " is not installed (scripts/install-deps)";
        // The server repeats a held key quickly, as a desktop does.
        ASSERT_TRUE(run(QStringLiteral("xset"), {QStringLiteral("r"), QStringLiteral("on")}));
        ASSERT_TRUE(run(QStringLiteral("xset"), {QStringLiteral("r"), QStringLiteral("rate"), QStringLiteral("200"),
                                                 QStringLiteral("50")}));
    }

    void TearDown() override
    {
        // A key left down would repeat into the next test.
        if (QGuiApplication::platformName() == QStringLiteral("xcb"))
            run(QStringLiteral("xdotool"), {QStringLiteral("keyup"), QString::fromLatin1(GetParam())});
        WindowTest::TearDown();
    }
};

TEST_P(HeldKeyTest, AKeyHeldForSecondsTakesOnePhoto)
{
    const QString key = QString::fromLatin1(GetParam());
    attachCamera("EOS D60", "mode=manual;tv=1/125;quality=small/fine");
    CDezedoRavovadDlg &window = open();
    ASSERT_TRUE(window.isConnected());
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    ReleaseCounter releases;
    window.installEventFilter(&releases);

    ASSERT_TRUE(run(QStringLiteral("xdotool"), {QStringLiteral("keydown"), key}));
    // Long enough for a quick camera to finish several shots: each one ends
    // while the key still repeats.
    QTest::qWait(3000);
    ASSERT_TRUE(run(QStringLiteral("xdotool"), {QStringLiteral("keyup"), key}));
    EXPECT_TRUE(QTest::qWaitFor([&] { return releases.count > 0 && !window.isReleasePending(); }, 15000));
    QTest::qWait(500);
    EXPECT_EQ(releases.count, 1) << key.toStdString() << " held down";

    // A second, separate press takes a second photo.
    ASSERT_TRUE(run(QStringLiteral("xdotool"), {QStringLiteral("key"), key}));
    EXPECT_TRUE(QTest::qWaitFor([&] { return releases.count == 2 && !window.isReleasePending(); }, 15000));
    QTest::qWait(300);
    EXPECT_EQ(releases.count, 2);
}

INSTANTIATE_TEST_SUITE_P(ReleaseAndPreview, HeldKeyTest, ::testing::Values("F8", "F9"));
