// "Register for Camera Events" and "Unregister for Camera Events" in the real
// window, with a recording stand-in for systemctl first on the search path.
#include "WindowTestSupport.h"
#include "registration/FakeSystemctl.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QTimer>

#include <filesystem>
#include <memory>

namespace {

const char kUnit[] = "vantorel-systems-quillomat.service";

class RegistrationWindowTest : public WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        m_fake = std::make_unique<FakeSystemctl>(std::filesystem::path(m_folder.path().toStdString()) / "manager");
        detachCamera();
        open();
    }

    void TearDown() override
    {
        WindowTest::TearDown();
        m_fake.reset();
    }

    // Triggers the menu command and returns the one box it ended in.
    RecordingPrompts::Shown trigger(const char *actionName)
    {
        m_prompts.shown.clear();
        QAction *command = action(actionName);
        EXPECT_TRUE(command->isEnabled()) << actionName;
        command->trigger();
        EXPECT_EQ(m_prompts.shown.size(), 1u) << actionName;
        return m_prompts.shown.empty() ? RecordingPrompts::Shown{} : m_prompts.shown.back();
    }

    std::filesystem::path unitFile() const { return m_fake->unitFolder() / kUnit; }

    std::unique_ptr<FakeSystemctl> m_fake;
};

TEST_F(RegistrationWindowTest, RegisterAddsThisProgramAndSaysSo)
{
    const RecordingPrompts::Shown box = trigger("registerForEventsAction");
    EXPECT_EQ(box.kind, RecordingPrompts::Shown::Kind::Message);
    EXPECT_EQ(box.caption, QStringLiteral("Quillomat"));
    EXPECT_EQ(box.text, QStringLiteral("Quillomat registered with Still Camera Interface"));
    EXPECT_NE(box.icon, Prompts::Icon::Error);
    EXPECT_EQ(m_fake->calls(), (std::vector<std::string>{"--user show --property=Version",
                                                         std::string("--user enable ") + kUnit}));
    // The command is this very program, with no arguments.
    const std::string self = std::filesystem::canonical("/proc/self/exe").string();
    EXPECT_NE(readText(unitFile()).find("\nExecStart=\"" + self + "\"\n"), std::string::npos)
        << readText(unitFile());
}

TEST_F(RegistrationWindowTest, UnregisterRemovesItAndSaysSo)
{
    trigger("registerForEventsAction");
    m_fake->clearCalls();
    const RecordingPrompts::Shown box = trigger("unregisterForEventsAction");
    EXPECT_EQ(box.caption, QStringLiteral("Quillomat"));
    EXPECT_EQ(box.text, QStringLiteral("Unregistered Quillomat with Still Camera Interface"));
    EXPECT_NE(box.icon, Prompts::Icon::Error);
    EXPECT_EQ(m_fake->calls(),
              (std::vector<std::string>{"--user show --property=Version", std::string("--user disable ") + kUnit,
                                        "--user daemon-reload"}));
    EXPECT_FALSE(std::filesystem::exists(unitFile()));
}

TEST_F(RegistrationWindowTest, WithoutAServiceManagerBothCommandsShowOnlyTheAccessError)
{
    m_fake->failWith("show", 1);
    for (const char *name : {"registerForEventsAction", "unregisterForEventsAction"}) {
        const RecordingPrompts::Shown box = trigger(name);
        EXPECT_EQ(box.icon, Prompts::Icon::Error) << name;
        EXPECT_EQ(box.caption, QStringLiteral("Quillomat")) << name;
        EXPECT_EQ(box.text, QStringLiteral("Error accessing the Still Camera Interface")) << name;
    }
    EXPECT_FALSE(std::filesystem::exists(unitFile()));
}

