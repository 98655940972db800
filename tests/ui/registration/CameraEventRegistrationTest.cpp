// Both commands with the real systemctl runner and a recording stand-in for
// systemctl first on the search path: the unit file, the calls, the messages,
// a moved program, and what happens without a service manager.
#include "CameraEventRegistration.h"
#include "FakeSystemctl.h"
#include "LaunchRegistry.h"
#include "SystemctlManager.h"
#include "UserServiceUnit.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

const char kUnit[] = "vantorel-systems-quillomat.service";
const std::string kProbe = "--user show --property=Version";
const std::string kEnable = std::string("--user enable ") + kUnit;
const std::string kDisable = std::string("--user disable ") + kUnit;
const std::string kReload = "--user daemon-reload";

const char kAccessError[] = "Error accessing the Still Camera Interface";
const std::string kRegisterFailed =
    "Error registering Quillomat with Still Camera Interface\n"
    "If you are running Windows 2000 try registering when running as Administrator.\n"
    "Error code: ";
const std::string kUnregisterFailed =
    "Error unregistering Quillomat with Still Camera Interface\n"
    "If you are running Windows 2000 try unregistering when running as Administrator.\n"
    "Error code: ";

class CameraEventRegistrationTest : public ::testing::Test {
protected:
    CameraEventRegistration registration() { return CameraEventRegistration(m_manager, m_fake.unitFolder().string()); }

    fs::path unitFile() const { return m_fake.unitFolder() / kUnit; }

    TemporaryFolder m_folder;
    FakeSystemctl m_fake{m_folder.path()};
    SystemctlManager m_manager;
};

TEST_F(CameraEventRegistrationTest, RegisterWritesTheServiceAndEnablesIt)
{
    const RegistrationMessage message = registration().registerForCameraEvents("/usr/lib/quillomat/quillomat");
    EXPECT_FALSE(message.isError);
    EXPECT_EQ(message.text, "Quillomat registered with Still Camera Interface");
    EXPECT_EQ(m_fake.calls(), (std::vector<std::string>{kProbe, kEnable}));
    EXPECT_EQ(readText(unitFile()), unitFileText("Vantorel Systems Quillomat", "/usr/lib/quillomat/quillomat"));
    EXPECT_NE(readText(unitFile()).find("ExecStart=\"/usr/lib/quillomat/quillomat\"\n"), std::string::npos);
    EXPECT_TRUE(fs::is_symlink(m_fake.wantsLink(kUnit)));
    // Nothing else is left in the folder (no temporary files).
    size_t entries = 0;
    for ([[maybe_unused]] const auto &entry : fs::directory_iterator(m_fake.unitFolder()))
        ++entries;
    EXPECT_EQ(entries, 2u);  // the unit and the target's .wants folder
}

TEST_F(CameraEventRegistrationTest, UnregisterDisablesAndRemovesTheService)
{
    ASSERT_FALSE(registration().registerForCameraEvents("/usr/lib/quillomat/quillomat").isError);
    m_fake.clearCalls();
    const RegistrationMessage message = registration().unregisterForCameraEvents();
    EXPECT_FALSE(message.isError);
    EXPECT_EQ(message.text, "Unregistered Quillomat with Still Camera Interface");
    EXPECT_EQ(m_fake.calls(), (std::vector<std::string>{kProbe, kDisable, kReload}));
    EXPECT_FALSE(fs::exists(unitFile()));
    EXPECT_FALSE(fs::is_symlink(m_fake.wantsLink(kUnit)));
}

TEST_F(CameraEventRegistrationTest, RegisteringAgainAfterAMoveReplacesThePathUnderTheSameName)
{
    ASSERT_FALSE(registration().registerForCameraEvents("/opt/old/quillomat").isError);
    const RegistrationMessage message = registration().registerForCameraEvents("/home/me/new place/quillomat");
    EXPECT_FALSE(message.isError);
    EXPECT_EQ(m_fake.calls(), (std::vector<std::string>{kProbe, kEnable, kProbe, kEnable}));
    const std::string text = readText(unitFile());
    EXPECT_NE(text.find("ExecStart=\"/home/me/new place/quillomat\"\n"), std::string::npos) << text;
    EXPECT_EQ(text.find("/opt/old"), std::string::npos) << text;
    std::vector<std::string> services;
    for (const auto &entry : fs::directory_iterator(m_fake.unitFolder()))
        if (entry.path().extension() == ".service")
            services.push_back(entry.path().filename().string());
    EXPECT_EQ(services, std::vector<std::string>{kUnit});
}

