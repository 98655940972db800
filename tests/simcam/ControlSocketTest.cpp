// The control socket through which quillomat-simcam drives a running program's camera.
#include "SimTestSupport.h"

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace simcam::test {
namespace {

std::string socketPath()
{
    const char *runtime = std::getenv("XDG_RUNTIME_DIR");
    std::filesystem::path dir = runtime && *runtime ? runtime : "/tmp";
    std::filesystem::create_directories(dir);
    return (dir / ("simcam-test-" + std::to_string(::getpid()) + ".sock")).string();
}

std::string send(const std::string &path, const std::string &line)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    if (fd < 0 || ::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0) {
        if (fd >= 0)
            ::close(fd);
        return "no connection";
    }
    const std::string text = line + "\n";
    EXPECT_EQ(::write(fd, text.data(), text.size()), static_cast<ssize_t>(text.size()));
    std::string answer;
    char buffer[256];
    ssize_t got;
    while ((got = ::read(fd, buffer, sizeof buffer)) > 0)
        answer.append(buffer, static_cast<size_t>(got));
    ::close(fd);
    if (!answer.empty() && answer.back() == '\n')
        answer.pop_back();
    return answer;
}

class SimControlSocket : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_path = socketPath();
        std::string error;
        ASSERT_TRUE(startControlServer(m_path, &error)) << error;
    }
    void TearDown() override
    {
        stopControlServer();
        EXPECT_FALSE(std::filesystem::exists(m_path));
    }
    std::string m_path;
};

TEST_F(SimControlSocket, SocketIsForTheUserOnly)
{
    struct stat info{};
    ASSERT_EQ(::stat(m_path.c_str(), &info), 0);
    EXPECT_TRUE(S_ISSOCK(info.st_mode));
    EXPECT_EQ(info.st_mode & 0777, 0600u);
}

TEST_F(SimControlSocket, CommandsReachTheRunningProgramsCamera)
{
    Device device(testConfig());
    EXPECT_EQ(send(m_path, "set tv 1/250"), "ok");
    ASSERT_TRUE(device.recorder.waitFor(PS_EVENT_RELEASE_CONTROL, PS_RELEASE_EVENT_CHANGED_BY_UI));
    EXPECT_EQ(word(device.params(), 30), 0x78);

    EXPECT_EQ(send(m_path, "shutter"), "ok");
    ASSERT_TRUE(device.recorder.waitFor(PS_EVENT_RELEASE_CONTROL, PS_RELEASE_EVENT_RELEASE_COMPLETE));

    EXPECT_EQ(send(m_path, "menu on"), "ok");
    EXPECT_NE(device.driver->lockControls(device.driver, device.handle, PS_LOCK_MODE_UI), 0u);
    EXPECT_EQ(send(m_path, "menu off"), "ok");

    const std::string status = send(m_path, "status");
    EXPECT_EQ(status.rfind("ok EOS D60", 0), 0u) << status;
    EXPECT_NE(status.find("tv 1/250"), std::string::npos) << status;

    EXPECT_EQ(send(m_path, "unplug"), "ok");
    EXPECT_TRUE(device.recorder.waitFor(PS_EVENT_SEVERITY_SHUTDOWN | PS_SHUTDOWN_DISCONNECTED));
}

TEST_F(SimControlSocket, BadCommandsAreAnsweredWithAnError)
{
    configureCamera(testConfig());
    EXPECT_EQ(send(m_path, "juggle").rfind("error", 0), 0u);
    EXPECT_EQ(send(m_path, "set tv 1/7").rfind("error", 0), 0u);
    EXPECT_EQ(send(m_path, "menu sideways").rfind("error", 0), 0u);
    EXPECT_EQ(send(m_path, "warn").rfind("error", 0), 0u);   // no program connected
}

TEST_F(SimControlSocket, SecondServerOnALiveSocketIsRefused)
{
    std::string error;
    EXPECT_FALSE(startControlServer(m_path, &error));
    EXPECT_TRUE(controlServerRunning());
}

TEST(SimControlCommands, CardAndAfFailureCommands)
{
    configureCamera(testConfig());
    EXPECT_EQ(runControlCommand("card 3"), "ok");
    EXPECT_EQ(simulatedCamera()->shotsRemaining(), 3u);
    EXPECT_EQ(runControlCommand("card none"), "ok");
    EXPECT_FALSE(simulatedCamera()->cardPresent());
    EXPECT_EQ(runControlCommand("af-fail on"), "ok");
    EXPECT_EQ(runControlCommand("dial Av"), "ok");
    EXPECT_EQ(simulatedCamera()->state().exposureMode, ModeAv);
}

} // namespace
} // namespace simcam::test
