// Runs the built tolvane program the way an installer would.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace {

namespace fs = std::filesystem;

const char kUsageText[] = "Usage: Tolvane install OR remove\nRegisters/unregisters the Canon Powershot SDK DLLs\n";

struct RunResult {
    int exitStatus = -1;      // -1: did not exit normally
    std::string errorOutput;
};

class TolvaneProgram : public testing::Test {
protected:
    void SetUp() override
    {
        const auto *info = testing::UnitTest::GetInstance()->current_test_info();
        m_folder = fs::temp_directory_path() / ("tolvane-test-" + std::to_string(getpid()) + "-" + info->name());
        fs::remove_all(m_folder);
        fs::create_directories(m_folder);
        m_config = m_folder / "config";
    }
    void TearDown() override { fs::remove_all(m_folder); }

    fs::path record() const { return m_config / "psdk-runtime" / "registration"; }

    // Runs tolvane with the arguments, a private configuration folder and,
    // unless display is false, the offscreen platform. A program that hangs
    // is killed after 20 seconds.
    RunResult run(const std::vector<std::string> &arguments, bool display = true,
                  const std::vector<std::string> &extraEnvironment = {})
    {
        std::vector<std::string> environment;
        for (char **entry = environ; *entry != nullptr; ++entry) {
            const std::string variable = *entry;
            for (const char *dropped : {"DISPLAY=", "WAYLAND_DISPLAY=", "QT_QPA_PLATFORM=", "XDG_CONFIG_HOME="}) {
                if (variable.rfind(dropped, 0) == 0)
                    goto skip;
            }
            environment.push_back(variable);
        skip:;
        }
        environment.push_back("XDG_CONFIG_HOME=" + m_config.string());
        if (display)
            environment.push_back("QT_QPA_PLATFORM=offscreen");
        environment.insert(environment.end(), extraEnvironment.begin(), extraEnvironment.end());

        std::vector<char *> argv{const_cast<char *>(TOLVANE_PROGRAM)};
        for (const std::string &argument : arguments)
            argv.push_back(const_cast<char *>(argument.c_str()));
        argv.push_back(nullptr);
        std::vector<char *> envp;
        for (std::string &variable : environment)
            envp.push_back(variable.data());
        envp.push_back(nullptr);

        const fs::path errorFile = m_folder / "stderr.txt";
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errorFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);

        RunResult result;
        pid_t child = 0;
        const int spawned = posix_spawn(&child, TOLVANE_PROGRAM, &actions, nullptr, argv.data(), envp.data());
        posix_spawn_file_actions_destroy(&actions);
        EXPECT_EQ(spawned, 0) << "cannot start " << TOLVANE_PROGRAM;
        if (spawned != 0)
            return result;

        int status = 0;
        for (int waited = 0; waited < 2000; ++waited) {
            const pid_t done = waitpid(child, &status, WNOHANG);
            if (done == child)
                break;
            if (waited == 1999) {
                kill(child, SIGKILL);
                waitpid(child, &status, 0);
                ADD_FAILURE() << "tolvane did not end";
            }
            usleep(10000);
        }
        if (WIFEXITED(status))
            result.exitStatus = WEXITSTATUS(status);
        std::ifstream in(errorFile);
        std::stringstream text;
        text << in.rdbuf();
        result.errorOutput = text.str();
        return result;
    }

    static std::string readFile(const fs::path &path)
    {
        std::ifstream in(path);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    fs::path m_folder;
    fs::path m_config;
};

TEST_F(TolvaneProgram, InstallWritesTheRegistrationRecord)
{
    const RunResult result = run({"install"});
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_EQ(result.errorOutput, "");
    ASSERT_TRUE(fs::exists(record()));

    const std::string expected = "# camera runtime registration\n"
                                 "name=Quillomat simulated camera runtime\n"
                                 "version=1.0.0\n"
                                 "libdir=" + fs::canonical(PSDKREG_FOLDER).string() + "\n"
                                 "model=0x01140000 EOS D30\n"
                                 "model=0x01168000 EOS D60\n"
                                 "model=0x01100000 EOS-1D\n"
                                 "model=0x01110000 PowerShot G2\n"
                                 "model=0x01090000 PowerShot Pro90 IS\n"
                                 "model=0x01030000 PowerShot 350\n";
    EXPECT_EQ(readFile(record()), expected);
    // Nothing but the record is left in its folder.
    EXPECT_EQ(std::distance(fs::directory_iterator(record().parent_path()), fs::directory_iterator()), 1);
}

