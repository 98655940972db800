// The main window's rules without a widget: the size texts, the free-space
// text, and which controls each state enables.
#include "ControlRules.h"
#include "DiskSpace.h"
#include "FormatSize.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <cerrno>

// ---------------------------------------------------------------------------
// formatSize

struct SizeCase {
    uint64_t kilobytes;
    const char *text;
};

class FormatSizeTest : public ::testing::TestWithParam<SizeCase> {};

TEST_P(FormatSizeTest, WritesTheSizeInTheUnitOfItsRange)
{
    EXPECT_EQ(formatSize(GetParam().kilobytes).toStdString(), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Boundaries, FormatSizeTest,
                         ::testing::Values(SizeCase{0, "0KB"}, SizeCase{1023, "1023KB"}, SizeCase{1024, "1,024KB"},
                                           SizeCase{1478, "1,478KB"}, SizeCase{10239, "10,239KB"},
                                           SizeCase{10240, "10.0MB"}, SizeCase{102399, "100.0MB"},
                                           SizeCase{102400, "100MB"}, SizeCase{1023999, "999MB"},
                                           SizeCase{1024000, "1,000MB"}, SizeCase{10485759, "10,239MB"},
                                           SizeCase{10485760, "10.0GB"}, SizeCase{29779558, "28.4GB"},
                                           SizeCase{104857600, "100GB"},
                                           SizeCase{uint64_t{1} << 40, "1048576GB"}));

// ---------------------------------------------------------------------------
// The free-space text

namespace {

bool neverNetwork(const std::string &) { return false; }

}  // namespace

TEST(DiskSpaceTest, ShowsTheFreeSpaceOfTheNearestExistingFolder)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    std::string asked;
    const auto freeSpace = [&](const std::string &path) {
        asked = path;
        return FreeSpaceAnswer{uint64_t{2} * 1024 * 1024 * 1024, 0};
    };
    // The dated folders do not exist until the first release creates them.
    const QString notYet = folder.path() + QStringLiteral("/Quillomat/2026-12-08");
    EXPECT_EQ(diskSpaceText(notYet, neverNetwork, freeSpace).toStdString(), "2,048MB free");
    EXPECT_EQ(asked, folder.path().toStdString());
}

TEST(DiskSpaceTest, NetworkPathsAreNotMeasured)
{
    bool measured = false;
    const auto freeSpace = [&](const std::string &) {
        measured = true;
        return FreeSpaceAnswer{1024, 0};
    };
    EXPECT_EQ(diskSpaceText(QStringLiteral("//server/share/photos"), neverNetwork, freeSpace).toStdString(),
              "<network drive>");
    EXPECT_EQ(diskSpaceText(QStringLiteral("/"), [](const std::string &) { return true; }, freeSpace).toStdString(),
              "<network drive>");
    EXPECT_FALSE(measured);
}

TEST(DiskSpaceTest, RelativeOrUnknownPathsAreInvalid)
{
    const auto freeSpace = [](const std::string &) { return FreeSpaceAnswer{1024, 0}; };
    EXPECT_EQ(diskSpaceText(QStringLiteral("Pictures/Quillomat"), neverNetwork, freeSpace).toStdString(),
              "Invalid drive");
    EXPECT_EQ(diskSpaceText(QString(), neverNetwork, freeSpace).toStdString(), "Invalid drive");
}

TEST(DiskSpaceTest, AnyOtherFailureShowsItsNumber)
{
    const auto denied = [](const std::string &) { return FreeSpaceAnswer{std::nullopt, EACCES}; };
    EXPECT_EQ(diskSpaceText(QStringLiteral("/tmp"), neverNetwork, denied).toStdString(),
              "Error: " + std::to_string(EACCES));
}

TEST(DiskSpaceTest, TheRealFileSystemAnswers)
{
    const std::string text = diskSpaceText(QStringLiteral("/tmp/no-such-folder/deeper")).toStdString();
    EXPECT_TRUE(text.ends_with(" free") || text == "<network drive>") << text;
}

// ---------------------------------------------------------------------------
// Which controls are enabled

namespace {

WindowState idleIn(const char *mode)
{
    WindowState state;
    state.connected = true;
    state.modelName = QStringLiteral("EOS D60");
    state.modeText = QString::fromLatin1(mode);
    state.afModeText = QStringLiteral("One Shot");
    state.parameterSetCount = 1;
    return state;
}

}  // namespace

