// The release-parameter block: what the camera holds, what it takes, what it refuses.
#include "SimTestSupport.h"

#include "ExposureTables.h"

namespace simcam::test {
namespace {

// The program's way of changing one field: read, add 24 to byte 33, change, write, read back.
std::array<uint8_t, 48> change(Device &device, const std::function<void(std::array<uint8_t, 48> &)> &edit)
{
    std::array<uint8_t, 48> block = device.params();
    block[33] = static_cast<uint8_t>(block[33] + 24);
    edit(block);
    EXPECT_EQ(device.setParams(block), 0u);
    return device.params();
}

class SimReleaseParams : public ::testing::TestWithParam<const char *> {};

TEST_P(SimReleaseParams, DefaultBlockIsManualEighthAtF8WithTheZoomLens)
{
    Device device(testConfig(GetParam()));
    const auto block = device.params();
    EXPECT_EQ(block[1], 3);   // fine
    EXPECT_EQ(block[2], 1);   // JPEG
    EXPECT_EQ(block[3], 0);   // large
    EXPECT_EQ(block[8], ModeManual);
    EXPECT_EQ(word(block, 30), 0x70);   // 1/125
    EXPECT_EQ(word(block, 28), 0x38);   // f/8
    EXPECT_EQ(word(block, 26), 0x48);   // ISO 100
    EXPECT_EQ(block[32], 0x18);
    EXPECT_EQ(block[33], 0x18);
    EXPECT_EQ(word(block, 40), 50);
    EXPECT_EQ(word(block, 42), 135);
    EXPECT_EQ(word(block, 44), 28);
    EXPECT_EQ(word(block, 46), 1);
    EXPECT_LT(word(block, 36), word(block, 38));
}

TEST_P(SimReleaseParams, FlashCompensationRoundTripIsExact)
{
    Device device(testConfig(GetParam()));
    // Every code of both increment modes: the list shows byte 33 minus 24 after the program's +24.
    for (uint8_t code = 0; code <= 0x30; ++code) {
        if (code % 8 != 0 && code % 8 != 4)
            continue;
        const auto block = change(device, [&](auto &b) { b[33] = static_cast<uint8_t>(code + 24); });
        // What the program caches (read plus 24) is what it wrote.
        EXPECT_EQ(static_cast<uint8_t>(block[33] + 24), static_cast<uint8_t>(code + 24)) << "code " << int(code);
        EXPECT_EQ(device.camera->state().flashCompensation, code);
    }
}

TEST_P(SimReleaseParams, BlockIsTakenButChangesNothingWhileTheMenuIsOpen)
{
    Device device(testConfig(GetParam()));
    const auto before = device.params();
    device.camera->setMenuOpen(true);
    const auto during = change(device, [](auto &b) {
        b[1] = 2;  // normal
        b[3] = 2;  // small
    });
    EXPECT_EQ(during, before);
    EXPECT_EQ(device.camera->state().quality, 3);
    device.camera->setMenuOpen(false);
    const auto after = change(device, [](auto &b) { b[3] = 2; });
    EXPECT_EQ(after[3], 2);
}

TEST_P(SimReleaseParams, WritingBackAnUnchangedBlockChangesNothing)
{
    Device device(testConfig(GetParam()));
    change(device, [](auto &b) { b[33] = static_cast<uint8_t>(0x10 + 24); });   // +1
    const auto before = device.params();
    const auto after = change(device, [](auto &) {});
    EXPECT_EQ(before, after);
    EXPECT_EQ(after[33], 0x10);
}

TEST_P(SimReleaseParams, AcceptedValuesAreHeld)
{
    Device device(testConfig(GetParam()));
    const auto block = change(device, [](auto &b) {
        putWord(b, 30, 0x78);   // 1/250
        putWord(b, 28, 0x30);   // f/5.6
        putWord(b, 26, 0x58);   // ISO 400
        b[16] = 1;              // daylight
        b[12] = 4;              // partial
        b[10] = 1;              // continuous
        putWord(b, 14, 0x3004); // left
        b[18] = 1;              // AI servo
        b[7] = 0;               // no beep
        b[1] = 2;               // small normal
        b[3] = 2;
    });
    EXPECT_EQ(word(block, 30), 0x78);
    EXPECT_EQ(word(block, 28), 0x30);
    EXPECT_EQ(word(block, 26), 0x58);
    EXPECT_EQ(block[16], 1);
    EXPECT_EQ(block[12], 4);
    EXPECT_EQ(block[10], 1);
    EXPECT_EQ(word(block, 14), 0x3004);
    EXPECT_EQ(block[18], 1);
    EXPECT_EQ(block[7], 0);
    EXPECT_EQ(block[1], 2);
    EXPECT_EQ(block[3], 2);
}

TEST_P(SimReleaseParams, ApertureOutsideTheLensLimitsSpringsBack)
{
    Device device(testConfig(GetParam()));
    const auto limits = device.params();
    const uint16_t tooWide = static_cast<uint16_t>(word(limits, 36) - 4);
    const uint16_t tooNarrow = static_cast<uint16_t>(word(limits, 38) + 8);
    EXPECT_EQ(word(change(device, [&](auto &b) { putWord(b, 28, tooWide); }), 28), 0x38);
    EXPECT_EQ(word(change(device, [&](auto &b) { putWord(b, 28, tooNarrow); }), 28), 0x38);
    EXPECT_EQ(word(change(device, [&](auto &b) { putWord(b, 28, word(limits, 36)); }), 28), word(limits, 36));
}

TEST_P(SimReleaseParams, CodesOfTheOtherIncrementModeSpringBack)
{
    Device device(testConfig(GetParam()));
    // Half-stop camera: a third-stop shutter code (1/160) and compensation (+1/3) are not offered.
    EXPECT_EQ(word(change(device, [](auto &b) { putWord(b, 30, 0x73); }), 30), 0x70);
    EXPECT_EQ(change(device, [](auto &b) { b[33] = 0x15 + 24; })[33], 0x18);
    EXPECT_EQ(word(change(device, [](auto &b) { putWord(b, 30, 0x74); }), 30), 0x74);   // 1/180
}

TEST_P(SimReleaseParams, TvIsRefusedInAvModeAndAvInTvMode)
{
    SimConfig config = testConfig(GetParam());
    ASSERT_TRUE(config.apply("mode=Av"));
    Device device(config);
    auto block = change(device, [](auto &b) { putWord(b, 30, 0x80); putWord(b, 28, 0x40); });
    EXPECT_EQ(word(block, 30), 0x70);   // Tv stays
    EXPECT_EQ(word(block, 28), 0x40);   // Av taken
    device.close();

    SimConfig tv = testConfig(GetParam());
    ASSERT_TRUE(tv.apply("mode=Tv"));
    Device tvDevice(tv);
    block = change(tvDevice, [](auto &b) { putWord(b, 30, 0x80); putWord(b, 28, 0x40); });
    EXPECT_EQ(word(block, 30), 0x80);
    EXPECT_EQ(word(block, 28), 0x38);
}

TEST_P(SimReleaseParams, ExposureCompensationIsRefusedInManualMode)
{
    Device device(testConfig(GetParam()));
    EXPECT_EQ(change(device, [](auto &b) { b[32] = 0x10; })[32], 0x18);
    device.close();
    SimConfig config = testConfig(GetParam());
    ASSERT_TRUE(config.apply("mode=P"));
    Device program(config);
    EXPECT_EQ(change(program, [](auto &b) { b[32] = 0x10; })[32], 0x10);
}

TEST_P(SimReleaseParams, ImageZoneModeRefusesEverything)
{
    SimConfig config = testConfig(GetParam());
    ASSERT_TRUE(config.apply("mode=portrait"));
    Device device(config);
    const auto before = device.params();
    EXPECT_EQ(before[8], ModeImageZone);
    EXPECT_EQ(before[9], 8);
    const auto after = change(device, [](auto &b) {
        b[1] = 2;
        b[3] = 2;
        b[16] = 3;
        putWord(b, 26, 0x58);
        b[33] = 0x10 + 24;
    });
    EXPECT_EQ(before, after);
}

TEST_P(SimReleaseParams, TheDialAndTheLensAreNotWritable)
{
    Device device(testConfig(GetParam()));
    const auto before = device.params();
    const auto after = change(device, [](auto &b) {
        b[8] = ModeProgram;
        putWord(b, 40, 100);
        putWord(b, 36, 0x08);
    });
    EXPECT_EQ(after[8], before[8]);
    EXPECT_EQ(word(after, 40), word(before, 40));
    EXPECT_EQ(word(after, 36), word(before, 36));
}

TEST_P(SimReleaseParams, IsoListIsTheModelsOwn)
{
    Device device(testConfig(GetParam()));
    EXPECT_EQ(word(change(device, [](auto &b) { putWord(b, 26, 0x68); }), 26), 0x68);
    EXPECT_EQ(word(change(device, [](auto &b) { putWord(b, 26, 0x70); }), 26), 0x68);
    EXPECT_EQ(isoSpeed(0x68, device.camera->state().model.isD60), std::string(GetParam()) == "EOS D30" ? 1600 : 1000);
}

INSTANTIATE_TEST_SUITE_P(Models, SimReleaseParams, ::testing::Values("EOS D30", "EOS D60"));

TEST(SimReleaseParamsModels, MediumSizeOnlyOnTheD60)
{
    Device d60(testConfig("EOS D60"));
    auto block = change(d60, [](auto &b) { b[1] = 3; b[2] = 1; b[3] = 1; });
    EXPECT_EQ(block[3], 1);
    d60.close();
    Device d30(testConfig("EOS D30"));
    block = change(d30, [](auto &b) { b[1] = 3; b[2] = 1; b[3] = 1; });
    EXPECT_EQ(block[3], 0);
}

TEST(SimReleaseParamsModels, RawNeedsItsOwnTypeAndSize)
{
    Device device(testConfig("EOS D60"));
    auto block = change(device, [](auto &b) { b[1] = 4; b[2] = 2; b[3] = 0; });
    EXPECT_EQ(block[1], 4);
    EXPECT_EQ(block[2], 2);
    block = change(device, [](auto &b) { b[1] = 4; b[2] = 1; b[3] = 2; });
    EXPECT_EQ(block[1], 4);   // raw with JPEG type: refused, the raw setting stays
    EXPECT_EQ(block[2], 2);
}

TEST(SimReleaseParamsModels, ParameterSetsOnlyOnTheD30)
{
    Device d30(testConfig("EOS D30"));
    EXPECT_EQ(word(change(d30, [](auto &b) { putWord(b, 24, 2); }), 24) & 7, 2);
    d30.close();
    Device d60(testConfig("EOS D60"));
    EXPECT_EQ(word(change(d60, [](auto &b) { putWord(b, 24, 2); }), 24) & 7, 0);
}

TEST(SimReleaseParamsModels, ThirdStopCameraTakesThirdStopCodes)
{
    SimConfig config = testConfig("EOS D30");
    ASSERT_TRUE(config.apply("increments=third"));
    Device device(config);
    EXPECT_EQ(word(change(device, [](auto &b) { putWord(b, 30, 0x73); }), 30), 0x73);
    EXPECT_EQ(word(change(device, [](auto &b) { putWord(b, 30, 0x7C); }), 30), 0x73);   // 1/350 is half-stop only
    EXPECT_EQ(change(device, [](auto &b) { b[33] = 0x15 + 24; })[33], 0x15);
}

TEST(SimReleaseParamsModels, ShortBlocksAreRefused)
{
    Device device(testConfig());
    uint8_t shortBlock[20] = {};
    EXPECT_NE(device.command(PS_RC_SET_RELEASE_PARAMS, sizeof shortBlock, shortBlock), 0u);
    EXPECT_NE(device.command(PS_RC_GET_RELEASE_PARAMS, 0, nullptr, sizeof shortBlock, shortBlock), 0u);
}

} // namespace
} // namespace simcam::test
