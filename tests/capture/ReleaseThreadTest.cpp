// The release thread on the scriptable driver: what it writes, what it hands
// the window and in which order, and how it reports failures.
#include "SessionTestSupport.h"

#include "CrwEmbeddedJpeg.h"
#include "FormatText.h"
#include "PrivateProgramLog.h"
#include "ReleaseThread.h"
#include "psError.h"

#include <gmock/gmock.h>

#include <atomic>
#include <csignal>
#include <sys/resource.h>

using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

// The calls a window sees for a shot, without the progress messages.
std::vector<std::string> shotCalls(const std::vector<std::string> &names)
{
    std::vector<std::string> result;
    for (const std::string &name : names)
        if (name != "WM_CAMERA_TRANSFER_PROGRESS" && name != "WM_CAMERA_RELEASE_START")
            result.push_back(name);
    return result;
}

} // namespace

class ReleaseThreadTest : public SessionTest {
protected:
    void scriptShot(uint32_t id, const std::vector<uint8_t> &thumbnail, const std::vector<uint8_t> &fullView)
    {
        m_driver->images[{PS_IMAGE_KIND_THUMBNAIL, sequenceWord(id)}] = thumbnail;
        m_driver->images[{PS_IMAGE_KIND_FULLVIEW, sequenceWord(id)}] = fullView;
    }
    void setImageType(uint8_t type)
    {
        m_driver->releaseParams[ReleaseParams::kImageType] = type;
    }
    std::unique_ptr<Camera> connectAndReadParams(CameraConfig config = {})
    {
        auto camera = connect(std::move(config));
        ReleaseParams params;
        camera->getReleaseParams(params);
        return camera;
    }
};

TEST_F(ReleaseThreadTest, JpegShotIsSavedThenDescribedThenShown)
{
    setImageType(PS_IMAGE_FORMAT_JPEG);
    auto camera = connectAndReadParams();
    const auto jpeg = fakeJpeg(0x42, 50000);
    scriptShot(1, fakeJpeg(1), jpeg);
    fireShot(1);
    waitForReleaseComplete();

    const std::string path = m_folder.str() + "/IMG_0001.JPG";
    EXPECT_THAT(shotCalls(m_window.names()),
                ElementsAre("onImageSaved", "WM_DISPLAY_SHOT_INFO", "WM_DISPLAY_CAMERA_INFO", "WM_DISPLAY_JPEG",
                            "WM_CAMERA_RELEASE_COMPLETE"));
    EXPECT_EQ(m_window.callsNamed("onImageSaved")[0].text, path);
    const auto shown = m_window.callsNamed("WM_DISPLAY_JPEG");
    EXPECT_EQ(shown[0].message.bytes, jpeg);
    EXPECT_EQ(shown[0].message.wParam, jpeg.size());
    EXPECT_EQ(readTextFile(path), std::string(jpeg.begin(), jpeg.end()));
    EXPECT_THAT(entryNames(m_folder.path()), ElementsAre("IMG_0001.JPG"));
    // Two entries: one full view queued behind the thumbnail, none behind the full view.
    const auto progress = m_window.callsNamed("WM_CAMERA_TRANSFER_PROGRESS");
    ASSERT_EQ(progress.size(), 2u);
    EXPECT_EQ(progress[0].message.wParam, 1u);
    EXPECT_EQ(progress[1].message.wParam, 0u);
    EXPECT_FALSE(m_window.progress().empty());
    EXPECT_EQ(m_window.progress().back(), 100);
    EXPECT_THAT(m_debug.text(), ::testing::HasSubstr("Written JPG: " + path + "\n"));
}

