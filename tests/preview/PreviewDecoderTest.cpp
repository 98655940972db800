#include "Histogram.h"
#include "JpegFixtures.h"
#include "PreviewDecoder.h"
#include "ReferencePreview.h"

#include <gtest/gtest.h>

#include <cstring>

using jpegfixtures::Bytes;
using jpegfixtures::Subsampling;

namespace {

// Counts the pixels where `image` differs from the reference picture.
int differingPixels(const QImage &image, const reference::Picture &expected)
{
    EXPECT_EQ(image.format(), QImage::Format_BGR888);
    EXPECT_EQ(image.width(), expected.width);
    EXPECT_EQ(image.height(), expected.height);
    if (image.width() != expected.width || image.height() != expected.height)
        return -1;
    int differing = 0;
    for (int y = 0; y < image.height(); ++y) {
        const unsigned char *row = image.constScanLine(y);
        const unsigned char *want = &expected.bgr[std::size_t(y) * expected.width * 3];
        for (int x = 0; x < image.width() * 3; x += 3)
            differing += std::memcmp(row + x, want + x, 3) != 0;
    }
    return differing;
}

void expectSameCounts(Histogram &histogram, reference::Counts counts)
{
    counts.finalise();
    EXPECT_EQ(histogram.total(), counts.total);
    for (int i = 0; i < 256; ++i) {
        ASSERT_EQ(histogram.red(i), counts.red[i]) << "bin " << i;
        ASSERT_EQ(histogram.green(i), counts.green[i]) << "bin " << i;
        ASSERT_EQ(histogram.blue(i), counts.blue[i]) << "bin " << i;
        ASSERT_EQ(histogram.intensity(i), counts.intensity[i]) << "bin " << i;
    }
}

void expectPreviewMatchesReference(const Bytes &jpeg, int rotation)
{
    Histogram histogram;
    QImage bitmap;
    QString error;
    ASSERT_TRUE(decodePreviewBitmap(jpeg.data(), jpeg.size(), histogram, rotation, bitmap, error))
        << error.toStdString();
    reference::Counts counts;
    const reference::Picture expected = reference::preview(jpeg, rotation, counts);
    EXPECT_EQ(differingPixels(bitmap, expected), 0);
    expectSameCounts(histogram, counts);
}

// A pixel-sized image that a failed decode must leave alone.
QImage sentinelImage()
{
    QImage image(3, 2, QImage::Format_BGR888);
    image.fill(Qt::magenta);
    return image;
}

Histogram sentinelHistogram()
{
    Histogram histogram;
    for (int i = 0; i < 1000; ++i)
        histogram.add(i % 256, 7, 200);
    return histogram;
}

void expectRefusedAndUntouched(const Bytes &jpeg, const QString &errorPart = QString())
{
    QImage bitmap = sentinelImage();
    Histogram histogram = sentinelHistogram();
    QString error;
    EXPECT_FALSE(decodePreviewBitmap(jpeg.data(), jpeg.size(), histogram, 0, bitmap, error));
    EXPECT_FALSE(error.isEmpty());
    if (!errorPart.isEmpty()) {
        EXPECT_TRUE(error.contains(errorPart, Qt::CaseInsensitive)) << error.toStdString();
    }
    EXPECT_EQ(bitmap, sentinelImage());
    EXPECT_EQ(histogram.total(), 1000);
    EXPECT_EQ(histogram.blue(200), sentinelHistogram().blue(200));

    QImage full = sentinelImage();
    QString fullError;
    EXPECT_FALSE(decodeFullImage(jpeg.data(), jpeg.size(), 0, full, fullError));
    EXPECT_FALSE(fullError.isEmpty());
    EXPECT_EQ(full, sentinelImage());
}

} // namespace

TEST(PreviewDecoder, CameraSizedImagesMatchThePlainResampleExactly)
{
    expectPreviewMatchesReference(jpegfixtures::photoJpeg(2160, 1440, 3, Subsampling::S422), 0);
    expectPreviewMatchesReference(jpegfixtures::photoJpeg(3072, 2048, 4, Subsampling::S420), 0);
}

TEST(PreviewDecoder, OddSizesAndAspectRatiosMatchThePlainResampleExactly)
{
    // Rounded-up scaled sizes, rows stretched (fewer than 480 source rows),
    // a progressive file and an image barely wider than the preview.
    expectPreviewMatchesReference(jpegfixtures::photoJpeg(2161, 1441, 5, Subsampling::S420), 0);
    expectPreviewMatchesReference(jpegfixtures::photoJpeg(1500, 400, 6, Subsampling::S444), 0);
    expectPreviewMatchesReference(jpegfixtures::photoJpeg(721, 1000, 7, Subsampling::S422), 0);
    const Bytes progressive = jpegfixtures::encodeRgb(jpegfixtures::photoPixels(1000, 700, 8), 1000, 700, 90,
                                                      Subsampling::S420, true);
    expectPreviewMatchesReference(progressive, 0);
}

