// Whole releases on the simulated camera: the session, its release thread,
// real files in a private folder and a recording window. The files written
// are read back and checked with exiftool.
#include "../sdk/DebugCapture.h"
#include "Camera.h"
#include "ImageInfo.h"
#include "InfoText.h"
#include "PrivateProgramLog.h"
#include "RecordingWindow.h"
#include "SimControl.h"
#include "TemporaryDirectory.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <thread>

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

namespace {

using Tags = std::map<std::string, std::string>;

bool haveExiftool()
{
    return std::system("exiftool -ver > /dev/null 2>&1") == 0;
}

// "Group:Name" -> numeric value, as exiftool -n reports them.
Tags exiftoolTags(const std::filesystem::path &file)
{
    Tags tags;
    const std::string command = "exiftool -S -G1 -n '" + file.string() + "' 2>&1";
    FILE *pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr)
        return tags;
    char line[4096];
    while (std::fgets(line, sizeof line, pipe) != nullptr) {
        std::string text = line;
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
            text.pop_back();
        const size_t close = text.find("] ");
        const size_t colon = text.find(": ", close == std::string::npos ? 0 : close);
        if (text.empty() || text[0] != '[' || close == std::string::npos || colon == std::string::npos)
            continue;
        tags[text.substr(1, close - 1) + ":" + text.substr(close + 2, colon - close - 2)] = text.substr(colon + 2);
    }
    ::pclose(pipe);
    return tags;
}

std::vector<uint8_t> readBytes(const std::filesystem::path &path)
{
    const std::string text = readTextFile(path);
    return std::vector<uint8_t>(text.begin(), text.end());
}

size_t occurrences(const std::string &text, const std::string &part)
{
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size()))
        ++count;
    return count;
}

std::string modelFileName(std::string model)
{
    for (char &c : model)
        if (c == ' ')
            c = '_';
    return model;
}

} // namespace

class EndToEnd : public ::testing::TestWithParam<const char *> {
protected:
    void SetUp() override
    {
        ImageDirectorySettings settings;
        settings.baseDirectory = m_folder.str();
        settings.yearSubDir = settings.monthSubDir = settings.daySubDir = false;
        m_window.setSettings(settings);
    }

    // A camera of the test's model, quick and with a fixed clock, plus `extra` keys.
    void attachCamera(const std::string &extra = {})
    {
        simcam::SimConfig config = simcam::SimConfig::forModel(GetParam());
        config.exposureCap = config.mirrorDelay = config.processingDelay = std::chrono::milliseconds(0);
        config.clock = *simcam::parseCameraTime("2002:06:02 08:30:00");
        std::string error;
        ASSERT_TRUE(config.apply(extra, &error)) << error;
        simcam::configureCamera(config);
    }

    void connect(StoreMode mode = StoreMode::PcOnly, CameraConfig config = {})
    {
        config.settleTime = m_settle;
        m_camera = std::make_unique<Camera>(m_window, PS_PORT_TYPE_USB, std::move(config));
        ReleaseParams params;
        ASSERT_TRUE(m_camera->getReleaseParams(params));
        m_camera->setStoreMode(mode);
    }

    // The Release (or Preview) command as the window runs it, up to the
    // release thread's WM_CAMERA_RELEASE_COMPLETE.
    void shoot(bool preview = false)
    {
        const size_t before = m_window.count("WM_CAMERA_RELEASE_COMPLETE");
        m_camera->setPreview(preview);
        ASSERT_TRUE(m_camera->setUILock());
        m_camera->release();
        ASSERT_TRUE(m_window.waitForCount("WM_CAMERA_RELEASE_COMPLETE", before + 1));
        m_camera->resetUILock();
    }

    std::string path(const std::string &name) const { return m_folder.str() + "/" + name; }

