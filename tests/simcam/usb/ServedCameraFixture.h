// The served camera and Debian's gphoto2 pointed at it, for the tests of
// the emulated USB cable: each test has its own runtime folder and card.
#ifndef QUILLOMAT_TESTS_SERVEDCAMERAFIXTURE_H
#define QUILLOMAT_TESTS_SERVEDCAMERAFIXTURE_H

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include <dlfcn.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace fs = std::filesystem;

struct CommandRun {
    int status = -1;
    std::string output;
};

class ServedCameraTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        static int counter = 0;
        m_dir = fs::path(QUILLOMAT_TEST_BINARY_DIR) / "test-home" /
                ("usb-" + std::to_string(getpid()) + "-" + std::to_string(++counter));
        fs::remove_all(m_dir);
        fs::create_directories(m_dir / "run");
        fs::create_directories(m_dir / "out");
        fs::permissions(m_dir / "run", fs::perms::owner_all, fs::perm_options::replace);
    }

    void TearDown() override
    {
        stop();
        std::ifstream log(m_dir / "serve.err");
        const std::string text((std::istreambuf_iterator<char>(log)), std::istreambuf_iterator<char>());
        EXPECT_EQ(text.find("unimplemented"), std::string::npos) << text;
        fs::remove_all(m_dir);
    }

    std::string environment() const
    {
        return "env LANG=C XDG_RUNTIME_DIR=" + (m_dir / "run").string() + " XDG_DATA_HOME=" + m_dir.string() +
               " IOLIBS=" QUILLOMAT_IOLIBS_DIR " CAMLIBS=" QUILLOMAT_CAMLIBS_DIR " QUILLOMAT_SIMCAM='" + m_config +
               "' ";
    }

    CommandRun run(const std::string &command) const
    {
        CommandRun result;
        const std::string line = "cd " + (m_dir / "out").string() + " && " + environment() + command + " 2>&1";
        FILE *pipe = popen(line.c_str(), "r");
        if (!pipe)
            return result;
        std::array<char, 4096> buffer{};
        size_t got = 0;
        while ((got = fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
            result.output.append(buffer.data(), got);
        result.status = pclose(pipe);
        return result;
    }

    // This process itself as a program on the cable: the USB camera runtime,
    // Debian's canon driver, our port library finding the test's cable.
    void useUsbRuntimeInProcess() const
    {
        setenv("QUILLOMAT_CAMERA", "usb", 1);
        setenv("IOLIBS", QUILLOMAT_IOLIBS_DIR, 1);
        setenv("CAMLIBS", QUILLOMAT_CAMLIBS_DIR, 1);
        setenv("XDG_RUNTIME_DIR", (m_dir / "run").c_str(), 1);
    }

    // libgphoto2 loads and unloads its plug-ins as it goes; kept loaded, what
    // they allocate can be told apart from ours by the leak checker.
    static void pinGphotoPlugins()
    {
        for (const char *folder : {QUILLOMAT_CAMLIBS_DIR, QUILLOMAT_IOLIBS_DIR})
            for (const auto &entry : fs::directory_iterator(folder))
                if (entry.path().extension() == ".so")
                    dlopen(entry.path().c_str(), RTLD_LAZY | RTLD_NODELETE);
    }

    CommandRun gphoto(const std::string &arguments) const { return run("gphoto2 " + arguments); }
    CommandRun simcam(const std::string &arguments) const { return run(QUILLOMAT_SIMCAM_TOOL " " + arguments); }

    std::string current(const std::string &setting) const
    {
        const CommandRun result = gphoto("--get-config " + setting);
        const size_t at = result.output.find("Current: ");
        if (at == std::string::npos)
            return "(none) " + result.output;
        return result.output.substr(at + 9, result.output.find('\n', at) - at - 9);
    }

    void serve(const std::string &config = {})
    {
        m_config = config;
        const std::string line = "exec " + environment() + QUILLOMAT_SIMCAM_TOOL " serve >" + (m_dir / "serve.out").string() +
                                 " 2>" + (m_dir / "serve.err").string();
        const char *argv[] = {"/bin/sh", "-c", line.c_str(), nullptr};
        ASSERT_EQ(posix_spawn(&m_server, "/bin/sh", nullptr, nullptr, const_cast<char **>(argv), environ), 0);
        const fs::path cable = m_dir / "run" / "quillomat-simcam.usb";
        for (int i = 0; i < 200 && !(fs::exists(cable) && fs::exists(m_dir / "run" / "quillomat-simcam.sock")); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(25));
        ASSERT_TRUE(fs::exists(cable)) << "the camera was not served";
    }

    void stop()
    {
        if (m_server <= 0)
            return;
        kill(m_server, SIGTERM);
        int status = 0;
        waitpid(m_server, &status, 0);
        m_server = -1;
    }

    fs::path card() const { return m_dir / "quillomat-simcam" / "card" / "DCIM" / "100CANON"; }

    fs::path m_dir;
    std::string m_config;
    pid_t m_server = -1;
};

#endif
