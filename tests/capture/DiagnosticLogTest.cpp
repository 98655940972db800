#include "DiagnosticLog.h"
#include "TemporaryDirectory.h"

#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <sstream>
#include <thread>

namespace {

using namespace std::chrono_literals;

const std::regex kLine(R"(([^\[\n]*) \[(-?\d+)\]: (.*))");

std::vector<std::string> linesOf(const std::string &text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

class DiagnosticLogTest : public ::testing::Test {
protected:
    std::filesystem::path logPath() const { return m_dir.path() / "state/Quillomat/Quillomat.log"; }
    TemporaryDirectory m_dir;
};

TEST_F(DiagnosticLogTest, FirstLineTruncatesAndIsFlushedAtOnce)
{
    std::filesystem::create_directories(logPath().parent_path());
    writeTextFile(logPath(), "line of the previous run\n");
    DiagnosticLog log(logPath(), std::chrono::steady_clock::now());
    log.write("setUILock()");

    // Read while the log is still open: the line must be on disk already.
    const std::vector<std::string> lines = linesOf(readTextFile(logPath()));
    ASSERT_EQ(lines.size(), 1u);
    std::smatch match;
    ASSERT_TRUE(std::regex_match(lines[0], match, kLine)) << lines[0];
    EXPECT_FALSE(match[1].str().empty());
    EXPECT_EQ(match[3], "setUILock()");
}

TEST_F(DiagnosticLogTest, TheRunBeforeIsKeptOneRunBackBesideIt)
{
    const std::filesystem::path previous = m_dir.path() / "state/Quillomat/Quillomat.previous.log";
    EXPECT_EQ(DiagnosticLog::previousPath(logPath()), previous);

    // A first run finds nothing to keep and keeps nothing.
    {
        DiagnosticLog run(logPath(), std::chrono::steady_clock::now());
        run.write("first run");
        run.write("Image not saved: CRW_0001.CRW (the camera is gone)");
    }
    EXPECT_FALSE(std::filesystem::exists(previous));

    // Each run's first line keeps the run before, and only that one.
    for (const char *line : {"second run", "third run"}) {
        const std::string before = readTextFile(logPath());
        DiagnosticLog run(logPath(), std::chrono::steady_clock::now());
        EXPECT_EQ(readTextFile(logPath()), before) << "nothing is moved before the run logs";
        run.write(line);
        run.write("more of it");
        EXPECT_EQ(readTextFile(previous), before) << line;
        const std::vector<std::string> lines = linesOf(readTextFile(logPath()));
        ASSERT_EQ(lines.size(), 2u) << line;
        EXPECT_TRUE(lines[0].ends_with(std::string("]: ") + line)) << lines[0];
    }
    EXPECT_EQ(linesOf(readTextFile(previous)).size(), 2u);
    EXPECT_NE(readTextFile(previous).find("second run"), std::string::npos);
}

TEST_F(DiagnosticLogTest, EveryLineEndsInExactlyOneNewlineOfItsOwn)
{
    DiagnosticLog log(logPath(), std::chrono::steady_clock::now());
    log.write("no newline");
    log.write("psEVENT_CHANGE_LOCK_STATUS: 0x01\n");
    log.write("last");
    const std::string text = readTextFile(logPath());
    EXPECT_NE(text.find("]: no newline\n"), std::string::npos);
    EXPECT_NE(text.find("]: psEVENT_CHANGE_LOCK_STATUS: 0x01\n\n"), std::string::npos);
    EXPECT_TRUE(text.ends_with("]: last\n"));
    EXPECT_EQ(linesOf(text).size(), 4u);
}

TEST_F(DiagnosticLogTest, ClockFieldCountsMillisecondsSinceStart)
{
    DiagnosticLog log(logPath(), std::chrono::steady_clock::now() - 5s);
    log.write("one");
    log.write("two");
    std::vector<long> values;
    for (const std::string &line : linesOf(readTextFile(logPath()))) {
        std::smatch match;
        ASSERT_TRUE(std::regex_match(line, match, kLine)) << line;
        values.push_back(std::stol(match[2]));
    }
    ASSERT_EQ(values.size(), 2u);
    EXPECT_GE(values[0], 5000);
    EXPECT_LT(values[0], 5000 * 1000);  // milliseconds, not microseconds
    EXPECT_GE(values[1], values[0]);
}

TEST_F(DiagnosticLogTest, UncreatableFileIsSilentAndRetriedNextCall)
{
    writeTextFile(m_dir.path() / "state");  // a file where the folder should go
    DiagnosticLog log(logPath(), std::chrono::steady_clock::now());
    log.write("lost");
    EXPECT_FALSE(log.isOpen());
    EXPECT_FALSE(std::filesystem::exists(logPath()));

    std::filesystem::remove(m_dir.path() / "state");
    log.write("kept");
    EXPECT_TRUE(log.isOpen());
    const std::vector<std::string> lines = linesOf(readTextFile(logPath()));
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("]: kept"), std::string::npos);
}

TEST_F(DiagnosticLogTest, ThreadsLoggingAtOnceKeepLinesWhole)
{
    constexpr int kThreads = 4;
    constexpr int kLines = 300;
    DiagnosticLog log(logPath(), std::chrono::steady_clock::now());
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&log, t] {
            for (int i = 0; i < kLines; ++i)
                log.write("thread " + std::to_string(t) + " line " + std::to_string(i) + std::string(40, '.'));
        });
    }
    for (std::thread &thread : threads)
        thread.join();

    std::set<std::string> messages;
    for (const std::string &line : linesOf(readTextFile(logPath()))) {
        std::smatch match;
        ASSERT_TRUE(std::regex_match(line, match, kLine)) << line;
        messages.insert(match[3]);
    }
    EXPECT_EQ(messages.size(), static_cast<std::size_t>(kThreads * kLines));
}

TEST(DiagnosticLogPath, FollowsXdgStateHomeThenHome)
{
    const std::string oldXdg = std::getenv("XDG_STATE_HOME") ? std::getenv("XDG_STATE_HOME") : "";
    const std::string oldHome = std::getenv("HOME") ? std::getenv("HOME") : "";

    ::setenv("XDG_STATE_HOME", "/var/state-test", 1);
    EXPECT_EQ(DiagnosticLog::defaultPath(), "/var/state-test/Quillomat/Quillomat.log");
    ::setenv("HOME", "/home/tester", 1);
    ::setenv("XDG_STATE_HOME", "relative/state", 1);
    EXPECT_EQ(DiagnosticLog::defaultPath(), "/home/tester/.local/state/Quillomat/Quillomat.log");
    ::unsetenv("XDG_STATE_HOME");
    EXPECT_EQ(DiagnosticLog::defaultPath(), "/home/tester/.local/state/Quillomat/Quillomat.log");

    ::setenv("XDG_STATE_HOME", oldXdg.c_str(), 1);
    ::setenv("HOME", oldHome.c_str(), 1);
}

TEST(DiagnosticLogProcess, LogMessageWritesTheProgramsLog)
{
    TemporaryDirectory dir;
    ::setenv("XDG_STATE_HOME", dir.str().c_str(), 1);
    logMessage("RELEASE_EVENT_RELEASE_START");
    logMessage("WM_CAMERA_RELEASE_COMPLETE");
    const std::vector<std::string> lines = linesOf(readTextFile(dir.path() / "Quillomat/Quillomat.log"));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NE(lines[1].find("]: WM_CAMERA_RELEASE_COMPLETE"), std::string::npos);
}

} // namespace
