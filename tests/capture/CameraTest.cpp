// The camera session on the scriptable driver: set-up and teardown, the
// driver's events, the release and preview commands, locks and parameters.
#include "SessionTestSupport.h"

#include "psError.h"

#include <gmock/gmock.h>

#include <algorithm>

using ::testing::ElementsAre;
using ::testing::HasSubstr;

namespace {

size_t indexOf(const std::vector<std::string> &calls, const std::string &line)
{
    return static_cast<size_t>(std::find(calls.begin(), calls.end(), line) - calls.begin());
}

} // namespace

// --- Set-up and teardown ---------------------------------------------------

TEST_F(SessionTest, ConnectingEntersReleaseControlAndSendsPcOnlyFlags)
{
    auto camera = connect();
    EXPECT_EQ(m_driver->count("releaseControl 0"), 1u);
    const auto flags = commandInputs(PS_RC_SET_TRANSFER_FLAGS);
    ASSERT_FALSE(flags.empty());
    EXPECT_EQ(flagsOf(flags.back()), PS_TRANSFER_PC_ONLY);
    EXPECT_EQ(camera->busyTimeout(), Camera::kBusyTimeout);
    EXPECT_EQ(camera->transferFlags(), PS_TRANSFER_PC_ONLY);
    EXPECT_FALSE(camera->isPreview());
    EXPECT_EQ(camera->cameraModelName(), "EOS D60");
}

TEST_F(SessionTest, TeardownLeavesReleaseControlBeforeClosingTheDevice)
{
    connect().reset();
    const auto calls = m_driver->calls();
    const size_t leave = indexOf(calls, "releaseControl 1");
    const size_t close = indexOf(calls, "closeDevice 1");
    ASSERT_LT(leave, calls.size());
    ASSERT_LT(close, calls.size());
    EXPECT_LT(leave, close);
    EXPECT_FALSE(m_driver->isDeviceOpen());
    // The thread wakes once more and reports the (empty) release complete.
    EXPECT_EQ(m_window.count("WM_CAMERA_RELEASE_COMPLETE"), 1u);
}

TEST_F(SessionTest, EventsArrivingDuringTeardownAreIgnored)
{
    auto camera = connect();
    m_driver->images[{1, sequenceWord(3)}] = fakeJpeg(1);
    // The camera reports a whole shot while the session leaves release control.
    m_driver->hooks["releaseControl 1"] = [this] {
        fireShot(3);
        EXPECT_EQ(m_driver->fireEvent(PS_EVENT_SEVERITY_SHUTDOWN | PS_SHUTDOWN_DISCONNECTED), 0u);
    };
    camera.reset();
    EXPECT_THAT(m_window.names(), ElementsAre("WM_CAMERA_RELEASE_COMPLETE"));
    EXPECT_TRUE(fetches().empty());
}

TEST_F(SessionTest, FailingToEnterReleaseControlLeavesNothingOpen)
{
    m_driver->results["releaseControl 0"] = psMakeError(psCOMPONENT_LLSDK, psERR_DEVICE_BUSY);
    EXPECT_THROW(connect(), psCException);
    EXPECT_FALSE(m_driver->isDeviceOpen());
    EXPECT_EQ(m_driver->calls().back().rfind("PSUUnloadDriver", 0), 0u);
}

TEST_F(SessionTest, FailingLeaveIsIgnoredAtTeardown)
{
    auto camera = connect();
    m_driver->results["releaseControl 1"] = psMakeError(psCOMPONENT_LLSDK, psERR_COMM_DISCONNECTED);
    camera.reset();
    EXPECT_FALSE(m_driver->isDeviceOpen());
}

TEST_F(SessionTest, TeardownWithAnExceptionBoxOpenEndsTheThread)
{
    m_window.keepBoxesOpen(true);
    auto camera = connect();
    fireShot(1);  // no image scripted: the fetch fails and the box stays open
    ASSERT_TRUE(m_window.waitForCount("showExceptionBox", 1));
    camera.reset();
    EXPECT_FALSE(m_driver->isDeviceOpen());
    // Closing the box after the session is gone is harmless.
    for (const ModalReply &box : m_window.openBoxes())
        box.close();
}

