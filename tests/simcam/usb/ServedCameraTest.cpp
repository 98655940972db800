// The served simulated camera, reached by Debian's own gphoto2 and canon
// driver over our port library: detection, settings, the card's files, and
// a cable that is pulled or already taken.
#include "ServedCameraFixture.h"
#include "UsbCable.h"

#include <sys/socket.h>
#include <sys/un.h>

#include <vector>

namespace {

TEST_F(ServedCameraTest, AutoDetectListsTheServedModelOnAUsbPort)
{
    struct Case {
        const char *config;
        const char *listed;
    };
    for (const Case &c : {Case{"", "Canon EOS D60"}, Case{"model=EOS D30", "Canon EOS D30"},
                          Case{"model=EOS 10D", "Canon EOS 10D"}}) {
        serve(c.config);
        const CommandRun result = gphoto("--auto-detect");
        EXPECT_NE(result.output.find(c.listed), std::string::npos) << result.output;
        EXPECT_NE(result.output.find("usb:"), std::string::npos) << result.output;
        stop();
    }
    EXPECT_EQ(gphoto("--auto-detect").output.find("Canon"), std::string::npos) << "nothing served, nothing found";
}

TEST_F(ServedCameraTest, ReadsTheCameraSettingsThroughTheDriver)
{
    serve();
    // 0x18 is the camera's 0 EV; libgphoto2 knows it only as a PowerShot code and says so.
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"firmwareversion", "1.0.3.0"}, {"ownername", "Quillomat"},       {"shutterspeed", "1/125"},
        {"aperture", "8"},              {"iso", "100"},                   {"imageformat", "Large Fine JPEG"},
        {"exposurecompensation", "Unknown"}, {"beep", "Beep on"},        {"model", "Canon EOS D60"},
    };
    for (const auto &[setting, value] : expected)
        EXPECT_EQ(current(setting), value) << setting;
}

TEST_F(ServedCameraTest, SettingsWrittenThroughTheDriverOutliveTheConnectionAndTheCamera)
{
    serve();
    const CommandRun set = gphoto("--set-config shutterspeed=1/250 --set-config aperture=5.6 --set-config iso=1600 "
                           "--set-config imageformat=RAW --set-config beep='Beep off' --set-config ownername=Ada");
    ASSERT_EQ(set.status, 0) << set.output;
    stop();
    serve();
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"shutterspeed", "1/250"}, {"aperture", "5.6"}, {"iso", "1600"},
        {"imageformat", "RAW"},    {"beep", "Beep off"}, {"ownername", "Ada"},
    };
    for (const auto &[setting, value] : expected)
        EXPECT_EQ(current(setting), value) << setting;
    // libgphoto2's "1600" is code 0x68, which a D60 takes as ISO 1000.
    const CommandRun status = simcam("status");
    EXPECT_NE(status.output.find("iso 1000"), std::string::npos) << status.output;
    EXPECT_NE(status.output.find("tv 1/250"), std::string::npos) << status.output;
}

TEST_F(ServedCameraTest, ExposureCompensationIsTheCamerasOwnCode)
{
    // libgphoto2 writes "+1" as 0x08, which this camera (0 EV at 0x18) holds as +2 EV.
    serve("mode=Av");
    ASSERT_EQ(gphoto("--set-config exposurecompensation=+1").status, 0);
    stop();
    serve("mode=Av");
    EXPECT_EQ(current("exposurecompensation"), "+1");
    const CommandRun status = simcam("status");
    EXPECT_NE(status.output.find("ev +2"), std::string::npos) << status.output;
}

TEST_F(ServedCameraTest, ADialTurnedOnTheCameraShowsInTheNextRead)
{
    serve();
    EXPECT_EQ(current("shutterspeed"), "1/125");
    ASSERT_EQ(simcam("set tv 1/500").status, 0);
    ASSERT_EQ(simcam("set av 11").status, 0);
    EXPECT_EQ(current("shutterspeed"), "1/500");
    EXPECT_EQ(current("aperture"), "11");
}

