// Opening the device and identifying the camera, per model.
#include "SimTestSupport.h"

#include <psError.h>

namespace simcam::test {
namespace {

class SimConnection : public ::testing::TestWithParam<const char *> {};

TEST_P(SimConnection, IdentifiesTheModelWithItsOwnData)
{
    SimConfig config = testConfig(GetParam());
    ASSERT_TRUE(config.apply("owner=Ada;serial=1234567"));
    Device device(config, false);
    psDeviceInfo info{};
    ASSERT_EQ(device.driver->getDeviceInfo(device.driver, device.handle, &info), 0u);
    EXPECT_EQ(std::string(info.modelName), GetParam());
    EXPECT_EQ(std::string(info.ownerName), "Ada");
    EXPECT_EQ(info.serialNumber, 1234567u);
    EXPECT_EQ(std::string(info.firmwareVersion), std::string(GetParam()) == "EOS D30" ? "1.0.6" : "1.0.3");
}

TEST_P(SimConnection, CapabilityWordAndPropertyTableOfTheRightSize)
{
    Device device(testConfig(GetParam()), false);
    uint32_t capabilities = 0;
    ASSERT_EQ(device.driver->getDeviceProperty(device.driver, device.handle, PS_PROP_CAPABILITIES, &capabilities, 4), 0u);
    EXPECT_TRUE(capabilities & PS_CAP_RELEASE_CONTROL);
    EXPECT_TRUE(capabilities & PS_CAP_CONTROL_LOCK);
    EXPECT_TRUE(capabilities & PS_CAP_READ_CAMERA_SETTING);
    ASSERT_GE(capabilities & PS_CAP_VERSION_MASK, PS_CAP_VERSION_WITH_PROPERTY_COUNT);
    uint32_t count = 0;
    ASSERT_EQ(device.driver->getPropertyCount(device.driver, device.handle, &count), 0u);
    const uint32_t tableSize = count * 4 + PS_PROPERTY_TABLE_HEADER_SIZE;
    std::vector<uint8_t> table(tableSize + 16, 0xEE);
    ASSERT_EQ(device.driver->getDeviceProperty(device.driver, device.handle, PS_PROP_PROPERTY_TABLE, table.data(), tableSize), 0u);
    uint32_t stored = 0;
    std::memcpy(&stored, table.data(), 4);
    EXPECT_EQ(stored, count);
    // Nothing is written beyond the size asked for.
    for (uint32_t i = tableSize; i < table.size(); ++i)
        EXPECT_EQ(table[i], 0xEE);
}

TEST_P(SimConnection, SecondOpenIsRefusedWhileTheFirstIsOpen)
{
    Device device(testConfig(GetParam()), false);
    psPortDescrip port{};
    ASSERT_EQ(PSUGetDevicePort(PS_PORT_TYPE_USB, 0, nullptr, &port, 0, 1), 0u);
    psDeviceHandle second = 0;
    EXPECT_EQ(psErrorCode(device.driver->openDevice(device.driver, &port, &EventRecorder::callback, &device.recorder, &second)),
              psERR_COMM_PORT_IS_IN_USE);
    device.close();
    Device again(testConfig(GetParam()), false);
    EXPECT_NE(again.handle, 0u);
}

TEST_P(SimConnection, ClosedHandleIsRefused)
{
    Device device(testConfig(GetParam()), false);
    const psDeviceHandle old = device.handle;
    ASSERT_EQ(device.driver->closeDevice(device.driver, old), 0u);
    device.handle = 0;
    psDeviceInfo info{};
    EXPECT_EQ(psErrorCode(device.driver->getDeviceInfo(device.driver, old, &info)), psERR_INVALID_HANDLE);
    EXPECT_EQ(psErrorCode(device.driver->closeDevice(device.driver, old)), psERR_INVALID_HANDLE);
}

TEST_P(SimConnection, LockIsRefusedAsBusyWhileTheMenuIsOpen)
{
    Device device(testConfig(GetParam()), false);
    device.camera->setMenuOpen(true);
    EXPECT_EQ(psErrorCode(device.driver->lockControls(device.driver, device.handle, PS_LOCK_MODE_UI)), psERR_DEVICE_BUSY);
    EXPECT_FALSE(device.camera->locked());
    device.camera->setMenuOpen(false);
    EXPECT_EQ(device.driver->lockControls(device.driver, device.handle, PS_LOCK_MODE_UI), 0u);
    EXPECT_TRUE(device.camera->locked());
    EXPECT_EQ(device.driver->unlockControls(device.driver, device.handle), 0u);
    EXPECT_FALSE(device.camera->locked());
}

TEST_P(SimConnection, CameraSettingItemsThroughCommand15)
{
    SimConfig config = testConfig(GetParam());
    ASSERT_TRUE(config.apply("mirror=1;increments=third"));
    Device device(config, true);
    for (const auto &[item, expected] : {std::pair<uint16_t, uint16_t>{PS_SETTING_MIRROR_LOCKUP, 1},
                                         std::pair<uint16_t, uint16_t>{PS_SETTING_EXPOSURE_INCREMENTS, 1}}) {
        uint8_t block[PS_CAMERA_SETTING_SIZE] = {static_cast<uint8_t>(item), 0, 0, 0, 0xFF, 0xFF, 0, 0, 0, 0};
        ASSERT_EQ(device.command(PS_RC_READ_CAMERA_SETTING, sizeof block, block, sizeof block, block), 0u);
        EXPECT_EQ(block[0], item);
        EXPECT_EQ(block[4] | (block[5] << 8), expected);
    }
    device.close();

    Device plain(testConfig(GetParam()), true);
    uint8_t block[PS_CAMERA_SETTING_SIZE] = {PS_SETTING_EXPOSURE_INCREMENTS};
    ASSERT_EQ(plain.command(PS_RC_READ_CAMERA_SETTING, sizeof block, block, sizeof block, block), 0u);
    EXPECT_EQ(block[4], 0);   // half-stop
    uint8_t unknown[PS_CAMERA_SETTING_SIZE] = {99};
    EXPECT_NE(plain.command(PS_RC_READ_CAMERA_SETTING, sizeof unknown, unknown, sizeof unknown, unknown), 0u);
}

INSTANTIATE_TEST_SUITE_P(Models, SimConnection, ::testing::Values("EOS D30", "EOS D60"));

TEST(SimConnectionOther, OtherModelsReportTheirOwnNames)
{
    for (const char *name : {"PowerShot G2", "EOS-1D"}) {
        Device device(testConfig(name), false);
        psDeviceInfo info{};
        ASSERT_EQ(device.driver->getDeviceInfo(device.driver, device.handle, &info), 0u);
        EXPECT_EQ(std::string(info.modelName), name);
    }
}

TEST(SimConnectionParameterSets, D30SetsCarryTheirDefinedFlagAndValues)
{
    SimConfig config = testConfig("EOS D30");
    ASSERT_TRUE(config.apply("pset1=2,1,-1,0;pset2=none;pset3=0,-2,1,1"));
    Device device(config, false);
    psParameterSetRecord record{};
    record.fields[0] = 1;
    ASSERT_EQ(device.driver->readParameterSet(device.driver, device.handle, &record), 0u);
    EXPECT_EQ(record.fields[0], 1u);
    EXPECT_EQ(record.fields[1], 1u);
    EXPECT_EQ(static_cast<int32_t>(record.fields[5]), 2);    // contrast
    EXPECT_EQ(static_cast<int32_t>(record.fields[2]), 1);    // sharpness
    EXPECT_EQ(static_cast<int32_t>(record.fields[4]), -1);   // saturation
    record = {};
    record.fields[0] = 2;
    ASSERT_EQ(device.driver->readParameterSet(device.driver, device.handle, &record), 0u);
    EXPECT_EQ(record.fields[1], 0u);
    record = {};
    record.fields[0] = 3;
    ASSERT_EQ(device.driver->readParameterSet(device.driver, device.handle, &record), 0u);
    EXPECT_EQ(static_cast<int32_t>(record.fields[2]), -2);
    record = {};
    record.fields[0] = 4;
    EXPECT_NE(device.driver->readParameterSet(device.driver, device.handle, &record), 0u);
}

TEST(SimConnectionParameterSets, D60HasNone)
{
    Device device(testConfig("EOS D60"), false);
    psParameterSetRecord record{};
    record.fields[0] = 1;
    EXPECT_EQ(psErrorCode(device.driver->readParameterSet(device.driver, device.handle, &record)), psERR_NOT_SUPPORTED);
}

} // namespace
} // namespace simcam::test
