// quillomat-simcam as people use it: the sample files, and commands to the
// camera of a running program (this test process, listening on its socket).
#include "FixtureSet.h"
#include "SimControl.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

struct CliRun {
    int status = -1;
    std::string output;
};

CliRun run(const std::string &arguments)
{
    CliRun result;
    const std::string command = std::string(QUILLOMAT_SIMCAM_CLI) + " " + arguments + " 2>&1";
    FILE *pipe = ::popen(command.c_str(), "r");
    if (!pipe)
        return result;
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, pipe))
        result.output += buffer;
    const int status = ::pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

std::filesystem::path folder(const std::string &name)
{
    const auto path = std::filesystem::path(QUILLOMAT_TEST_BINARY_DIR) / "test-output" / "simcam-cli" /
                      (name + "_" + std::to_string(::getpid()));
    std::filesystem::remove_all(path);
    std::filesystem::create_directories(path);
    return path;
}

std::vector<char> bytes(const std::filesystem::path &path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

TEST(SimcamCli, GenerateWritesTheSameFixturesEveryTime)
{
    const auto first = folder("first");
    const auto second = folder("second");
    const CliRun a = run("generate --out '" + first.string() + "'");
    ASSERT_EQ(a.status, 0) << a.output;
    ASSERT_EQ(run("generate --out '" + second.string() + "'").status, 0);
    size_t files = 0;
    for (const auto &entry : std::filesystem::recursive_directory_iterator(first)) {
        if (!entry.is_regular_file())
            continue;
        ++files;
        const auto relative = std::filesystem::relative(entry.path(), first);
        EXPECT_EQ(bytes(entry.path()), bytes(second / relative)) << relative;
    }
    EXPECT_EQ(files, simcam::fixtureVariants().size() * 2 + 1);   // and the manifest
    EXPECT_TRUE(std::filesystem::exists(first / "EOS_D60_raw" / "CRW_0002.CRW"));
    EXPECT_TRUE(std::filesystem::exists(first / "EOS_D30_raw" / "CRW_0006.THM"));
}

TEST(SimcamCli, GenerateWithoutAFolderIsAUsageError)
{
    EXPECT_EQ(run("generate").status, 2);
    EXPECT_EQ(run("").status, 2);
    const CliRun help = run("help");
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.output.find("shutter"), std::string::npos);
}

TEST(SimcamCli, CommandsDriveTheRunningProgramsCamera)
{
    simcam::SimConfig config = simcam::SimConfig::forModel("EOS D30");
    config.exposureCap = config.mirrorDelay = config.processingDelay = std::chrono::milliseconds(0);
    simcam::configureCamera(config);
    const auto dir = folder("socket");
    const std::string socket = (dir / "s.sock").string();
    std::string error;
    ASSERT_TRUE(simcam::startControlServer(socket, &error)) << error;
    const std::string prefix = "--socket '" + socket + "' ";

    CliRun set = run(prefix + "set iso 400");
    EXPECT_EQ(set.status, 0) << set.output;
    EXPECT_EQ(simcam::simulatedCamera()->state().iso, 0x58);
    CliRun refused = run(prefix + "set av 1.0");
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.output.rfind("error", 0), 0u) << refused.output;
    EXPECT_EQ(run(prefix + "menu on").status, 0);
    EXPECT_EQ(run(prefix + "card 12").status, 0);
    EXPECT_EQ(simcam::simulatedCamera()->shotsRemaining(), 12u);
    EXPECT_EQ(run(prefix + "shutter").status, 0);
    EXPECT_EQ(simcam::simulatedCamera()->shotsRemaining(), 11u);
    EXPECT_EQ(run(prefix + "lose fullview 2").status, 0);
    EXPECT_EQ(simcam::simulatedCamera()->config().lostFullViews, 2u);
    const CliRun status = run(prefix + "status");
    EXPECT_NE(status.output.find("EOS D30"), std::string::npos) << status.output;
    EXPECT_EQ(run(prefix + "unplug").status, 0);
    EXPECT_FALSE(simcam::simulatedCamera()->present());
    simcam::stopControlServer();

    const CliRun nobody = run(prefix + "shutter");
    EXPECT_EQ(nobody.status, 1);
    EXPECT_NE(nobody.output.find("control=1"), std::string::npos) << nobody.output;
}

} // namespace