    // Waits until the session has seen the camera report n releases complete.
    bool waitForCameraReleaseComplete(size_t n)
    {
        const auto giveUp = std::chrono::steady_clock::now() + RecordingWindow::kPatience;
        while (occurrences(m_debug.text(), "RESEASE_EVENT_RELEASE_COMPLETE") < n) {
            if (std::chrono::steady_clock::now() > giveUp)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return true;
    }

    TemporaryDirectory m_folder;
    std::chrono::milliseconds m_settle{0};
    DebugCapture m_debug;
    RecordingWindow m_window;
    std::unique_ptr<Camera> m_camera;
};

TEST_P(EndToEnd, JpegToThePcIsSavedAsTheCameraWasSet)
{
    attachCamera("mode=Av;av=5.6;iso=400;quality=large/fine;counter=42");
    connect();
    shoot();

    EXPECT_THAT(entryNames(m_folder.path()), ElementsAre("IMG_0001.JPG"));
    const auto saved = m_window.callsNamed("onImageSaved");
    ASSERT_EQ(saved.size(), 1u);
    EXPECT_EQ(saved[0].text, path("IMG_0001.JPG"));
    const auto bytes = readBytes(path("IMG_0001.JPG"));
    EXPECT_EQ(m_window.callsNamed("WM_DISPLAY_JPEG").at(0).message.bytes, bytes);

    ImageInfo fromFile(path("IMG_0001.JPG"));
    EXPECT_EQ(fromFile.m_model, std::string("Canon ") + GetParam());
    EXPECT_DOUBLE_EQ(fromFile.m_aperture, 5.6);
    EXPECT_EQ(m_window.callsNamed("WM_DISPLAY_SHOT_INFO").at(0).text, shotInfoText(fromFile));

    if (!haveExiftool())
        GTEST_SKIP() << "exiftool is not installed";
    const Tags tags = exiftoolTags(path("IMG_0001.JPG"));
    EXPECT_EQ(tags.at("IFD0:Model"), std::string("Canon ") + GetParam());
    EXPECT_EQ(tags.at("ExifIFD:FNumber"), "5.6");
    EXPECT_EQ(tags.at("Canon:Quality"), "3");
    EXPECT_EQ(tags.at("ExifIFD:DateTimeOriginal"), "2002:06:02 08:30:00");
}

TEST_P(EndToEnd, RawToThePcWritesThmThenCrwWithOneNumber)
{
    attachCamera("quality=raw");
    writeTextFile(m_folder.path() / "IMG_0004.JPG");
    connect();
    shoot();

    EXPECT_THAT(entryNames(m_folder.path()), ElementsAre("CRW_0005.CRW", "CRW_0005.THM", "IMG_0004.JPG"));
    EXPECT_EQ(m_window.callsNamed("onImageSaved").at(0).text, path("CRW_0005.CRW"));
    // One picture: the CRW's embedded JPEG; the texts: the THM's.
    const auto shown = m_window.callsNamed("WM_DISPLAY_JPEG");
    ASSERT_EQ(shown.size(), 1u);
    ImageInfo thm(path("CRW_0005.THM"));
    EXPECT_EQ(m_window.callsNamed("WM_DISPLAY_SHOT_INFO").at(0).text, shotInfoText(thm));
    EXPECT_EQ(thm.m_model, std::string("Canon ") + GetParam());

    if (!haveExiftool())
        GTEST_SKIP() << "exiftool is not installed";
    const std::filesystem::path extracted = m_folder.path() / "embedded.jpg";
    const std::string command = "exiftool -b -JpgFromRaw '" + path("CRW_0005.CRW") + "' > '" + extracted.string() + "'";
    ASSERT_EQ(std::system(command.c_str()), 0);
    EXPECT_EQ(readBytes(extracted), shown[0].message.bytes);
    EXPECT_EQ(exiftoolTags(path("CRW_0005.THM")).at("IFD0:Model"), std::string("Canon ") + GetParam());
}

TEST_P(EndToEnd, PcAndCardSavesTheFileAndUsesTheCard)
{
    attachCamera("card=10");
    connect(StoreMode::PcAndCard);
    shoot();
    EXPECT_THAT(entryNames(m_folder.path()), ElementsAre("IMG_0001.JPG"));
    EXPECT_EQ(simcam::simulatedCamera()->shotsRemaining(), 9u);
    EXPECT_EQ(simcam::simulatedCamera()->transferFlags(), PS_TRANSFER_PC_AND_CARD);
}

TEST_P(EndToEnd, CardOnlyWritesNothingAndShowsTheThumbnailWithTheShotsLeft)
{
    attachCamera("card=10");
    connect(StoreMode::CardOnly);
    shoot();
    EXPECT_THAT(entryNames(m_folder.path()), IsEmpty());
    const auto shown = m_window.callsNamed("WM_DISPLAY_JPEG");
    ASSERT_EQ(shown.size(), 1u);
    ImageInfo thumbnail(shown[0].message.bytes.data(), shown[0].message.bytes.size());
    EXPECT_EQ(thumbnail.m_model, std::string("Canon ") + GetParam());
    EXPECT_EQ(m_window.callsNamed("setStatusText").at(0).text, "Image saved on CF card, 9 images remaining");
    EXPECT_EQ(m_window.count("onImageSaved"), 0u);
}

TEST_P(EndToEnd, PreviewSavesNothingAndPutsTheUsersSettingsBack)
{
    attachCamera("quality=raw;card=10");
    connect(StoreMode::PcAndCard);
    shoot(true);

    EXPECT_THAT(entryNames(m_folder.path()), IsEmpty());
    EXPECT_EQ(m_window.callsNamed("onImageSaved").at(0).text, "");
    const auto shown = m_window.callsNamed("WM_DISPLAY_JPEG");
    ASSERT_EQ(shown.size(), 1u);
    ImageInfo preview(shown[0].message.bytes.data(), shown[0].message.bytes.size());
    EXPECT_EQ(preview.m_quality, "Normal");
    const simcam::CameraState state = simcam::simulatedCamera()->state();
    EXPECT_EQ(state.imageType, 2);
    EXPECT_EQ(state.quality, 4);
    EXPECT_EQ(simcam::simulatedCamera()->transferFlags(), PS_TRANSFER_PC_AND_CARD);
    EXPECT_FALSE(m_camera->isPreview());
    EXPECT_EQ(simcam::simulatedCamera()->shotsRemaining(), 10u);  // a preview never goes to the card
}

TEST_P(EndToEnd, PreviewThatCannotFocusPutsTheUsersRawBack)
{
    attachCamera("quality=raw;affail=1");
    connect();
    shoot(true);
    EXPECT_EQ(m_window.count("WM_DISPLAY_JPEG"), 0u);
    EXPECT_FALSE(m_camera->isPreview());
    const simcam::CameraState state = simcam::simulatedCamera()->state();
    EXPECT_EQ(state.imageType, 2);
    EXPECT_EQ(state.quality, 4);

    simcam::simulatedCamera()->setAfFailure(false);
    shoot();
    EXPECT_THAT(entryNames(m_folder.path()), ElementsAre("CRW_0001.CRW", "CRW_0001.THM"));
    EXPECT_EQ(m_window.callsNamed("onImageSaved").back().text, path("CRW_0001.CRW"));
}

TEST_P(EndToEnd, PreviewWhoseFullViewIsLostLetsTheNextCameraShotBeSaved)
{
    attachCamera("quality=large/fine");
    connect();
    simcam::simulatedCamera()->loseFullViewEvents(1);
    shoot(true);
    EXPECT_FALSE(m_camera->isPreview());
    EXPECT_EQ(simcam::simulatedCamera()->state().imageSize, 0);
    EXPECT_EQ(simcam::simulatedCamera()->state().quality, 3);

    std::string error;
    ASSERT_TRUE(simcam::simulatedCamera()->pressShutter(&error)) << error;
    ASSERT_TRUE(m_window.waitForCount("WM_CAMERA_RELEASE_COMPLETE", 2));
    EXPECT_THAT(entryNames(m_folder.path()), ElementsAre("IMG_0001.JPG"));
    const auto saved = m_window.callsNamed("onImageSaved");
    ASSERT_EQ(saved.size(), 1u);
    EXPECT_EQ(saved[0].text, path("IMG_0001.JPG"));
    const ImageInfo shot(path("IMG_0001.JPG"));
    EXPECT_EQ(shot.m_quality, "Fine");
    EXPECT_EQ(shot.m_dateTime, "2002:06:02 08:30:01");  // the camera button's shot, not the preview
    // The preview's lost picture is not fetched later in the shot's place.
    EXPECT_THAT(m_debug.text(), ::testing::Not(HasSubstr("sequence error")));
    EXPECT_EQ(m_window.count("WM_DISPLAY_JPEG"), 1u);
}

TEST_P(EndToEnd, PreviewRefusedWithTheMenuOpenLeavesLargeFineForTheNextRelease)
{
    attachCamera("quality=large/fine");
    connect();
    ASSERT_TRUE(m_camera->setUILock());
    simcam::simulatedCamera()->setMenuOpen(true);
    m_camera->setPreview(true);
    m_camera->release();
    EXPECT_EQ(m_window.callsNamed("showError").at(0).text, "Unable to set camera to small, normal JPEG for preview shot");
    EXPECT_FALSE(m_camera->isPreview());
    simcam::simulatedCamera()->setMenuOpen(false);
    m_camera->resetUILock();

    shoot();
    EXPECT_THAT(entryNames(m_folder.path()), ElementsAre("IMG_0001.JPG"));
    const ImageInfo released(path("IMG_0001.JPG"));
    EXPECT_EQ(released.m_quality, "Fine");
    EXPECT_EQ(simcam::simulatedCamera()->state().imageSize, 0);
    // And the camera's own button saves its shot too.
    std::string error;
    ASSERT_TRUE(simcam::simulatedCamera()->pressShutter(&error)) << error;
    ASSERT_TRUE(m_window.waitForCount("WM_CAMERA_RELEASE_COMPLETE", 2));
    EXPECT_THAT(entryNames(m_folder.path()), ElementsAre("IMG_0001.JPG", "IMG_0002.JPG"));
}

TEST_P(EndToEnd, FullOrMissingCardRefusesAReleaseToTheCard)
{
    for (const char *card : {"card=0", "card=none"}) {
        SCOPED_TRACE(card);
        attachCamera(card);
        connect(StoreMode::PcAndCard);
        m_window.clear();
        ASSERT_TRUE(m_camera->setUILock());
        m_camera->release();
        ASSERT_TRUE(m_window.waitForCount("WM_CAMERA_CARD_FULL", 1));
        m_camera->resetUILock();
        m_camera.reset();
        EXPECT_EQ(m_window.count("WM_CAMERA_RELEASE_START"), 0u);
        EXPECT_THAT(entryNames(m_folder.path()), IsEmpty());
    }
}

TEST_P(EndToEnd, DiskFullSavesNothingAndSaysSo)
{
    attachCamera();
    CameraConfig config;
    config.writeFile = [](ImageKind, const ImageDirectorySettings &, const LocalDate &, const void *, std::size_t) {
        return ImageFileResult{ImageFileStatus::DiskFull, "/full/IMG_0001.JPG", ENOSPC};
    };
    connect(StoreMode::PcOnly, config);
    shoot();
    EXPECT_EQ(m_window.callsNamed("onImageSaved").at(0).text, "");
    EXPECT_EQ(m_window.callsNamed("showExceptionBox").at(0).text, "Error: disk full\n");
    EXPECT_EQ(m_window.count("WM_DISPLAY_JPEG"), 1u);
}

TEST_P(EndToEnd, ShotFromTheCameraButtonIsSavedLikeOneFromThePc)
{
    attachCamera("counter=7");
    connect();
    std::string error;
    ASSERT_TRUE(simcam::simulatedCamera()->pressShutter(&error)) << error;
    ASSERT_TRUE(m_window.waitForCount("WM_CAMERA_RELEASE_COMPLETE", 1));
    EXPECT_THAT(entryNames(m_folder.path()), ElementsAre("IMG_0001.JPG"));
    const auto names = m_window.names();
    EXPECT_EQ(names.front(), "WM_CAMERA_RELEASE_START");
    EXPECT_EQ(names.back(), "WM_CAMERA_RELEASE_COMPLETE");
}

TEST_P(EndToEnd, UnwritableFolderReportsThePathForAShotFromTheCamera)
{
    attachCamera();
    connect();
    // The camera's own button runs no folder check before the shot.
    writeTextFile(m_folder.path() / "in-the-way");
    ImageDirectorySettings settings = m_window.imageDirectorySettings();
    settings.baseDirectory = path("in-the-way");
    m_window.setSettings(settings);
    std::string error;
    ASSERT_TRUE(simcam::simulatedCamera()->pressShutter(&error)) << error;
    ASSERT_TRUE(m_window.waitForCount("WM_CAMERA_RELEASE_COMPLETE", 1));
    EXPECT_EQ(m_window.callsNamed("showError").at(0).text, "Unable to write: " + path("in-the-way/IMG_0001.JPG"));
    EXPECT_EQ(m_window.callsNamed("onImageSaved").at(0).text, "");
    EXPECT_EQ(m_window.count("WM_DISPLAY_JPEG"), 1u);
}

TEST_P(EndToEnd, FolderThatCannotBeMadeStopsAReleaseFromThePc)
{
    attachCamera();
    connect();
    writeTextFile(m_folder.path() / "in-the-way");
    ImageDirectorySettings settings = m_window.imageDirectorySettings();
    settings.baseDirectory = path("in-the-way");
    m_window.setSettings(settings);
    ASSERT_TRUE(m_camera->setUILock());
    m_camera->release();
    m_camera->resetUILock();
    EXPECT_THAT(m_window.names(), ElementsAre("showError", "endReleaseInUi"));
    EXPECT_EQ(m_window.calls()[0].text, "Invalid directory for images:\n" + path("in-the-way"));
}

TEST_P(EndToEnd, TeardownInTheMiddleOfATransferFinishesAndSavesIt)
{
    // A few seconds for a large JPEG at this speed, so that teardown
    // surely begins mid-transfer even on a loaded machine.
    attachCamera("quality=large/fine;transfer=400000");
    connect();
    m_camera->setUILock();
    m_camera->release();
    // The thumbnail comes first and at once (its progress ends at 100); the
    // full view's own transfer has begun when the progress starts again.
    const auto fullViewUnderway = [this] {
        const std::vector<uint16_t> progress = m_window.progress();
        const auto thumbnailDone = std::find(progress.begin(), progress.end(), 100);
        return thumbnailDone != progress.end() &&
               std::any_of(thumbnailDone, progress.end(), [](uint16_t percent) { return percent < 100; });
    };
    const auto patience = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!fullViewUnderway() && std::chrono::steady_clock::now() < patience)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ASSERT_TRUE(fullViewUnderway());
    EXPECT_TRUE(m_camera->hasImagesToSave());
    m_camera.reset();