TEST(ControlRulesTest, NotConnectedDisablesEveryCameraControl)
{
    const ControlStates c = controlStates(WindowState{});
    for (bool enabled : {c.release, c.preview, c.iso, c.driveMode, c.storeImagesOn, c.cameraBeep, c.sizeQuality,
                         c.whiteBalance, c.meteringMode, c.flashCompensation, c.exposureCompensation, c.tv, c.av,
                         c.afMode, c.afPoint, c.parameterSet, c.previousNext, c.releaseShutter, c.forceUiUnlock})
        EXPECT_FALSE(enabled);
    EXPECT_TRUE(c.cameraSettings);
    EXPECT_FALSE(c.connectReadsDisconnect);
    EXPECT_EQ(c.connectionText.toStdString(), "Not connected");
}

TEST(ControlRulesTest, ImageZoneModesLeaveOnlyTheBasicControls)
{
    const ControlStates c = controlStates(idleIn("Mode: Portrait"));
    EXPECT_TRUE(c.release && c.preview && c.iso && c.driveMode && c.storeImagesOn && c.cameraBeep);
    for (bool enabled : {c.sizeQuality, c.whiteBalance, c.meteringMode, c.flashCompensation, c.exposureCompensation,
                         c.tv, c.av, c.afMode, c.afPoint, c.parameterSet})
        EXPECT_FALSE(enabled);
    EXPECT_EQ(c.connectionText.toStdString(), "Connected to EOS D60");
}

TEST(ControlRulesTest, TvAndAvFollowTheExposureMode)
{
    struct ModeCase {
        const char *mode;
        bool tv;
        bool av;
    };
    for (const ModeCase &m : {ModeCase{"Mode: Manual", true, true}, ModeCase{"Mode: Tv", true, false},
                              ModeCase{"Mode: Av", false, true}, ModeCase{"Mode: Program", false, false},
                              ModeCase{"Mode: A-DEP", false, false}}) {
        const ControlStates c = controlStates(idleIn(m.mode));
        EXPECT_EQ(c.tv, m.tv) << m.mode;
        EXPECT_EQ(c.av, m.av) << m.mode;
        EXPECT_TRUE(c.sizeQuality && c.whiteBalance && c.exposureCompensation) << m.mode;
    }
}

TEST(ControlRulesTest, ManualFocusDisablesTheAfLists)
{
    WindowState state = idleIn("Mode: Manual");
    state.afModeText = QStringLiteral("manual");
    const ControlStates c = controlStates(state);
    EXPECT_FALSE(c.afMode);
    EXPECT_FALSE(c.afPoint);
}

TEST(ControlRulesTest, ParameterSetNeedsMoreThanOneEntry)
{
    WindowState state = idleIn("Mode: Av");
    EXPECT_FALSE(controlStates(state).parameterSet);
    state.parameterSetCount = 3;
    EXPECT_TRUE(controlStates(state).parameterSet);
}

TEST(ControlRulesTest, BusyDisablesShootingAndEnablesTheForcedUnlock)
{
    WindowState state = idleIn("Mode: Manual");
    state.busy = true;
    const ControlStates c = controlStates(state);
    EXPECT_FALSE(c.release || c.preview || c.tv || c.releaseShutter || c.cameraSettings);
    EXPECT_TRUE(c.forceUiUnlock);
    EXPECT_TRUE(c.connectReadsDisconnect);
}

TEST(ControlRulesTest, PreviousAndNextNeedAnotherImage)
{
    WindowState state = idleIn("Mode: Manual");
    EXPECT_FALSE(controlStates(state).previousNext);
    state.imageCount = 1;
    state.currentImage = 0;
    EXPECT_FALSE(controlStates(state).previousNext);
    state.currentImage = -1;  // after a preview shot the one image is not on show
    EXPECT_TRUE(controlStates(state).previousNext);
    state.imageCount = 2;
    state.currentImage = 1;
    EXPECT_TRUE(controlStates(state).previousNext);
}

TEST(ControlRulesTest, MenuChecksFollowTheSettings)
{
    WindowState state;
    for (int degrees : {0, 90, 180, 270}) {
        state.orientation = degrees;
        const ControlStates c = controlStates(state);
        EXPECT_EQ(c.landscapeChecked, degrees == 0);
        EXPECT_EQ(c.portrait2Checked, degrees == 90);
        EXPECT_EQ(c.invertedChecked, degrees == 180);
        EXPECT_EQ(c.portrait1Checked, degrees == 270);
    }
    state.displayGrid = true;
    EXPECT_TRUE(controlStates(state).displayGridChecked);
    EXPECT_FALSE(controlStates(state).displayGridEnabled);
    state.savedImageHeld = true;
    EXPECT_TRUE(controlStates(state).displayGridEnabled);
}