TEST_F(ReleaseThreadTest, RawShotWritesThmThenCrwWithOneNumber)
{
    setImageType(PS_IMAGE_FORMAT_RAW);
    writeTextFile(m_folder.path() / "IMG_0006.JPG");
    auto camera = connectAndReadParams();
    const auto thumbnail = fakeJpeg(0x11);
    const auto embedded = fakeJpeg(0x22, 20000);
    const auto crw = fakeCrw(embedded);
    scriptShot(1, thumbnail, crw);
    fireShot(1, PS_IMAGE_FORMAT_RAW);
    waitForReleaseComplete();

    EXPECT_THAT(entryNames(m_folder.path()), ElementsAre("CRW_0007.CRW", "CRW_0007.THM", "IMG_0006.JPG"));
    EXPECT_EQ(readTextFile(m_folder.path() / "CRW_0007.THM"), std::string(thumbnail.begin(), thumbnail.end()));
    EXPECT_EQ(readTextFile(m_folder.path() / "CRW_0007.CRW"), std::string(crw.begin(), crw.end()));
    // The information comes from the THM, the picture from the CRW.
    EXPECT_THAT(shotCalls(m_window.names()),
                ElementsAre("WM_DISPLAY_SHOT_INFO", "WM_DISPLAY_CAMERA_INFO", "onImageSaved", "WM_DISPLAY_JPEG",
                            "WM_CAMERA_RELEASE_COMPLETE"));
    EXPECT_EQ(m_window.callsNamed("onImageSaved")[0].text, m_folder.str() + "/CRW_0007.CRW");
    EXPECT_EQ(m_window.callsNamed("WM_DISPLAY_JPEG")[0].message.bytes, embedded);
}

TEST_F(ReleaseThreadTest, RawShotSplitByMidnightStaysInTheThmsFolderWithOneNumber)
{
    setImageType(PS_IMAGE_FORMAT_RAW);
    ImageDirectorySettings settings = m_window.imageDirectorySettings();
    settings.yearSubDir = settings.monthSubDir = settings.daySubDir = true;
    m_window.setSettings(settings);
    // The THM is named a moment before midnight, the CRW just after, and
    // the day folder of the new day already holds an image.
    std::filesystem::create_directory(m_folder.path() / "2002-05-18");
    writeTextFile(m_folder.path() / "2002-05-18" / "IMG_0041.JPG");
    auto clockReads = std::make_shared<std::atomic<int>>(0);
    CameraConfig config;
    config.today = [clockReads] {
        return clockReads->fetch_add(1) == 0 ? LocalDate{2002, 5, 17} : LocalDate{2002, 5, 18};
    };
    auto camera = connectAndReadParams(config);
    const auto thumbnail = fakeJpeg(0x11);
    const auto crw = fakeCrw(fakeJpeg(0x22, 20000));
    scriptShot(1, thumbnail, crw);
    fireShot(1, PS_IMAGE_FORMAT_RAW);
    waitForReleaseComplete();

    EXPECT_THAT(entryNames(m_folder.path() / "2002-05-17"), ElementsAre("CRW_0001.CRW", "CRW_0001.THM"));
    EXPECT_THAT(entryNames(m_folder.path() / "2002-05-18"), ElementsAre("IMG_0041.JPG"));
    EXPECT_EQ(readTextFile(m_folder.path() / "2002-05-17" / "CRW_0001.CRW"), std::string(crw.begin(), crw.end()));
    EXPECT_EQ(m_window.callsNamed("onImageSaved").at(0).text, m_folder.str() + "/2002-05-17/CRW_0001.CRW");

    // The next shot is filed under the new day.
    scriptShot(2, fakeJpeg(0x33), fakeCrw(fakeJpeg(0x44, 20000)));
    fireShot(2, PS_IMAGE_FORMAT_RAW);
    waitForReleaseComplete(2);
    EXPECT_THAT(entryNames(m_folder.path() / "2002-05-18"), ElementsAre("CRW_0042.CRW", "CRW_0042.THM", "IMG_0041.JPG"));
}

TEST_F(ReleaseThreadTest, FullViewStartingWithIIIsTakenAsRaw)
{
    setImageType(PS_IMAGE_FORMAT_JPEG);
    auto camera = connectAndReadParams();
    const auto embedded = fakeJpeg(0x33);
    scriptShot(1, fakeJpeg(1), fakeCrw(embedded));
    fireShot(1, PS_IMAGE_FORMAT_JPEG);
    waitForReleaseComplete();
    EXPECT_THAT(entryNames(m_folder.path()), ElementsAre("CRW_0001.CRW"));
    EXPECT_EQ(m_window.callsNamed("WM_DISPLAY_JPEG")[0].message.bytes, embedded);
}

