#include "PreviewDecoder.h"

#include "Histogram.h"
#include "BitmapRotation.h"
#include "JpegDecompressor.h"
#include "PreviewResampler.h"

#include <utility>
#include <vector>

namespace {

const char *const kOutOfMemory = "There is not enough memory to show the image.";

// The denominator that brings the width below 1440 (as far as 1/8 allows).
unsigned previewScaleDenominator(int imageWidth)
{
    unsigned denominator = 1;
    int width = imageWidth;
    while (width >= 1440 && denominator < 8) {
        denominator *= 2;
        width = int(unsigned(imageWidth) / denominator);
    }
    return denominator;
}

// Decodes every row straight into the given rows.
bool decodeRows(JpegDecompressor &decoder, std::vector<unsigned char *> rows)
{
    const int height = int(rows.size());
    while (decoder.rowsRead() < height) {
        const int first = decoder.rowsRead();
        if (decoder.readRows(rows.data() + first, height - first) < 0)
            return false;
    }
    return decoder.finish();
}

// Decodes row by row into two alternating row buffers and makes each preview
// row as soon as its two source rows are in: the decoded image is never held
// whole, and the rows being blended are still in the cache.
bool decodeResampled(JpegDecompressor &decoder, QImage &preview, Histogram &histogram)
{
    const int width = decoder.outputWidth();
    const int height = decoder.outputHeight();
    const PreviewResampler resampler(width, height);
    const std::size_t stride = std::size_t(width) * 3;
    std::vector<unsigned char> ring(2 * stride + PreviewResampler::kSourcePadding);
    auto slot = [&](int sourceRow) { return ring.data() + std::size_t(sourceRow % 2) * stride; };
    int made = 0;
    while (decoder.rowsRead() < height) {
        unsigned char *row = slot(decoder.rowsRead());
        if (decoder.readRows(&row, 1) < 0)
            return false;
        // Output rows are made once their lower source row has arrived, so
        // both rows they need are the two in the ring.
        const int last = decoder.rowsRead() - 1;
        for (; made < PreviewResampler::kHeight && resampler.nextRow(made) <= last; ++made)
            resampler.resampleRow(made, slot(resampler.topRow(made)), slot(resampler.nextRow(made)),
                                  preview.scanLine(made), histogram);
    }
    return decoder.finish();
}

void countPixels(const QImage &image, Histogram &histogram)
{
    for (int y = 0; y < image.height(); ++y) {
        const unsigned char *p = image.constScanLine(y);
        for (int x = 0; x < image.width(); ++x, p += 3)
            histogram.add(p[2], p[1], p[0]);
    }
}

std::vector<unsigned char *> imageRows(QImage &image)
{
    std::vector<unsigned char *> rows(std::size_t(image.height()));
    for (int y = 0; y < image.height(); ++y)
        rows[std::size_t(y)] = image.scanLine(y);
    return rows;
}

bool finishRotated(QImage &image, int rotation, QImage &result, QString &error)
{
    QImage rotated = rotateImage(image, rotation);
    if (rotated.isNull()) {
        error = QString::fromLatin1(kOutOfMemory);
        return false;
    }
    result = std::move(rotated);
    return true;
}

} // namespace

bool decodePreviewBitmap(const unsigned char *data, std::size_t length, Histogram &histogram, int rotation,
                         QImage &bitmap, QString &error)
{
    JpegDecompressor decoder(data, length);
    if (!decoder.readHeader() || !decoder.setScale(previewScaleDenominator(decoder.imageWidth()))
        || !decoder.start()) {
        error = decoder.errorText();
        return false;
    }
    const int width = decoder.outputWidth();
    const int height = decoder.outputHeight();
    Histogram counts;
    QImage shown;
    if (width > PreviewResampler::kWidth) {
        shown = QImage(PreviewResampler::kWidth, PreviewResampler::kHeight, QImage::Format_BGR888);
        if (shown.isNull()) {
            error = QString::fromLatin1(kOutOfMemory);
            return false;
        }
        if (!decodeResampled(decoder, shown, counts)) {
            error = decoder.errorText();
            return false;
        }
    } else {
        shown = QImage(width, height, QImage::Format_BGR888);
        if (shown.isNull()) {
            error = QString::fromLatin1(kOutOfMemory);
            return false;
        }
        if (!decodeRows(decoder, imageRows(shown))) {
            error = decoder.errorText();
            return false;
        }
        countPixels(shown, counts);
    }
    if (!finishRotated(shown, rotation, bitmap, error))
        return false;
    histogram = counts;
    return true;
}

bool decodeFullImage(const unsigned char *data, std::size_t length, int rotation, QImage &image, QString &error)
{
    JpegDecompressor decoder(data, length);
    if (!decoder.readHeader() || !decoder.setScale(1) || !decoder.start()) {
        error = decoder.errorText();
        return false;
    }
    QImage decoded(decoder.outputWidth(), decoder.outputHeight(), QImage::Format_BGR888);
    if (decoded.isNull()) {
        error = QString::fromLatin1(kOutOfMemory);
        return false;
    }
    if (!decodeRows(decoder, imageRows(decoded))) {
        error = decoder.errorText();
        return false;
    }
    return finishRotated(decoded, rotation, image, error);
}
