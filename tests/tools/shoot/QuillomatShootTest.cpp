// quillomat-shoot as a script runs it: a child process on the simulated
// camera, with its own settings and image folder.
#include "Settings.h"
#include "SettingsStore.h"
#include "ShootOptions.h"
#include "TemporaryDirectory.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QFile>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <sstream>

using ::testing::ElementsAre;
using ::testing::HasSubstr;

namespace {

struct ToolRun {
    int status = -1;
    std::string out;
    std::string err;
};

std::string shellQuoted(const std::string &text)
{
    std::string result = "'";
    for (char c : text)
        result += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return result + "'";
}

std::vector<std::string> lines(const std::string &text)
{
    std::vector<std::string> result;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        result.push_back(line);
    return result;
}

// The saved paths: the lines that are not the indented information.
std::vector<std::string> savedPaths(const std::string &out)
{
    std::vector<std::string> result;
    for (const std::string &line : lines(out))
        if (!line.empty() && line[0] != ' ')
            result.push_back(line);
    return result;
}

class SettingsFree : public SettingsControls {
public:
    int listPosition(List list) const override { return list == List::Store ? m_store : -1; }
    void setListPosition(List list, int position) override
    {
        if (list == List::Store)
            m_store = position;
    }
    bool isChecked(CheckBox) const override { return false; }
    void setChecked(CheckBox, bool) override {}
    int m_store = 0;
};

} // namespace

class ShootTool : public ::testing::TestWithParam<const char *> {
protected:
    void SetUp() override
    {
        // The tool and this test share a private settings folder.
        m_config = (m_folder.path() / "config").string();
        ::setenv("XDG_CONFIG_HOME", m_config.c_str(), 1);
    }

    std::string camera(const std::string &extra = {}) const
    {
        return std::string("model=") + GetParam() + ";timing=none;clock=2002:06:02 08:30:00" +
               (extra.empty() ? "" : ";" + extra);
    }

    ToolRun run(const std::string &simcam, const std::string &arguments) const
    {
        const std::filesystem::path out = m_folder.path() / "stdout";
        const std::filesystem::path err = m_folder.path() / "stderr";
        const std::string command = "QUILLOMAT_SIMCAM=" + shellQuoted(simcam) + " XDG_CONFIG_HOME=" + shellQuoted(m_config) +
                                    " " + QUILLOMAT_SHOOT_EXE + " " + arguments + " > " + shellQuoted(out.string()) +
                                    " 2> " + shellQuoted(err.string()) + " < /dev/null";
        ToolRun result;
        const int status = std::system(command.c_str());
        result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        result.out = readTextFile(out);
        result.err = readTextFile(err);
        return result;
    }

    std::string images() const { return (m_folder.path() / "images").string(); }

    TemporaryDirectory m_folder;
    std::string m_config;
};

TEST_P(ShootTool, ThreeShotsAreSavedAsTheCameraWasSet)
{
    const ToolRun result = run(camera("mode=Av;av=5.6;iso=400"), "--count 3 --quality large-fine --dir " + shellQuoted(images()));
    ASSERT_EQ(result.status, 0) << result.err;
    const auto paths = savedPaths(result.out);
    ASSERT_EQ(paths.size(), 3u) << result.out;
    for (int n = 0; n < 3; ++n) {
        const std::string name = "IMG_000" + std::to_string(n + 1) + ".JPG";
        EXPECT_EQ(std::filesystem::path(paths[n]).filename(), name);
        EXPECT_TRUE(std::filesystem::is_regular_file(paths[n]));
    }
    EXPECT_THAT(result.out, HasSubstr("  Exposure: "));
    EXPECT_THAT(result.out, HasSubstr("f/5.6"));

    if (std::system("exiftool -ver > /dev/null 2>&1") != 0)
        GTEST_SKIP() << "exiftool is not installed";
    for (const std::string &path : paths) {
        const std::filesystem::path tags = m_folder.path() / "tags";
        const std::string command = "exiftool -s3 -n -Model -FNumber -ISO -Canon:Quality " + shellQuoted(path) + " > " +
                                    shellQuoted(tags.string());
        ASSERT_EQ(std::system(command.c_str()), 0);
        EXPECT_THAT(lines(readTextFile(tags)), ElementsAre(std::string("Canon ") + GetParam(), "5.6", "400", "3"));
    }
}