TEST_F(ReleaseThreadTest, CrwWhoseOffsetsPointOutsideTheDataShowsNothing)
{
    const auto embedded = fakeJpeg(0x44, 1000);
    const auto good = fakeCrw(embedded);
    const size_t header = 26;
    const size_t directory = good.size() - 4 - 2 - 20;
    std::vector<std::vector<uint8_t>> broken;
    auto headerPast = good;
    putU32(headerPast, 2, 0xFFFFFFF0u);
    broken.push_back(headerPast);
    auto directoryPast = good;
    putU32(directoryPast, directoryPast.size() - 4, static_cast<uint32_t>(good.size()));
    broken.push_back(directoryPast);
    auto entryPast = good;
    putU32(entryPast, directory + 14, static_cast<uint32_t>(good.size()));
    broken.push_back(entryPast);
    auto sizeWraps = good;
    putU32(sizeWraps, directory + 14 + 4, 0xFFFFFFFFu - static_cast<uint32_t>(header));
    broken.push_back(sizeWraps);
    broken.push_back({'I', 'I', 0});

    for (const auto &data : broken)
        EXPECT_THAT(crwEmbeddedJpegs(data), IsEmpty());
    ASSERT_EQ(crwEmbeddedJpegs(good).size(), 1u);
    // A count beyond the data: the entries that are there are still read.
    auto countTooBig = good;
    putU16(countTooBig, directory, 500);
    EXPECT_EQ(crwEmbeddedJpegs(countTooBig).size(), 1u);
    EXPECT_TRUE(std::ranges::equal(crwEmbeddedJpegs(good)[0], embedded));

    // Through the thread: the file is still saved, only the picture is missing.
    setImageType(PS_IMAGE_FORMAT_RAW);
    auto camera = connectAndReadParams();
    scriptShot(1, fakeJpeg(1), entryPast);
    fireShot(1, PS_IMAGE_FORMAT_RAW);
    waitForReleaseComplete();
    EXPECT_EQ(m_window.count("WM_DISPLAY_JPEG"), 0u);
    EXPECT_EQ(m_window.count("onImageSaved"), 1u);
}

TEST_F(ReleaseThreadTest, ExceptionTextsLookOnlyAtTheLow16Bits)
{
    EXPECT_EQ(ReleaseThread::exceptionText(0x030000A3), "Error: unable to write image to disk\n");
    EXPECT_EQ(ReleaseThread::exceptionText(0x800000A8), "Error: disk full\n");
    EXPECT_EQ(ReleaseThread::exceptionText(0x0200002A), "Error: disk full\n");
    EXPECT_EQ(ReleaseThread::exceptionText(0x02000063), "PowerShot SDK Exception (0x02000063)");
    EXPECT_EQ(ReleaseThread::exceptionText(0x8200000C), "PowerShot SDK Exception (0x8200000c)");
}

TEST_F(ReleaseThreadTest, FailedFetchShowsOneBoxAndTheNextImageIsStillProcessed)
{
    setImageType(PS_IMAGE_FORMAT_JPEG);
    auto camera = connectAndReadParams();
    const auto jpeg = fakeJpeg(0x55);
    scriptShot(1, fakeJpeg(1), jpeg);
    int fetched = 0;
    m_driver->hooks["getReleasedImage"] = [&] {
        if (++fetched == 1)
            m_driver->results["getReleasedImage"] = psMakeError(psCOMPONENT_LLSDK, psERR_STREAM_WRITE_ERROR);
        else
            m_driver->results.erase("getReleasedImage");
    };
    fireShot(1);
    waitForReleaseComplete();
    const auto boxes = m_window.callsNamed("showExceptionBox");
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Error: disk full\n");
    EXPECT_EQ(m_window.callsNamed("WM_DISPLAY_JPEG").at(0).message.bytes, jpeg);
    EXPECT_THAT(entryNames(m_folder.path()), ElementsAre("IMG_0001.JPG"));
}

TEST_F(ReleaseThreadTest, WakingWithNothingQueuedStillReportsReleaseComplete)
{
    auto camera = connect();
    fireReleaseEvent(PS_RELEASE_EVENT_RELEASE_START);
    fireReleaseEvent(PS_RELEASE_EVENT_RELEASE_COMPLETE);
    waitForReleaseComplete();
    EXPECT_THAT(m_window.names(), ElementsAre("WM_CAMERA_RELEASE_START", "WM_CAMERA_RELEASE_COMPLETE"));
}

