#include "ClippingMarks.h"

#include <gtest/gtest.h>

#include <QColor>
#include <QImage>

namespace {

struct PixelCase {
    const char *name;
    QColor in;
    bool highlight;
    bool shadow;
    QColor marked;
};

const PixelCase kPixels[] = {
    {"red at full", QColor(255, 10, 10), true, false, QColor(255, 0, 0)},
    {"green at full", QColor(10, 255, 10), true, false, QColor(255, 0, 0)},
    {"blue at full", QColor(10, 10, 255), true, false, QColor(255, 0, 0)},
    {"white", QColor(255, 255, 255), true, false, QColor(255, 0, 0)},
    {"just below full", QColor(254, 254, 254), false, false, QColor(254, 254, 254)},
    {"black", QColor(0, 0, 0), false, true, QColor(0, 0, 255)},
    {"black but blue 1", QColor(0, 0, 1), false, false, QColor(0, 0, 1)},
    {"black but red 1", QColor(1, 0, 0), false, false, QColor(1, 0, 0)},
    {"mid grey", QColor(128, 128, 128), false, false, QColor(128, 128, 128)},
};

class ClippingFormat : public ::testing::TestWithParam<QImage::Format> {};

// Every pixel case, in each format the preview and the preview window use:
// red, green and blue must be read from the right bytes.
TEST_P(ClippingFormat, EachPixelIsCountedAndMarkedByItsOwnChannels)
{
    for (const PixelCase &c : kPixels) {
        QImage picture(3, 2, QImage::Format_RGB32);
        picture.fill(QColor(100, 120, 140));
        picture.setPixelColor(1, 1, c.in);
        picture = picture.convertToFormat(GetParam());
        const ClippingShare measured = measureClipping(picture);
        const ClippingShare share = markClipping(picture);
        EXPECT_EQ(share.pixels, 6) << c.name;
        EXPECT_EQ(share.highlights, c.highlight ? 1 : 0) << c.name;
        EXPECT_EQ(share.shadows, c.shadow ? 1 : 0) << c.name;
        EXPECT_EQ(measured.highlights, share.highlights) << c.name;
        EXPECT_EQ(measured.shadows, share.shadows) << c.name;
        EXPECT_EQ(picture.pixelColor(1, 1), c.marked) << c.name;
        EXPECT_EQ(picture.pixelColor(0, 0), QColor(100, 120, 140)) << c.name;
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, ClippingFormat,
                         ::testing::Values(QImage::Format_BGR888, QImage::Format_RGB888, QImage::Format_RGB32,
                                           QImage::Format_ARGB32, QImage::Format_RGBX8888));

TEST(ClippingMarks, MeasuringLeavesThePictureAndItsCopiesAlone)
{
    QImage picture(4, 4, QImage::Format_BGR888);
    picture.fill(Qt::white);
    const QImage copy = picture;
    const ClippingShare share = measureClipping(picture);
    EXPECT_EQ(share.highlights, 16);
    EXPECT_EQ(picture.pixelColor(0, 0), QColor(Qt::white));
    // Marking a copy does not reach the picture it was copied from.
    QImage marked = copy;
    markClipping(marked);
    EXPECT_EQ(marked.pixelColor(2, 2), QColor(255, 0, 0));
    EXPECT_EQ(copy.pixelColor(2, 2), QColor(Qt::white));
}

TEST(ClippingMarks, TheTextGivesBothSharesToOneDecimal)
{
    struct Case {
        ClippingShare share;
        const char *text;
    };
    const Case cases[] = {
        {{1000, 24, 1}, "Clipped: 2.4 % highlights, 0.1 % shadows"},
        {{3, 3, 0}, "Clipped: 100.0 % highlights, 0.0 % shadows"},
        {{3, 1, 2}, "Clipped: 33.3 % highlights, 66.7 % shadows"},
        {{0, 0, 0}, ""},
    };
    for (const Case &c : cases)
        EXPECT_EQ(clippingText(c.share).toStdString(), c.text);
}

TEST(ClippingMarks, ANullPictureHasNothingClipped)
{
    QImage none;
    EXPECT_EQ(markClipping(none).pixels, 0);
    EXPECT_TRUE(none.isNull());
}

}  // namespace