TEST_P(ShootTool, RawShotPrintsTheCrwWithTheThmBesideIt)
{
    const ToolRun result = run(camera(), "--quality raw --dir " + shellQuoted(images()));
    ASSERT_EQ(result.status, 0) << result.err;
    const auto paths = savedPaths(result.out);
    ASSERT_EQ(paths.size(), 1u);
    EXPECT_EQ(std::filesystem::path(paths[0]).filename(), "CRW_0001.CRW");
    EXPECT_TRUE(std::filesystem::is_regular_file(std::filesystem::path(paths[0]).replace_extension(".THM")));
}

TEST_P(ShootTool, SettingsStoreDecidesTheFolderTheStoreAndThePrefix)
{
    Settings settings;
    settings.baseDirectory = QString::fromStdString(images());
    settings.filenamePrefix = QStringLiteral("Booth_");
    settings.yearSubDir = settings.monthSubDir = settings.daySubDir = 0;
    SettingsFree controls;
    controls.m_store = 1;  // PC and card
    ASSERT_TRUE(SettingsStore().saveSettings(settings, controls));

    const ToolRun result = run(camera("card=10"), "");
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_THAT(savedPaths(result.out), ElementsAre(images() + "/Booth_IMG_0001.JPG"));

    // The command line wins over the settings.
    const ToolRun cardOnly = run(camera("card=10"), "--store card --prefix X_");
    ASSERT_EQ(cardOnly.status, 0) << cardOnly.err;
    EXPECT_TRUE(savedPaths(cardOnly.out).empty());
    EXPECT_THAT(cardOnly.err, HasSubstr("Image saved on CF card, 9 images remaining"));
    EXPECT_THAT(entryNames(images()), ElementsAre("Booth_IMG_0001.JPG"));
}

TEST_P(ShootTool, PreviewSavesNothing)
{
    const ToolRun result = run(camera(), "--preview --count 2 --dir " + shellQuoted(images()));
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_TRUE(savedPaths(result.out).empty());
    EXPECT_THAT(result.out, HasSubstr("  Size/Quality: Small/Normal"));
    EXPECT_FALSE(std::filesystem::exists(images()) && !entryNames(images()).empty());
}

TEST_P(ShootTool, FollowSavesAShotMadeWithTheCamerasButton)
{
    const std::string socket = (m_folder.path() / "camera.sock").string();
    const std::filesystem::path err = m_folder.path() / "stderr";
    const std::filesystem::path out = m_folder.path() / "stdout";
    // The tool waits; a script presses the shutter once the tool says it is ready.
    const std::string script =
        "QUILLOMAT_SIMCAM=" + shellQuoted(camera("control=1;socket=" + socket)) + " XDG_CONFIG_HOME=" + shellQuoted(m_config) +
        " " + QUILLOMAT_SHOOT_EXE + " --follow --count 1 --dir " + shellQuoted(images()) + " > " + shellQuoted(out.string()) +
        " 2> " + shellQuoted(err.string()) + " < /dev/null & pid=$!\n"
        "for i in $(seq 1 600); do grep -q 'Waiting for shots' " + shellQuoted(err.string()) + " 2>/dev/null && break; sleep 0.1; done\n"
        + QUILLOMAT_SIMCAM_EXE + " --socket " + shellQuoted(socket) + " shutter > /dev/null\n"
        "for i in $(seq 1 600); do kill -0 $pid 2>/dev/null || break; sleep 0.1; done\n"
        "kill $pid 2>/dev/null\n"
        "wait $pid\n";
    const std::filesystem::path file = m_folder.path() / "follow.sh";
    writeTextFile(file, script);
    const int status = std::system(("sh " + shellQuoted(file.string())).c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << readTextFile(err);
    const auto paths = savedPaths(readTextFile(out));
    ASSERT_EQ(paths.size(), 1u) << readTextFile(out);
    EXPECT_EQ(std::filesystem::path(paths[0]).filename(), "IMG_0001.JPG");
    EXPECT_TRUE(paths[0].starts_with(images() + "/"));
    EXPECT_TRUE(std::filesystem::is_regular_file(paths[0]));
}

TEST_P(ShootTool, OtherModelsAreRefusedWithTheProgramsText)
{
    const ToolRun result = run("model=PowerShot G2;timing=none", "--dir " + shellQuoted(images()));
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, "Error connecting to camera, incorrect camera type: PowerShot G2\n"
                          "Quillomat will only work with the Canon EOS D30 and D60.\n"
                          "It does not work with the PowerShot G2\n");
    EXPECT_TRUE(result.out.empty());
}

