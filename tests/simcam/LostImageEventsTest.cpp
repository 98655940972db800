// The lost-event fault: image events that never reach the program, while the
// images themselves can still be fetched by their sequence word.
#include "SimTestSupport.h"

#include <algorithm>

namespace simcam::test {
namespace {

const uint32_t kComplete = PS_RELEASE_EVENT_RELEASE_COMPLETE;

bool isJpeg(const std::vector<uint8_t> &data)
{
    return data.size() > 4 && data[0] == 0xFF && data[1] == 0xD8 && data[data.size() - 2] == 0xFF &&
           data.back() == 0xD9;
}

TEST(SimLostImageEvents, LostFullViewEventLeavesTheFullViewFetchable)
{
    SimConfig config = testConfig();
    ASSERT_TRUE(config.apply("losefullview=1"));
    Device device(config);
    ASSERT_EQ(device.release(), 0u);
    ASSERT_TRUE(device.recorder.waitFor(PS_EVENT_RELEASE_CONTROL, kComplete));
    EXPECT_EQ(device.recorder.texts(), (std::vector<std::string>{"release 28", "thumbnail", "release 29"}));

    const uint32_t sequence = device.recorder.events().at(1).record.sequence;
    MemoryStream full;
    ASSERT_EQ(device.fetch(PS_IMAGE_KIND_FULLVIEW, sequence, full), 0u);
    EXPECT_TRUE(isJpeg(full.data));
    MemoryStream thumbnail;
    ASSERT_EQ(device.fetch(PS_IMAGE_KIND_THUMBNAIL, sequence, thumbnail), 0u);
    EXPECT_GT(full.data.size(), thumbnail.data.size());

    // Only the one event is lost: the next release is whole again.
    ASSERT_EQ(device.release(), 0u);
    ASSERT_TRUE(device.recorder.waitFor(PS_EVENT_RELEASE_CONTROL, kComplete, 2));
    const auto texts = device.recorder.texts();
    EXPECT_EQ(std::vector<std::string>(texts.begin() + 3, texts.end()),
              (std::vector<std::string>{"release 28", "thumbnail", "fullview", "release 29"}));
    EXPECT_EQ(device.camera->config().lostFullViews, 0u);
}

TEST(SimLostImageEvents, LostThumbnailEventLeavesTheThumbnailFetchable)
{
    SimConfig config = testConfig();
    ASSERT_TRUE(config.apply("quality=raw"));
    Device device(config);
    device.camera->loseThumbnailEvents(1);
    ASSERT_EQ(device.release(), 0u);
    ASSERT_TRUE(device.recorder.waitFor(PS_EVENT_RELEASE_CONTROL, kComplete));
    EXPECT_EQ(device.recorder.texts(), (std::vector<std::string>{"release 28", "fullview", "release 29"}));

    const psImageEventRecord full = device.recorder.events().at(1).record;
    EXPECT_EQ(std::string(full.fileName), "CRW_0001.CRW");
    MemoryStream thm;
    ASSERT_EQ(device.fetch(PS_IMAGE_KIND_THUMBNAIL, full.sequence, thm), 0u);
    EXPECT_TRUE(isJpeg(thm.data));
    MemoryStream crw;
    ASSERT_EQ(device.fetch(PS_IMAGE_KIND_FULLVIEW, full.sequence, crw), 0u);
    EXPECT_EQ(crw.data.size(), full.dataSize);
}

TEST(SimLostImageEvents, CountedLossesAreUsedUpOnePerRelease)
{
    SimConfig config = testConfig();
    ASSERT_TRUE(config.apply("losethumbnail=2"));
    Device device(config);
    for (size_t shot = 1; shot <= 3; ++shot) {
        ASSERT_EQ(device.release(), 0u);
        ASSERT_TRUE(device.recorder.waitFor(PS_EVENT_RELEASE_CONTROL, kComplete, shot));
    }
    size_t thumbnails = 0, fullViews = 0;
    for (const std::string &text : device.recorder.texts()) {
        thumbnails += text == "thumbnail";
        fullViews += text == "fullview";
    }
    EXPECT_EQ(thumbnails, 1u);
    EXPECT_EQ(fullViews, 3u);
    EXPECT_EQ(device.camera->config().lostThumbnails, 0u);
}

TEST(SimLostImageEvents, CardOnlyReleaseKeepsTheFullViewLossForLater)
{
    // No full-view event is sent to the card, so none can be lost there.
    SimConfig config = testConfig();
    ASSERT_TRUE(config.apply("losefullview=1"));
    Device device(config);
    ASSERT_EQ(device.setTransferFlags(PS_TRANSFER_CARD_ONLY), 0u);
    ASSERT_EQ(device.release(), 0u);
    ASSERT_TRUE(device.recorder.waitFor(PS_EVENT_RELEASE_CONTROL, kComplete));
    EXPECT_EQ(device.camera->config().lostFullViews, 1u);
    ASSERT_EQ(device.setTransferFlags(PS_TRANSFER_PC_ONLY), 0u);
    ASSERT_EQ(device.release(), 0u);
    ASSERT_TRUE(device.recorder.waitFor(PS_EVENT_RELEASE_CONTROL, kComplete, 2));
    const auto texts = device.recorder.texts();
    EXPECT_EQ(std::count(texts.begin(), texts.end(), "fullview"), 0);
    EXPECT_EQ(device.camera->config().lostFullViews, 0u);
}

TEST(SimLostImageEvents, ControlCommandSetsTheLossesAndRefusesBadArguments)
{
    configureCamera(testConfig());
    const auto camera = simulatedCamera();
    EXPECT_EQ(runControlCommand("lose fullview 2"), "ok");
    EXPECT_EQ(camera->config().lostFullViews, 2u);
    EXPECT_EQ(runControlCommand("lose thumbnail"), "ok");
    EXPECT_EQ(camera->config().lostThumbnails, 1u);
    EXPECT_EQ(runControlCommand("lose thumbnail 0"), "ok");
    EXPECT_EQ(camera->config().lostThumbnails, 0u);
    for (const char *bad : {"lose", "lose both", "lose fullview x", "lose fullview -1", "lose thumbnail 1 2"})
        EXPECT_TRUE(runControlCommand(bad).starts_with("error ")) << bad;
    EXPECT_EQ(camera->config().lostFullViews, 2u);
}

TEST(SimLostImageEvents, ConfigurationKeysTakeCounts)
{
    SimConfig config = testConfig();
    ASSERT_TRUE(config.apply("losethumbnail=3;losefullview=0x2"));
    EXPECT_EQ(config.lostThumbnails, 3u);
    EXPECT_EQ(config.lostFullViews, 2u);
    std::string error;
    EXPECT_FALSE(config.apply("losefullview=-1", &error));
    EXPECT_NE(error.find("losefullview"), std::string::npos);
    EXPECT_FALSE(config.apply("losethumbnail=some"));
    EXPECT_EQ(config.lostThumbnails, 3u);
}

} // namespace
} // namespace simcam::test