    EXPECT_THAT(entryNames(m_folder.path()), ElementsAre("IMG_0001.JPG"));
    EXPECT_EQ(m_window.callsNamed("onImageSaved").at(0).text, path("IMG_0001.JPG"));
    const auto shown = m_window.callsNamed("WM_DISPLAY_JPEG");
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(readBytes(path("IMG_0001.JPG")), shown[0].message.bytes);
    EXPECT_EQ(ImageInfo(path("IMG_0001.JPG")).m_model, std::string("Canon ") + GetParam());
    EXPECT_EQ(m_window.progress().back(), 100);
    EXPECT_EQ(m_window.count("showExceptionBox"), 0u);
    EXPECT_FALSE(simcam::simulatedCamera()->deviceOpen());
}

TEST_P(EndToEnd, TeardownWithTwoImagesAnnouncedSavesBoth)
{
    attachCamera("quality=small/normal");
    m_settle = std::chrono::milliseconds(300);  // the release thread waits this long before it fetches
    connect();
    simcam::simulatedCamera()->loseFullViewEvents(1);
    shoot();
    EXPECT_THAT(entryNames(m_folder.path()), IsEmpty());

    // The second shot's thumbnail shows the first one's full view was lost:
    // two full views are announced with the second release.
    std::string error;
    ASSERT_TRUE(simcam::simulatedCamera()->pressShutter(&error)) << error;
    ASSERT_TRUE(waitForCameraReleaseComplete(2));
    const size_t fetchesBefore = m_window.count("WM_CAMERA_TRANSFER_PROGRESS");
    m_camera.reset();

    EXPECT_THAT(entryNames(m_folder.path()), ElementsAre("IMG_0001.JPG", "IMG_0002.JPG"));
    EXPECT_EQ(ImageInfo(path("IMG_0001.JPG")).m_dateTime, "2002:06:02 08:30:00");
    EXPECT_EQ(ImageInfo(path("IMG_0002.JPG")).m_dateTime, "2002:06:02 08:30:01");
    const auto saved = m_window.callsNamed("onImageSaved");
    ASSERT_EQ(saved.size(), 2u);
    EXPECT_EQ(saved[0].text, path("IMG_0001.JPG"));
    EXPECT_EQ(saved[1].text, path("IMG_0002.JPG"));
    // Reported as usual: a progress message for each of the three entries.
    EXPECT_EQ(m_window.count("WM_CAMERA_TRANSFER_PROGRESS"), fetchesBefore + 3);
    EXPECT_EQ(m_window.count("WM_DISPLAY_JPEG"), 2u);
}

