// Decoding JPEG bytes for display: the main window's preview (at most 720
// pixels wide, with its histogram) and the full-size image of the preview
// window. Images come back as Format_BGR888 QImages (bytes B, G, R).
//
// A failure returns false with a message and leaves the caller's image and
// histogram untouched, so the previous preview stays on show.
#ifndef QUILLOMAT_PREVIEW_PREVIEWDECODER_H
#define QUILLOMAT_PREVIEW_PREVIEWDECODER_H

#include <QImage>
#include <QString>

#include <cstddef>

class Histogram;

// Decodes with DCT scaling while the image is 1440 or more pixels wide (down
// to 1/8), then resamples anything wider than 720 to exactly 720 x 480.
// `histogram` receives one count per displayed pixel (before rotation).
// Rotation 90, 180 or 270 turns the result; other values mean 0.
bool decodePreviewBitmap(const unsigned char *data, std::size_t length, Histogram &histogram, int rotation,
                         QImage &bitmap, QString &error);

// Decodes at full size, rotated, for the preview window.
bool decodeFullImage(const unsigned char *data, std::size_t length, int rotation, QImage &image, QString &error);

#endif