TEST_F(ReleaseThreadTest, PreviewSavesNothingAndPutsTheUsersParametersBack)
{
    setImageType(PS_IMAGE_FORMAT_RAW);
    m_driver->releaseParams[ReleaseParams::kQuality] = 4;
    auto camera = connectAndReadParams();
    const ReleaseParams user = camera->cachedReleaseParams();
    camera->setStoreMode(StoreMode::PcAndCard);
    camera->setPreview(true);
    m_driver->shotsRemaining = 9;
    camera->release();
    const auto jpeg = fakeJpeg(0x66);
    scriptShot(1, fakeJpeg(1), jpeg);
    fireShot(1);
    waitForReleaseComplete();

    EXPECT_THAT(entryNames(m_folder.path()), IsEmpty());
    EXPECT_THAT(shotCalls(m_window.names()),
                ElementsAre("onImageSaved", "WM_DISPLAY_SHOT_INFO", "WM_DISPLAY_CAMERA_INFO", "WM_DISPLAY_JPEG",
                            "WM_CAMERA_RELEASE_COMPLETE"));
    EXPECT_EQ(m_window.callsNamed("onImageSaved")[0].text, "");
    EXPECT_EQ(m_window.callsNamed("WM_DISPLAY_JPEG")[0].message.bytes, jpeg);
    // Written back under the lock, with the user's flags, and the flag cleared.
    const auto written = commandInputs(PS_RC_SET_RELEASE_PARAMS);
    ASSERT_EQ(written.size(), 2u);
    EXPECT_EQ(written[1], std::vector<uint8_t>(user.bytes.begin(), user.bytes.end()));
    EXPECT_EQ(flagsOf(commandInputs(PS_RC_SET_TRANSFER_FLAGS).back()), PS_TRANSFER_PC_AND_CARD);
    EXPECT_FALSE(camera->transferFlagsDirty());
    EXPECT_FALSE(camera->isPreview());
    const auto calls = m_driver->calls();
    const auto lock = std::find(calls.rbegin(), calls.rend(), "lockControls 6");
    const auto unlock = std::find(calls.rbegin(), calls.rend(), "unlockControls");
    ASSERT_NE(lock, calls.rend());
    ASSERT_NE(unlock, calls.rend());
    EXPECT_GT(lock - calls.rbegin(), unlock - calls.rbegin());
}

// A window that shows thumbnails first gets a saved shot's thumbnail before
// anything else of the shot; a preview or a card-only shot sends none.
TEST_F(ReleaseThreadTest, AWindowThatWantsThumbnailsGetsASavedShotsThumbnailFirst)
{
    struct Case {
        const char *name;
        uint8_t imageType;
        bool preview;
        StoreMode store;
        std::vector<std::string> calls;
    };
    const Case cases[] = {
        {"jpeg", PS_IMAGE_FORMAT_JPEG, false, StoreMode::PcOnly,
         {"WM_DISPLAY_THUMBNAIL", "onImageSaved", "WM_DISPLAY_SHOT_INFO", "WM_DISPLAY_CAMERA_INFO",
          "WM_DISPLAY_JPEG", "WM_CAMERA_RELEASE_COMPLETE"}},
        {"raw", PS_IMAGE_FORMAT_RAW, false, StoreMode::PcAndCard,
         {"WM_DISPLAY_THUMBNAIL", "WM_DISPLAY_SHOT_INFO", "WM_DISPLAY_CAMERA_INFO", "onImageSaved",
          "WM_DISPLAY_JPEG", "WM_CAMERA_RELEASE_COMPLETE"}},
        {"preview", PS_IMAGE_FORMAT_JPEG, true, StoreMode::PcOnly,
         {"onImageSaved", "WM_DISPLAY_SHOT_INFO", "WM_DISPLAY_CAMERA_INFO", "WM_DISPLAY_JPEG",
          "WM_CAMERA_RELEASE_COMPLETE"}},
        {"card only", PS_IMAGE_FORMAT_JPEG, false, StoreMode::CardOnly,
         {"WM_DISPLAY_JPEG", "setStatusText", "WM_CAMERA_RELEASE_COMPLETE"}},
    };
    m_window.setWantsThumbnails(true);
    uint32_t id = 0;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        ++id;
        m_window.clear();
        setImageType(c.imageType);
        auto camera = connectAndReadParams();
        camera->setStoreMode(c.store);
        const auto thumbnail = fakeJpeg(static_cast<uint8_t>(0x30 + id));
        const auto fullView = c.imageType == PS_IMAGE_FORMAT_RAW ? fakeCrw(fakeJpeg(0x22, 20000)) : fakeJpeg(0x42, 50000);
        scriptShot(id, thumbnail, fullView);
        if (c.preview) {
            camera->setPreview(true);
            camera->release();
        }
        if (c.store == StoreMode::CardOnly) {
            fireReleaseEvent(PS_RELEASE_EVENT_RELEASE_START);
            fireImage(PS_EVENT_THUMBNAIL_ON_RELEASE, id);
            fireReleaseEvent(PS_RELEASE_EVENT_RELEASE_COMPLETE);
        } else {
            fireShot(id, c.imageType);
        }
        waitForReleaseComplete();
        EXPECT_EQ(shotCalls(m_window.names()), c.calls);
        const auto early = m_window.callsNamed("WM_DISPLAY_THUMBNAIL");
        if (!early.empty()) {
            EXPECT_EQ(early[0].message.bytes, thumbnail);
            EXPECT_EQ(early[0].message.wParam, thumbnail.size());
        }
        camera.reset();
    }
}