// --- Image events and the queues -------------------------------------------

TEST_F(SessionTest, LostFullViewIsFetchedByItsThumbnailsRecord)
{
    auto camera = connect();
    m_driver->images[{1, sequenceWord(1)}] = fakeJpeg(1);
    m_driver->images[{2, sequenceWord(1)}] = fakeJpeg(2);
    m_driver->images[{1, sequenceWord(2)}] = fakeJpeg(3);
    m_driver->images[{2, sequenceWord(2)}] = fakeJpeg(4);
    fireReleaseEvent(PS_RELEASE_EVENT_RELEASE_START);
    fireImage(PS_EVENT_THUMBNAIL_ON_RELEASE, 1);
    fireImage(PS_EVENT_THUMBNAIL_ON_RELEASE, 2);
    fireImage(PS_EVENT_FULLVIEW_ON_RELEASE, 2);
    fireReleaseEvent(PS_RELEASE_EVENT_RELEASE_COMPLETE);
    waitForReleaseComplete();
    EXPECT_THAT(fetches(), ElementsAre("1 1", "2 1", "1 2", "2 2"));
    EXPECT_THAT(m_debug.text(), HasSubstr("*** psEVENT_THUMBNAIL_ON_RELEASE sequence error ***\n"));
    EXPECT_EQ(entryNames(m_folder.path()), (std::vector<std::string>{"IMG_0001.JPG", "IMG_0002.JPG"}));
}

TEST_F(SessionTest, FullViewWithoutThumbnailFetchesBothByTheSameRecord)
{
    auto camera = connect();
    m_driver->images[{1, sequenceWord(7)}] = fakeJpeg(1);
    m_driver->images[{2, sequenceWord(7)}] = fakeJpeg(2);
    fireReleaseEvent(PS_RELEASE_EVENT_RELEASE_START);
    fireImage(PS_EVENT_FULLVIEW_ON_RELEASE, 7);
    fireReleaseEvent(PS_RELEASE_EVENT_RELEASE_COMPLETE);
    waitForReleaseComplete();
    EXPECT_THAT(fetches(), ElementsAre("1 7", "2 7"));
    EXPECT_THAT(m_debug.text(), HasSubstr("*** psEVENT_FULLVIEW_ON_RELEASE sequence error ***\n"));
}

TEST_F(SessionTest, CardOnlyThumbnailsExpectNoFullView)
{
    auto camera = connect();
    camera->setStoreMode(StoreMode::CardOnly);
    m_driver->shotsRemaining = 50;
    m_driver->images[{1, sequenceWord(1)}] = fakeJpeg(1);
    m_driver->images[{1, sequenceWord(2)}] = fakeJpeg(2);
    fireReleaseEvent(PS_RELEASE_EVENT_RELEASE_START);
    fireImage(PS_EVENT_THUMBNAIL_ON_RELEASE, 1);
    fireImage(PS_EVENT_THUMBNAIL_ON_RELEASE, 2);
    fireReleaseEvent(PS_RELEASE_EVENT_RELEASE_COMPLETE);
    waitForReleaseComplete();
    EXPECT_THAT(fetches(), ElementsAre("1 1", "1 2"));
    EXPECT_THAT(m_debug.text(), ::testing::Not(HasSubstr("sequence error")));
}

TEST_F(SessionTest, ImageEventTextsNameTheRecord)
{
    auto camera = connect();
    fireImage(PS_EVENT_THUMBNAIL_ON_RELEASE, 42, PS_IMAGE_FORMAT_RAW, "CRW_0042.THM");
    EXPECT_THAT(m_debug.text(), HasSubstr("psEVENT_THUMBNAIL_ON_RELEASE sequenceID=42, format=2, "
                                          "sizeOfData=1234, fileName:CRW_0042.THM\n"));
    fireImage(PS_EVENT_FULLVIEW_ON_RELEASE, 42, PS_IMAGE_FORMAT_RAW, "CRW_0042.CRW");
    EXPECT_THAT(m_debug.text(), HasSubstr("psEVENT_FULLVIEW_ON_RELEASE sequenceID=42, format=2, "
                                          "sizeOfData=1234, fileName:CRW_0042.CRW\n"));
}

