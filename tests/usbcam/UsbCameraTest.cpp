// The USB camera runtime through Debian's own libgphoto2 and canon driver,
// talking over our port library to the served simulated camera: the whole
// session as the program runs it, with a recording window.
#include "../capture/PrivateProgramLog.h"
#include "../capture/RecordingWindow.h"
#include "../sdk/DebugCapture.h"
#include "../simcam/usb/ServedCameraFixture.h"
#include "Camera.h"
#include "ImageInfo.h"
#include "psError.h"

#include <gmock/gmock.h>

#include <cstdlib>

using ::testing::HasSubstr;

namespace {

std::vector<std::string> filesIn(const fs::path &folder)
{
    std::vector<std::string> names;
    if (fs::exists(folder))
        for (const auto &entry : fs::recursive_directory_iterator(folder))
            if (entry.is_regular_file())
                names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

uint16_t word(const ReleaseParams &params, size_t offset)
{
    return static_cast<uint16_t>(params.bytes[offset] | (params.bytes[offset + 1] << 8));
}

void setWord(ReleaseParams &params, size_t offset, uint16_t value)
{
    params.bytes[offset] = static_cast<uint8_t>(value & 0xFF);
    params.bytes[offset + 1] = static_cast<uint8_t>(value >> 8);
}

class UsbCamera : public ServedCameraTest {
protected:
    void SetUp() override
    {
        ServedCameraTest::SetUp();
        useUsbRuntimeInProcess();
        pinGphotoPlugins();
        ImageDirectorySettings settings;
        settings.baseDirectory = (m_dir / "saved").string();
        settings.yearSubDir = settings.monthSubDir = settings.daySubDir = false;
        m_window.setSettings(settings);
    }

    void TearDown() override
    {
        m_camera.reset();
        ServedCameraTest::TearDown();
    }

    void connect(StoreMode mode = StoreMode::PcAndCard)
    {
        m_camera = std::make_unique<Camera>(m_window, PS_PORT_TYPE_USB, CameraConfig{});
        ReleaseParams params;
        ASSERT_TRUE(m_camera->getReleaseParams(params));
        m_camera->setStoreMode(mode);
    }

    void shoot()
    {
        const size_t before = m_window.count("WM_CAMERA_RELEASE_COMPLETE");
        ASSERT_TRUE(m_camera->setUILock());
        m_camera->release();
        ASSERT_TRUE(m_window.waitForCount("WM_CAMERA_RELEASE_COMPLETE", before + 1));
        m_camera->resetUILock();
    }

    fs::path saved() const { return m_dir / "saved"; }

    DebugCapture m_debug;
    RecordingWindow m_window;
    std::unique_ptr<Camera> m_camera;
};

TEST_F(UsbCamera, ConnectsToEachBodyByItsModelName)
{
    for (const char *model : {"EOS D60", "EOS D30"}) {
        SCOPED_TRACE(model);
        serve(std::string("model=") + model + ";timing=none;owner=Studio North");
        connect();
        EXPECT_EQ(m_camera->modelName(), model);
        EXPECT_STREQ(m_camera->deviceInfo().ownerName, "Studio North");
        EXPECT_NE(m_camera->deviceInfo().firmwareVersion[0], '\0');
        m_camera.reset();
        stop();
    }
}

TEST_F(UsbCamera, NamesAnotherBodyAndSaysWhenNoCameraIsThere)
{
    // Nothing on the cable: the port lookup fails and the log says why.
    EXPECT_THROW(connect(), psCException);
    EXPECT_THAT(m_debug.text(), HasSubstr("no camera found on USB"));

    // Another body connects under its own name, which the window refuses.
    serve("model=EOS 10D;timing=none");
    connect();
    EXPECT_EQ(m_camera->cameraModelName(), "EOS 10D");
}

TEST_F(UsbCamera, SettingsReachTheCameraAndRefusedOnesSpringBack)
{
    serve("model=EOS D60;timing=none;mode=manual;tv=1/125;av=8;iso=100;quality=large/fine");
    connect();
    const uint32_t reachable = m_camera->reachableFields();
    for (uint32_t field : {PS_FIELD_TV, PS_FIELD_AV, PS_FIELD_ISO, PS_FIELD_SIZE_QUALITY, PS_FIELD_BEEP,
                           PS_FIELD_EXPOSURE_COMPENSATION, PS_FIELD_AF_MODE})
        EXPECT_NE(reachable & field, 0u) << field;
    for (uint32_t field : {PS_FIELD_WHITE_BALANCE, PS_FIELD_METERING_MODE, PS_FIELD_DRIVE_MODE, PS_FIELD_AF_POINT,
                           PS_FIELD_PARAMETER_SET, PS_FIELD_FLASH_COMPENSATION, PS_FIELD_LENS})
        EXPECT_EQ(reachable & field, 0u) << field;

    ReleaseParams params;
    ASSERT_TRUE(m_camera->getReleaseParams(params));
    EXPECT_EQ(word(params, 30), 0x70);  // 1/125
    // 0 EV is a code the driver has no choice for: shown as unknown.
    EXPECT_EQ(params.bytes[32], PS_FIELD_VALUE_UNKNOWN);

    struct Change {
        const char *what;
        size_t offset;
        uint16_t value;
        bool isWord;
        uint16_t expected;
    };
    const Change changes[] = {
        {"Tv 1/250", 30, 0x78, true, 0x78},
        {"Av 5.6", 28, 0x30, true, 0x30},
        {"ISO 400", 26, 0x58, true, 0x58},
        {"beep off", 7, 0, false, 0},
        {"Tv 1.6 s, which the driver cannot write", 30, 0x33, true, 0x78},
    };
    for (const Change &change : changes) {
        SCOPED_TRACE(change.what);
        ReleaseParams wanted = params;
        if (change.isWord)
            setWord(wanted, change.offset, change.value);
        else
            wanted.bytes[change.offset] = static_cast<uint8_t>(change.value);
        ASSERT_TRUE(m_camera->setReleaseParams(wanted));
        ASSERT_TRUE(m_camera->getReleaseParams(params));
        EXPECT_EQ(change.isWord ? word(params, change.offset) : params.bytes[change.offset], change.expected);
    }
    // Small/Fine: quality, type and size together.
    ReleaseParams small = params;
    small.bytes[1] = 3, small.bytes[2] = 1, small.bytes[3] = 2;
    ASSERT_TRUE(m_camera->setReleaseParams(small));
    shoot();
    ASSERT_EQ(filesIn(saved()).size(), 1u);
    ImageInfo shot((saved() / filesIn(saved())[0]).string());
    EXPECT_EQ(shot.m_model, "Canon EOS D60");
    EXPECT_DOUBLE_EQ(shot.m_aperture, 5.6);
    EXPECT_EQ(shot.m_iso, "400");
    EXPECT_NEAR(shot.m_exposureTime, 1.0 / 250, 1e-6);
    EXPECT_LT(shot.m_imageWidth, 2000) << "a small image";
}

TEST_F(UsbCamera, ExposureCompensationIsWrittenByTheCamerasOwnCode)
{
    serve("model=EOS D60;timing=none;mode=Av");
    connect();
    ReleaseParams params;
    ASSERT_TRUE(m_camera->getReleaseParams(params));
    params.bytes[32] = 0x10;  // +1 EV
    ASSERT_TRUE(m_camera->setReleaseParams(params));
    ASSERT_TRUE(m_camera->getReleaseParams(params));
    EXPECT_EQ(params.bytes[32], 0x10);
}

TEST_F(UsbCamera, ReleasesToThePcAndCardInEachFormat)
{
    struct Case {
        const char *quality;
        std::vector<std::string> onCard;
    };
    const Case cases[] = {
        {"large/fine", {"IMG_0001.JPG"}},
        {"raw", {"CRW_0001.CRW", "CRW_0001.THM"}},
    };
    for (const Case &format : cases) {
        SCOPED_TRACE(format.quality);
        fs::remove_all(m_dir / "quillomat-simcam");
        fs::remove_all(saved());
        serve(std::string("model=EOS D60;timing=none;quality=") + format.quality);
        connect(StoreMode::PcAndCard);
        shoot();
        EXPECT_EQ(filesIn(saved()), format.onCard);
        EXPECT_EQ(filesIn(card()), format.onCard);
        EXPECT_EQ(m_window.count("onImageSaved"), 1u);
        // What the PC saved is what the card holds, byte for byte.
        for (const std::string &name : format.onCard)
            EXPECT_EQ(run("cmp '" + (saved() / name).string() + "' '" + (card() / name).string() + "'").status, 0)
                << name;
        m_camera.reset();
        stop();
        m_window.clear();
    }
}

TEST_F(UsbCamera, EachStoreModeLeavesTheCardAsItPromises)
{
    struct Case {
        const char *what;
        const char *config;
        StoreMode mode;
        std::vector<std::string> saved;
        std::vector<std::string> onCard;
    };
    const Case cases[] = {
        // A JPEG for the PC alone crosses the cable straight: no card needed.
        {"PC only, JPEG, no card", "quality=large/fine;card=none", StoreMode::PcOnly, {"IMG_0001.JPG"}, {}},
        {"PC only, raw", "quality=raw", StoreMode::PcOnly, {"CRW_0001.CRW", "CRW_0001.THM"}, {}},
        {"card only, JPEG", "quality=large/fine", StoreMode::CardOnly, {}, {"IMG_0001.JPG"}},
        {"card only, raw", "quality=raw", StoreMode::CardOnly, {}, {"CRW_0001.CRW", "CRW_0001.THM"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(m_dir / "quillomat-simcam");
        fs::remove_all(saved());
        serve(std::string("model=EOS D60;timing=none;") + c.config);
        connect(c.mode);
        shoot();
        EXPECT_EQ(filesIn(saved()), c.saved);
        EXPECT_EQ(filesIn(card()), c.onCard);
        // Every mode shows the shot.
        EXPECT_EQ(m_window.count("WM_DISPLAY_JPEG"), 1u);
        EXPECT_EQ(m_debug.text().find("sequence error"), std::string::npos) << m_debug.text();
        m_camera.reset();
        stop();
        m_window.clear();
    }
}

TEST_F(UsbCamera, APreviewIsShownNotSavedAndTheNextReleaseIsAsTheUserSetIt)
{
    serve("model=EOS D60;timing=none;quality=large/fine;card=none");
    connect(StoreMode::PcOnly);
    m_camera->setPreview(true);
    shoot();
    EXPECT_TRUE(filesIn(saved()).empty());
    EXPECT_TRUE(filesIn(card()).empty());
    ASSERT_EQ(m_window.count("WM_DISPLAY_JPEG"), 1u);

    m_window.clear();
    m_camera->setPreview(false);
    shoot();
    ASSERT_EQ(filesIn(saved()), std::vector<std::string>{"IMG_0001.JPG"});
    ImageInfo shot((saved() / "IMG_0001.JPG").string());
    EXPECT_GT(shot.m_imageWidth, 3000) << "the user's Large/Fine, not the preview's small size";
}

TEST_F(UsbCamera, AShotFromTheCameraButtonJustBeforeAReleaseIsNotLost)
{
    serve("model=EOS D60;timing=none;quality=large/fine");
    connect(StoreMode::PcAndCard);
    ASSERT_EQ(simcam("shutter").status, 0);
    ASSERT_TRUE(m_camera->setUILock());
    m_camera->release();
    ASSERT_TRUE(m_window.waitUntil([](const std::vector<WindowCall> &calls) {
        return std::count_if(calls.begin(), calls.end(), [](const WindowCall &c) { return c.name == "onImageSaved"; }) >= 2;
    })) << m_debug.text();
    m_camera->resetUILock();
    EXPECT_EQ(filesIn(saved()), (std::vector<std::string>{"IMG_0001.JPG", "IMG_0002.JPG"}));
}

TEST_F(UsbCamera, TheCameraButtonInCardOnlyModeShowsTheShotAndLeavesItOnTheCard)
{
    serve("model=EOS D60;timing=none;quality=large/fine");
    connect(StoreMode::CardOnly);
    ASSERT_EQ(simcam("shutter").status, 0);
    ASSERT_TRUE(m_window.waitForCount("WM_DISPLAY_JPEG", 1)) << m_debug.text();
    EXPECT_TRUE(filesIn(saved()).empty());
    EXPECT_EQ(filesIn(card()), std::vector<std::string>{"IMG_0001.JPG"});
    EXPECT_EQ(m_window.count("onImageSaved"), 0u);
}

TEST_F(UsbCamera, NoCardAndAFullCardAreToldApartBeforeTheShutter)
{
    for (const char *card : {"none", "0"}) {
        SCOPED_TRACE(card);
        serve(std::string("model=EOS D60;timing=none;card=") + card);
        connect(StoreMode::PcAndCard);
        ASSERT_TRUE(m_camera->setUILock());
        m_camera->release();
        ASSERT_TRUE(m_window.waitForCount("WM_CAMERA_CARD_FULL", 1));
        m_camera->resetUILock();
        EXPECT_TRUE(filesIn(saved()).empty());
        EXPECT_EQ(m_window.count("WM_CAMERA_RELEASE_COMPLETE"), 0u);
        m_camera.reset();
        stop();
        m_window.clear();
    }
}

TEST_F(UsbCamera, ACablePulledDuringATransferEndsTheSessionWithoutAPartialFile)
{
    serve("model=EOS D60;timing=none;quality=raw;transfer=usb1");
    connect(StoreMode::PcAndCard);
    ASSERT_TRUE(m_camera->setUILock());
    m_camera->release();
    ASSERT_TRUE(m_window.waitForProgress());
    ASSERT_EQ(simcam("unplug").status, 0);
    ASSERT_TRUE(m_window.waitForCount("WM_CAMERA_SHUTDOWN", 1));
    EXPECT_EQ(m_window.callsNamed("WM_CAMERA_SHUTDOWN").at(0).message.wParam,
              PS_SHUTDOWN_DISCONNECTED);
    m_camera.reset();
    for (const std::string &name : filesIn(saved()))
        EXPECT_NE(name.substr(name.size() - 4), ".CRW") << "a partial raw file was kept";

    ASSERT_EQ(simcam("reconnect").status, 0);
    connect();
    EXPECT_EQ(m_camera->modelName(), "EOS D60");
}

TEST_F(UsbCamera, TheConsoleToolShootsThroughTheRuntime)
{
    serve("model=EOS D60;timing=none;quality=large/fine");
    // libgphoto2 unloads its plug-ins before the tool ends, so what they keep
    // cannot be told from a leak there: this process checks the runtime's leaks.
    const CommandRun run = this->run("ASAN_OPTIONS=\"${ASAN_OPTIONS:-}:detect_leaks=0\" " QUILLOMAT_SHOOT_TOOL
                                     " --camera usb --count 3 --store pc --dir " + saved().string());
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(filesIn(saved()).size(), 3u) << run.output;
    EXPECT_TRUE(filesIn(card()).empty()) << "PC only leaves nothing on the card";
}

} // namespace
