#include "SettingsLists.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace {

using Pairs = std::vector<std::pair<std::string, uint32_t>>;

Pairs pairsOf(const ListEntries &entries)
{
    Pairs pairs;
    for (const ListEntry &entry : entries) {
        EXPECT_TRUE(entry.value.has_value()) << entry.text.toStdString();
        pairs.emplace_back(entry.text.toStdString(), entry.value.value_or(0xDEADBEEF));
    }
    return pairs;
}

std::vector<std::string> textsOf(const ListEntries &entries)
{
    std::vector<std::string> texts;
    for (const ListEntry &entry : entries) {
        EXPECT_FALSE(entry.value.has_value()) << entry.text.toStdString();
        texts.push_back(entry.text.toStdString());
    }
    return texts;
}

std::optional<uint32_t> codeOf(const ListEntries &entries, const std::string &text)
{
    for (const ListEntry &entry : entries)
        if (entry.text.toStdString() == text)
            return entry.value;
    return std::nullopt;
}

std::optional<std::string> textOf(const ListEntries &entries, uint32_t code)
{
    for (const ListEntry &entry : entries)
        if (entry.value == code)
            return entry.text.toStdString();
    return std::nullopt;
}

void expectAscendingCodes(const ListEntries &entries)
{
    for (size_t i = 1; i < entries.size(); ++i)
        EXPECT_LT(*entries[i - 1].value, *entries[i].value)
            << entries[i - 1].text.toStdString() << " before " << entries[i].text.toStdString();
}

TEST(SettingsLists, FixedListsCarryTheCameraCodes)
{
    EXPECT_EQ(pairsOf(SettingsLists::whiteBalance()),
              (Pairs{{"Auto", 0}, {"Daylight", 1}, {"Cloudy", 2}, {"Tungsten", 3},
                     {"Fluorescent", 4}, {"Flash", 5}, {"Custom", 6}}));
    EXPECT_EQ(pairsOf(SettingsLists::meteringMode()),
              (Pairs{{"Evaluative", 3}, {"Partial", 4}, {"Center-weighted", 5}}));
    EXPECT_EQ(pairsOf(SettingsLists::driveMode()),
              (Pairs{{"Single", 0}, {"Continuous", 1}, {"Self-timer", 2}}));
    EXPECT_EQ(pairsOf(SettingsLists::afPoint()),
              (Pairs{{"None", 0x3000}, {"Auto", 0x3001}, {"Left", 0x3004}, {"Center", 0x3003},
                     {"Right", 0x3002}}));
    EXPECT_EQ(pairsOf(SettingsLists::afMode()),
              (Pairs{{"One Shot", 0}, {"AI Servo", 1}, {"AI Focus", 2}, {"Manual", 3}}));
    EXPECT_EQ(textsOf(SettingsLists::storeImagesOn()),
              (std::vector<std::string>{"PC only", "PC + CF", "CF only"}));
}

TEST(SettingsLists, IsoDiffersInItsTopEntryBetweenModels)
{
    EXPECT_EQ(pairsOf(SettingsLists::iso(CameraModelKind::D30)),
              (Pairs{{"100", 0x48}, {"200", 0x50}, {"400", 0x58}, {"800", 0x60}, {"1600", 0x68}}));
    EXPECT_EQ(pairsOf(SettingsLists::iso(CameraModelKind::D60)),
              (Pairs{{"100", 0x48}, {"200", 0x50}, {"400", 0x58}, {"800", 0x60}, {"1000", 0x68}}));
}

TEST(SettingsLists, SizeQualityHasMediumEntriesOnlyOnTheD60)
{
    EXPECT_EQ(pairsOf(SettingsLists::sizeQuality(CameraModelKind::D30)),
              (Pairs{{"Raw", 0}, {"Large/Fine", 1}, {"Large/Normal", 2}, {"Small/Fine", 3},
                     {"Small/Normal", 4}}));
    EXPECT_EQ(pairsOf(SettingsLists::sizeQuality(CameraModelKind::D60)),
              (Pairs{{"Raw", 0}, {"Large/Fine", 1}, {"Large/Normal", 2}, {"Medium/Fine", 3},
                     {"Medium/Normal", 4}, {"Small/Fine", 5}, {"Small/Normal", 6}}));
}