TEST_P(EndToEnd, CameraUnpluggedWhileTheTeardownSavesEndsItAndNamesTheLostImages)
{
    // Seconds for each large JPEG at this speed.
    attachCamera("quality=large/fine;transfer=200000");
    connect();
    simcam::simulatedCamera()->loseFullViewEvents(1);
    shoot();
    m_window.clear();
    const ProgramLogTail log;
    std::string error;
    ASSERT_TRUE(simcam::simulatedCamera()->pressShutter(&error)) << error;
    ASSERT_TRUE(m_window.waitForProgress());

    simcam::simulatedCamera()->shutdown(PS_SHUTDOWN_DISCONNECTED);
    ASSERT_TRUE(m_window.waitForCount("WM_CAMERA_SHUTDOWN", 1));
    const auto start = std::chrono::steady_clock::now();
    m_camera.reset();
    const auto took = std::chrono::steady_clock::now() - start;
    // Far below the seconds either transfer would take.
    EXPECT_LT(took, Camera::kStopChecks * Camera::kStopCheckInterval);

    EXPECT_THAT(entryNames(m_folder.path()), IsEmpty());
    EXPECT_EQ(m_window.count("showExceptionBox"), 0u);
    const std::string text = log.text();
    EXPECT_EQ(occurrences(text, "Image not saved: IMG_0001.JPG ("), 1u) << text;
    EXPECT_EQ(occurrences(text, "Image not saved: IMG_0002.JPG ("), 1u) << text;
    EXPECT_THAT(text, HasSubstr("Image not saved: IMG_0002.JPG (the camera is gone)"));
}