TEST_F(CameraEventRegistrationTest, WithoutSystemctlBothCommandsReportTheAccessErrorOnly)
{
    TemporaryFolder empty;
    ScopedVariable path("PATH", empty.path().string());
    RegistrationMessage message = registration().registerForCameraEvents("/usr/lib/quillomat/quillomat");
    EXPECT_TRUE(message.isError);
    EXPECT_EQ(message.text, kAccessError);
    EXPECT_FALSE(fs::exists(m_fake.unitFolder()));
    message = registration().unregisterForCameraEvents();
    EXPECT_TRUE(message.isError);
    EXPECT_EQ(message.text, kAccessError);
    EXPECT_TRUE(m_fake.calls().empty());
}

TEST_F(CameraEventRegistrationTest, WithoutASessionBusBothCommandsReportTheAccessErrorOnly)
{
    m_fake.failWith("show", 1);  // "Failed to connect to bus"
    EXPECT_EQ(registration().registerForCameraEvents("/usr/lib/quillomat/quillomat").text, kAccessError);
    EXPECT_EQ(registration().unregisterForCameraEvents().text, kAccessError);
    EXPECT_EQ(m_fake.calls(), (std::vector<std::string>{kProbe, kProbe}));
    EXPECT_FALSE(fs::exists(unitFile()));
}

TEST_F(CameraEventRegistrationTest, ARefusedEnableShowsTheExitStatusAndLeavesNoService)
{
    m_fake.failWith("enable", 4);
    const RegistrationMessage message = registration().registerForCameraEvents("/usr/lib/quillomat/quillomat");
    EXPECT_TRUE(message.isError);
    EXPECT_EQ(message.text, kRegisterFailed + "4");
    EXPECT_EQ(m_fake.calls(), (std::vector<std::string>{kProbe, kEnable}));
    EXPECT_FALSE(fs::exists(unitFile()));
}

TEST_F(CameraEventRegistrationTest, ARefusedReRegistrationKeepsTheRegisteredPath)
{
    ASSERT_FALSE(registration().registerForCameraEvents("/opt/old/quillomat").isError);
    const std::string before = readText(unitFile());
    m_fake.failWith("enable", 1);
    EXPECT_EQ(registration().registerForCameraEvents("/opt/new/quillomat").text, kRegisterFailed + "1");
    EXPECT_EQ(readText(unitFile()), before);
}

TEST_F(CameraEventRegistrationTest, AUnitFolderThatCannotBeMadeShowsTheErrorNumber)
{
    // The user's systemd folder is a plain file: no folder can be made under it.
    fs::create_directories(m_fake.unitFolder().parent_path().parent_path());
    writeText(m_fake.unitFolder().parent_path(), "not a folder");
    const RegistrationMessage message = registration().registerForCameraEvents("/usr/lib/quillomat/quillomat");
    EXPECT_EQ(message.text, kRegisterFailed + std::to_string(ENOTDIR));
    EXPECT_EQ(m_fake.calls(), std::vector<std::string>{kProbe});
}

TEST_F(CameraEventRegistrationTest, ARelativeProgramPathIsRefusedBeforeAnythingIsWritten)
{
    EXPECT_EQ(registration().registerForCameraEvents("quillomat").text, kRegisterFailed + std::to_string(EINVAL));
    EXPECT_EQ(registration().registerForCameraEvents("").text, kRegisterFailed + std::to_string(EINVAL));
    EXPECT_FALSE(fs::exists(unitFile()));
}

TEST_F(CameraEventRegistrationTest, UnregisteringWhatIsNotRegisteredIsTheManagersDecision)
{
    const RegistrationMessage message = registration().unregisterForCameraEvents();
    EXPECT_TRUE(message.isError);
    EXPECT_EQ(message.text, kUnregisterFailed + "1");
    EXPECT_EQ(m_fake.calls(), (std::vector<std::string>{kProbe, kDisable}));
}

TEST_F(CameraEventRegistrationTest, ARefusedDisableShowsTheExitStatusAndKeepsTheService)
{
    ASSERT_FALSE(registration().registerForCameraEvents("/usr/lib/quillomat/quillomat").isError);
    m_fake.failWith("disable", 5);
    EXPECT_EQ(registration().unregisterForCameraEvents().text, kUnregisterFailed + "5");
    EXPECT_TRUE(fs::exists(unitFile()));
}

TEST_F(CameraEventRegistrationTest, AKilledSystemctlIsReportedAsAShellWould)
{
    // The stand-in kills itself for "enable".
    writeText(m_folder.path() / "bin" / "systemctl.real", readText(m_folder.path() / "bin" / "systemctl"));
    const fs::path script = m_folder.path() / "bin" / "systemctl";
    writeText(script, "#!/bin/sh\n[ \"$2\" = enable ] && kill -9 $$\nexec sh '" + script.string() + ".real' \"$@\"\n");
    EXPECT_EQ(registration().registerForCameraEvents("/usr/lib/quillomat/quillomat").text, kRegisterFailed + "137");
}