TEST_F(ServedCameraTest, ListsDownloadsAndDeletesTheImagesTheCameraMade)
{
    serve("tv=1/60");
    ASSERT_EQ(simcam("shutter").status, 0);
    ASSERT_EQ(simcam("set quality raw").status, 0);
    ASSERT_EQ(simcam("shutter").status, 0);
    ASSERT_TRUE(fs::exists(card() / "IMG_0001.JPG"));
    ASSERT_TRUE(fs::exists(card() / "CRW_0002.THM"));

    const CommandRun list = gphoto("--list-files");
    EXPECT_NE(list.output.find("IMG_0001.JPG"), std::string::npos) << list.output;
    EXPECT_NE(list.output.find("CRW_0002.CRW"), std::string::npos) << list.output;

    const CommandRun get = gphoto("--folder /DCIM/100CANON --get-file 1-2 --get-thumbnail 1-2");
    ASSERT_EQ(get.status, 0) << get.output;
    for (const char *name : {"IMG_0001.JPG", "CRW_0002.CRW"}) {
        std::ifstream downloaded(m_dir / "out" / name, std::ios::binary), original(card() / name, std::ios::binary);
        const std::string a((std::istreambuf_iterator<char>(downloaded)), std::istreambuf_iterator<char>());
        const std::string b((std::istreambuf_iterator<char>(original)), std::istreambuf_iterator<char>());
        EXPECT_TRUE(!a.empty() && a == b) << name << " differs from the card's";
    }
    const CommandRun thumbnails = run("exiftool -T -ImageSize thumb_IMG_0001.jpg thumb_CRW_0002.jpg");
    EXPECT_EQ(thumbnails.output, "160x120\n160x120\n") << thumbnails.output;
    // The card lists in name order: CRW_0002.CRW is file 1, IMG_0001.JPG file 2.
    const CommandRun exif = gphoto("--folder /DCIM/100CANON --show-exif 2");
    EXPECT_NE(exif.output.find("Canon EOS D60"), std::string::npos) << exif.output;
    EXPECT_NE(exif.output.find("1/60"), std::string::npos) << exif.output;

    ASSERT_EQ(gphoto("--folder /DCIM/100CANON --delete-file 1").status, 0);
    EXPECT_FALSE(fs::exists(card() / "CRW_0002.CRW"));
    EXPECT_FALSE(fs::exists(card() / "CRW_0002.THM"));
    EXPECT_TRUE(fs::exists(card() / "IMG_0001.JPG"));
}

TEST_F(ServedCameraTest, APulledCableIsAVanishedDeviceUntilReconnected)
{
    serve();
    ASSERT_EQ(simcam("unplug").status, 0);
    EXPECT_EQ(gphoto("--auto-detect").output.find("Canon"), std::string::npos);
    EXPECT_NE(gphoto("--get-config iso").status, 0);
    ASSERT_EQ(simcam("reconnect").status, 0);
    EXPECT_EQ(current("iso"), "100");
}

TEST_F(ServedCameraTest, ASecondHostCannotClaimTheCamera)
{
    serve();
    // The first host: a port opened on the cable and kept open.
    const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string path = (m_dir / "run" / "quillomat-simcam.usb").string();
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path.c_str());
    ASSERT_EQ(connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
    simcam::cable::Request claim{};
    claim.op = static_cast<uint8_t>(simcam::cable::Op::Claim);
    simcam::cable::Answer answer{};
    ASSERT_TRUE(simcam::cable::sendAll(fd, &claim, sizeof claim));
    ASSERT_TRUE(simcam::cable::receiveAll(fd, &answer, sizeof answer));
    ASSERT_EQ(answer.status, simcam::cable::Ok);

    const CommandRun second = gphoto("--get-config iso");
    EXPECT_NE(second.status, 0);
    EXPECT_NE(second.output.find("Could not claim the USB device"), std::string::npos) << second.output;
    close(fd);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(current("iso"), "100") << "the camera is free again once the first host lets go";
}

} // namespace