TEST_F(ReleaseThreadTest, CardOnlyShowsTheThumbnailAndTheShotsRemaining)
{
    setImageType(PS_IMAGE_FORMAT_JPEG);
    auto camera = connectAndReadParams();
    camera->setStoreMode(StoreMode::CardOnly);
    m_driver->shotsRemaining = 57;
    const auto thumbnail = fakeJpeg(0x77);
    m_driver->images[{PS_IMAGE_KIND_THUMBNAIL, sequenceWord(1)}] = thumbnail;
    fireReleaseEvent(PS_RELEASE_EVENT_RELEASE_START);
    fireImage(PS_EVENT_THUMBNAIL_ON_RELEASE, 1);
    fireReleaseEvent(PS_RELEASE_EVENT_RELEASE_COMPLETE);
    waitForReleaseComplete();

    EXPECT_THAT(entryNames(m_folder.path()), IsEmpty());
    EXPECT_THAT(shotCalls(m_window.names()),
                ElementsAre("WM_DISPLAY_JPEG", "setStatusText", "WM_CAMERA_RELEASE_COMPLETE"));
    EXPECT_EQ(m_window.callsNamed("WM_DISPLAY_JPEG")[0].message.bytes, thumbnail);
    EXPECT_EQ(m_window.callsNamed("setStatusText")[0].text, "Image saved on CF card, 57 images remaining");

    // Raw: the thumbnail's information too; a failing count gives the short text.
    m_window.clear();
    m_driver->releaseParams[ReleaseParams::kImageType] = PS_IMAGE_FORMAT_RAW;
    ReleaseParams params;
    camera->getReleaseParams(params);
    m_driver->results["releaseControl 13"] = psMakeError(psCOMPONENT_LLSDK, psERR_DEVICE_NO_DISK);
    m_driver->images[{PS_IMAGE_KIND_THUMBNAIL, sequenceWord(2)}] = thumbnail;
    fireImage(PS_EVENT_THUMBNAIL_ON_RELEASE, 2, PS_IMAGE_FORMAT_RAW);
    fireReleaseEvent(PS_RELEASE_EVENT_RELEASE_COMPLETE);
    waitForReleaseComplete();
    EXPECT_THAT(shotCalls(m_window.names()),
                ElementsAre("WM_DISPLAY_SHOT_INFO", "WM_DISPLAY_CAMERA_INFO", "WM_DISPLAY_JPEG", "setStatusText",
                            "WM_CAMERA_RELEASE_COMPLETE"));
    EXPECT_EQ(m_window.callsNamed("setStatusText")[0].text, "Image saved on CF card");
}

TEST_F(ReleaseThreadTest, DiskFullSavesNothingTellsTheUserAndStillShowsThePicture)
{
    setImageType(PS_IMAGE_FORMAT_JPEG);
    CameraConfig config;
    config.writeFile = [](ImageKind, const ImageDirectorySettings &, const LocalDate &, const void *, std::size_t) {
        return ImageFileResult{ImageFileStatus::DiskFull, "/full/IMG_0001.JPG", ENOSPC};
    };
    auto camera = connectAndReadParams(config);
    scriptShot(1, fakeJpeg(1), fakeJpeg(2));
    fireShot(1);
    waitForReleaseComplete();
    EXPECT_THAT(shotCalls(m_window.names()),
                ElementsAre("onImageSaved", "showExceptionBox", "WM_DISPLAY_SHOT_INFO", "WM_DISPLAY_CAMERA_INFO",
                            "WM_DISPLAY_JPEG", "WM_CAMERA_RELEASE_COMPLETE"));
    EXPECT_EQ(m_window.callsNamed("onImageSaved")[0].text, "");
    EXPECT_EQ(m_window.callsNamed("showExceptionBox")[0].text, "Error: disk full\n");
}

