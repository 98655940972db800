// Event 15: the camera reports the lock of its own controls when the PC
// takes or gives it back.
#include "SimTestSupport.h"

#include <Pscamera.h>
#include <psError.h>

#include <thread>

namespace simcam::test {
namespace {

std::vector<uint32_t> lockStatuses(const EventRecorder &recorder)
{
    std::vector<uint32_t> statuses;
    for (const Event &event : recorder.events())
        if (event.code == PS_EVENT_CHANGE_LOCK_STATUS)
            statuses.push_back(event.subEvent);
    return statuses;
}

TEST(SimLockStatus, LockAndUnlockAreReportedOnTheDriversThread)
{
    Device device(testConfig());
    std::mutex mutex;
    std::vector<std::thread::id> threads;
    device.recorder.setAction([&](const Event &) {
        std::lock_guard lock(mutex);
        threads.push_back(std::this_thread::get_id());
    });
    ASSERT_EQ(device.driver->lockControls(device.driver, device.handle, PS_LOCK_MODE_UI), 0u);
    ASSERT_TRUE(device.recorder.waitFor(PS_EVENT_CHANGE_LOCK_STATUS, 1));
    ASSERT_EQ(device.driver->unlockControls(device.driver, device.handle), 0u);
    ASSERT_TRUE(device.recorder.waitFor(PS_EVENT_CHANGE_LOCK_STATUS, 0));
    EXPECT_EQ(lockStatuses(device.recorder), (std::vector<uint32_t>{1, 0}));
    std::lock_guard lock(mutex);
    ASSERT_EQ(threads.size(), 2u);
    for (const auto &id : threads)
        EXPECT_NE(id, std::this_thread::get_id());
}

TEST(SimLockStatus, OnlyChangesAreReported)
{
    Device device(testConfig());
    ASSERT_EQ(device.driver->unlockControls(device.driver, device.handle), 0u);
    ASSERT_EQ(device.driver->lockControls(device.driver, device.handle, PS_LOCK_MODE_UI), 0u);
    ASSERT_EQ(device.driver->lockControls(device.driver, device.handle, PS_LOCK_MODE_UI), 0u);
    ASSERT_EQ(device.driver->unlockControls(device.driver, device.handle), 0u);
    ASSERT_EQ(device.driver->unlockControls(device.driver, device.handle), 0u);
    device.camera->waitIdle();
    EXPECT_EQ(lockStatuses(device.recorder), (std::vector<uint32_t>{1, 0}));
}

TEST(SimLockStatus, RefusedLockIsNotReported)
{
    SimConfig config = testConfig();
    ASSERT_TRUE(config.apply("menu=1"));
    Device device(config);
    EXPECT_EQ(psErrorCode(device.driver->lockControls(device.driver, device.handle, PS_LOCK_MODE_UI)),
              psERR_DEVICE_BUSY);
    EXPECT_NE(device.driver->lockControls(device.driver, device.handle, 1), 0u);
    device.camera->waitIdle();
    EXPECT_TRUE(lockStatuses(device.recorder).empty());
}

// The SDK layer keeps the last status for the whole process.
class LockingCamera : public psCameraConnection {
public:
    LockingCamera() : psCameraConnection(PS_PORT_TYPE_USB, nullptr) {}
    ~LockingCamera() override { disconnect(); }
};

TEST(SimLockStatus, SdkLayerKeepsTheLastReportedStatus)
{
    std::filesystem::remove(registrationRecordPath());
    configureCamera(testConfig());
    LockingCamera camera;
    camera.lockControls();
    simulatedCamera()->waitIdle();
    EXPECT_EQ(psCameraConnection::lastLockStatus(), 1u);
    camera.unlockControls();
    simulatedCamera()->waitIdle();
    EXPECT_EQ(psCameraConnection::lastLockStatus(), 0u);
}

} // namespace
} // namespace simcam::test
