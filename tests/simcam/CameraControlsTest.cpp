// The camera's own controls: settings changed on the camera, the dial, the
// covers, the cable and power-off.
#include "SimTestSupport.h"

#include <psError.h>

namespace simcam::test {
namespace {

struct ShutdownCase {
    const char *name;
    uint32_t reason;
    std::function<void(SimCamera &)> act;
};

class SimShutdown : public ::testing::TestWithParam<ShutdownCase> {};

TEST_P(SimShutdown, ReportsItsReasonAndTheDeviceIsGoneUntilReconnected)
{
    Device device(testConfig());
    GetParam().act(*device.camera);
    const uint32_t code = PS_EVENT_SEVERITY_SHUTDOWN | GetParam().reason;
    ASSERT_TRUE(device.recorder.waitFor(code));
    EXPECT_EQ(device.recorder.texts(), (std::vector<std::string>{"shutdown " + std::to_string(GetParam().reason)}));

    // Gone: every call fails, the port is not found, a release sends nothing.
    EXPECT_EQ(psErrorCode(device.release()), psERR_COMM_DISCONNECTED);
    psDeviceInfo info{};
    EXPECT_NE(device.driver->getDeviceInfo(device.driver, device.handle, &info), 0u);
    psPortDescrip port{};
    EXPECT_NE(PSUGetDevicePort(PS_PORT_TYPE_USB, 0, nullptr, &port, 0, 1), 0u);
    EXPECT_EQ(device.driver->closeDevice(device.driver, device.handle), 0u);
    device.handle = 0;

    device.camera->reconnect();
    ASSERT_EQ(PSUGetDevicePort(PS_PORT_TYPE_USB, 0, nullptr, &port, 0, 1), 0u);
    EventRecorder recorder;
    psDeviceHandle handle = 0;
    ASSERT_EQ(device.driver->openDevice(device.driver, &port, &EventRecorder::callback, &recorder, &handle), 0u);
    EXPECT_EQ(device.driver->getDeviceInfo(device.driver, handle, &info), 0u);
    EXPECT_EQ(device.driver->closeDevice(device.driver, handle), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Causes, SimShutdown,
    ::testing::Values(
        ShutdownCase{"Dial", PS_SHUTDOWN_DIAL_CHANGED, [](SimCamera &c) { ASSERT_TRUE(c.turnDial("Av", nullptr)); }},
        ShutdownCase{"CfCover", PS_SHUTDOWN_CF_GATE_CHANGED, [](SimCamera &c) { c.shutdown(PS_SHUTDOWN_CF_GATE_CHANGED); }},
        ShutdownCase{"BatteryCover", PS_SHUTDOWN_BATTERY_COVER, [](SimCamera &c) { c.shutdown(PS_SHUTDOWN_BATTERY_COVER); }},
        ShutdownCase{"AutoPowerOff", PS_SHUTDOWN_AUTO_POWER_OFF, [](SimCamera &c) { c.shutdown(PS_SHUTDOWN_AUTO_POWER_OFF); }},
        ShutdownCase{"Cable", PS_SHUTDOWN_DISCONNECTED, [](SimCamera &c) { c.shutdown(PS_SHUTDOWN_DISCONNECTED); }}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(SimCameraControls, DialChangesTheExposureMode)
{
    Device device(testConfig());
    ASSERT_TRUE(device.camera->turnDial("Tv", nullptr));
    EXPECT_EQ(device.camera->state().exposureMode, ModeTv);
    std::string why;
    EXPECT_FALSE(device.camera->turnDial("sideways", &why));
}

TEST(SimCameraControls, UnplugDuringAReleaseEndsItWithTheShutdownOnly)
{
    SimConfig config = testConfig();
    config.mirrorDelay = std::chrono::milliseconds(600000);
    Device device(config);
    ASSERT_EQ(device.release(), 0u);
    ASSERT_TRUE(device.recorder.waitFor(PS_EVENT_RELEASE_CONTROL, PS_RELEASE_EVENT_RELEASE_START));
    device.camera->shutdown(PS_SHUTDOWN_DISCONNECTED);
    ASSERT_TRUE(device.recorder.waitFor(PS_EVENT_SEVERITY_SHUTDOWN | PS_SHUTDOWN_DISCONNECTED));
    device.camera->waitIdle();
    EXPECT_EQ(device.recorder.texts(), (std::vector<std::string>{"release 28", "shutdown 13"}));
}

TEST(SimCameraControls, ABusyCameraRefusesSoManyReleasesFromThePcOnly)
{
    SimConfig config = testConfig();
    ASSERT_TRUE(config.apply("busyrelease=1"));
    Device device(config);
    // The camera's own button is not refused.
    std::string why;
    ASSERT_TRUE(device.camera->pressShutter(&why)) << why;
    device.camera->waitIdle();
    EXPECT_EQ(psErrorCode(device.release()), psERR_DEVICE_BUSY);
    device.camera->waitIdle();
    EXPECT_EQ(device.release(), 0u);
}

TEST(SimCameraControls, SettingChangedOnTheCameraIsReported)
{
    Device device(testConfig());
    std::string why;
    ASSERT_TRUE(device.camera->changeSetting("tv", "1/250", &why)) << why;
    ASSERT_TRUE(device.recorder.waitFor(PS_EVENT_RELEASE_CONTROL, PS_RELEASE_EVENT_CHANGED_BY_UI));
    EXPECT_EQ(word(device.params(), 30), 0x78);
}

TEST(SimCameraControls, CameraRefusesWhatItsModeDoesNotOffer)
{
    SimConfig config = testConfig();
    ASSERT_TRUE(config.apply("mode=Av"));
    Device device(config);
    std::string why;
    EXPECT_FALSE(device.camera->changeSetting("tv", "1/250", &why));
    EXPECT_FALSE(why.empty());
    EXPECT_FALSE(device.camera->changeSetting("av", "1.4", &why));   // wider than the lens
    device.camera->waitIdle();
    for (const Event &event : device.recorder.events())
        EXPECT_NE(event.subEvent, PS_RELEASE_EVENT_CHANGED_BY_UI) << "a refused change was reported";
}

TEST(SimCameraControls, CameraSettingsAreLockedWhileThePcHoldsTheControls)
{
    Device device(testConfig());
    ASSERT_EQ(device.driver->lockControls(device.driver, device.handle, PS_LOCK_MODE_UI), 0u);
    std::string why;
    EXPECT_FALSE(device.camera->changeSetting("iso", "400", &why));
    EXPECT_EQ(device.camera->state().iso, 0x48);
}

TEST(SimCameraControls, StayAwakeAnswerKeepsTheCameraOn)
{
    Device device(testConfig());
    device.recorder.setAnswer(PS_EVENT_SEVERITY_WARNING | PS_WARNING_ABOUT_TO_SHUTDOWN, psSTAY_AWAKE);
    EXPECT_TRUE(device.camera->warnPowerOff());
    EXPECT_TRUE(device.camera->present());
    device.camera->waitIdle();
    EXPECT_EQ(device.recorder.texts(), (std::vector<std::string>{"warning 5"}));
}

TEST(SimCameraControls, UnansweredWarningPowersTheCameraOff)
{
    Device device(testConfig());
    EXPECT_FALSE(device.camera->warnPowerOff());
    ASSERT_TRUE(device.recorder.waitFor(PS_EVENT_SEVERITY_SHUTDOWN | PS_SHUTDOWN_AUTO_POWER_OFF));
    EXPECT_FALSE(device.camera->present());
    EXPECT_EQ(device.recorder.texts(), (std::vector<std::string>{"warning 5", "shutdown 5"}));
}

TEST(SimCameraControls, CardCanBeChangedOnTheCamera)
{
    Device device(testConfig());
    device.camera->setCard(true, 7);
    EXPECT_EQ(device.shotsRemaining(), 7u);
    device.camera->setCard(false, 0);
    psResult status = 0;
    device.shotsRemaining(&status);
    EXPECT_EQ(psErrorCode(status), psERR_DEVICE_NO_DISK);
}

} // namespace
} // namespace simcam::test