TEST_F(SessionTest, NothingIsFetchedBeforeReleaseComplete)
{
    auto camera = connect();
    fireReleaseEvent(PS_RELEASE_EVENT_RELEASE_START);
    EXPECT_TRUE(camera->isReleaseInProgress());
    fireImage(PS_EVENT_THUMBNAIL_ON_RELEASE, 1);
    fireImage(PS_EVENT_FULLVIEW_ON_RELEASE, 1);
    EXPECT_TRUE(fetches().empty());
    EXPECT_EQ(m_window.count("WM_CAMERA_RELEASE_COMPLETE"), 0u);
    EXPECT_THAT(m_window.names(), ElementsAre("WM_CAMERA_RELEASE_START"));
}

// --- Other events ------------------------------------------------------------

TEST_F(SessionTest, PowerOffWarningAsksTheCameraToStayAwake)
{
    auto camera = connect();
    EXPECT_EQ(m_driver->fireEvent(PS_EVENT_SEVERITY_WARNING | PS_WARNING_ABOUT_TO_SHUTDOWN), psSTAY_AWAKE);
    EXPECT_THAT(m_debug.text(), HasSubstr("Camera::eventNotification - psEVENT_SEVERITY_WARNING\n"
                                          "Camera is about to shutdown\n"));
    EXPECT_EQ(m_driver->fireEvent(PS_EVENT_SEVERITY_WARNING | 3u), 0u);
    EXPECT_TRUE(m_window.calls().empty());
}

TEST_F(SessionTest, ShutdownEventPostsItsReason)
{
    auto camera = connect();
    EXPECT_EQ(m_driver->fireEvent(PS_EVENT_SEVERITY_SHUTDOWN | PS_SHUTDOWN_DISCONNECTED), 0u);
    const auto posted = m_window.callsNamed("WM_CAMERA_SHUTDOWN");
    ASSERT_EQ(posted.size(), 1u);
    EXPECT_EQ(posted[0].message.wParam, PS_SHUTDOWN_DISCONNECTED);
    EXPECT_THAT(m_debug.text(), HasSubstr("Camera::eventNotification - psEVENT_SEVERITY_SHUTDOWN\n"));
}

TEST_F(SessionTest, UnknownEventsAreOnlyTraced)
{
    auto camera = connect();
    m_driver->fireEvent(0x10000u | 3u);
    m_driver->fireEvent(11u);
    const uint32_t subEvent = 99;
    m_driver->fireEvent(PS_EVENT_RELEASE_CONTROL, &subEvent, 7);
    EXPECT_THAT(m_debug.text(), HasSubstr("Camera::eventNotification - some other event\n"));
    EXPECT_THAT(m_debug.text(), HasSubstr("psEVENT_SEVERITY_NONE - unknown: 0x000b\n"));
    EXPECT_THAT(m_debug.text(), HasSubstr("psEVENT_RELEASE_CONTROL - unknown: 0x00000063 7\n"));
    EXPECT_TRUE(m_window.calls().empty());
}

TEST_F(SessionTest, LockStatusEventIsKept)
{
    auto camera = connect();
    const uint32_t status = 0x21;
    m_driver->fireEvent(PS_EVENT_CHANGE_LOCK_STATUS, &status);
    EXPECT_EQ(camera->lockStatus(), 0x21u);
    EXPECT_THAT(m_debug.text(), HasSubstr("psEVENT_CHANGE_LOCK_STATUS: 0x21\n"));
}

TEST_F(SessionTest, ControlChangesAreNotPostedWhileTheSettingsAreRead)
{
    auto camera = connect();
    camera->setIgnoreControlChanges(true);
    fireReleaseEvent(PS_RELEASE_EVENT_CHANGED_BY_UI);
    EXPECT_EQ(m_window.count("WM_CAMERA_UI_CHANGED"), 0u);
    camera->setIgnoreControlChanges(false);
    fireReleaseEvent(PS_RELEASE_EVENT_CHANGED_BY_UI);
    EXPECT_EQ(m_window.count("WM_CAMERA_UI_CHANGED"), 1u);
    EXPECT_THAT(m_debug.text(), HasSubstr("RELEASE_EVENT_CHANGED_BY_UI\n"));
}