TEST_P(EndToEnd, CameraUnpluggedDuringATransferIsReportedAndTornDown)
{
    attachCamera("quality=large/fine;transfer=200000");
    connect();
    m_camera->setUILock();
    m_camera->release();
    ASSERT_TRUE(m_window.waitForProgress());
    simcam::simulatedCamera()->shutdown(PS_SHUTDOWN_DISCONNECTED);
    ASSERT_TRUE(m_window.waitForCount("WM_CAMERA_SHUTDOWN", 1));
    EXPECT_EQ(m_window.callsNamed("WM_CAMERA_SHUTDOWN")[0].message.wParam, PS_SHUTDOWN_DISCONNECTED);
    // The window destroys the session on WM_CAMERA_SHUTDOWN.
    m_camera.reset();
    EXPECT_THAT(entryNames(m_folder.path()), IsEmpty());
}

TEST_P(EndToEnd, TwoHundredShotsAreNumberedWithoutAGap)
{
    attachCamera("quality=small/normal");
    connect();
    for (int shot = 0; shot < 200; ++shot)
        ASSERT_NO_FATAL_FAILURE(shoot());
    const auto names = entryNames(m_folder.path());
    ASSERT_EQ(names.size(), 200u);
    for (int n = 1; n <= 200; ++n) {
        char expected[32];
        std::snprintf(expected, sizeof expected, "IMG_%04d.JPG", n);
        EXPECT_EQ(names[static_cast<size_t>(n - 1)], expected);
    }
    EXPECT_EQ(m_window.count("onImageSaved"), 200u);
    EXPECT_EQ(m_window.count("WM_DISPLAY_JPEG"), 200u);
    EXPECT_EQ(m_window.count("showExceptionBox"), 0u);
    EXPECT_EQ(m_window.count("showError"), 0u);
}