TEST_P(ShootTool, FailuresExitNonZeroWithTheirTexts)
{
    const ToolRun none = run(camera("attached=0"), "--dir " + shellQuoted(images()));
    EXPECT_EQ(none.status, 1);
    EXPECT_EQ(none.err, "Error connecting to camera\n");

    const ToolRun full = run(camera("card=0"), "--store pc+card --dir " + shellQuoted(images()));
    EXPECT_EQ(full.status, 1);
    EXPECT_THAT(full.err, HasSubstr("CF card full or not present\n"));

    const ToolRun blurred = run(camera("affail=1"), "--dir " + shellQuoted(images()));
    EXPECT_EQ(blurred.status, 1);
    EXPECT_THAT(blurred.err, HasSubstr("The camera was unable to take a photo. The most likely\n"
                                       "cause for this is the AF being unable to focus properly.\n"));

    const ToolRun locked = run(camera("menu=1"), "--dir " + shellQuoted(images()));
    EXPECT_EQ(locked.status, 1);
    EXPECT_THAT(locked.err, HasSubstr("CDezedoRavovadDlg::OnReleaseButton()\nsetUILock() returned false\n"));

    writeTextFile(m_folder.path() / "in-the-way");
    const ToolRun blocked = run(camera(), "--dir " + shellQuoted((m_folder.path() / "in-the-way").string()));
    EXPECT_EQ(blocked.status, 1);
    EXPECT_THAT(blocked.err, HasSubstr("Invalid directory for images:\n" + (m_folder.path() / "in-the-way").string()));
}

TEST_P(ShootTool, BulbIsRefusedAsTheWindowRefusesIt)
{
    const std::string bulb = "Sorry, bulb mode is not available from the PC.\n"
                             "It can be used if you use the camera's shutter release\n";
    struct Case {
        const char *arguments;
        std::string err;
    };
    const Case cases[] = {
        {"", bulb},
        {"--preview", bulb},
        {"--count 3 --interval 1", bulb + "Sequence abandoned due to error after 0 shots\n"},
    };
    for (const Case &c : cases) {
        const ToolRun result = run(camera("mode=manual;tv=bulb"), std::string(c.arguments) + " --dir " + shellQuoted(images()));
        EXPECT_EQ(result.status, 1) << c.arguments;
        EXPECT_EQ(result.err, c.err) << c.arguments;
        EXPECT_TRUE(result.out.empty()) << c.arguments;
        EXPECT_FALSE(std::filesystem::exists(images())) << c.arguments;
    }
    // The same camera at a timed speed shoots: the refusal is Bulb's alone.
    const ToolRun timed = run(camera("mode=manual;tv=1/60"), "--dir " + shellQuoted(images()));
    EXPECT_EQ(timed.status, 0) << timed.err;
    EXPECT_EQ(savedPaths(timed.out).size(), 1u);
}