// --- Release -----------------------------------------------------------------

TEST_F(SessionTest, ReleaseSendsChangedFlagsThenFires)
{
    auto camera = connect();
    camera->setStoreMode(StoreMode::PcAndCard);
    EXPECT_TRUE(camera->transferFlagsDirty());
    m_driver->shotsRemaining = 3;
    camera->release();
    const auto calls = m_driver->calls();
    EXPECT_EQ(flagsOf(commandInputs(PS_RC_SET_TRANSFER_FLAGS).back()), PS_TRANSFER_PC_AND_CARD);
    EXPECT_LT(indexOf(calls, "releaseControl 13"), indexOf(calls, "releaseControl 4"));
    EXPECT_EQ(m_driver->count("releaseControl 4"), 1u);
    EXPECT_FALSE(camera->transferFlagsDirty());
    EXPECT_TRUE(m_window.calls().empty());
}

TEST_F(SessionTest, StoreModesMapToTransferFlags)
{
    auto camera = connect();
    camera->setStoreMode(StoreMode::CardOnly);
    EXPECT_EQ(camera->transferFlags(), PS_TRANSFER_CARD_ONLY);
    camera->setStoreMode(StoreMode::PcAndCard);
    EXPECT_EQ(camera->transferFlags(), PS_TRANSFER_PC_AND_CARD);
    camera->setStoreMode(static_cast<StoreMode>(7));
    EXPECT_EQ(camera->transferFlags(), PS_TRANSFER_PC_ONLY);
}

TEST_F(SessionTest, ReleaseToAFullCardPostsCardFullAndDoesNotFire)
{
    auto camera = connect();
    camera->setStoreMode(StoreMode::CardOnly);
    m_driver->shotsRemaining = 0;
    camera->release();
    EXPECT_EQ(m_driver->count("releaseControl 4"), 0u);
    EXPECT_THAT(m_window.names(), ElementsAre("WM_CAMERA_CARD_FULL"));
}

TEST_F(SessionTest, NoCardOrFullDiskFromTheCameraPostsCardFull)
{
    auto camera = connect();
    for (uint32_t code : {psERR_DEVICE_NO_DISK, psERR_FILE_DISK_FULL_ERROR}) {
        m_window.clear();
        m_driver->results["releaseControl 4"] = psMakeError(psCOMPONENT_LLSDK, code) | psSPECIFIC_FLAG;
        camera->release();
        EXPECT_THAT(m_window.names(), ElementsAre("WM_CAMERA_CARD_FULL")) << code;
    }
}

TEST_F(SessionTest, OtherReleaseFailuresShowTheFixedText)
{
    auto camera = connect();
    m_driver->results["releaseControl 4"] = psMakeError(psCOMPONENT_LLSDK, psERR_DEVICE_BUSY);
    camera->release();
    const auto errors = m_window.callsNamed("showError");
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].text, "psCException");
}

TEST_F(SessionTest, UnusableImageFolderStopsTheReleaseWithItsText)
{
    auto camera = connect();
    writeTextFile(m_folder.path() / "blocked");
    ImageDirectorySettings settings = m_window.imageDirectorySettings();
    settings.baseDirectory = (m_folder.path() / "blocked" / "shots").string();
    m_window.setSettings(settings);
    camera->release();
    const std::string text = "Invalid directory for images:\n" + (m_folder.path() / "blocked").string();
    const auto calls = m_window.calls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].name, "showError");
    EXPECT_EQ(calls[0].text, text);
    EXPECT_EQ(calls[1].name, "endReleaseInUi");
    EXPECT_EQ(calls[1].text, "||" + text);
    EXPECT_EQ(m_driver->count("releaseControl 4"), 0u);
}