TEST(PreviewDecoder, FlatAreasKeepTheTruncatedDoubleArithmetic)
{
    // On uniform colour the four weights may sum to just under 1, so the
    // truncated result can fall one below the source value; the preview must
    // do exactly what the formula does.
    for (unsigned char v : {255, 254, 128, 7, 0}) {
        const Bytes jpeg = jpegfixtures::encodeRgb(jpegfixtures::solidPixels(2000, 1400, v, v, 255 - v), 2000, 1400);
        expectPreviewMatchesReference(jpeg, 0);
    }
}

TEST(PreviewDecoder, ScalesWideImagesBeforeResampling)
{
    struct Case
    {
        int width, height;
    };
    // 2160 decodes at 1/2, 3072 at 1/4, 12000 stops at 1/8 (1500 wide); all end 720 x 480.
    for (Case c : {Case{2160, 1440}, Case{3072, 2048}, Case{12000, 96}}) {
        const Bytes jpeg = jpegfixtures::photoJpeg(c.width, c.height, 9);
        Histogram histogram;
        QImage bitmap;
        QString error;
        ASSERT_TRUE(decodePreviewBitmap(jpeg.data(), jpeg.size(), histogram, 0, bitmap, error)) << c.width;
        EXPECT_EQ(bitmap.size(), QSize(720, 480)) << c.width;
        EXPECT_EQ(histogram.total(), 720 * 480) << c.width;
    }
    expectPreviewMatchesReference(jpegfixtures::photoJpeg(12000, 96, 10), 0);
}

TEST(PreviewDecoder, SmallImagesAreShownUnchanged)
{
    const Bytes jpeg = jpegfixtures::photoJpeg(640, 480, 11);
    Histogram histogram;
    QImage bitmap;
    QString error;
    ASSERT_TRUE(decodePreviewBitmap(jpeg.data(), jpeg.size(), histogram, 0, bitmap, error));
    EXPECT_EQ(bitmap.size(), QSize(640, 480));
    EXPECT_EQ(histogram.total(), 640 * 480);
    int w = 0;
    int h = 0;
    const Bytes rgb = jpegfixtures::referenceDecode(jpeg, 1, w, h);
    ASSERT_EQ(QSize(w, h), QSize(640, 480));
    // Stored B, G, R.
    const unsigned char *first = bitmap.constScanLine(0);
    EXPECT_EQ(first[0], rgb[2]);
    EXPECT_EQ(first[1], rgb[1]);
    EXPECT_EQ(first[2], rgb[0]);
    expectPreviewMatchesReference(jpeg, 0);
    expectPreviewMatchesReference(jpegfixtures::photoJpeg(161, 99, 12), 0); // rows with padding
}

TEST(PreviewDecoder, RotationsTurnThePreviewAfterCounting)
{
    const Bytes jpeg = jpegfixtures::photoJpeg(3072, 2048, 13, Subsampling::S420);
    for (int rotation : {90, 180, 270})
        expectPreviewMatchesReference(jpeg, rotation);
    const Bytes small = jpegfixtures::photoJpeg(200, 120, 14);
    for (int rotation : {90, 180, 270})
        expectPreviewMatchesReference(small, rotation);

    Histogram histogram;
    QImage bitmap;
    QString error;
    ASSERT_TRUE(decodePreviewBitmap(jpeg.data(), jpeg.size(), histogram, 90, bitmap, error));
    EXPECT_EQ(bitmap.size(), QSize(480, 720));
}

TEST(PreviewDecoder, UnknownRotationMeansNone)
{
    const Bytes jpeg = jpegfixtures::photoJpeg(900, 600, 15);
    Histogram straight;
    Histogram odd;
    QImage expected;
    QImage turned;
    QString error;
    ASSERT_TRUE(decodePreviewBitmap(jpeg.data(), jpeg.size(), straight, 0, expected, error));
    for (int rotation : {45, -90, 360}) {
        ASSERT_TRUE(decodePreviewBitmap(jpeg.data(), jpeg.size(), odd, rotation, turned, error));
        EXPECT_EQ(turned, expected) << rotation;
    }
}

