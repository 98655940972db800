#include "GridOverlay.h"

#include "RasterLine.h"

void drawGrid(QImage &bitmap, const GridSettings &settings)
{
    if (!settings.displayGrid || bitmap.isNull())
        return;
    const std::uint32_t c = settings.gridColour;
    const QRgb colour = qRgb(int(c & 0xff), int((c >> 8) & 0xff), int((c >> 16) & 0xff));
    const int w = bitmap.width();
    const int h = bitmap.height();
    // Divisions below 2 draw nothing (and never divide by zero).
    for (int i = 1; i < settings.numHorzGridDivisions; ++i) {
        const int x = int(std::int64_t(i) * w / settings.numHorzGridDivisions);
        drawLineExcludingEnd(bitmap, x, 0, x, h, colour);
    }
    for (int i = 1; i < settings.numVertGridDivisions; ++i) {
        const int y = int(std::int64_t(i) * h / settings.numVertGridDivisions);
        drawLineExcludingEnd(bitmap, 0, y, w, y, colour);
    }
}