TEST_F(ReleaseThreadTest, WriteStoppedByAFileSizeLimitLeavesNoFile)
{
    // A real short write: the process may not write files beyond 1000 bytes.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit previous{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &previous), 0);
    rlimit limit = previous;
    limit.rlim_cur = 1000;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);

    setImageType(PS_IMAGE_FORMAT_JPEG);
    auto camera = connectAndReadParams();
    scriptShot(1, fakeJpeg(1), fakeJpeg(2, 200000));
    fireShot(1);
    waitForReleaseComplete();
    camera.reset();
    setrlimit(RLIMIT_FSIZE, &previous);

    EXPECT_THAT(entryNames(m_folder.path()), IsEmpty());
    EXPECT_EQ(m_window.callsNamed("onImageSaved").at(0).text, "");
    EXPECT_EQ(m_window.callsNamed("showExceptionBox").at(0).text, "Error: unable to write image to disk\n");
    EXPECT_EQ(m_window.count("WM_DISPLAY_JPEG"), 1u);
}

TEST_F(ReleaseThreadTest, UnwritableFolderShowsUnableToWriteWithThePath)
{
    setImageType(PS_IMAGE_FORMAT_RAW);
    auto camera = connectAndReadParams();
    // A file where the folder should be: nothing can be created below it.
    writeTextFile(m_folder.path() / "in-the-way");
    ImageDirectorySettings settings = m_window.imageDirectorySettings();
    settings.baseDirectory = (m_folder.path() / "in-the-way").string();
    m_window.setSettings(settings);
    const auto embedded = fakeJpeg(0x12);
    scriptShot(1, fakeJpeg(1), fakeCrw(embedded));
    fireShot(1, PS_IMAGE_FORMAT_RAW);
    waitForReleaseComplete();

    // The THM is skipped silently; the CRW is reported; the picture still comes.
    EXPECT_THAT(shotCalls(m_window.names()),
                ElementsAre("WM_DISPLAY_SHOT_INFO", "WM_DISPLAY_CAMERA_INFO", "onImageSaved", "showError",
                            "WM_DISPLAY_JPEG", "WM_CAMERA_RELEASE_COMPLETE"));
    EXPECT_EQ(m_window.callsNamed("onImageSaved")[0].text, "");
    EXPECT_EQ(m_window.callsNamed("showError")[0].text,
              "Unable to write: " + settings.baseDirectory + "/CRW_0001.CRW");
    EXPECT_THAT(entryNames(m_folder.path()), ElementsAre("in-the-way"));
}

TEST_F(ReleaseThreadTest, ShotsKeepNumberingAcrossReleases)
{
    setImageType(PS_IMAGE_FORMAT_JPEG);
    auto camera = connectAndReadParams();
    for (uint32_t id = 1; id <= 5; ++id) {
        scriptShot(id, fakeJpeg(1), fakeJpeg(static_cast<uint8_t>(id)));
        fireShot(id);
        waitForReleaseComplete(id);
    }
    EXPECT_THAT(entryNames(m_folder.path()),
                ElementsAre("IMG_0001.JPG", "IMG_0002.JPG", "IMG_0003.JPG", "IMG_0004.JPG", "IMG_0005.JPG"));
}

TEST_F(ReleaseThreadTest, ReleaseCompleteDuringATransferGetsItsOwnReleaseComplete)
{
    setImageType(PS_IMAGE_FORMAT_JPEG);
    auto camera = connectAndReadParams();
    scriptShot(1, fakeJpeg(1), fakeJpeg(2));
    bool fired = false;
    // A second release that brings no image (the lens could not focus)
    // completes while the first one's images are being fetched.
    m_driver->hooks["getReleasedImage"] = [&] {
        if (fired)
            return;
        fired = true;
        fireReleaseEvent(PS_RELEASE_EVENT_RELEASE_START);
        fireReleaseEvent(PS_RELEASE_EVENT_RELEASE_COMPLETE);
    };
    fireShot(1);
    waitForReleaseComplete(2);
    EXPECT_EQ(m_window.count("WM_DISPLAY_JPEG"), 1u);
    EXPECT_THAT(entryNames(m_folder.path()), ElementsAre("IMG_0001.JPG"));
}

