#include "Pscamera.h"
#include "Pscstrms.h"
#include "TestDriver.h"
#include "psError.h"
#include "psRels.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <numeric>
#include <string>
#include <vector>

namespace {

template <typename F>
psErrorWord raisedWord(F &&f)
{
    try {
        f();
    } catch (const psCException &e) {
        return e.code;
    }
    return 0;
}

std::vector<uint32_t> commandNumbers(const TestDriver &driver)
{
    std::vector<uint32_t> numbers;
    for (const auto &c : driver.releaseCommands())
        numbers.push_back(c.command);
    return numbers;
}

std::vector<uint8_t> flagBytes(uint32_t flags)
{
    std::vector<uint8_t> bytes(4);
    std::memcpy(bytes.data(), &flags, 4);
    return bytes;
}

constexpr psResult kFault = psMakeError(psCOMPONENT_LLSDK, psERR_COMM_DISCONNECTED);

class psReleaseControlTest : public testing::Test {
protected:
    void SetUp() override { driver = &TestDriver::reset(); }

    // Connects to the scripted camera; the commands of connecting are forgotten.
    std::unique_ptr<psCameraConnection> connect(const char *model = "EOS D60")
    {
        driver->cameraModelName = model;
        auto camera = std::make_unique<psCameraConnection>(PS_PORT_TYPE_USB, nullptr);
        return camera;
    }