TEST_P(EndToEnd, LostFullViewIsFetchedWithTheNextShotAndNothingIsLost)
{
    attachCamera("quality=small/normal;losefullview=1");
    connect(StoreMode::PcOnly);
    shoot();
    // The first shot's thumbnail alone: a JPEG shot saves nothing from it.
    EXPECT_THAT(entryNames(m_folder.path()), IsEmpty());
    EXPECT_THAT(m_debug.text(), ::testing::Not(HasSubstr("sequence error")));

    shoot();
    EXPECT_THAT(entryNames(m_folder.path()), ElementsAre("IMG_0001.JPG", "IMG_0002.JPG"));
    const auto saved = m_window.callsNamed("onImageSaved");
    ASSERT_EQ(saved.size(), 2u);
    EXPECT_EQ(saved[0].text, path("IMG_0001.JPG"));
    EXPECT_EQ(saved[1].text, path("IMG_0002.JPG"));
    // The camera's clock moves one second a shot: the first file is the first shot.
    const ImageInfo first(path("IMG_0001.JPG"));
    const ImageInfo second(path("IMG_0002.JPG"));
    EXPECT_EQ(first.m_model, std::string("Canon ") + GetParam());
    EXPECT_EQ(first.m_dateTime, "2002:06:02 08:30:00");
    EXPECT_EQ(second.m_dateTime, "2002:06:02 08:30:01");
    EXPECT_EQ(m_window.count("WM_DISPLAY_JPEG"), 2u);
    EXPECT_EQ(m_window.count("showExceptionBox"), 0u);
    EXPECT_EQ(m_window.count("showError"), 0u);

    const std::string debug = m_debug.text();
    const std::string error = "*** psEVENT_THUMBNAIL_ON_RELEASE sequence error ***\n";
    EXPECT_EQ(occurrences(debug, error), 1u);
    EXPECT_THAT(debug, ::testing::Not(HasSubstr("*** psEVENT_FULLVIEW_ON_RELEASE sequence error ***")));
    // Found out by the second shot's thumbnail, before its own full view.
    const size_t secondThumbnail = debug.find("psEVENT_THUMBNAIL_ON_RELEASE sequenceID=2, format=1, sizeOfData=");
    ASSERT_NE(secondThumbnail, std::string::npos) << debug;
    EXPECT_LT(secondThumbnail, debug.find(error));
    EXPECT_LT(debug.find(error), debug.find("psEVENT_FULLVIEW_ON_RELEASE sequenceID=2, format=1"));
    EXPECT_EQ(occurrences(debug, "psEVENT_FULLVIEW_ON_RELEASE sequenceID=1,"), 0u);

    if (!haveExiftool())
        GTEST_SKIP() << "exiftool is not installed";
    EXPECT_EQ(exiftoolTags(path("IMG_0001.JPG")).at("IFD0:Model"), std::string("Canon ") + GetParam());
    EXPECT_EQ(exiftoolTags(path("IMG_0002.JPG")).at("ExifIFD:DateTimeOriginal"), "2002:06:02 08:30:01");
}