// --- Teardown with images announced ----------------------------------------

TEST_F(ReleaseThreadTest, ImagesAnnouncedBeforeTeardownAreAllSaved)
{
    setImageType(PS_IMAGE_FORMAT_JPEG);
    auto camera = connectAndReadParams();
    const auto first = fakeJpeg(0x21, 40000);
    const auto second = fakeJpeg(0x22, 40000);
    scriptShot(1, fakeJpeg(1), first);
    scriptShot(2, fakeJpeg(2), second);
    // Two shots announced; the window goes before the camera reports them complete.
    fireReleaseEvent(PS_RELEASE_EVENT_RELEASE_START);
    fireImage(PS_EVENT_THUMBNAIL_ON_RELEASE, 1);
    fireImage(PS_EVENT_FULLVIEW_ON_RELEASE, 1);
    fireImage(PS_EVENT_THUMBNAIL_ON_RELEASE, 2);
    fireImage(PS_EVENT_FULLVIEW_ON_RELEASE, 2);
    ASSERT_TRUE(fetches().empty());
    EXPECT_TRUE(camera->hasImagesToSave());
    camera.reset();

    EXPECT_THAT(entryNames(m_folder.path()), ElementsAre("IMG_0001.JPG", "IMG_0002.JPG"));
    EXPECT_EQ(readTextFile(m_folder.path() / "IMG_0001.JPG"), std::string(first.begin(), first.end()));
    EXPECT_EQ(readTextFile(m_folder.path() / "IMG_0002.JPG"), std::string(second.begin(), second.end()));
    EXPECT_THAT(fetches(), ElementsAre("1 1", "2 1", "1 2", "2 2"));
    EXPECT_EQ(m_window.count("onImageSaved"), 2u);
    EXPECT_EQ(m_window.count("WM_DISPLAY_JPEG"), 2u);
    // Then the device is closed.
    EXPECT_EQ(m_driver->calls().back().rfind("PSUUnloadDriver", 0), 0u);
}

TEST_F(ReleaseThreadTest, TeardownWithNothingAnnouncedEndsAtOnce)
{
    auto camera = connectAndReadParams();
    EXPECT_FALSE(camera->hasImagesToSave());
    const ProgramLogTail log;
    camera.reset();
    EXPECT_THAT(log.text(), ::testing::Not(::testing::HasSubstr("still running")));
    EXPECT_THAT(log.text(), ::testing::Not(::testing::HasSubstr("Image not saved")));
    EXPECT_EQ(m_window.count("WM_CAMERA_RELEASE_COMPLETE"), 1u);
}

TEST_F(ReleaseThreadTest, ImagesLeftWhenTheCameraIsGoneAreNamedInTheLog)
{
    setImageType(PS_IMAGE_FORMAT_RAW);
    auto camera = connectAndReadParams();
    scriptShot(1, fakeJpeg(1), fakeCrw(fakeJpeg(2)));
    const ProgramLogTail log;
    fireReleaseEvent(PS_RELEASE_EVENT_RELEASE_START);
    fireImage(PS_EVENT_THUMBNAIL_ON_RELEASE, 1, PS_IMAGE_FORMAT_RAW, "CRW_0077.THM");
    fireImage(PS_EVENT_FULLVIEW_ON_RELEASE, 1, PS_IMAGE_FORMAT_RAW, "CRW_0077.CRW");
    EXPECT_EQ(m_driver->fireEvent(PS_EVENT_SEVERITY_SHUTDOWN | PS_SHUTDOWN_DISCONNECTED), 0u);
    camera->close();
    EXPECT_THAT(camera->unsavedImages(), ElementsAre("CRW_0077.THM", "CRW_0077.CRW"));
    camera.reset();

    EXPECT_TRUE(fetches().empty());
    EXPECT_THAT(entryNames(m_folder.path()), IsEmpty());
    const std::string text = log.text();
    EXPECT_THAT(text, ::testing::HasSubstr("Image not saved: CRW_0077.THM (the camera is gone)\n"));
    EXPECT_THAT(text, ::testing::HasSubstr("Image not saved: CRW_0077.CRW (the camera is gone)\n"));
    EXPECT_EQ(m_window.count("showExceptionBox"), 0u);
}