TEST(SettingsLists, StartupListsHaveNoItemValues)
{
    EXPECT_EQ(textsOf(SettingsLists::startupCompensation()),
              (std::vector<std::string>{"-2", "-1 2/3", "-1 1/3", "-1", "-2/3", "-1/3", "0", "+1/3",
                                        "+2/3", "+1", "+1 1/3", "+1 2/3", "+2"}));
    EXPECT_EQ(textsOf(SettingsLists::startupAperture()),
              (std::vector<std::string>{"Auto", "2.0", "2.2", "2.5", "2.8", "3.2", "3.5", "4.0",
                                        "4.5", "5.0", "5.6", "6.3", "7.1", "8.0"}));
}

TEST(StepTables, HalfStopAperturesRunFromOneToNinetyOneThenAuto)
{
    const ListEntries table = SettingsLists::apertures(IncrementMode::HalfStop);
    ASSERT_EQ(table.size(), 28u);
    EXPECT_EQ(table.front(), (ListEntry{"1.0", 0x08}));
    EXPECT_EQ(table[1], (ListEntry{"1.2", 0x0C}));
    EXPECT_EQ(table[26], (ListEntry{"91", 0x70}));
    EXPECT_EQ(table.back(), (ListEntry{"Auto", 0xFFFF}));
    EXPECT_EQ(textOf(table, 0x18), "2.0");
    EXPECT_EQ(textOf(table, 0x34), "6.7");
    EXPECT_EQ(textOf(table, 0x4C), "19");
    EXPECT_EQ(textOf(table, 0x6C), "76");
    EXPECT_EQ(textOf(table, 0x1B), std::nullopt);  // a third stop
    expectAscendingCodes(table);
}

TEST(StepTables, ThirdStopAperturesTakeThePlusThreeAndPlusFiveColumns)
{
    const ListEntries table = SettingsLists::apertures(IncrementMode::ThirdStop);
    ASSERT_EQ(table.size(), 41u);
    EXPECT_EQ(table.front(), (ListEntry{"1.0", 0x08}));
    EXPECT_EQ(table[1], (ListEntry{"1.1", 0x0B}));
    EXPECT_EQ(table[2], (ListEntry{"1.2", 0x0D}));
    EXPECT_EQ(table[39], (ListEntry{"91", 0x70}));
    EXPECT_EQ(table.back(), (ListEntry{"Auto", 0xFFFF}));
    EXPECT_EQ(textOf(table, 0x1B), "2.2");
    EXPECT_EQ(textOf(table, 0x2B), "4.5");
    EXPECT_EQ(textOf(table, 0x2D), "5.0");
    EXPECT_EQ(textOf(table, 0x3D), "10");
    EXPECT_EQ(textOf(table, 0x50), "22");
    EXPECT_EQ(textOf(table, 0x6D), "81");
    EXPECT_EQ(textOf(table, 0x1C), std::nullopt);  // a half stop
    expectAscendingCodes(table);
}

TEST(StepTables, HalfStopShutterSpeedsRunFromBulbToAuto)
{
    const ListEntries table = SettingsLists::shutterSpeeds(IncrementMode::HalfStop);
    ASSERT_EQ(table.size(), 37u);
    EXPECT_EQ(table.front(), (ListEntry{"Bulb", 0x04}));
    EXPECT_EQ(table[1], (ListEntry{"30\"", 0x10}));
    EXPECT_EQ(table[2], (ListEntry{"20\"", 0x14}));
    EXPECT_EQ(table[35], (ListEntry{"1/4000", 0x98}));
    EXPECT_EQ(table.back(), (ListEntry{"Auto", 0xFFFF}));
    EXPECT_EQ(textOf(table, 0x2C), "3\"");
    EXPECT_EQ(textOf(table, 0x34), "1\"5");
    EXPECT_EQ(textOf(table, 0x3C), "0\"7");
    EXPECT_EQ(textOf(table, 0x44), "0\"3");
    EXPECT_EQ(textOf(table, 0x48), "1/4");
    EXPECT_EQ(textOf(table, 0x74), "1/180");
    EXPECT_EQ(textOf(table, 0x94), "1/3000");
    expectAscendingCodes(table);
}

