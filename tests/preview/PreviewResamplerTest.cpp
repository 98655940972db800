#include "Histogram.h"
#include "PreviewResampler.h"

#include <gtest/gtest.h>

#include <QImage>

#include <random>
#include <vector>

namespace {

struct Result
{
    QImage image;
    Histogram histogram;
};

Result resample(const std::vector<unsigned char> &source, int width, int height, PreviewResampler::Path path)
{
    Result result{QImage(PreviewResampler::kWidth, PreviewResampler::kHeight, QImage::Format_BGR888), Histogram()};
    const PreviewResampler resampler(width, height, path);
    const std::size_t stride = std::size_t(width) * 3;
    for (int i = 0; i < PreviewResampler::kHeight; ++i) {
        EXPECT_TRUE(resampler.nextRow(i) == resampler.topRow(i) + 1
                    || (resampler.nextRow(i) == height - 1 && resampler.topRow(i) == height - 1));
        resampler.resampleRow(i, source.data() + std::size_t(resampler.topRow(i)) * stride,
                              source.data() + std::size_t(resampler.nextRow(i)) * stride, result.image.scanLine(i),
                              result.histogram);
    }
    return result;
}

// Noise with flat runs: flat areas are where truncation of the weighted sum bites.
std::vector<unsigned char> source(int width, int height, unsigned seed)
{
    std::vector<unsigned char> bytes(std::size_t(width) * height * 3 + PreviewResampler::kSourcePadding);
    std::mt19937 random(seed);
    unsigned char flat = 0;
    for (std::size_t i = 0; i + PreviewResampler::kSourcePadding < bytes.size(); ++i) {
        if (random() % 64 == 0)
            flat = static_cast<unsigned char>(random());
        bytes[i] = (i / 3000) % 2 ? flat : static_cast<unsigned char>(random());
    }
    return bytes;
}

} // namespace

TEST(PreviewResampler, VectorPathEqualsThePlainLoopPixelForPixel)
{
    struct Size
    {
        int width, height;
    };
    for (Size size : {Size{1080, 720}, Size{768, 512}, Size{1081, 721}, Size{1500, 13}, Size{721, 480},
                      Size{1439, 2000}}) {
        SCOPED_TRACE(size.width);
        const std::vector<unsigned char> bytes = source(size.width, size.height, unsigned(size.width));
        Result fast = resample(bytes, size.width, size.height, PreviewResampler::Path::Automatic);
        Result plain = resample(bytes, size.width, size.height, PreviewResampler::Path::Plain);
        EXPECT_EQ(fast.image, plain.image);
        EXPECT_EQ(fast.histogram.total(), 720 * 480);
        EXPECT_EQ(plain.histogram.total(), 720 * 480);
        for (int i = 0; i < 256; ++i) {
            ASSERT_EQ(fast.histogram.red(i), plain.histogram.red(i));
            ASSERT_EQ(fast.histogram.green(i), plain.histogram.green(i));
            ASSERT_EQ(fast.histogram.blue(i), plain.histogram.blue(i));
            ASSERT_EQ(fast.histogram.intensity(i), plain.histogram.intensity(i));
        }
    }
}

TEST(PreviewResampler, EdgeColumnAndRowRepeatTheLastPixel)
{
    // 721 x 481 with a distinct last column and row: the final output pixel
    // blends only last-column/last-row pixels.
    const int w = 721;
    const int h = 481;
    std::vector<unsigned char> bytes(std::size_t(w) * h * 3 + PreviewResampler::kSourcePadding, 10);
    for (int y = 0; y < h; ++y)
        for (int c = 0; c < 3; ++c)
            bytes[(std::size_t(y) * w + (w - 1)) * 3 + c] = 200;
    for (int x = 0; x < w; ++x)
        for (int c = 0; c < 3; ++c)
            bytes[(std::size_t(h - 1) * w + x) * 3 + c] = 200;
    for (PreviewResampler::Path path : {PreviewResampler::Path::Automatic, PreviewResampler::Path::Plain}) {
        Result result = resample(bytes, w, h, path);
        const unsigned char *last = result.image.constScanLine(479) + 719 * 3;
        // x = 720.4993, y = 480.4990: both neighbours clamp to the last column and row.
        EXPECT_GE(last[0], 199);
        EXPECT_EQ(last[0], last[1]);
        EXPECT_EQ(last[1], last[2]);
        const unsigned char *first = result.image.constScanLine(0);
        EXPECT_EQ(first[0], 10);
    }
}
