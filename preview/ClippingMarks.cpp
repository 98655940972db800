#include "ClippingMarks.h"

namespace {

constexpr unsigned kFull = 255;

// Byte offsets of red, green and blue in one pixel, and the pixel's size.
struct Layout {
    int red;
    int green;
    int blue;
    int size;
};

bool layoutOf(QImage::Format format, Layout &layout)
{
    switch (format) {
    case QImage::Format_BGR888: layout = {2, 1, 0, 3}; return true;
    case QImage::Format_RGB888: layout = {0, 1, 2, 3}; return true;
    // 0xAARRGGBB in a little-endian word: blue first.
    case QImage::Format_RGB32:
    case QImage::Format_ARGB32:
    case QImage::Format_ARGB32_Premultiplied: layout = {2, 1, 0, 4}; return true;
    default: return false;
    }
}

template <bool Mark>
ClippingShare scan(uchar *bits, qsizetype bytesPerLine, int width, int height, const Layout &l)
{
    ClippingShare share;
    share.pixels = static_cast<std::int64_t>(width) * height;
    for (int y = 0; y < height; ++y) {
        uchar *p = bits + y * bytesPerLine;
        std::int64_t high = 0;
        std::int64_t low = 0;
        for (int x = 0; x < width; ++x, p += l.size) {
            const unsigned r = p[l.red];
            const unsigned g = p[l.green];
            const unsigned b = p[l.blue];
            const bool clippedHigh = r == kFull || g == kFull || b == kFull;
            const bool clippedLow = (r | g | b) == 0;
            high += clippedHigh;
            low += clippedLow;
            if constexpr (Mark) {
                if (clippedHigh) {
                    p[l.red] = kFull;
                    p[l.green] = 0;
                    p[l.blue] = 0;
                } else if (clippedLow) {
                    p[l.blue] = kFull;
                }
            }
        }
        share.highlights += high;
        share.shadows += low;
    }
    return share;
}

}  // namespace

ClippingShare markClipping(QImage &picture)
{
    if (picture.isNull())
        return {};
    Layout layout{};
    if (!layoutOf(picture.format(), layout)) {
        picture = picture.convertToFormat(QImage::Format_RGB32);
        layoutOf(picture.format(), layout);
    }
    return scan<true>(picture.bits(), picture.bytesPerLine(), picture.width(), picture.height(), layout);
}

ClippingShare measureClipping(const QImage &picture)
{
    if (picture.isNull())
        return {};
    Layout layout{};
    QImage readable = picture;
    if (!layoutOf(readable.format(), layout)) {
        readable = readable.convertToFormat(QImage::Format_RGB32);
        layoutOf(readable.format(), layout);
    }
    // scan<false> never writes; constBits keeps the shared data undetached.
    return scan<false>(const_cast<uchar *>(readable.constBits()), readable.bytesPerLine(), readable.width(),
                       readable.height(), layout);
}

QString clippingText(const ClippingShare &share)
{
    if (share.pixels <= 0)
        return {};
    const double total = static_cast<double>(share.pixels);
    return QStringLiteral("Clipped: %1 % highlights, %2 % shadows")
        .arg(100.0 * static_cast<double>(share.highlights) / total, 0, 'f', 1)
        .arg(100.0 * static_cast<double>(share.shadows) / total, 0, 'f', 1);
}