TEST(StepTables, ThirdStopShutterSpeedsCodeOneOneEightyAs0x74)
{
    const ListEntries table = SettingsLists::shutterSpeeds(IncrementMode::ThirdStop);
    ASSERT_EQ(table.size(), 54u);
    EXPECT_EQ(table.front(), (ListEntry{"Bulb", 0x04}));
    EXPECT_EQ(table[1], (ListEntry{"30\"", 0x10}));
    EXPECT_EQ(table[2], (ListEntry{"25\"", 0x13}));
    EXPECT_EQ(table[3], (ListEntry{"20\"", 0x15}));
    EXPECT_EQ(table[52], (ListEntry{"1/4000", 0x98}));
    EXPECT_EQ(table.back(), (ListEntry{"Auto", 0xFFFF}));
    EXPECT_EQ(codeOf(table, "1/180"), 0x74u);
    EXPECT_EQ(textOf(table, 0x75), std::nullopt);
    EXPECT_EQ(textOf(table, 0x73), "1/160");
    EXPECT_EQ(textOf(table, 0x2B), "3\"2");
    EXPECT_EQ(textOf(table, 0x35), "1\"3");
    EXPECT_EQ(textOf(table, 0x43), "0\"4");
    EXPECT_EQ(textOf(table, 0x45), "0\"3");
    EXPECT_EQ(textOf(table, 0x40), "0\"5");
    EXPECT_EQ(textOf(table, 0x38), "1\"");
    EXPECT_EQ(textOf(table, 0x55), "1/13");
    EXPECT_EQ(textOf(table, 0x95), "1/3200");
    expectAscendingCodes(table);
}

TEST(StepTables, HalfStopCompensationRunsFromPlusThreeToMinusThree)
{
    EXPECT_EQ(pairsOf(SettingsLists::compensation(IncrementMode::HalfStop)),
              (Pairs{{"+3", 0x00}, {"+2 1/2", 0x04}, {"+2", 0x08}, {"+1 1/2", 0x0C}, {"+1", 0x10},
                     {"+1/2", 0x14}, {"0", 0x18}, {"-1/2", 0x1C}, {"-1", 0x20}, {"-1 1/2", 0x24},
                     {"-2", 0x28}, {"-2 1/2", 0x2C}, {"-3", 0x30}}));
}

TEST(StepTables, ThirdStopCompensationRunsFromPlusThreeToMinusThree)
{
    EXPECT_EQ(pairsOf(SettingsLists::compensation(IncrementMode::ThirdStop)),
              (Pairs{{"+3", 0x00}, {"+2 2/3", 0x03}, {"+2 1/3", 0x05}, {"+2", 0x08},
                     {"+1 2/3", 0x0B}, {"+1 1/3", 0x0D}, {"+1", 0x10}, {"+2/3", 0x13},
                     {"+1/3", 0x15}, {"0", 0x18}, {"-1/3", 0x1B}, {"-2/3", 0x1D}, {"-1", 0x20},
                     {"-1 1/3", 0x23}, {"-1 2/3", 0x25}, {"-2", 0x28}, {"-2 1/3", 0x2B},
                     {"-2 2/3", 0x2D}, {"-3", 0x30}}));
}