TEST_F(CameraEventRegistrationTest, AManagerThatDoesNotAnswerInTimeIsGivenUpWithCode124)
{
    struct Case {
        const char *hung;  // the call that never answers
        bool registering;
        std::string text;
        bool unitLeft;     // a registered unit is still there afterwards
    };
    const Case cases[] = {
        {"show", true, kRegisterFailed + "124", false},
        {"enable", true, kRegisterFailed + "124", false},
        {"show", false, kUnregisterFailed + "124", true},
        {"disable", false, kUnregisterFailed + "124", true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.hung) + (c.registering ? " registering" : " unregistering"));
        TemporaryFolder folder;
        FakeSystemctl fake(folder.path());
        SystemctlManager manager(std::chrono::milliseconds(300));
        CameraEventRegistration registration(manager, fake.unitFolder().string());
        if (!c.registering) {
            ASSERT_FALSE(registration.registerForCameraEvents("/usr/lib/quillomat/quillomat").isError);
        }
        fake.hangOn(c.hung);
        const RegistrationMessage message = c.registering
                                                ? registration.registerForCameraEvents("/usr/lib/quillomat/quillomat")
                                                : registration.unregisterForCameraEvents();
        EXPECT_TRUE(message.isError);
        EXPECT_EQ(message.text, c.text);
        EXPECT_EQ(fs::exists(fake.unitFolder() / kUnit), c.unitLeft);
        // What the stand-in started went with it.
        const pid_t child = fake.hungChild(c.hung);
        EXPECT_NE(child, 0);
        for (int check = 0; check < 100 && !processEnded(child); ++check)
            ::usleep(10000);
        EXPECT_TRUE(processEnded(child)) << child;
        // The time limit is the manager's whole: later calls give up at once.
        EXPECT_EQ(manager.run({"daemon-reload"}), ServiceManager::kTimedOut);
    }
}

TEST_F(CameraEventRegistrationTest, TheDefaultUnitFolderFollowsXdgConfigHome)
{
    EXPECT_EQ(LaunchRegistry::defaultUnitFolder(), m_fake.unitFolder().string());
    ScopedVariable relative("XDG_CONFIG_HOME", "relative/config");
    ScopedVariable home("HOME", "/home/someone");
    EXPECT_EQ(LaunchRegistry::defaultUnitFolder(), "/home/someone/.config/systemd/user");
}

// Runs a copy of the probe program; its output and exit status.
int runProgram(const fs::path &program, std::string *output)
{
    FILE *pipe = popen(("'" + program.string() + "' 2>&1").c_str(), "r");
    if (!pipe)
        return -1;
    char buffer[512];
    while (fgets(buffer, sizeof buffer, pipe))
        *output += buffer;
    return pclose(pipe);
}

TEST_F(CameraEventRegistrationTest, AMovedProgramRegistersItsOwnNewPath)
{
    const fs::path first = m_folder.path() / "first" / "quillomat";
    const fs::path second = m_folder.path() / "second place" / "quillomat";
    for (const fs::path &copy : {first, second}) {
        fs::create_directories(copy.parent_path());
        fs::copy_file(REGISTRATION_PROBE, copy);
    }
    std::string output;
    ASSERT_EQ(runProgram(first, &output), 0) << output;
    EXPECT_EQ(output, "Quillomat registered with Still Camera Interface\n");
    EXPECT_NE(readText(unitFile()).find("ExecStart=\"" + first.string() + "\"\n"), std::string::npos);

    // Started through a link, the program still registers the file itself.
    const fs::path link = m_folder.path() / "link-to-quillomat";
    fs::create_symlink(second, link);
    output.clear();
    ASSERT_EQ(runProgram(link, &output), 0) << output;
    const std::string text = readText(unitFile());
    EXPECT_NE(text.find("ExecStart=\"" + second.string() + "\"\n"), std::string::npos) << text;
    EXPECT_EQ(text.find(first.string()), std::string::npos) << text;
}

TEST(OwnExecutablePath, IsThisTestProgram)
{
    const std::string path = ownExecutablePath();
    ASSERT_FALSE(path.empty());
    EXPECT_EQ(path[0], '/');
    EXPECT_EQ(fs::path(path).filename(), "CameraEventRegistrationTest");
    EXPECT_TRUE(fs::equivalent(path, "/proc/self/exe"));
}

} // namespace
