#include "BitmapRotation.h"

#include <algorithm>
#include <cstddef>

namespace {

inline void copyPixel(unsigned char *target, const unsigned char *source)
{
    target[0] = source[0];
    target[1] = source[1];
    target[2] = source[2];
}

// Copies every result pixel from its source pixel, in tiles: quarter turns
// read the source down its columns, and within a tile the rows being read
// stay in the cache.
template <int Rotation>
void rotateInto(const QImage &image, QImage &result)
{
    const int w = image.width();
    const int h = image.height();
    const unsigned char *sourceBits = image.constBits();
    const std::size_t sourceLine = std::size_t(image.bytesPerLine());
    unsigned char *resultBits = result.bits();
    const std::size_t resultLine = std::size_t(result.bytesPerLine());
    constexpr int kTile = 64;
    for (int ty = 0; ty < result.height(); ty += kTile) {
        const int yEnd = std::min(ty + kTile, result.height());
        for (int tx = 0; tx < result.width(); tx += kTile) {
            const int xEnd = std::min(tx + kTile, result.width());
            for (int y = ty; y < yEnd; ++y) {
                unsigned char *target = resultBits + std::size_t(y) * resultLine + std::size_t(tx) * 3;
                for (int x = tx; x < xEnd; ++x, target += 3) {
                    int sx = 0;
                    int sy = 0;
                    if constexpr (Rotation == 90) { // quarter turn clockwise
                        sx = y;
                        sy = h - 1 - x;
                    } else if constexpr (Rotation == 180) {
                        sx = w - 1 - x;
                        sy = h - 1 - y;
                    } else { // quarter turn anticlockwise
                        sx = w - 1 - y;
                        sy = x;
                    }
                    copyPixel(target, sourceBits + std::size_t(sy) * sourceLine + std::size_t(sx) * 3);
                }
            }
        }
    }
}

} // namespace

QImage rotateImage(const QImage &image, int rotation)
{
    if (rotation != 90 && rotation != 180 && rotation != 270)
        return image;
    const bool quarter = rotation != 180;
    QImage result(quarter ? image.height() : image.width(), quarter ? image.width() : image.height(),
                  QImage::Format_BGR888);
    if (result.isNull())
        return result;
    if (rotation == 90)
        rotateInto<90>(image, result);
    else if (rotation == 180)
        rotateInto<180>(image, result);
    else
        rotateInto<270>(image, result);
    return result;
}
