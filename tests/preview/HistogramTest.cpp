#include "Histogram.h"
#include "ReferencePreview.h"

#include <gtest/gtest.h>

#include <random>

TEST(Histogram, MatchesTheFourCountsPerPixelRuleAfterClipping)
{
    // Enough pixels that the 2 % cap (total / 50) leaves most bins unclipped,
    // a skewed mix so some are clipped.
    Histogram histogram;
    reference::Counts counts;
    std::mt19937 random(42);
    for (int i = 0; i < 40000; ++i) {
        const int r = int(random() % 256);
        const int g = i % 3 == 0 ? 17 : int(random() % 256);
        const int b = int(random() % 64) + 100;
        histogram.add(unsigned(r), unsigned(g), unsigned(b));
        counts.add(r, g, b);
    }
    counts.finalise();
    EXPECT_EQ(histogram.total(), 40000);
    int clipped = 0;
    for (int i = 0; i < 256; ++i) {
        EXPECT_EQ(histogram.red(i), counts.red[i]) << i;
        EXPECT_EQ(histogram.green(i), counts.green[i]) << i;
        EXPECT_EQ(histogram.blue(i), counts.blue[i]) << i;
        EXPECT_EQ(histogram.intensity(i), counts.intensity[i]) << i;
        clipped += counts.green[i] == 40000 / 50;
    }
    EXPECT_GT(clipped, 0);
    EXPECT_EQ(histogram.peakGreen(), 800);
}

TEST(Histogram, IntensityCountsEachChannelAndTheMean)
{
    Histogram histogram;
    // 200 pixels (10, 20, 60): intensity bins 10, 20, 60 and mean 30 each get
    // 200 counts, a quarter of which remains; the cap is 200 / 50 = 4.
    for (int i = 0; i < 200; ++i)
        histogram.add(10, 20, 60);
    // A grey pixel counts four times into one bin.
    for (int i = 0; i < 200; ++i)
        histogram.add(5, 5, 5);
    // total 400, cap 8: grey bin 5 has 800 / 4 = 200 -> 8; bins 10, 20, 30, 60: 200 / 4 = 50 -> 8.
    for (int bin : {5, 10, 20, 30, 60})
        EXPECT_EQ(histogram.intensity(bin), 8) << bin;
    EXPECT_EQ(histogram.intensity(11), 0);
    EXPECT_EQ(histogram.peakIntensity(), 8);
}

TEST(Histogram, CapIsTwoPercentOfAFullPreview)
{
    Histogram histogram;
    for (int i = 0; i < 720 * 480; ++i)
        histogram.add(0, 0, 0);
    EXPECT_EQ(histogram.red(0), 6912);
    EXPECT_EQ(histogram.intensity(0), 6912);
    EXPECT_EQ(histogram.peakRed(), 6912);
    EXPECT_EQ(histogram.red(1), 0);
}

TEST(Histogram, FinaliseRunsOnceAndAccessorsGuardTheirRange)
{
    Histogram histogram;
    for (int i = 0; i < 5000; ++i)
        histogram.add(unsigned(i % 256), 128, 255);
    EXPECT_FALSE(histogram.isFinalised());
    const int red = histogram.red(3);
    EXPECT_TRUE(histogram.isFinalised());
    histogram.finalise();
    EXPECT_EQ(histogram.red(3), red);
    EXPECT_EQ(histogram.green(128), 100);
    EXPECT_EQ(histogram.red(-1), 0);
    EXPECT_EQ(histogram.blue(256), 0);
}

TEST(Histogram, FewPixelsOrClearedGiveOnlyZeros)
{
    Histogram histogram;
    // Below 50 pixels the cap is 0, so every bin and the intensity peak are 0.
    for (int i = 0; i < 49; ++i)
        histogram.add(200, 100, 50);
    EXPECT_EQ(histogram.red(200), 0);
    EXPECT_EQ(histogram.peakIntensity(), 0);

    for (int i = 0; i < 1000; ++i)
        histogram.add(200, 100, 50);
    histogram.clear();
    EXPECT_FALSE(histogram.isFinalised());
    EXPECT_EQ(histogram.total(), 0);
    for (int i = 0; i < 1000; ++i)
        histogram.add(1, 2, 3);
    EXPECT_EQ(histogram.red(200), 0);
    EXPECT_EQ(histogram.red(1), 20);
}
