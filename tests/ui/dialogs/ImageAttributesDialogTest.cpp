#include "DialogTestSupport.h"
#include "ImageAttributesDialog.h"

#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

namespace {

const QString attributes = QStringLiteral(
    "Camera Model: Canon EOS D60\r\nCamera serial number: 560104321\r\nOwner: Quillomat\r\n"
    "Shutter speed: 1/125 sec\r\nAperture: 8\r\nUser comments:\r\n\"Two\r\nlines\"");

TEST(ImageAttributesGeometryTest, ButtonCentredAboveTheBottomAndTextFillingTheRest)
{
    const ImageAttributesGeometry g = imageAttributesGeometry(QSize(400, 300), QSize(75, 23));
    EXPECT_EQ(g.button, QRect(162, 267, 75, 23));
    EXPECT_EQ(g.text, QRect(2, 2, 396, 255));
    EXPECT_EQ(g.text.y() + g.text.height(), g.button.y() - 10);
    EXPECT_EQ(g.button.y() + g.button.height(), 300 - 10);
}

TEST(ImageAttributesGeometryTest, OddWidthsRoundTheCentreDown)
{
    const ImageAttributesGeometry g = imageAttributesGeometry(QSize(301, 200), QSize(80, 24));
    EXPECT_EQ(g.button, QRect(110, 166, 80, 24));
    EXPECT_EQ(g.text, QRect(2, 2, 297, 154));
}

TEST(ImageAttributesGeometryTest, WithoutAButtonTheTextFillsAllButTwoPixels)
{
    const ImageAttributesGeometry g = imageAttributesGeometry(QSize(400, 300), std::nullopt);
    EXPECT_EQ(g.text, QRect(2, 2, 396, 296));
    EXPECT_TRUE(g.button.isNull());
}

TEST(ImageAttributesGeometryTest, TooSmallAnAreaGivesAnEmptyTextNotANegativeOne)
{
    const ImageAttributesGeometry g = imageAttributesGeometry(QSize(3, 30), QSize(75, 23));
    EXPECT_EQ(g.text.width(), 0);
    EXPECT_EQ(g.text.height(), 0);
    EXPECT_EQ(g.button.size(), QSize(75, 23));
}

TEST(ImageAttributesDialogTest, ShowsTheTextAsLinesReadOnly)
{
    ImageAttributesDialog dialog(attributes);
    dialog.show();
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Image Attributes"));
    QPlainTextEdit *text = child<QPlainTextEdit>(&dialog, "attributesText");
    EXPECT_TRUE(text->isReadOnly());
    EXPECT_EQ(text->document()->blockCount(), 8);
    EXPECT_EQ(text->toPlainText(), QString(attributes).remove(QLatin1Char('\r')));
    EXPECT_EQ(dialog.text(), attributes);
}

TEST(ImageAttributesDialogTest, TextChangesWhileOpen)
{
    ImageAttributesDialog dialog(attributes);
    dialog.show();
    dialog.setText(QStringLiteral("Camera Model: Canon EOS D30\r\nFirmware: 1.0.6"));
    QPlainTextEdit *text = child<QPlainTextEdit>(&dialog, "attributesText");
    EXPECT_EQ(text->toPlainText(), QStringLiteral("Camera Model: Canon EOS D30\nFirmware: 1.0.6"));
    EXPECT_TRUE(dialog.isVisible());
}

TEST(ImageAttributesDialogTest, ResizingKeepsTheButtonAndTheTextInTheirPlaces)
{
    ImageAttributesDialog dialog(attributes);
    dialog.show();
    QPushButton *ok = child<QPushButton>(&dialog, "okButton");
    QPlainTextEdit *text = child<QPlainTextEdit>(&dialog, "attributesText");
    const QSize button = ok->size();
    ASSERT_GT(button.width(), 0);

    for (const QSize size : {QSize(340, 423), QSize(640, 300), QSize(221, 160), QSize(900, 700)}) {
        dialog.resize(size);
        ASSERT_TRUE(settle([&] { return dialog.size() == size; })) << size.width() << "x" << size.height();
        const int w = size.width();
        const int h = size.height();
        EXPECT_EQ(ok->size(), button);
        EXPECT_EQ(ok->x(), (w - button.width()) / 2);
        EXPECT_EQ(ok->y() + ok->height(), h - 10);
        EXPECT_EQ(text->pos(), QPoint(2, 2));
        EXPECT_EQ(text->width(), w - 4);
        EXPECT_EQ(text->y() + text->height(), ok->y() - 10);
    }
}

TEST(ImageAttributesDialogTest, OkClosesIt)
{
    ImageAttributesDialog dialog(attributes);
    dialog.show();
    QTest::mouseClick(child<QPushButton>(&dialog, "okButton"), Qt::LeftButton);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
}

}  // namespace
