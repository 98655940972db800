// One-pixel solid lines written straight into a QImage, with the end point
// left unpainted as the program's charts and grid expect. QPainter's
// antialiasing-free lines differ in their end-point and diagonal rules, and
// the charts must come out pixel for pixel the same everywhere.
#ifndef QUILLOMAT_PREVIEW_RASTERLINE_H
#define QUILLOMAT_PREVIEW_RASTERLINE_H

#include <QImage>
#include <QRgb>

// Draws from (x0, y0) towards (x1, y1), excluding (x1, y1); pixels outside the image are skipped.
void drawLineExcludingEnd(QImage &image, int x0, int y0, int x1, int y1, QRgb colour);

#endif
