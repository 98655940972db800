// The SDK layer connected to the simulated runtime, used as the program uses
// it: psCameraConnection, psReleaseControl and psMemoryStream.
#include "SimTestSupport.h"

#include <Pscamera.h>
#include <Pscstrms.h>
#include <psError.h>
#include <psRels.h>

#include <condition_variable>

namespace simcam::test {
namespace {

// A session in miniature: keeps the image events and answers the power-off
// warning with a device exception, as the program's session does.
class RecordingCamera : public psCameraConnection {
public:
    RecordingCamera() : psCameraConnection(PS_PORT_TYPE_USB, nullptr) {}
    ~RecordingCamera() override { disconnect(); }

    std::vector<psImageEventRecord> images;
    std::vector<uint32_t> codes;
    bool stayAwake = true;

    bool waitForComplete(size_t count = 1)
    {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, std::chrono::seconds(60), [&] { return m_completes >= count; });
    }
    bool waitForCode(uint32_t code)
    {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, std::chrono::seconds(60),
                                  [&] { return std::find(codes.begin(), codes.end(), code) != codes.end(); });
    }
    std::vector<psImageEventRecord> imageRecords()
    {
        std::lock_guard lock(m_mutex);
        return images;
    }

protected:
    void eventNotification(uint32_t code, const void *data, uint32_t) override
    {
        std::lock_guard lock(m_mutex);
        codes.push_back(code);
        m_changed.notify_all();
        const uint32_t event = code & PS_EVENT_MASK;
        if ((code & PS_EVENT_SEVERITY_MASK) == PS_EVENT_SEVERITY_WARNING && event == PS_WARNING_ABOUT_TO_SHUTDOWN &&
            stayAwake)
            throw psCDeviceException(psSTAY_AWAKE, __FILE__, __LINE__);
        if ((code & PS_EVENT_SEVERITY_MASK) != 0)
            return;
        if (event == PS_EVENT_THUMBNAIL_ON_RELEASE || event == PS_EVENT_FULLVIEW_ON_RELEASE)
            images.push_back(*static_cast<const psImageEventRecord *>(data));
        if (event == PS_EVENT_RELEASE_CONTROL && *static_cast<const uint32_t *>(data) == PS_RELEASE_EVENT_RELEASE_COMPLETE)
            ++m_completes;
        m_changed.notify_all();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    size_t m_completes = 0;
};

class SimSdkLayer : public ::testing::TestWithParam<const char *> {
protected:
    void SetUp() override
    {
        std::filesystem::remove(registrationRecordPath());
        configureCamera(testConfig(GetParam()));
    }
};

TEST_P(SimSdkLayer, ConnectsAndIdentifiesTheModel)
{
    RecordingCamera camera;
    EXPECT_EQ(camera.modelName(), GetParam());
    EXPECT_NE(camera.modelDescriptor().modelId, 0u);
    EXPECT_TRUE(camera.capabilities() & PS_CAP_RELEASE_CONTROL);
    uint32_t count = 0;
    std::memcpy(&count, camera.propertyTable().data(), 4);
    EXPECT_EQ(camera.propertyTable().size(), count * 4 + PS_PROPERTY_TABLE_HEADER_SIZE);
}

TEST_P(SimSdkLayer, ReleaseDeliversTheImagesIntoMemoryStreams)
{
    SimConfig config = testConfig(GetParam());
    ASSERT_TRUE(config.apply("quality=raw"));
    configureCamera(config);
    RecordingCamera camera;
    psReleaseControl release(camera);
    ReleaseTransferFlags flags = PS_TRANSFER_PC_ONLY;
    release.setTransferFlags(&flags);
    release.release();
    ASSERT_TRUE(camera.waitForComplete());
    const auto records = camera.imageRecords();
    ASSERT_EQ(records.size(), 2u);
    psMemoryStream thumbnail;
    release.getReleasedImage(&records[0], thumbnail.stream(), PS_IMAGE_KIND_THUMBNAIL);
    EXPECT_EQ(thumbnail.size(), records[0].dataSize);
    psMemoryStream full;
    std::vector<uint32_t> progress;
    full.setProgressListener([&](uint32_t percent) { progress.push_back(percent); });
    release.getReleasedImage(&records[1], full.stream(), PS_IMAGE_KIND_FULLVIEW);
    ASSERT_EQ(full.size(), records[1].dataSize);
    EXPECT_EQ(full.data()[0], 'I');
    EXPECT_EQ(records[1].format, PS_IMAGE_FORMAT_RAW);
    ASSERT_FALSE(progress.empty());
    EXPECT_EQ(progress.back(), 100u);
}

TEST_P(SimSdkLayer, CancelledStreamAbortsTheTransfer)
{
    RecordingCamera camera;
    psReleaseControl release(camera);
    release.release();
    ASSERT_TRUE(camera.waitForComplete());
    psMemoryStream stream;
    stream.cancel();
    try {
        release.getReleasedImage(&camera.imageRecords().at(1), stream.stream(), PS_IMAGE_KIND_FULLVIEW);
        FAIL() << "a cancelled transfer succeeded";
    } catch (const psCException &e) {
        EXPECT_EQ(psErrorCode(e.code), psERR_OPERATION_CANCELLED);
    }
}

TEST_P(SimSdkLayer, FlashCompensationSurvivesTheProgramsRoundTrip)
{
    RecordingCamera camera;
    psReleaseControl release(camera);
    ReleaseParams params;
    release.getReleaseParams(&params);
    // The session writes the list's code plus 24. "+1 2/3" (0x0B) is not offered at half stops.
    params.bytes[33] = static_cast<uint8_t>(0x0B + 24);
    release.setReleaseParams(&params);
    release.getReleaseParams(&params);
    EXPECT_EQ(params.bytes[33], 0x18);   // refused: springs back to 0
    params.bytes[33] = static_cast<uint8_t>(0x0C + 24);               // "+1 1/2"
    release.setReleaseParams(&params);
    release.getReleaseParams(&params);
    EXPECT_EQ(params.bytes[33], 0x0C);
    EXPECT_EQ(release.readCameraSettingValue(PS_SETTING_EXPOSURE_INCREMENTS), 0u);
}

TEST_P(SimSdkLayer, BusyLockIsRetriedAndThenRaised)
{
    RecordingCamera camera;
    simulatedCamera()->setMenuOpen(true);
    auto now = std::chrono::steady_clock::time_point{};
    int sleeps = 0;
    camera.setRetryClock([&] { return now; }, [&](std::chrono::milliseconds d) {
        now += d;
        ++sleeps;
    });
    camera.setBusyTimeout(std::chrono::milliseconds(5000));
    try {
        camera.lockControls();
        FAIL() << "the lock was taken with the menu open";
    } catch (const psCException &e) {
        EXPECT_EQ(psErrorCode(e.code), psERR_DEVICE_BUSY);
    }
    EXPECT_GE(sleeps, 4);
    simulatedCamera()->setMenuOpen(false);
    camera.lockControls();
    EXPECT_TRUE(simulatedCamera()->locked());
    camera.unlockControls();
}

TEST_P(SimSdkLayer, ShutdownClearsDeviceActiveAndStayAwakeIsHonoured)
{
    RecordingCamera camera;
    EXPECT_TRUE(simulatedCamera()->warnPowerOff());
    EXPECT_TRUE(camera.isDeviceActive());
    simulatedCamera()->shutdown(PS_SHUTDOWN_DISCONNECTED);
    ASSERT_TRUE(camera.waitForCode(PS_EVENT_SEVERITY_SHUTDOWN | PS_SHUTDOWN_DISCONNECTED));
    EXPECT_FALSE(camera.isDeviceActive());
}

TEST_P(SimSdkLayer, CardFullReachesTheLayerAsDiskFull)
{
    SimConfig config = testConfig(GetParam());
    ASSERT_TRUE(config.apply("card=0"));
    configureCamera(config);
    RecordingCamera camera;
    psReleaseControl release(camera);
    ReleaseTransferFlags flags = PS_TRANSFER_PC_AND_CARD;
    release.setTransferFlags(&flags);
    EXPECT_EQ(release.getShotsRemaining(), 0u);
    try {
        release.release();
        FAIL() << "released onto a full card";
    } catch (const psCException &e) {
        EXPECT_EQ(psErrorCode(e.code), psERR_FILE_DISK_FULL_ERROR);
    }
}

INSTANTIATE_TEST_SUITE_P(Models, SimSdkLayer, ::testing::Values("EOS D30", "EOS D60"));

} // namespace
} // namespace simcam::test