TEST_P(EndToEnd, LostThumbnailIsFetchedWithItsFullViewsRecord)
{
    attachCamera("losethumbnail=1");
    connect();
    shoot();

    EXPECT_THAT(entryNames(m_folder.path()), ElementsAre("IMG_0001.JPG"));
    EXPECT_EQ(m_window.callsNamed("onImageSaved").at(0).text, path("IMG_0001.JPG"));
    const ImageInfo saved(path("IMG_0001.JPG"));
    EXPECT_EQ(saved.m_model, std::string("Canon ") + GetParam());
    // Two entries went to the release thread: the thumbnail the session
    // queued for the lost event, then the full view.
    std::vector<uint32_t> remaining;
    for (const WindowCall &call : m_window.callsNamed("WM_CAMERA_TRANSFER_PROGRESS"))
        remaining.push_back(call.message.wParam);
    EXPECT_THAT(remaining, ElementsAre(1u, 0u));

    const std::string debug = m_debug.text();
    EXPECT_EQ(occurrences(debug, "*** psEVENT_FULLVIEW_ON_RELEASE sequence error ***\n"), 1u);
    EXPECT_THAT(debug, ::testing::Not(HasSubstr("*** psEVENT_THUMBNAIL_ON_RELEASE sequence error ***")));
    EXPECT_THAT(debug, ::testing::Not(HasSubstr("psEVENT_THUMBNAIL_ON_RELEASE sequenceID=")));
    EXPECT_THAT(debug, HasSubstr("psEVENT_FULLVIEW_ON_RELEASE sequenceID=1, format=1, sizeOfData="));
    EXPECT_EQ(m_window.count("showExceptionBox"), 0u);

    if (!haveExiftool())
        GTEST_SKIP() << "exiftool is not installed";
    EXPECT_EQ(exiftoolTags(path("IMG_0001.JPG")).at("IFD0:Model"), std::string("Canon ") + GetParam());
}