TEST_P(ShootTool, TimeLapseTakesEachShotOnItsSecondAndCompletes)
{
    const ToolRun result = run(camera(), "--count 2 --interval 1 --dir " + shellQuoted(images()));
    ASSERT_EQ(result.status, 0) << result.err;
    const auto paths = savedPaths(result.out);
    ASSERT_EQ(paths.size(), 2u) << result.out;
    EXPECT_EQ(std::filesystem::path(paths[0]).filename(), "IMG_0001.JPG");
    EXPECT_EQ(std::filesystem::path(paths[1]).filename(), "IMG_0002.JPG");
    EXPECT_THAT(result.out, HasSubstr("  Exposure: "));
    // Not a terminal: no countdown, only the end.
    EXPECT_EQ(result.err, "Time-lapse sequence completed.\n");
}

TEST_P(ShootTool, TimeLapseStopsAtAFullCardWithTheShotsTaken)
{
    const ToolRun result = run(camera("card=1"), "--store pc+card --count 3 --interval 1 --dir " + shellQuoted(images()));
    EXPECT_EQ(result.status, 1);
    const auto paths = savedPaths(result.out);
    ASSERT_EQ(paths.size(), 1u) << result.out;
    EXPECT_EQ(std::filesystem::path(paths[0]).filename(), "IMG_0001.JPG");
    EXPECT_THAT(result.err, HasSubstr("CF card full or not present\n"));
    EXPECT_THAT(result.err, ::testing::EndsWith("Sequence abandoned due to error after 1 shots\n"));
}

TEST_P(ShootTool, TimeLapseStopsWhenNoPhotoComes)
{
    const ToolRun result = run(camera("affail=1"), "--count 3 --interval 0 --dir " + shellQuoted(images()));
    EXPECT_EQ(result.status, 1);
    EXPECT_TRUE(savedPaths(result.out).empty());
    EXPECT_THAT(result.err, HasSubstr("The camera was unable to take a photo. The most likely\n"
                                      "cause for this is the AF being unable to focus properly.\n"));
    EXPECT_THAT(result.err, ::testing::EndsWith("Sequence abandoned due to error after 0 shots\n"));
}

INSTANTIATE_TEST_SUITE_P(Models, ShootTool, ::testing::Values("EOS D30", "EOS D60"),
                         [](const ::testing::TestParamInfo<const char *> &info) {
                             return std::string(info.param).substr(4);
                         });

TEST(ShootOptions, ParsesEveryOption)
{
    const char *argv[] = {"--count", "3", "--interval=2.5", "--store", "pc+card", "--quality", "medium-normal",
                          "--dir", "/tmp/x", "--prefix=P_", "--preview"};
    Options options;
    std::string error;
    ASSERT_TRUE(parseOptions(11, argv, options, error)) << error;
    EXPECT_EQ(options.count, 3);
    EXPECT_EQ(options.interval, std::chrono::milliseconds(2500));
    EXPECT_EQ(options.store, StoreMode::PcAndCard);
    ASSERT_TRUE(options.quality);
    EXPECT_EQ(options.quality->quality, 2);
    EXPECT_EQ(options.quality->imageType, 1);
    EXPECT_EQ(options.quality->imageSize, 1);
    EXPECT_EQ(options.directory, "/tmp/x");
    EXPECT_EQ(options.prefix, "P_");
    EXPECT_TRUE(options.preview);
}

TEST(ShootOptions, RefusesWhatItDoesNotUnderstand)
{
    const std::vector<std::vector<const char *>> bad = {
        {"--count", "0"}, {"--count", "x"}, {"--count"}, {"--interval", "-1"}, {"--store", "cloud"},
        {"--quality", "huge"}, {"--dir", ""}, {"--frobnicate"}, {"--follow", "--preview"},
    };
    for (const auto &arguments : bad) {
        Options options;
        std::string error;
        EXPECT_FALSE(parseOptions(static_cast<int>(arguments.size()), arguments.data(), options, error))
            << arguments[0];
        EXPECT_FALSE(error.empty());
    }
}