TEST_F(SessionTest, PreviewTakesASmallNormalJpegToThePc)
{
    auto camera = connect();
    ReleaseParams params;
    m_driver->releaseParams.fill(0);
    m_driver->releaseParams[ReleaseParams::kQuality] = 3;
    m_driver->releaseParams[ReleaseParams::kImageType] = 2;
    ASSERT_TRUE(camera->getReleaseParams(params));
    camera->setStoreMode(StoreMode::CardOnly);
    camera->setPreview(true);
    // A preview needs no image folder.
    ImageDirectorySettings settings = m_window.imageDirectorySettings();
    writeTextFile(m_folder.path() / "file");
    settings.baseDirectory = (m_folder.path() / "file").string();
    m_window.setSettings(settings);

    camera->release();
    const auto written = commandInputs(PS_RC_SET_RELEASE_PARAMS);
    ASSERT_EQ(written.size(), 1u);
    EXPECT_EQ(written[0][ReleaseParams::kQuality], 2);
    EXPECT_EQ(written[0][ReleaseParams::kImageType], 1);
    EXPECT_EQ(written[0][ReleaseParams::kImageSize], 2);
    EXPECT_EQ(flagsOf(commandInputs(PS_RC_SET_TRANSFER_FLAGS).back()), PS_TRANSFER_PC_ONLY);
    EXPECT_EQ(m_driver->count("releaseControl 4"), 1u);
    // The user's flags go out again with the next release.
    EXPECT_EQ(camera->transferFlags(), PS_TRANSFER_CARD_ONLY);
    EXPECT_TRUE(camera->transferFlagsDirty());
    EXPECT_TRUE(m_window.calls().empty());
}

TEST_F(SessionTest, PreviewRefusedByTheCameraPutsTheUsersParametersBack)
{
    auto camera = connect();
    ReleaseParams params;
    m_driver->releaseParams[ReleaseParams::kQuality] = 3;
    ASSERT_TRUE(camera->getReleaseParams(params));
    // The camera keeps fine quality whatever it is sent.
    m_driver->hooks["releaseControl 10"] = [this] { m_driver->releaseParams[ReleaseParams::kQuality] = 3; };
    camera->setPreview(true);
    camera->release();
    const auto errors = m_window.callsNamed("showError");
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].text, "Unable to set camera to small, normal JPEG for preview shot");
    EXPECT_EQ(m_driver->count("releaseControl 4"), 0u);
    const auto written = commandInputs(PS_RC_SET_RELEASE_PARAMS);
    ASSERT_EQ(written.size(), 2u);
    EXPECT_EQ(std::vector<uint8_t>(params.bytes.begin(), params.bytes.end()), written[1]);
    // No shot is coming: the preview is over, and the next shot is a real one.
    EXPECT_FALSE(camera->isPreview());
}

// The preview's own ends, each of which puts the user's block back exactly once.
class PreviewEndTest : public SessionTest {
protected:
    // The user has chosen Raw, or Large/Fine JPEG.
    std::unique_ptr<Camera> connectAndPreview(bool raw = true)
    {
        auto camera = connect();
        m_driver->releaseParams[ReleaseParams::kQuality] = raw ? 4 : 3;
        m_driver->releaseParams[ReleaseParams::kImageType] = raw ? 2 : 1;
        ReleaseParams params;
        camera->getReleaseParams(params);
        m_user = params;
        camera->setPreview(true);
        camera->release();
        return camera;
    }
    // The blocks written after the preview's small one.
    std::vector<std::vector<uint8_t>> writtenBack() const
    {
        auto written = commandInputs(PS_RC_SET_RELEASE_PARAMS);
        EXPECT_FALSE(written.empty());
        if (!written.empty())
            written.erase(written.begin());
        return written;
    }
    std::vector<uint8_t> user() const { return std::vector<uint8_t>(m_user.bytes.begin(), m_user.bytes.end()); }

    ReleaseParams m_user;
};

TEST_F(PreviewEndTest, ReleaseCompleteWithoutAnImagePutsTheParametersBackOnce)
{
    auto camera = connectAndPreview();
    ASSERT_EQ(m_driver->count("releaseControl 4"), 1u);
    EXPECT_TRUE(camera->isPreview());
    // The lens could not focus: start and complete, nothing in between.
    fireReleaseEvent(PS_RELEASE_EVENT_RELEASE_START);
    fireReleaseEvent(PS_RELEASE_EVENT_RELEASE_COMPLETE);
    waitForReleaseComplete();
    EXPECT_THAT(writtenBack(), ElementsAre(user()));
    EXPECT_FALSE(camera->isPreview());
    camera.reset();
    EXPECT_THAT(writtenBack(), ElementsAre(user()));
}

