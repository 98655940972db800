#include "ApertureLimits.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> textsOf(const ListEntries &entries)
{
    std::vector<std::string> texts;
    for (const ListEntry &entry : entries)
        texts.push_back(entry.text.toStdString());
    return texts;
}

TEST(ApertureLimits, HalfStopSnapsLimitsBetweenStepsDown)
{
    const ApertureChoice choice = apertureLimitsForMode({0x1A, 0x4E}, IncrementMode::HalfStop);
    EXPECT_EQ(choice.limits, (ApertureLimits{0x18, 0x4C}));
    ASSERT_GE(choice.entries.size(), 2u);
    EXPECT_EQ(choice.entries.front(), (ListEntry{"2.0", 0x18}));
    EXPECT_EQ(choice.entries[choice.entries.size() - 2], (ListEntry{"19", 0x4C}));
    EXPECT_EQ(choice.entries.back(), (ListEntry{"Auto", 0xFFFF}));
    EXPECT_EQ(textsOf(choice.entries),
              (std::vector<std::string>{"2.0", "2.5", "2.8", "3.5", "4.0", "4.5", "5.6", "6.7", "8.0",
                                        "9.5", "11", "13", "16", "19", "Auto"}));
}

TEST(ApertureLimits, ThirdStopSnapsLimitsBetweenStepsUp)
{
    const ApertureChoice choice = apertureLimitsForMode({0x1A, 0x4E}, IncrementMode::ThirdStop);
    EXPECT_EQ(choice.limits, (ApertureLimits{0x1B, 0x50}));
    EXPECT_EQ(choice.entries.front(), (ListEntry{"2.2", 0x1B}));
    EXPECT_EQ(choice.entries[choice.entries.size() - 2], (ListEntry{"22", 0x50}));
    EXPECT_EQ(choice.entries.back(), (ListEntry{"Auto", 0xFFFF}));
    EXPECT_EQ(textsOf(choice.entries),
              (std::vector<std::string>{"2.2", "2.5", "2.8", "3.2", "3.5", "4.0", "4.5", "5.0", "5.6",
                                        "6.3", "7.1", "8.0", "9.0", "10", "11", "13", "14", "16",
                                        "18", "20", "22", "Auto"}));
}

TEST(ApertureLimits, LimitsOnTheScaleStayAndBoundTheListInclusively)
{
    const ApertureChoice half = apertureLimitsForMode({0x24, 0x58}, IncrementMode::HalfStop);
    EXPECT_EQ(half.limits, (ApertureLimits{0x24, 0x58}));
    EXPECT_EQ(half.entries.front(), (ListEntry{"3.5", 0x24}));
    EXPECT_EQ(half.entries[half.entries.size() - 2], (ListEntry{"32", 0x58}));

    const ApertureChoice third = apertureLimitsForMode({0x23, 0x58}, IncrementMode::ThirdStop);
    EXPECT_EQ(third.limits, (ApertureLimits{0x23, 0x58}));
    EXPECT_EQ(third.entries.front(), (ListEntry{"3.2", 0x23}));
}

TEST(ApertureLimits, LimitBelowTheFirstStepBecomesTheFirstStep)
{
    EXPECT_EQ(snapApertureLimit(0x00, IncrementMode::HalfStop), 0x08u);
    EXPECT_EQ(snapApertureLimit(0x05, IncrementMode::ThirdStop), 0x08u);
}

TEST(ApertureLimits, LimitBeyondTheLastApertureStaysAndNeverBecomesAuto)
{
    EXPECT_EQ(snapApertureLimit(0x78, IncrementMode::HalfStop), 0x78u);
    EXPECT_EQ(snapApertureLimit(0x78, IncrementMode::ThirdStop), 0x78u);
    const ApertureChoice choice = apertureLimitsForMode({0x60, 0x78}, IncrementMode::ThirdStop);
    EXPECT_EQ(textsOf(choice.entries),
              (std::vector<std::string>{"45", "51", "57", "64", "72", "81", "91", "Auto"}));
}

TEST(ApertureLimits, ReversedLimitsLeaveOnlyAuto)
{
    const ApertureChoice choice = apertureLimitsForMode({0x50, 0x20}, IncrementMode::HalfStop);
    EXPECT_EQ(textsOf(choice.entries), (std::vector<std::string>{"Auto"}));
}

}  // namespace