TEST_P(EndToEnd, LostRawThumbnailStillGivesTheThmBesideTheCrw)
{
    attachCamera("quality=raw");
    connect();
    simcam::simulatedCamera()->loseThumbnailEvents(1);
    shoot();

    EXPECT_THAT(entryNames(m_folder.path()), ElementsAre("CRW_0001.CRW", "CRW_0001.THM"));
    EXPECT_EQ(m_window.callsNamed("onImageSaved").at(0).text, path("CRW_0001.CRW"));
    const ImageInfo thm(path("CRW_0001.THM"));
    EXPECT_EQ(thm.m_model, std::string("Canon ") + GetParam());
    EXPECT_EQ(m_window.callsNamed("WM_DISPLAY_SHOT_INFO").at(0).text, shotInfoText(thm));
    EXPECT_EQ(occurrences(m_debug.text(), "*** psEVENT_FULLVIEW_ON_RELEASE sequence error ***\n"), 1u);
    EXPECT_THAT(m_debug.text(), HasSubstr("psEVENT_FULLVIEW_ON_RELEASE sequenceID=1, format=2, sizeOfData="));
}

TEST_P(EndToEnd, LockStatusEventsReachTheSession)
{
    attachCamera();
    connect();
    ASSERT_TRUE(m_camera->setUILock());
    simcam::simulatedCamera()->waitIdle();
    EXPECT_EQ(m_camera->lockStatus(), 1u);
    EXPECT_THAT(m_debug.text(), HasSubstr("psEVENT_CHANGE_LOCK_STATUS: 0x01\n"));
    m_camera->resetUILock();
    simcam::simulatedCamera()->waitIdle();
    EXPECT_EQ(m_camera->lockStatus(), 0u);
    EXPECT_THAT(m_debug.text(), HasSubstr("psEVENT_CHANGE_LOCK_STATUS: 0x00\n"));
}

INSTANTIATE_TEST_SUITE_P(Models, EndToEnd, ::testing::Values("EOS D30", "EOS D60"),
                         [](const ::testing::TestParamInfo<const char *> &info) { return modelFileName(info.param); });