TEST(ShootOptions, IntervalOrDelayMakeATimeLapse)
{
    {
        const char *argv[] = {"--count", "5"};
        Options options;
        std::string error;
        ASSERT_TRUE(parseOptions(2, argv, options, error)) << error;
        EXPECT_FALSE(options.timeLapse);
    }
    {
        const char *argv[] = {"--delay", "1.5"};
        Options options;
        std::string error;
        ASSERT_TRUE(parseOptions(2, argv, options, error)) << error;
        EXPECT_TRUE(options.timeLapse);
        EXPECT_EQ(options.delay, std::chrono::milliseconds(1500));
        EXPECT_EQ(options.interval, std::chrono::milliseconds(0));
    }
    {
        const char *argv[] = {"--interval", "0"};
        Options options;
        std::string error;
        ASSERT_TRUE(parseOptions(2, argv, options, error)) << error;
        EXPECT_TRUE(options.timeLapse);
    }
    const std::vector<std::vector<const char *>> bad = {
        {"--delay", "-1"}, {"--delay", "soon"}, {"--delay"}, {"--follow", "--interval", "2"}, {"--delay=3", "--follow"},
    };
    for (const auto &arguments : bad) {
        Options options;
        std::string error;
        EXPECT_FALSE(parseOptions(static_cast<int>(arguments.size()), arguments.data(), options, error))
            << arguments[0];
        EXPECT_FALSE(error.empty());
    }
}

TEST(ShootOptions, FractionalSecondsRoundToTheNearest)
{
    using std::chrono::milliseconds;
    EXPECT_EQ(wholeSeconds(milliseconds(0)), 0);
    EXPECT_EQ(wholeSeconds(milliseconds(499)), 0);
    EXPECT_EQ(wholeSeconds(milliseconds(500)), 1);
    EXPECT_EQ(wholeSeconds(milliseconds(1499)), 1);
    EXPECT_EQ(wholeSeconds(milliseconds(2500)), 3);
    EXPECT_EQ(wholeSeconds(milliseconds(10000)), 10);
    EXPECT_EQ(wholeSeconds(milliseconds(86400LL * 7 * 1000)), 604800);
}

TEST(ShootTool, TimeLapseShowsItsCountdownOnATerminal)
{
    if (std::system("command -v script > /dev/null 2>&1") != 0)
        GTEST_SKIP() << "script (util-linux) is not installed";
    TemporaryDirectory folder;
    const std::string config = (folder.path() / "config").string();
    const std::filesystem::path err = folder.path() / "terminal";
    // script gives the tool a terminal and records what it wrote there.
    const std::string inner = "QUILLOMAT_SIMCAM='model=EOS D60;timing=none' XDG_CONFIG_HOME=" + shellQuoted(config) + " " +
                              QUILLOMAT_SHOOT_EXE + " --count 1 --delay 2 --dir " +
                              shellQuoted((folder.path() / "images").string()) + " > /dev/null";
    const std::string command = "script -qec " + shellQuoted(inner) + " " + shellQuoted(err.string()) +
                                " > /dev/null 2>&1 < /dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0);
    const std::string terminal = readTextFile(err);
    EXPECT_THAT(terminal, HasSubstr("\r1 secs to next shot, 1 shots remaining\033[K"));
    EXPECT_THAT(terminal, HasSubstr("\r0 secs to next shot, 1 shots remaining\033[K"));
    EXPECT_THAT(terminal, HasSubstr("Time-lapse sequence completed."));
}

TEST(ShootTool, UsageErrorExitsWithTwo)
{
    const std::string command = std::string(QUILLOMAT_SHOOT_EXE) + " --count nine > /dev/null 2>&1";
    const int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 2);
}