TEST_F(ReleaseThreadTest, ARawShotCutOffByAVanishedCameraKeepsItsThmAndNamesItsMissingCrw)
{
    setImageType(PS_IMAGE_FORMAT_RAW);
    auto camera = connectAndReadParams();
    scriptShot(1, fakeJpeg(1), fakeCrw(fakeJpeg(2)));
    // The cable goes while the CRW, the second image, is on its way.
    int fetched = 0;
    m_driver->hooks["getReleasedImage"] = [&] {
        if (++fetched != 2)
            return;
        m_driver->fireEvent(PS_EVENT_SEVERITY_SHUTDOWN | PS_SHUTDOWN_DISCONNECTED);
        m_driver->results["getReleasedImage"] = psMakeError(psCOMPONENT_LLSDK, psERR_COMM_DISCONNECTED);
    };
    const ProgramLogTail log;
    fireReleaseEvent(PS_RELEASE_EVENT_RELEASE_START);
    fireImage(PS_EVENT_THUMBNAIL_ON_RELEASE, 1, PS_IMAGE_FORMAT_RAW, "CRW_0077.THM");
    fireImage(PS_EVENT_FULLVIEW_ON_RELEASE, 1, PS_IMAGE_FORMAT_RAW, "CRW_0077.CRW");
    fireReleaseEvent(PS_RELEASE_EVENT_RELEASE_COMPLETE);
    waitForReleaseComplete();
    camera->close();

    // The THM is the only picture of the shot the PC has: it stays.
    EXPECT_THAT(entryNames(m_folder.path()), ElementsAre("CRW_0001.THM"));
    const std::string text = log.text();
    EXPECT_THAT(text, ::testing::HasSubstr("Image not saved: CRW_0077.CRW (the camera is gone)\n"));
    EXPECT_THAT(text, ::testing::HasSubstr("Kept " + m_folder.str() + "/CRW_0001.THM without its raw image "
                                           + m_folder.str() + "/CRW_0001.CRW (CRW_0077.CRW)\n"));
    // Nothing shows it but the window's own report of the camera's end.
    EXPECT_EQ(m_window.count("showExceptionBox"), 0u);
    EXPECT_THAT(camera->unsavedImages(), ElementsAre("CRW_0077.CRW"));
}

TEST_F(ReleaseThreadTest, ImageThatCannotBeFetchedIsNamedInTheLogWithItsError)
{
    setImageType(PS_IMAGE_FORMAT_JPEG);
    auto camera = connectAndReadParams();
    scriptShot(1, fakeJpeg(1), fakeJpeg(2));
    m_driver->results["getReleasedImage"] = psMakeError(psCOMPONENT_LLSDK, psERR_INVALID_PARAMETER);
    const ProgramLogTail log;
    fireReleaseEvent(PS_RELEASE_EVENT_RELEASE_START);
    fireImage(PS_EVENT_THUMBNAIL_ON_RELEASE, 1, PS_IMAGE_FORMAT_JPEG, "IMG_0005.JPG");
    fireImage(PS_EVENT_FULLVIEW_ON_RELEASE, 1, PS_IMAGE_FORMAT_JPEG, "IMG_0005.JPG");
    fireReleaseEvent(PS_RELEASE_EVENT_RELEASE_COMPLETE);
    waitForReleaseComplete();
    camera->close();
    // Its error box told of it already.
    EXPECT_THAT(camera->unsavedImages(), IsEmpty());
    camera.reset();

    const std::string text = log.text();
    const std::string line = formatText("Image not saved: IMG_0005.JPG (transfer error 0x%08x)\n",
                                        psMakeError(psCOMPONENT_LLSDK, psERR_INVALID_PARAMETER));
    EXPECT_THAT(text, ::testing::HasSubstr(line));
    // The thumbnail of a JPEG shot is not an image of its own: one line only.
    size_t count = 0;
    for (size_t at = text.find("Image not saved: IMG_0005.JPG"); at != std::string::npos;
         at = text.find("Image not saved: IMG_0005.JPG", at + 1))
        ++count;
    EXPECT_EQ(count, 1u) << text;
    EXPECT_EQ(m_window.count("showExceptionBox"), 2u);
}