TEST_F(PreviewEndTest, LostFullViewIsNotFetchedLaterAsTheNextShot)
{
    auto camera = connectAndPreview(false);
    m_driver->images[{PS_IMAGE_KIND_THUMBNAIL, sequenceWord(1)}] = fakeJpeg(1);
    m_driver->images[{PS_IMAGE_KIND_FULLVIEW, sequenceWord(1)}] = fakeJpeg(2);
    fireReleaseEvent(PS_RELEASE_EVENT_RELEASE_START);
    fireImage(PS_EVENT_THUMBNAIL_ON_RELEASE, 1);
    fireReleaseEvent(PS_RELEASE_EVENT_RELEASE_COMPLETE);
    waitForReleaseComplete();
    EXPECT_THAT(writtenBack(), ElementsAre(user()));
    EXPECT_FALSE(camera->isPreview());

    // A shot from the camera's button: saved, and the preview's picture stays where it is.
    m_driver->images[{PS_IMAGE_KIND_THUMBNAIL, sequenceWord(2)}] = fakeJpeg(3);
    m_driver->images[{PS_IMAGE_KIND_FULLVIEW, sequenceWord(2)}] = fakeJpeg(4);
    fireShot(2);
    waitForReleaseComplete(2);
    EXPECT_THAT(fetches(), ElementsAre("1 1", "1 2", "2 2"));
    EXPECT_THAT(entryNames(m_folder.path()), ElementsAre("IMG_0001.JPG"));
    const auto bytes = fakeJpeg(4);
    EXPECT_EQ(readTextFile(m_folder.path() / "IMG_0001.JPG"), std::string(bytes.begin(), bytes.end()));
    EXPECT_THAT(writtenBack(), ElementsAre(user()));
}

TEST_F(PreviewEndTest, EarlierShotsLateFullViewIsSavedAndThePreviewsIsNot)
{
    auto camera = connect();
    m_driver->releaseParams[ReleaseParams::kImageType] = 1;
    ReleaseParams params;
    camera->getReleaseParams(params);
    // A camera-button shot whose full view is lost.
    m_driver->images[{PS_IMAGE_KIND_THUMBNAIL, sequenceWord(1)}] = fakeJpeg(1);
    m_driver->images[{PS_IMAGE_KIND_FULLVIEW, sequenceWord(1)}] = fakeJpeg(2);
    fireReleaseEvent(PS_RELEASE_EVENT_RELEASE_START);
    fireImage(PS_EVENT_THUMBNAIL_ON_RELEASE, 1);
    fireReleaseEvent(PS_RELEASE_EVENT_RELEASE_COMPLETE);
    waitForReleaseComplete();

    // The preview's thumbnail shows it: shot 1's full view comes with the preview.
    camera->setPreview(true);
    camera->release();
    m_driver->images[{PS_IMAGE_KIND_THUMBNAIL, sequenceWord(2)}] = fakeJpeg(3);
    m_driver->images[{PS_IMAGE_KIND_FULLVIEW, sequenceWord(2)}] = fakeJpeg(4);
    fireShot(2);
    waitForReleaseComplete(2);
    EXPECT_THAT(entryNames(m_folder.path()), ElementsAre("IMG_0001.JPG"));
    const auto first = fakeJpeg(2);
    EXPECT_EQ(readTextFile(m_folder.path() / "IMG_0001.JPG"), std::string(first.begin(), first.end()));
    const auto saved = m_window.callsNamed("onImageSaved");
    ASSERT_EQ(saved.size(), 2u);
    EXPECT_EQ(saved[0].text, m_folder.str() + "/IMG_0001.JPG");
    EXPECT_EQ(saved[1].text, "");
    EXPECT_EQ(commandInputs(PS_RC_SET_RELEASE_PARAMS).size(), 2u);
    EXPECT_FALSE(camera->isPreview());
}