TEST(SettingsLists, ExposureModeNames)
{
    using SettingsLists::exposureModeName;
    EXPECT_EQ(exposureModeName(1, 7), "Program");
    EXPECT_EQ(exposureModeName(2, 0), "Tv");
    EXPECT_EQ(exposureModeName(3, 0), "Av");
    EXPECT_EQ(exposureModeName(4, 0), "Manual");
    EXPECT_EQ(exposureModeName(5, 0), "A-DEP");
    EXPECT_EQ(exposureModeName(6, 0), "???");
    EXPECT_EQ(exposureModeName(255, 0), "???");
    const std::vector<std::string> zones{"Auto", "Manual", "Landscape", "Fast Shutter",
                                         "Slow Shutter", "Night Scene", "BW", "Sepia",
                                         "Portrait", "Sport", "Macro", "BW", "Pan Focus"};
    for (size_t zone = 0; zone < zones.size(); ++zone)
        EXPECT_EQ(exposureModeName(0, static_cast<uint8_t>(zone)).toStdString(), zones[zone]);
    EXPECT_EQ(exposureModeName(0, 13), "???");
    EXPECT_EQ(exposureModeName(0, 255), "???");
}

TEST(SizeQuality, BytesOfEachPosition)
{
    using B = SizeQualityBytes;
    EXPECT_EQ(sizeQualityBytes(CameraModelKind::D30, 0), (B{4, 2, 0}));
    EXPECT_EQ(sizeQualityBytes(CameraModelKind::D30, 1), (B{3, 1, 0}));
    EXPECT_EQ(sizeQualityBytes(CameraModelKind::D30, 2), (B{2, 1, 0}));
    EXPECT_EQ(sizeQualityBytes(CameraModelKind::D30, 3), (B{3, 1, 2}));
    EXPECT_EQ(sizeQualityBytes(CameraModelKind::D30, 4), (B{2, 1, 2}));
    EXPECT_EQ(sizeQualityBytes(CameraModelKind::D30, 5), std::nullopt);
    EXPECT_EQ(sizeQualityBytes(CameraModelKind::D30, -1), std::nullopt);

    EXPECT_EQ(sizeQualityBytes(CameraModelKind::D60, 0), (B{4, 2, 0}));
    EXPECT_EQ(sizeQualityBytes(CameraModelKind::D60, 3), (B{3, 1, 1}));  // "Medium/Fine"
    EXPECT_EQ(sizeQualityBytes(CameraModelKind::D60, 4), (B{2, 1, 1}));
    EXPECT_EQ(sizeQualityBytes(CameraModelKind::D60, 5), (B{3, 1, 2}));
    EXPECT_EQ(sizeQualityBytes(CameraModelKind::D60, 6), (B{2, 1, 2}));
    EXPECT_EQ(sizeQualityBytes(CameraModelKind::D60, 7), std::nullopt);
}

TEST(SizeQuality, EveryPositionReadsBackAsItself)
{
    for (CameraModelKind model : {CameraModelKind::D30, CameraModelKind::D60}) {
        const int count = static_cast<int>(SettingsLists::sizeQuality(model).size());
        for (int position = 0; position < count; ++position) {
            const auto bytes = sizeQualityBytes(model, position);
            ASSERT_TRUE(bytes);
            EXPECT_EQ(sizeQualityPosition(model, bytes->quality, bytes->size), position);
        }
    }
}

TEST(SizeQuality, PositionRuleForOddBytes)
{
    // Large: quality 2 is Normal, 4 Raw, anything else Fine.
    EXPECT_EQ(sizeQualityPosition(CameraModelKind::D30, 9, 0), 1);
    EXPECT_EQ(sizeQualityPosition(CameraModelKind::D60, 0, 0), 1);
    // A D30 has no medium size: any non-zero size is Small.
    EXPECT_EQ(sizeQualityPosition(CameraModelKind::D30, 3, 1), 3);
    EXPECT_EQ(sizeQualityPosition(CameraModelKind::D30, 2, 1), 4);
    // A D60 reads size 1 as Medium, any other as Small; only quality 3 is Fine.
    EXPECT_EQ(sizeQualityPosition(CameraModelKind::D60, 3, 1), 3);
    EXPECT_EQ(sizeQualityPosition(CameraModelKind::D60, 4, 1), 4);
    EXPECT_EQ(sizeQualityPosition(CameraModelKind::D60, 3, 7), 5);
    EXPECT_EQ(sizeQualityPosition(CameraModelKind::D60, 2, 2), 6);
}

}  // namespace