TEST_F(RegistrationWindowTest, AFailureShowsTheCodeInDecimal)
{
    m_fake->failWith("enable", 3);
    RecordingPrompts::Shown box = trigger("registerForEventsAction");
    EXPECT_EQ(box.icon, Prompts::Icon::Error);
    EXPECT_EQ(box.text, QStringLiteral("Error registering Quillomat with Still Camera Interface\n"
                                       "If you are running Windows 2000 try registering when running as "
                                       "Administrator.\nError code: 3"));
    m_fake->failWith("disable", 12);
    box = trigger("unregisterForEventsAction");
    EXPECT_EQ(box.icon, Prompts::Icon::Error);
    EXPECT_TRUE(box.text.startsWith(QStringLiteral("Error unregistering Quillomat with Still Camera Interface\n")))
        << box.text.toStdString();
    EXPECT_TRUE(box.text.endsWith(QStringLiteral("\nError code: 12"))) << box.text.toStdString();
}

// Counts the window's paint events.
class PaintCounter : public QObject {
public:
    explicit PaintCounter(QWidget *window) : m_window(window) { qApp->installEventFilter(this); }
    ~PaintCounter() override { qApp->removeEventFilter(this); }
    int paints = 0;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && watched->isWidgetType()
            && static_cast<QWidget *>(watched)->window() == m_window)
            ++paints;
        return false;
    }

private:
    QWidget *m_window;
};

TEST_F(RegistrationWindowTest, AServiceManagerThatHangsIsGivenUpWhileTheWindowGoesOn)
{
    // The window's own time limit, shortened so the test need not wait 5 s.
    m_window.reset();
    WindowServices services;
    services.prompts = &m_prompts;
    services.settingsFile = m_settingsFile;
    services.screenHeight = [] { return 1024; };
    services.registrationTimeLimit = std::chrono::milliseconds(500);
    m_window = std::make_unique<CDezedoRavovadDlg>(services);
    m_window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(m_window.get()));

    const struct {
        const char *hung;
        const char *action;
        QString text;
    } cases[] = {
        {"enable", "registerForEventsAction",
         QStringLiteral("Error registering Quillomat with Still Camera Interface\n"
                        "If you are running Windows 2000 try registering when running as Administrator.\n"
                        "Error code: 124")},
        {"show", "unregisterForEventsAction",
         QStringLiteral("Error unregistering Quillomat with Still Camera Interface\n"
                        "If you are running Windows 2000 try unregistering when running as Administrator.\n"
                        "Error code: 124")},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.hung);
        m_fake->hangOn(c.hung);
        // While the manager hangs, the window still handles its timers and paints.
        PaintCounter counter(m_window.get());
        int ticksWhileHung = 0;
        int paintsAtFirstTick = -1;
        int paintsAtLastTick = -1;
        QTimer ticker;
        QObject::connect(&ticker, &QTimer::timeout, [&] {
            if (m_fake->hungChild(c.hung) == 0 || !m_prompts.shown.empty())
                return;
            if (ticksWhileHung++ == 0)
                paintsAtFirstTick = counter.paints;
            paintsAtLastTick = counter.paints;
            m_window->update();
        });
        ticker.start(20);
        const RecordingPrompts::Shown box = trigger(c.action);
        ticker.stop();
        EXPECT_EQ(box.icon, Prompts::Icon::Error);
        EXPECT_EQ(box.text, c.text);
        EXPECT_GT(ticksWhileHung, 1);
        EXPECT_GT(paintsAtLastTick, paintsAtFirstTick) << "the window was not repainted while the manager hung";
        const pid_t child = m_fake->hungChild(c.hung);
        EXPECT_TRUE(QTest::qWaitFor([&] { return processEnded(child); }, 2000)) << child;
    }
}

TEST_F(RegistrationWindowTest, NothingElseInTheWindowChanges)
{
    const QString status = text(find("statusLine"));
    trigger("registerForEventsAction");
    trigger("unregisterForEventsAction");
    EXPECT_EQ(text(find("statusLine")), status);
    EXPECT_FALSE(m_window->isConnected());
}

} // namespace