TEST_F(PreviewEndTest, FailedShutterPutsTheParametersBackAndEndsThePreview)
{
    // Not "busy", which the layer would retry for seconds.
    m_driver->results["releaseControl 4"] = psMakeError(psCOMPONENT_LLSDK, psERR_INVALID_PARAMETER);
    auto camera = connectAndPreview();
    EXPECT_EQ(m_window.callsNamed("showError").at(0).text, "psCException");
    EXPECT_THAT(writtenBack(), ElementsAre(user()));
    EXPECT_FALSE(camera->isPreview());
    camera.reset();
    EXPECT_THAT(writtenBack(), ElementsAre(user()));
}

TEST_F(PreviewEndTest, TeardownBeforeThePreviewEndsPutsTheParametersBack)
{
    auto camera = connectAndPreview();
    EXPECT_TRUE(writtenBack().empty());
    camera.reset();
    EXPECT_THAT(writtenBack(), ElementsAre(user()));
}

TEST_F(PreviewEndTest, CameraGoneBeforeThePreviewEndsIsNotWrittenTo)
{
    auto camera = connectAndPreview();
    EXPECT_EQ(m_driver->fireEvent(PS_EVENT_SEVERITY_SHUTDOWN | PS_SHUTDOWN_DISCONNECTED), 0u);
    EXPECT_TRUE(camera->isCameraGone());
    camera.reset();
    EXPECT_TRUE(writtenBack().empty());
}

TEST_F(PreviewEndTest, UnusableSessionEndsThePreviewAtOnce)
{
    // A refused release that never reaches the camera leaves no preview behind.
    auto camera = connect();
    camera->setPreview(true);
    m_driver->results["releaseControl 10"] = psMakeError(psCOMPONENT_LLSDK, psERR_COMM_DISCONNECTED);
    camera->release();
    EXPECT_EQ(m_driver->count("releaseControl 4"), 0u);
    EXPECT_FALSE(camera->isPreview());
}

// --- Parameters and locks ----------------------------------------------------

TEST_F(SessionTest, ReadParametersSendDirtyFlagsFirstAndAdjustByte33)
{
    auto camera = connect();
    camera->setStoreMode(StoreMode::PcAndCard);
    m_driver->releaseParams[33] = 240;
    ReleaseParams params;
    ASSERT_TRUE(camera->getReleaseParams(params));
    EXPECT_EQ(params.bytes[33], static_cast<uint8_t>(240 + 24));
    EXPECT_EQ(camera->cachedReleaseParams().bytes, params.bytes);
    const auto calls = m_driver->calls();
    EXPECT_LT(indexOf(calls, "releaseControl 9"), indexOf(calls, "releaseControl 10"));
    EXPECT_FALSE(camera->transferFlagsDirty());

    params.bytes[5] = 77;
    ASSERT_TRUE(camera->setReleaseParams(params));
    EXPECT_EQ(m_driver->releaseParams[5], 77);
    EXPECT_EQ(camera->cachedReleaseParams().bytes[5], 77);
}

TEST_F(SessionTest, CameraSettingIsReadThroughReleaseControl)
{
    auto camera = connect();
    m_driver->cameraSettings[PS_SETTING_EXPOSURE_INCREMENTS] = 1;
    uint8_t block[PS_CAMERA_SETTING_SIZE] = {PS_SETTING_EXPOSURE_INCREMENTS};
    ASSERT_TRUE(camera->readCameraSetting(block));
    EXPECT_EQ(block[4], 1);
}

TEST_F(SessionTest, FailedLockIsReportedAsFalseAndUnlockNeverFails)
{
    auto camera = connect();
    camera->setBusyTimeout(std::chrono::milliseconds(0));
    m_driver->lockResults.push_back(psMakeError(psCOMPONENT_LLSDK, psERR_DEVICE_BUSY));
    EXPECT_FALSE(camera->setUILock());
    EXPECT_TRUE(camera->setUILock());
    m_driver->results["unlockControls"] = psMakeError(psCOMPONENT_LLSDK, psERR_COMM_DISCONNECTED);
    camera->resetUILock();
    EXPECT_EQ(m_driver->count("unlockControls"), 1u);
}
