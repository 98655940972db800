#include "HistogramChart.h"

#include "Histogram.h"
#include "RasterLine.h"

#include <algorithm>

namespace {

constexpr QRgb kBackground = qRgb(200, 200, 200);
constexpr QRgb kBlack = qRgb(0, 0, 0);
constexpr QRgb kRedPen = qRgb(255, 0, 0);
constexpr QRgb kGreenPen = qRgb(0, 200, 0);
constexpr QRgb kBluePen = qRgb(0, 0, 255);
constexpr QRgb kIntensityPen = qRgb(90, 90, 90);

// Chart coordinates: origin at pixel (10, 127), y upwards, one pixel per unit.
constexpr int kOriginX = 10;
constexpr int kOriginY = 127;
constexpr int kCurveHeight = 120;

class Chart
{
public:
    explicit Chart(QImage &image) : m_image(image) {}

    void moveTo(int x, int y)
    {
        m_x = x;
        m_y = y;
    }
    // Like a pen's line-to: the end point is not painted and becomes the current point.
    void lineTo(int x, int y, QRgb colour)
    {
        drawLineExcludingEnd(m_image, kOriginX + m_x, kOriginY - m_y, kOriginX + x, kOriginY - y, colour);
        moveTo(x, y);
    }

private:
    QImage &m_image;
    int m_x = 0;
    int m_y = 0;
};

void drawFrame(QImage &image)
{
    const int right = image.width() - 1;
    const int bottom = image.height() - 1;
    drawLineExcludingEnd(image, 0, 0, right, 0, kBlack);
    drawLineExcludingEnd(image, right, 0, right, bottom, kBlack);
    drawLineExcludingEnd(image, right, bottom, 0, bottom, kBlack);
    drawLineExcludingEnd(image, 0, bottom, 0, 0, kBlack);
}

void drawAxes(Chart &chart)
{
    chart.moveTo(256, 0);
    chart.lineTo(0, 0, kBlack);
    chart.lineTo(0, kCurveHeight, kBlack);
    for (int x = 0; x <= 250; x += 10) {
        chart.moveTo(x, 0);
        chart.lineTo(x, -5, kBlack);
    }
    for (int x = 5; x <= 255; x += 10) {
        chart.moveTo(x, 0);
        chart.lineTo(x, -2, kBlack);
    }
}

template <typename Bin>
void drawCurve(Chart &chart, Bin bin, std::int32_t scale, QRgb pen)
{
    // 64-bit: a bin times 120 can exceed 32 bits for very large pixel counts.
    auto height = [&](int x) { return static_cast<int>(std::int64_t(bin(x)) * kCurveHeight / scale + 1); };
    chart.moveTo(0, height(0));
    for (int x = 1; x <= 255; ++x)
        chart.lineTo(x, height(x), pen);
}

} // namespace

QImage makeHistogramChart()
{
    QImage chart(kHistogramChartWidth, kHistogramChartHeight, QImage::Format_RGB32);
    chart.fill(kBackground);
    return chart;
}

void drawHistogram(QImage &image, Histogram &histogram, const HistogramChannels &channels)
{
    if (image.isNull())
        return;
    image.fill(kBackground);
    drawFrame(image);
    Chart chart(image);
    drawAxes(chart);

    histogram.finalise();
    const std::int32_t colourPeak = std::max({histogram.peakRed(), histogram.peakGreen(), histogram.peakBlue()});

    const std::int32_t intensityPeak = histogram.peakIntensity();
    if (channels.intensity && intensityPeak != 0) {
        for (int x = 1; x <= 255; ++x) {
            chart.moveTo(x, static_cast<int>(std::int64_t(histogram.intensity(x)) * kCurveHeight / intensityPeak + 1));
            chart.lineTo(x, 0, kIntensityPen);
        }
    }
    if (colourPeak != 0) {
        // One scale for all three colours, so their heights compare.
        if (channels.red)
            drawCurve(chart, [&](int x) { return histogram.red(x); }, colourPeak, kRedPen);
        if (channels.green)
            drawCurve(chart, [&](int x) { return histogram.green(x); }, colourPeak, kGreenPen);
        if (channels.blue)
            drawCurve(chart, [&](int x) { return histogram.blue(x); }, colourPeak, kBluePen);
    }
}
