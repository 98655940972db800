// The simulated camera's settings dialog in a process that shows no windows:
// the call fails cleanly and the camera is left as it was. Also the search
// for the dialog's library.
#include "SettingsDialogLoader.h"
#include "SimTestSupport.h"

#include <Pscamera.h>
#include <psError.h>

#include <QCoreApplication>

#include <cstring>
#include <fstream>

namespace simcam::test {
namespace {

uint32_t dialogError(psCameraConnection &camera)
{
    try {
        camera.settingsDialog(nullptr);
    } catch (const psCException &e) {
        return e.code;
    }
    return 0;
}

QSimCameraSettings record()
{
    QSimCameraSettings settings{};
    settings.structSize = sizeof settings;
    settings.version = QSIM_SETTINGS_DIALOG_VERSION;
    std::strncpy(settings.owner, "Ada Lovelace", sizeof settings.owner - 1);
    return settings;
}

class SettingsDialogWithoutDisplay : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::filesystem::remove(registrationRecordPath());
        SimConfig config = testConfig("EOS D30");
        ASSERT_TRUE(config.apply("owner=Ada Lovelace;cfn=3:1"));
        configureCamera(config);
    }
};

TEST_F(SettingsDialogWithoutDisplay, NoApplicationGivesACleanError)
{
    psCameraConnection camera(PS_PORT_TYPE_USB, nullptr);
    const uint32_t code = dialogError(camera);
    EXPECT_EQ(psErrorComponent(code), psCOMPONENT_LLSDK);
    EXPECT_EQ(psErrorCode(code), psERR_NOT_SUPPORTED);
    EXPECT_EQ(simulatedCamera()->config().owner, "Ada Lovelace");
    EXPECT_EQ(simulatedCamera()->state().customFunctions[3], 1);
    psParameterSetRecord set{};
    set.fields[0] = 2;
    camera.readParameterSet(set);  // the camera still answers
    EXPECT_EQ(set.fields[0], 2u);
}

TEST_F(SettingsDialogWithoutDisplay, ConsoleApplicationGivesACleanError)
{
    int argc = 1;
    char name[] = "SettingsDialogNoDisplayTest";
    char *argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    psCameraConnection camera(PS_PORT_TYPE_USB, nullptr);
    EXPECT_EQ(psErrorCode(dialogError(camera)), psERR_NOT_SUPPORTED);
    EXPECT_EQ(simulatedCamera()->config().owner, "Ada Lovelace");
}

TEST(SettingsDialogLoader, DefaultCandidatesEndWithTheBuiltLibrary)
{
    const std::vector<std::string> candidates = SettingsDialogLoader::defaultCandidates();
    ASSERT_GE(candidates.size(), 2u);
    EXPECT_TRUE(candidates.front().ends_with(std::string("/") + QSIM_SETTINGS_DIALOG_LIBRARY));
    EXPECT_TRUE(std::filesystem::exists(candidates.back())) << candidates.back();
}

TEST(SettingsDialogLoader, RealLibraryWithoutApplicationSaysNoDisplay)
{
    QSimCameraSettings settings = record();
    std::string error;
    const SettingsDialogLoader loader(SettingsDialogLoader::defaultCandidates());
    EXPECT_EQ(loader.show(settings, nullptr, &error), SettingsDialogLoader::Outcome::NoDisplay);
    EXPECT_FALSE(error.empty());
    EXPECT_STREQ(settings.owner, "Ada Lovelace");
}

TEST(SettingsDialogLoader, MissingLibraryIsUnavailable)
{
    const std::string missing = (testFolder() / QSIM_SETTINGS_DIALOG_LIBRARY).string();
    QSimCameraSettings settings = record();
    std::string error;
    EXPECT_EQ(SettingsDialogLoader({missing}).show(settings, nullptr, &error),
              SettingsDialogLoader::Outcome::Unavailable);
    EXPECT_NE(error.find(missing), std::string::npos) << error;
    EXPECT_EQ(SettingsDialogLoader({}).show(settings, nullptr, &error), SettingsDialogLoader::Outcome::Unavailable);
    EXPECT_FALSE(error.empty());
}

TEST(SettingsDialogLoader, FileThatIsNoLibraryIsUnavailable)
{
    const std::filesystem::path file = testFolder() / QSIM_SETTINGS_DIALOG_LIBRARY;
    std::ofstream(file) << "not a library\n";
    QSimCameraSettings settings = record();
    EXPECT_EQ(SettingsDialogLoader({file.string()}).show(settings, nullptr),
              SettingsDialogLoader::Outcome::Unavailable);
}

TEST(SettingsDialogLoader, LibraryWithoutTheEntryPointIsUnavailable)
{
    QSimCameraSettings settings = record();
    std::string error;
    EXPECT_EQ(SettingsDialogLoader({"libm.so.6"}).show(settings, nullptr, &error),
              SettingsDialogLoader::Outcome::Unavailable);
    EXPECT_NE(error.find(QSIM_SETTINGS_DIALOG_ENTRY), std::string::npos) << error;
}

TEST(SettingsDialogLoader, LaterCandidateIsTriedWhenTheFirstIsMissing)
{
    std::vector<std::string> candidates{(testFolder() / "absent.so").string()};
    const auto defaults = SettingsDialogLoader::defaultCandidates();
    candidates.push_back(defaults.back());
    QSimCameraSettings settings = record();
    // Reaches the real library, which then finds no application.
    EXPECT_EQ(SettingsDialogLoader(candidates).show(settings, nullptr), SettingsDialogLoader::Outcome::NoDisplay);
}

TEST(SettingsDialogLoader, RecordOfAnotherVersionIsRefused)
{
    int argc = 1;
    char name[] = "SettingsDialogNoDisplayTest";
    char *argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    QSimCameraSettings settings = record();
    settings.version = QSIM_SETTINGS_DIALOG_VERSION + 1;
    EXPECT_EQ(SettingsDialogLoader(SettingsDialogLoader::defaultCandidates()).show(settings, nullptr),
              SettingsDialogLoader::Outcome::Failed);
}

} // namespace
} // namespace simcam::test
