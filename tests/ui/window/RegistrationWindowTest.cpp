// "Register for Camera Events" and "Unregister for Camera Events" in the real
// window, with a recording stand-in for systemctl first on the search path.
#include "WindowTestSupport.h"
#include "registration/FakeSystemctl.h"

#include <gtest/gtest.h>

#include <QAction>

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

TEST_F(RegistrationWindowTest, NothingElseInTheWindowChanges)
{
    const QString status = text(find("statusLine"));
    trigger("registerForEventsAction");
    trigger("unregisterForEventsAction");
    EXPECT_EQ(text(find("statusLine")), status);
    EXPECT_FALSE(m_window->isConnected());
}

} // namespace
