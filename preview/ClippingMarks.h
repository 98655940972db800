// Clipped highlights and shadows on a picture on show: pixels with red, green
// or blue at 255 are painted red, pixels black in all three are painted blue,
// and the share of each is counted from the colours before marking.
#ifndef QUILLOMAT_PREVIEW_CLIPPINGMARKS_H
#define QUILLOMAT_PREVIEW_CLIPPINGMARKS_H

#include <QImage>
#include <QString>

#include <cstdint>

struct ClippingShare {
    std::int64_t pixels = 0;
    std::int64_t highlights = 0;  // any channel at 255
    std::int64_t shadows = 0;     // all channels at 0
};

// Counts and marks in one pass. Takes Format_BGR888 (the decoder's), RGB888
// and the 32-bit RGB formats; other formats are converted to RGB32 first.
ClippingShare markClipping(QImage &picture);

// Counts only, leaving the picture as it is.
ClippingShare measureClipping(const QImage &picture);

// "Clipped: 2.4 % highlights, 0.1 % shadows"; empty for a picture without pixels.
QString clippingText(const ClippingShare &share);

#endif
