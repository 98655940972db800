// Quarter turns of a decoded B, G, R image (Format_BGR888).
#ifndef QUILLOMAT_PREVIEW_BITMAPROTATION_H
#define QUILLOMAT_PREVIEW_BITMAPROTATION_H

#include <QImage>

// 90 turns clockwise, 180 half-turns, 270 anticlockwise; anything else returns
// the image unchanged. Returns a null image if memory runs out.
QImage rotateImage(const QImage &image, int rotation);

#endif
