// Releases on the served camera as Debian's gphoto2 makes them: to the card
// and downloaded, to the host only, with the camera's own button, and the
// faults a camera signals during a release or a download.
#include "ServedCameraFixture.h"

#include <set>
#include <vector>

namespace {

std::set<std::string> filesIn(const fs::path &folder)
{
    std::set<std::string> names;
    std::error_code ec;
    for (const auto &entry : fs::directory_iterator(folder, ec))
        names.insert(entry.path().filename().string() + ":" + std::to_string(entry.file_size()));
    return names;
}

TEST_F(ServedCameraTest, CapturesAndDownloadsAsTheCameraIsSet)
{
    struct Case {
        const char *arguments;
        const char *file;
        const char *exif;        // exiftool -T -Model -ExposureTime
        bool keptOnCard;
    };
    const std::vector<Case> cases = {
        {"--set-config shutterspeed=1/250 --capture-image-and-download", "IMG_0001.JPG", "Canon EOS D60\t1/250\n", false},
        // The CRW keeps exposure in 1/32 EV, which exiftool reads as 1/256.
        {"--set-config imageformat=RAW --capture-image-and-download --keep", "CRW_0002.CRW", "Canon EOS D60\t1/256\n",
         true},
    };
    serve();
    for (const Case &c : cases) {
        const CommandRun capture = gphoto(c.arguments);
        ASSERT_EQ(capture.status, 0) << capture.output;
        EXPECT_EQ(run(std::string("exiftool -T -Model -ExposureTime ") + c.file).output, c.exif) << c.file;
        EXPECT_EQ(fs::exists(card() / c.file), c.keptOnCard) << c.file;
    }
}

TEST_F(ServedCameraTest, CapturePreviewOfTheFullImageLeavesTheCardAlone)
{
    serve();
    const auto before = filesIn(card());
    const CommandRun preview = gphoto("--set-config capturesizeclass='Full Image' --capture-preview");
    ASSERT_EQ(preview.status, 0) << preview.output;
    EXPECT_EQ(run("exiftool -T -Model -ImageSize capture_preview.jpg").output, "Canon EOS D60\t3072x2048\n");
    EXPECT_EQ(filesIn(card()), before);
}

TEST_F(ServedCameraTest, FollowsTheCamerasOwnShutterButton)
{
    serve();
    std::thread press([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        simcam("shutter");
    });
    const CommandRun waited = gphoto("--wait-event-and-download=6s");
    press.join();
    EXPECT_NE(waited.output.find("Saving file as IMG_0001.JPG"), std::string::npos) << waited.output;
    EXPECT_EQ(run("exiftool -T -Model IMG_0001.JPG").output, "Canon EOS D60\n");
}

TEST_F(ServedCameraTest, ACablePulledMidDownloadEndsItAtOnceAndLeavesTheCard)
{
    serve("transfer=usb1;quality=raw");
    ASSERT_EQ(simcam("shutter").status, 0);
    const auto before = filesIn(card());
    ASSERT_EQ(simcam("unplug after 1500000").status, 0);
    const auto start = std::chrono::steady_clock::now();
    const CommandRun pulled = gphoto("--folder /DCIM/100CANON --get-file 1");
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_NE(pulled.status, 0);
    EXPECT_NE(pulled.output.find("Could not find the requested device"), std::string::npos) << pulled.output;
    EXPECT_LT(took, std::chrono::seconds(10)) << "a capture would wait for its last packet for an hour and more";
    EXPECT_EQ(filesIn(card()), before);

    ASSERT_EQ(simcam("reconnect").status, 0);
    ASSERT_EQ(gphoto("--folder /DCIM/100CANON --get-file 1").status, 0);
    EXPECT_EQ(fs::file_size(m_dir / "out" / "CRW_0001.CRW"), fs::file_size(card() / "CRW_0001.CRW"));
}

TEST_F(ServedCameraTest, ReleaseFaultsEndTheCaptureWithNothingHalfMadeOnTheCard)
{
    struct Case {
        const char *fault;
        const char *undo;
        const char *said;   // in gphoto2's output
    };
    const std::vector<Case> cases = {
        {"card none", "card 50", "Could not capture"},
        {"card 0", "card 50", "Could not capture"},
        {"menu on", "menu off", "lock keys failed"},
        {"af-fail on", "af-fail off", "Could not capture"},
        {"cf-cover", "reconnect", "Could not find the requested device"},
    };
    serve();
    for (const Case &c : cases) {
        const auto before = filesIn(card());
        ASSERT_EQ(simcam(c.fault).status, 0) << c.fault;
        // gphoto2 exits 0 after some failed captures; its words are what it reports.
        const CommandRun capture = gphoto("--capture-image-and-download");
        EXPECT_NE(capture.output.find(c.said), std::string::npos) << c.fault << ": " << capture.output;
        EXPECT_EQ(filesIn(card()), before) << c.fault;
        ASSERT_EQ(simcam(c.undo).status, 0) << c.undo;
    }
    EXPECT_EQ(gphoto("--capture-image-and-download").status, 0) << "the camera works again";
}

} // namespace
