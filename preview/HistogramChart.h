// The histogram chart beside the preview: curves of the current Histogram in a
// 276 x 140 image, with axes and ticks.
#ifndef QUILLOMAT_PREVIEW_HISTOGRAMCHART_H
#define QUILLOMAT_PREVIEW_HISTOGRAMCHART_H

#include <QImage>

class Histogram;

// Which curves are drawn (the "Red", "Green", "Blue" and "Intensity" check boxes).
struct HistogramChannels
{
    bool red = true;
    bool green = true;
    bool blue = true;
    bool intensity = true;
};

inline constexpr int kHistogramChartWidth = 276;
inline constexpr int kHistogramChartHeight = 140;

// A chart image of the right size, ready for drawHistogram.
QImage makeHistogramChart();

// Paints `histogram` (finalising it) into `chart`; does nothing to a null image.
void drawHistogram(QImage &chart, Histogram &histogram, const HistogramChannels &channels);

#endif
