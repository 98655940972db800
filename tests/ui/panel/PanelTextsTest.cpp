#include "PanelTexts.h"

#include <gtest/gtest.h>

#include <array>

namespace {

using Block = std::array<uint8_t, 48>;

void putWord(Block &block, size_t offset, uint16_t value)
{
    block[offset] = static_cast<uint8_t>(value & 0xFF);
    block[offset + 1] = static_cast<uint8_t>(value >> 8);
}

Block lensBlock(uint16_t current, uint16_t longEnd, uint16_t shortEnd, uint16_t divisor)
{
    Block block{};
    putWord(block, 40, current);
    putWord(block, 42, longEnd);
    putWord(block, 44, shortEnd);
    putWord(block, 46, divisor);
    return block;
}

TEST(PanelTexts, WordsAreLittleEndian)
{
    Block block{};
    block[26] = 0x48;
    block[27] = 0x01;
    EXPECT_EQ(releaseBlockWord(block, 26), 0x0148);
    EXPECT_EQ(releaseBlockByte(block, 26), 0x48);
    EXPECT_EQ(releaseBlockWord(block, 47), 0);  // past the end reads 0
    EXPECT_EQ(releaseBlockByte(block, 48), 0);
}

TEST(PanelTexts, PrimeLensShowsOneFocalLength)
{
    EXPECT_EQ(lensText(lensBlock(50, 50, 50, 1)), "Lens: 50mm");
    EXPECT_EQ(lensText(lensBlock(1000, 1000, 1000, 10)), "Lens: 100mm");
}

TEST(PanelTexts, ZoomShowsRangeAndCurrentFocalLength)
{
    EXPECT_EQ(lensText(lensBlock(50, 135, 28, 1)), "Lens: 28-135mm @ 50mm");
    // Integer division by the divisor.
    EXPECT_EQ(lensText(lensBlock(355, 1350, 285, 10)), "Lens: 28-135mm @ 35mm");
    EXPECT_EQ(lensText(lensBlock(0x0200, 0x0300, 0x0100, 2)), "Lens: 128-384mm @ 256mm");
}

TEST(PanelTexts, ZeroDivisorShowsNoFocalLength)
{
    EXPECT_EQ(lensText(lensBlock(50, 135, 28, 0)), "Lens:");
    EXPECT_EQ(lensText(Block{}), "Lens:");
}

TEST(PanelTexts, ModeTextNamesExposureOrImageZoneMode)
{
    EXPECT_EQ(modeText(1, 0), "Mode: Program");
    EXPECT_EQ(modeText(5, 3), "Mode: A-DEP");
    EXPECT_EQ(modeText(0, 8), "Mode: Portrait");
    EXPECT_EQ(modeText(0, 12), "Mode: Pan Focus");
    EXPECT_EQ(modeText(9, 0), "Mode: ???");
    Block block{};
    block[8] = 0;
    block[9] = 9;
    EXPECT_EQ(modeText(block), "Mode: Sport");
    block[8] = 2;
    EXPECT_EQ(modeText(block), "Mode: Tv");
}

TEST(PanelTexts, CustomSettingsWarnsOfMirrorLockup)
{
    EXPECT_EQ(customSettingsText(1), "CFn 2: Mirror lockup selected");
    EXPECT_EQ(customSettingsText(0x100), "CFn 2: Mirror lockup selected");
    EXPECT_TRUE(customSettingsText(0).isEmpty());
}

TEST(PanelTexts, ParameterSetTakesSixthThirdAndFifthFields)
{
    const std::array<uint32_t, 8> fields{2, 1, 11, 12, 13, 14, 15, 16};
    EXPECT_EQ(parameterSetText(2, fields), "2: 14,11,13");
}

TEST(PanelTexts, ParameterSetValuesAreSigned)
{
    const std::array<uint32_t, 8> fields{1, 1, 0xFFFFFFFFu, 0, 0, 0xFFFFFFFEu, 0, 0};
    EXPECT_EQ(parameterSetText(1, fields), "1: -2,-1,0");
}

TEST(PanelTexts, ShortParameterSetRecordReadsMissingFieldsAsZero)
{
    const std::array<uint32_t, 3> fields{3, 1, 7};
    EXPECT_EQ(parameterSetText(3, fields), "3: 0,7,0");
}

}  // namespace