TEST_F(TolvaneProgram, InstallTwiceGivesTheSameRecord)
{
    ASSERT_EQ(run({"INSTALL"}).exitStatus, 0);
    const std::string first = readFile(record());
    ASSERT_FALSE(first.empty());
    ASSERT_EQ(run({"Install"}).exitStatus, 0);
    EXPECT_EQ(readFile(record()), first);
}

TEST_F(TolvaneProgram, InstallReplacesADamagedRecord)
{
    fs::create_directories(record().parent_path());
    std::ofstream(record()) << "garbage without a model\n";
    ASSERT_EQ(run({"install"}).exitStatus, 0);
    EXPECT_NE(readFile(record()).find("model=0x01168000 EOS D60\n"), std::string::npos);
}

TEST_F(TolvaneProgram, RemoveDeletesTheRecordAndMayBeRepeated)
{
    ASSERT_EQ(run({"install"}).exitStatus, 0);
    ASSERT_TRUE(fs::exists(record()));
    const RunResult removed = run({"Remove"});
    EXPECT_EQ(removed.exitStatus, 0);
    EXPECT_EQ(removed.errorOutput, "");
    EXPECT_FALSE(fs::exists(record()));
    EXPECT_EQ(run({"remove"}).exitStatus, 0);
    EXPECT_FALSE(fs::exists(record()));
}

TEST_F(TolvaneProgram, LeadingBlankIsSkipped)
{
    EXPECT_EQ(run({" install"}).exitStatus, 0);
    EXPECT_TRUE(fs::exists(record()));
}

TEST_F(TolvaneProgram, WithoutArgumentsAndDisplayUsageGoesToStandardError)
{
    const RunResult result = run({}, false);
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_EQ(result.errorOutput, kUsageText);
    EXPECT_FALSE(fs::exists(m_config));
}

TEST_F(TolvaneProgram, TrailingBlankOrTwoWordsShowUsageAndRegisterNothing)
{
    for (const std::vector<std::string> &arguments :
         {std::vector<std::string>{"install", ""}, std::vector<std::string>{"install", "remove"},
          std::vector<std::string>{"install "}, std::vector<std::string>{"setup"}}) {
        const RunResult result = run(arguments, false);
        EXPECT_EQ(result.exitStatus, 0);
        EXPECT_EQ(result.errorOutput, kUsageText);
        EXPECT_FALSE(fs::exists(record()));
    }
}

TEST_F(TolvaneProgram, OffscreenPlatformNeverWaitsOnAnInvisibleBox)
{
    const RunResult result = run({"help"}, true);
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_EQ(result.errorOutput, kUsageText);
}

TEST_F(TolvaneProgram, DisplayThatCannotBeOpenedFallsBackToStandardError)
{
    if (fs::exists("/tmp/.X11-unix/X87"))
        GTEST_SKIP() << "an X server listens on display :87";
    const RunResult result = run({"?"}, false, {"DISPLAY=:87"});
    EXPECT_EQ(result.exitStatus, 0);
    // Qt says why it could not start first; the usage text comes last.
    ASSERT_GE(result.errorOutput.size(), sizeof kUsageText - 1);
    EXPECT_EQ(result.errorOutput.substr(result.errorOutput.size() - (sizeof kUsageText - 1)), kUsageText)
        << result.errorOutput;
}

TEST_F(TolvaneProgram, RemoveKeepsOtherFilesOfTheFolder)
{
    ASSERT_EQ(run({"install"}).exitStatus, 0);
    const fs::path other = record().parent_path() / "notes.txt";
    std::ofstream(other) << "kept";
    ASSERT_EQ(run({"remove"}).exitStatus, 0);
    EXPECT_FALSE(fs::exists(record()));
    EXPECT_TRUE(fs::exists(other));
}

} // namespace