    TestDriver *driver = nullptr;
};

TEST_F(psReleaseControlTest, CameraWithoutReleaseControlIsRefusedAndSentNothing)
{
    driver->capabilities = PS_CAP_CONTROL_LOCK;
    auto camera = connect();
    try {
        psReleaseControl release(*camera);
        FAIL() << "release control accepted";
    } catch (const psCMiscException &e) {
        EXPECT_EQ(e.code, psHLSDK_NOT_SUPPORTED);
        EXPECT_STREQ(e.file, "psRels");
    }
    EXPECT_TRUE(driver->releaseCommands().empty());
}

TEST_F(psReleaseControlTest, EnteringSendsEnterThenPcOnlyFlags)
{
    auto camera = connect();
    {
        psReleaseControl release(*camera);
        EXPECT_EQ(commandNumbers(*driver), (std::vector<uint32_t>{PS_RC_ENTER, PS_RC_SET_TRANSFER_FLAGS}));
        EXPECT_EQ(driver->releaseCommands()[1].input, flagBytes(PS_TRANSFER_PC_ONLY));
    }
    EXPECT_EQ(commandNumbers(*driver).back(), PS_RC_LEAVE);
    EXPECT_EQ(driver->count("releaseControl 1"), 1u);
}

TEST_F(psReleaseControlTest, EnteringWithABlockReadsTheReleaseParameters)
{
    driver->releaseParams[ReleaseParams::kQuality] = 4;
    driver->releaseParams[47] = 0x5A;
    auto camera = connect();
    ReleaseParams params;
    psReleaseControl release(*camera, &params);
    EXPECT_EQ(commandNumbers(*driver), (std::vector<uint32_t>{0, 9, 10}));
    EXPECT_EQ(params.bytes, driver->releaseParams);
}

TEST_F(psReleaseControlTest, IgnoredFlagFailureDoesNotStopEntering)
{
    driver->results["releaseControl 9"] = kFault;
    auto camera = connect();
    psReleaseControl release(*camera);
    EXPECT_EQ(commandNumbers(*driver), (std::vector<uint32_t>{0, 9}));
}

TEST_F(psReleaseControlTest, FailedEnterIsRaisedAndNotLeft)
{
    driver->results["releaseControl 0"] = kFault;
    auto camera = connect();
    EXPECT_EQ(raisedWord([&] { psReleaseControl release(*camera); }), kFault);
    EXPECT_EQ(commandNumbers(*driver), (std::vector<uint32_t>{0}));
}

TEST_F(psReleaseControlTest, FailureAfterEnteringLeavesReleaseControlAgain)
{
    driver->results["releaseControl 10"] = kFault;
    auto camera = connect();
    ReleaseParams params;
    EXPECT_EQ(raisedWord([&] { psReleaseControl release(*camera, &params); }), kFault);
    EXPECT_EQ(commandNumbers(*driver), (std::vector<uint32_t>{0, 9, 10, 1}));
}

TEST_F(psReleaseControlTest, Eos1DInRefusingModeLeavesAndRaisesInvalidParameter)
{
    for (uint8_t mode : {uint8_t{4}, uint8_t{5}}) {
        TestDriver::reset().releaseParams[ReleaseParams::kEos1DMode] = mode;
        auto camera = connect("EOS-1D");
        try {
            psReleaseControl release(*camera);
            FAIL() << "mode " << int(mode) << " accepted";
        } catch (const psCParamException &e) {
            EXPECT_EQ(e.code, psHLSDK_INVALID_PARAMETER);
        }
        EXPECT_EQ(commandNumbers(*driver), (std::vector<uint32_t>{0, 9, 10, 1})) << int(mode);
    }
}

TEST_F(psReleaseControlTest, Eos1DThatShutDownIsNotSentLeave)
{
    driver->releaseParams[ReleaseParams::kEos1DMode] = 4;
    auto camera = connect("EOS-1D");
    driver->fireEvent(PS_EVENT_SEVERITY_SHUTDOWN | PS_SHUTDOWN_DIAL_CHANGED);
    EXPECT_EQ(raisedWord([&] { psReleaseControl release(*camera); }), psHLSDK_INVALID_PARAMETER);
    EXPECT_EQ(commandNumbers(*driver), (std::vector<uint32_t>{0, 9, 10}));
}

TEST_F(psReleaseControlTest, Eos1DHandsOverTheParametersItAlreadyRead)
{
    driver->releaseParams[ReleaseParams::kEos1DMode] = 3;
    driver->releaseParams[ReleaseParams::kImageSize] = 2;
    auto camera = connect("EOS-1D");
    ReleaseParams params;
    psReleaseControl release(*camera, &params);
    EXPECT_EQ(commandNumbers(*driver), (std::vector<uint32_t>{0, 9, 10}));
    EXPECT_EQ(params.bytes, driver->releaseParams);
}

TEST_F(psReleaseControlTest, OtherModelsIgnoreTheEos1DModeByte)
{
    driver->releaseParams[ReleaseParams::kEos1DMode] = 4;
    auto camera = connect("EOS D30");
    psReleaseControl release(*camera);
    EXPECT_EQ(commandNumbers(*driver), (std::vector<uint32_t>{0, 9}));
}

TEST_F(psReleaseControlTest, NoLeaveCommandAfterAShutdownEvent)
{
    auto camera = connect();
    {
        psReleaseControl release(*camera);
        EXPECT_EQ(driver->fireEvent(PS_EVENT_SEVERITY_SHUTDOWN | PS_SHUTDOWN_CF_GATE_CHANGED), 0u);
    }
    EXPECT_EQ(driver->count("releaseControl 1"), 0u);
}

TEST_F(psReleaseControlTest, LeaveRaisesItsFailureAndIsSentOnlyOnce)
{
    auto camera = connect();
    auto release = std::make_unique<psReleaseControl>(*camera);
    driver->results["releaseControl 1"] = kFault;
    EXPECT_EQ(raisedWord([&] { release->leave(); }), kFault);
    release.reset();
    EXPECT_EQ(driver->count("releaseControl 1"), 1u);
}

TEST_F(psReleaseControlTest, DestructorSwallowsALeaveFailure)
{
    auto camera = connect();
    driver->results["releaseControl 1"] = kFault;
    EXPECT_NO_THROW({ psReleaseControl release(*camera); });
    EXPECT_EQ(driver->count("releaseControl 1"), 1u);
}

TEST_F(psReleaseControlTest, CommandsCarryTheirBlocks)
{
    driver->shotsRemaining = 123;
    auto camera = connect();
    psReleaseControl release(*camera);

    release.release();
    const ReleaseTransferFlags flags = PS_TRANSFER_CARD_ONLY;
    release.setTransferFlags(&flags);
    ReleaseParams params;
    release.getReleaseParams(&params);
    params.bytes[ReleaseParams::kQuality] = 2;
    release.setReleaseParams(&params);
    EXPECT_EQ(release.getShotsRemaining(), 123u);

    const auto commands = driver->releaseCommands();
    ASSERT_EQ(commands.size(), 7u);
    EXPECT_EQ(commands[2].command, PS_RC_RELEASE);
    EXPECT_EQ(commands[3].command, PS_RC_SET_TRANSFER_FLAGS);
    EXPECT_EQ(commands[3].input, flagBytes(13));
    EXPECT_EQ(commands[4].command, PS_RC_GET_RELEASE_PARAMS);
    EXPECT_EQ(commands[4].outSize, PS_RELEASE_PARAMS_SIZE);
    EXPECT_EQ(commands[5].command, PS_RC_SET_RELEASE_PARAMS);
    EXPECT_EQ(commands[5].input, std::vector<uint8_t>(params.bytes.begin(), params.bytes.end()));
    EXPECT_EQ(driver->releaseParams[ReleaseParams::kQuality], 2);
    EXPECT_EQ(commands[6].command, PS_RC_GET_SHOTS_REMAINING);
}

TEST_F(psReleaseControlTest, NullBlocksSendNothing)
{
    auto camera = connect();
    psReleaseControl release(*camera);
    const size_t before = driver->releaseCommands().size();
    release.getReleaseParams(nullptr);
    release.setReleaseParams(nullptr);
    release.setTransferFlags(nullptr);
    release.readCameraSetting(nullptr);
    EXPECT_EQ(driver->releaseCommands().size(), before);
}

TEST_F(psReleaseControlTest, FailingCommandsAreRaised)
{
    auto camera = connect();
    psReleaseControl release(*camera);
    driver->results["releaseControl 4"] = psMakeError(psCOMPONENT_LLSDK, psERR_DEVICE_NO_DISK);
    try {
        release.release();
        FAIL();
    } catch (const psCDeviceException &e) {
        EXPECT_EQ(psErrorCode(e.code), psERR_DEVICE_NO_DISK);
    }
    driver->results["releaseControl 13"] = kFault;
    EXPECT_EQ(raisedWord([&] { release.getShotsRemaining(); }), kFault);
}

TEST_F(psReleaseControlTest, CameraSettingsNeedTheirCapability)
{
    driver->cameraSettings[PS_SETTING_EXPOSURE_INCREMENTS] = 1;
    auto camera = connect();
    psReleaseControl release(*camera);
    EXPECT_EQ(release.readCameraSettingValue(PS_SETTING_EXPOSURE_INCREMENTS), 1u);
    EXPECT_EQ(driver->releaseCommands().back().command, PS_RC_READ_CAMERA_SETTING);
    EXPECT_EQ(driver->releaseCommands().back().input.size(), PS_CAMERA_SETTING_SIZE);

    TestDriver::reset().capabilities = PS_CAP_RELEASE_CONTROL;
    auto older = connect();
    psReleaseControl olderRelease(*older);
    EXPECT_EQ(raisedWord([&] { olderRelease.readCameraSettingValue(PS_SETTING_EXPOSURE_INCREMENTS); }),
              psHLSDK_NOT_SUPPORTED);
    EXPECT_EQ(driver->count("releaseControl 15"), 0u);
}

psImageEventRecord imageRecord(uint32_t sequence, uint8_t format)
{
    psImageEventRecord record{};
    record.sequence = sequence;
    record.format = format;
    return record;
}

TEST_F(psReleaseControlTest, ReleasedImageArrivesWholeWithItsProgress)
{
    std::vector<uint8_t> image(100000);
    std::iota(image.begin(), image.end(), 0);
    driver->images[{PS_IMAGE_KIND_FULLVIEW, 5u << 6}] = image;
    driver->chunkSize = 30000;
    auto camera = connect();
    psReleaseControl release(*camera);

    psMemoryStream stream;
    std::vector<uint32_t> progress;
    stream.setProgressListener([&](uint32_t percent) { progress.push_back(percent); });
    const psImageEventRecord record = imageRecord(5u << 6, PS_IMAGE_FORMAT_JPEG);
    release.getReleasedImage(&record, stream.stream(), PS_IMAGE_KIND_FULLVIEW);

    EXPECT_TRUE(std::equal(image.begin(), image.end(), stream.data().begin(), stream.data().end()));
    EXPECT_EQ(progress, (std::vector<uint32_t>{30, 60, 90, 100}));
    EXPECT_EQ(driver->count("getReleasedImage 2 320"), 1u);
}

TEST_F(psReleaseControlTest, CancelledStreamAbortsTheTransfer)
{
    driver->images[{PS_IMAGE_KIND_THUMBNAIL, 64}] = std::vector<uint8_t>(50000, 7);
    driver->chunkSize = 1000;
    auto camera = connect();
    psReleaseControl release(*camera);
    psMemoryStream stream;
    stream.setProgressListener([&](uint32_t percent) {
        if (percent >= 10)
            stream.cancel();
    });
    const psImageEventRecord record = imageRecord(64, PS_IMAGE_FORMAT_JPEG);
    try {
        release.getReleasedImage(&record, stream.stream(), PS_IMAGE_KIND_THUMBNAIL);
        FAIL();
    } catch (const psCMiscException &e) {
        EXPECT_EQ(e.code, psHLSDK_OPERATION_CANCELLED);
    }
    EXPECT_EQ(stream.size(), 5000u);
}

TEST_F(psReleaseControlTest, NullRecordIsAnInvalidParameter)
{
    auto camera = connect();
    psReleaseControl release(*camera);
    psMemoryStream stream;
    EXPECT_EQ(raisedWord([&] { release.getReleasedImage(nullptr, stream.stream(), PS_IMAGE_KIND_FULLVIEW); }),
              psHLSDK_INVALID_PARAMETER);
    EXPECT_EQ(driver->count("getReleasedImage 2 0"), 0u);
}

TEST_F(psReleaseControlTest, Eos1DThumbnailConversionIsNotSupported)
{
    driver->images[{PS_IMAGE_KIND_FULLVIEW, 64}] = std::vector<uint8_t>(10, 1);
    auto camera = connect("EOS-1D");
    psReleaseControl release(*camera);
    psMemoryStream stream;

    psImageEventRecord record = imageRecord(64, PS_IMAGE_FORMAT_JPEG);
    EXPECT_EQ(raisedWord([&] { release.getReleasedImage(&record, stream.stream(), PS_IMAGE_KIND_THUMBNAIL); }),
              psHLSDK_NOT_SUPPORTED);
    record.format = PS_IMAGE_FORMAT_RAW;
    EXPECT_EQ(raisedWord([&] { release.getReleasedImage(&record, stream.stream(), PS_IMAGE_KIND_THUMBNAIL); }),
              psHLSDK_NOT_SUPPORTED);
    record.format = 3;
    EXPECT_EQ(raisedWord([&] { release.getReleasedImage(&record, stream.stream(), PS_IMAGE_KIND_THUMBNAIL); }),
              psHLSDK_INVALID_PARAMETER);
    EXPECT_EQ(driver->count("getReleasedImage 1 64"), 0u);

    // The full view comes straight from the driver as on every other camera.
    record.format = PS_IMAGE_FORMAT_JPEG;
    release.getReleasedImage(&record, stream.stream(), PS_IMAGE_KIND_FULLVIEW);
    EXPECT_EQ(stream.size(), 10u);
}

TEST_F(psReleaseControlTest, MissingReleaseOperationIsNotSupported)
{
    driver->api.releaseControl = nullptr;
    auto camera = connect();
    EXPECT_EQ(raisedWord([&] { psReleaseControl release(*camera); }), psHLSDK_NOT_SUPPORTED);
}

} // namespace
