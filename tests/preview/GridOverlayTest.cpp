#include "GridOverlay.h"

#include <gtest/gtest.h>

namespace {

QImage whitePreview(int width, int height)
{
    QImage image(width, height, QImage::Format_BGR888);
    image.fill(Qt::white);
    return image;
}

GridSettings grid(int horizontal, int vertical, std::uint32_t colour = 0x00FF0000)
{
    GridSettings settings;
    settings.displayGrid = true;
    settings.numHorzGridDivisions = horizontal;
    settings.numVertGridDivisions = vertical;
    settings.gridColour = colour;
    return settings;
}

QList<int> paintedColumns(const QImage &image, int row)
{
    QList<int> columns;
    for (int x = 0; x < image.width(); ++x)
        if (image.pixel(x, row) != qRgb(255, 255, 255))
            columns.append(x);
    return columns;
}

QList<int> paintedRows(const QImage &image, int column)
{
    QList<int> rows;
    for (int y = 0; y < image.height(); ++y)
        if (image.pixel(column, y) != qRgb(255, 255, 255))
            rows.append(y);
    return rows;
}

} // namespace

TEST(GridOverlay, ThirdsOnAFullPreview)
{
    QImage image = whitePreview(720, 480);
    drawGrid(image, grid(3, 3));
    EXPECT_EQ(paintedColumns(image, 10), (QList<int>{240, 480}));
    EXPECT_EQ(paintedRows(image, 10), (QList<int>{160, 320}));
    // Lines span the whole image.
    EXPECT_EQ(paintedRows(image, 240).size(), 480);
    EXPECT_EQ(paintedColumns(image, 160).size(), 720);
}

TEST(GridOverlay, PositionsUseIntegerDivision)
{
    QImage image = whitePreview(481, 301);
    drawGrid(image, grid(2, 4));
    EXPECT_EQ(paintedColumns(image, 1), (QList<int>{240}));
    EXPECT_EQ(paintedRows(image, 1), (QList<int>{75, 150, 225}));
}

TEST(GridOverlay, ColourIsBlueGreenRedValue)
{
    QImage image = whitePreview(100, 60);
    drawGrid(image, grid(2, 2, 0x00336699));
    EXPECT_EQ(image.pixel(50, 5), qRgb(0x99, 0x66, 0x33));
    EXPECT_EQ(image.pixel(5, 30), qRgb(0x99, 0x66, 0x33));
}

TEST(GridOverlay, NothingWhenSwitchedOffOrDivisionsMeaningless)
{
    const QImage white = whitePreview(100, 60);
    QImage image = white;
    GridSettings off = grid(3, 3);
    off.displayGrid = false;
    drawGrid(image, off);
    EXPECT_EQ(image, white);
    drawGrid(image, grid(1, 0));
    EXPECT_EQ(image, white);
    drawGrid(image, grid(-4, -1));
    EXPECT_EQ(image, white);
}