TEST(PreviewDecoder, GreyJpegIsShownGrey)
{
    const Bytes jpeg = jpegfixtures::greyJpeg(1600, 1000, 16);
    Histogram histogram;
    QImage bitmap;
    QString error;
    ASSERT_TRUE(decodePreviewBitmap(jpeg.data(), jpeg.size(), histogram, 0, bitmap, error)) << error.toStdString();
    ASSERT_EQ(bitmap.size(), QSize(720, 480));
    int nonGrey = 0;
    for (int y = 0; y < bitmap.height(); ++y) {
        const unsigned char *p = bitmap.constScanLine(y);
        for (int x = 0; x < bitmap.width(); ++x, p += 3)
            nonGrey += p[0] != p[1] || p[1] != p[2];
    }
    EXPECT_EQ(nonGrey, 0);
    expectPreviewMatchesReference(jpeg, 0);

    QImage full;
    ASSERT_TRUE(decodeFullImage(jpeg.data(), jpeg.size(), 0, full, error));
    EXPECT_EQ(full.size(), QSize(1600, 1000));
}

TEST(PreviewDecoder, CmykJpegIsRefusedWithAClearError)
{
    expectRefusedAndUntouched(jpegfixtures::cmykJpeg(64, 48), QStringLiteral("CMYK"));
}

TEST(PreviewDecoder, TruncatedJpegIsRefusedWithoutReadingPastItsEnd)
{
    const Bytes jpeg = jpegfixtures::photoJpeg(2160, 1440, 17);
    // Cut in the header, in the entropy data, and just before the end marker.
    for (std::size_t length : {std::size_t(2), std::size_t(300), jpeg.size() / 3, jpeg.size() - 2}) {
        // An exactly sized copy, so a read past the end shows under AddressSanitizer.
        const Bytes truncated(jpeg.begin(), jpeg.begin() + std::ptrdiff_t(length));
        SCOPED_TRACE(length);
        expectRefusedAndUntouched(truncated);
    }
}

TEST(PreviewDecoder, EmptyAndNonJpegInputIsRefused)
{
    expectRefusedAndUntouched(Bytes{});
    expectRefusedAndUntouched(Bytes{'G', 'I', 'F', '8', '9', 'a', 0, 0, 0, 0});
    QImage bitmap = sentinelImage();
    Histogram histogram;
    QString error;
    EXPECT_FALSE(decodePreviewBitmap(nullptr, 100, histogram, 0, bitmap, error));
    EXPECT_FALSE(error.isEmpty());
}

TEST(PreviewDecoder, CorruptDataIsRefused)
{
    Bytes jpeg = jpegfixtures::photoJpeg(800, 600, 18);
    // A stray marker inside the entropy-coded data.
    const std::size_t middle = jpeg.size() / 2;
    jpeg[middle] = 0xFF;
    jpeg[middle + 1] = 0xD0 + 3;
    expectRefusedAndUntouched(jpeg);
}

TEST(PreviewDecoder, FullImageIsDecodedAtFullSizeAndRotated)
{
    const Bytes jpeg = jpegfixtures::photoJpeg(2160, 1440, 19, Subsampling::S420);
    int w = 0;
    int h = 0;
    const Bytes rgb = jpegfixtures::referenceDecode(jpeg, 1, w, h);
    QImage image;
    QString error;
    ASSERT_TRUE(decodeFullImage(jpeg.data(), jpeg.size(), 0, image, error));
    ASSERT_EQ(image.size(), QSize(2160, 1440));
    reference::Picture expected{w, h, Bytes(rgb.size())};
    for (std::size_t i = 0; i < rgb.size(); i += 3) {
        expected.bgr[i] = rgb[i + 2];
        expected.bgr[i + 1] = rgb[i + 1];
        expected.bgr[i + 2] = rgb[i];
    }
    EXPECT_EQ(differingPixels(image, expected), 0);

    QImage turned;
    ASSERT_TRUE(decodeFullImage(jpeg.data(), jpeg.size(), 90, turned, error));
    ASSERT_EQ(turned.size(), QSize(1440, 2160));
    // Quarter turn clockwise: the top-left pixel comes from the bottom-left.
    EXPECT_EQ(turned.pixel(0, 0), image.pixel(0, 1439));
    EXPECT_EQ(turned.pixel(1439, 2159), image.pixel(2159, 0));
    QImage upsideDown;
    ASSERT_TRUE(decodeFullImage(jpeg.data(), jpeg.size(), 270, upsideDown, error));
    EXPECT_EQ(upsideDown.pixel(0, 0), image.pixel(2159, 0));
}
