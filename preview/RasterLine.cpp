#include "RasterLine.h"

#include <cstdlib>

void drawLineExcludingEnd(QImage &image, int x0, int y0, int x1, int y1, QRgb colour)
{
    const int dx = std::abs(x1 - x0);
    const int dy = std::abs(y1 - y0);
    const int stepX = x0 < x1 ? 1 : -1;
    const int stepY = y0 < y1 ? 1 : -1;
    const int steps = dx > dy ? dx : dy;
    const int major = steps;
    const int minor = dx > dy ? dy : dx;
    // Bresenham along the major axis; the minor axis moves at the half-way points.
    int error = major / 2;
    int x = x0;
    int y = y0;
    for (int i = 0; i < steps; ++i) {
        if (x >= 0 && y >= 0 && x < image.width() && y < image.height())
            image.setPixel(x, y, colour);
        error -= minor;
        if (error < 0) {
            error += major;
            if (dx > dy)
                y += stepY;
            else
                x += stepX;
        }
        if (dx > dy)
            x += stepX;
        else
            y += stepY;
    }
}
