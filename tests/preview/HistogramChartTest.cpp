#include "Histogram.h"
#include "HistogramChart.h"

#include <gtest/gtest.h>

namespace {

constexpr QRgb kGrey = qRgb(200, 200, 200);
constexpr QRgb kBlack = qRgb(0, 0, 0);
constexpr QRgb kBlue = qRgb(0, 0, 255);
constexpr QRgb kRed = qRgb(255, 0, 0);
constexpr QRgb kGreen = qRgb(0, 200, 0);
constexpr QRgb kIntensity = qRgb(90, 90, 90);

QRgb at(const QImage &image, int x, int y)
{
    return image.pixel(x, y);
}

// Chart point (x, y) in pixels.
QRgb chartAt(const QImage &image, int x, int y)
{
    return at(image, x + 10, 127 - y);
}

bool isAxisOrFrame(int x, int y)
{
    if (x == 0 || y == 0 || x == 275 || y == 139)
        return true;
    if (y == 127 && x >= 10 && x <= 266)
        return true; // x axis
    if (x == 10 && y >= 8 && y <= 127)
        return true; // y axis, up to chart height 119
    if (x >= 10 && x <= 265 && (x - 10) % 5 == 0) {
        const int depth = (x - 10) % 10 == 0 ? 5 : 2;
        return y >= 127 && y < 127 + depth;
    }
    return false;
}

QImage drawn(Histogram &histogram, HistogramChannels channels = {})
{
    QImage chart = makeHistogramChart();
    drawHistogram(chart, histogram, channels);
    return chart;
}

void expectOnlyBackgroundFrameAndAxes(const QImage &chart)
{
    for (int y = 0; y < chart.height(); ++y)
        for (int x = 0; x < chart.width(); ++x)
            ASSERT_EQ(at(chart, x, y), isAxisOrFrame(x, y) ? kBlack : kGrey) << x << "," << y;
}

Histogram blackImage()
{
    Histogram histogram;
    for (int i = 0; i < 720 * 480; ++i)
        histogram.add(0, 0, 0);
    return histogram;
}

} // namespace

TEST(HistogramChart, EmptyHistogramDrawsOnlyBackgroundFrameAndAxes)
{
    Histogram empty;
    const QImage chart = drawn(empty);
    EXPECT_EQ(chart.size(), QSize(276, 140));
    expectOnlyBackgroundFrameAndAxes(chart);
}

TEST(HistogramChart, UntickedBoxesLeaveOnlyBackgroundFrameAndAxes)
{
    Histogram histogram = blackImage();
    expectOnlyBackgroundFrameAndAxes(drawn(histogram, {false, false, false, false}));
}

TEST(HistogramChart, AxesStartAtColumnTenOnRow127WithTicks)
{
    Histogram empty;
    const QImage chart = drawn(empty);
    EXPECT_EQ(at(chart, 10, 127), kBlack);
    EXPECT_EQ(at(chart, 9, 127), kGrey);
    EXPECT_EQ(at(chart, 266, 127), kBlack); // chart x 256
    EXPECT_EQ(at(chart, 267, 127), kGrey);
    EXPECT_EQ(at(chart, 10, 8), kBlack);    // chart y 119
    EXPECT_EQ(at(chart, 10, 7), kGrey);     // the end point (0, 120) is not painted
    EXPECT_EQ(at(chart, 20, 131), kBlack);  // long tick at x 10 reaches y -4
    EXPECT_EQ(at(chart, 20, 132), kGrey);
    EXPECT_EQ(at(chart, 15, 128), kBlack);  // short tick at x 5 reaches y -1
    EXPECT_EQ(at(chart, 15, 129), kGrey);
}

TEST(HistogramChart, BlackImageShowsASpikeAtZeroAndABaselineOfOne)
{
    Histogram histogram = blackImage();
    const QImage chart = drawn(histogram);
    // All three colours are identical; blue is drawn last.
    EXPECT_EQ(chartAt(chart, 0, 121), kBlue);
    EXPECT_EQ(chartAt(chart, 0, 122), kGrey);
    EXPECT_EQ(chartAt(chart, 0, 100), kBlue);
    for (int x = 2; x < 255; ++x)
        EXPECT_EQ(chartAt(chart, x, 1), kBlue) << x;
    for (int x = 2; x < 255; ++x)
        EXPECT_EQ(chartAt(chart, x, 2), kGrey) << x;
    // The final point of the polyline is not painted; the intensity baseline shows there.
    EXPECT_EQ(chartAt(chart, 255, 1), kIntensity);
}

TEST(HistogramChart, IntensityProfileSkipsBinZeroAndUsesItsOwnPeak)
{
    Histogram histogram = blackImage();
    const QImage chart = drawn(histogram, {false, false, false, true});
    EXPECT_EQ(chartAt(chart, 0, 1), kBlack); // the y axis, bin 0 is not drawn
    for (int x = 1; x <= 255; ++x) {
        EXPECT_EQ(chartAt(chart, x, 1), kIntensity) << x;
        EXPECT_EQ(chartAt(chart, x, 2), kGrey) << x;
    }

    // Half the pixels at intensity 100: a filled column of full height 121 there.
    Histogram half;
    for (int i = 0; i < 10000; ++i)
        half.add(100, 100, 100);
    for (int i = 0; i < 10000; ++i)
        half.add(0, 0, 250);
    const QImage profile = drawn(half, {false, false, false, true});
    for (int y = 1; y <= 121; ++y)
        EXPECT_EQ(chartAt(profile, 100, y), kIntensity) << y;
    EXPECT_EQ(chartAt(profile, 100, 122), kGrey);
}

TEST(HistogramChart, ColourCurvesShareOneScale)
{
    Histogram histogram;
    // Red peaks at bin 50 with the cap; green reaches half of that at bin 150.
    for (int i = 0; i < 5000; ++i)
        histogram.add(50, i % 2 ? 150 : unsigned(i % 256), unsigned(i % 256));
    histogram.finalise();
    const int cap = 5000 / 50;
    ASSERT_EQ(histogram.red(50), cap);
    const int greenHeight = histogram.green(150) * 120 / cap + 1;
    const QImage chart = drawn(histogram, {true, true, false, false});
    EXPECT_EQ(chartAt(chart, 50, 121), kRed);
    EXPECT_EQ(chartAt(chart, 50, 122), kGrey);
    EXPECT_EQ(chartAt(chart, 150, greenHeight), kGreen);
    EXPECT_EQ(chartAt(chart, 150, greenHeight + 1), kGrey);
}

TEST(HistogramChart, NullImageIsLeftAlone)
{
    QImage none;
    Histogram histogram = blackImage();
    drawHistogram(none, histogram, {});
    EXPECT_TRUE(none.isNull());
}
