#include "ImageThumbnail.h"

#include <gtest/gtest.h>

#include <QColor>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>

namespace {

bool haveExiftool()
{
    return std::system("exiftool -ver > /dev/null 2>&1") == 0;
}

// The colour in the middle of an image.
QColor middle(const QImage &image)
{
    return image.pixelColor(image.width() / 2, image.height() / 2);
}

bool near(const QColor &a, const QColor &b)
{
    return std::abs(a.red() - b.red()) < 40 && std::abs(a.green() - b.green()) < 40 && std::abs(a.blue() - b.blue()) < 40;
}

class ImageThumbnailTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_folder.isValid()); }

    QString path(const char *name) const { return m_folder.filePath(QString::fromLatin1(name)); }

    // A plain JPEG of one colour.
    QString writeJpeg(const char *name, QSize size, Qt::GlobalColor colour) const
    {
        QImage image(size, QImage::Format_RGB32);
        image.fill(colour);
        EXPECT_TRUE(image.save(path(name), "JPEG", 90));
        return path(name);
    }

    // A 1200x800 red JPEG whose EXIF block carries a blue 160x120 thumbnail,
    // put there by exiftool as a camera would.
    QString jpegWithExifThumbnail(const char *name) const
    {
        const QString image = writeJpeg(name, {1200, 800}, Qt::red);
        const QString thumb = writeJpeg("thumb.jpg", {160, 120}, Qt::blue);
        const int status = QProcess::execute(QStringLiteral("exiftool"),
                                             {QStringLiteral("-q"), QStringLiteral("-overwrite_original"),
                                              QStringLiteral("-ThumbnailImage<=") + thumb, image});
        EXPECT_EQ(status, 0);
        return image;
    }

    QByteArray read(const QString &file) const
    {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    QTemporaryDir m_folder;
};

TEST_F(ImageThumbnailTest, TheExifThumbnailIsTheOneExiftoolFinds)
{
    if (!haveExiftool())
        GTEST_SKIP() << "exiftool is not installed";
    const QString image = jpegWithExifThumbnail("IMG_0001.JPG");
    QProcess exiftool;
    exiftool.start(QStringLiteral("exiftool"), {QStringLiteral("-b"), QStringLiteral("-ThumbnailImage"), image});
    ASSERT_TRUE(exiftool.waitForFinished());
    const QByteArray expected = exiftool.readAllStandardOutput();
    ASSERT_FALSE(expected.isEmpty());
    EXPECT_EQ(exifThumbnail(read(image)), expected);
}

TEST_F(ImageThumbnailTest, AJpegShowsItsExifThumbnailNotTheImage)
{
    if (!haveExiftool())
        GTEST_SKIP() << "exiftool is not installed";
    const QImage thumbnail = readImageThumbnail(jpegWithExifThumbnail("IMG_0001.JPG"), {120, 90}, 0);
    ASSERT_FALSE(thumbnail.isNull());
    EXPECT_EQ(thumbnail.size(), QSize(120, 90));
    EXPECT_TRUE(near(middle(thumbnail), Qt::blue)) << middle(thumbnail).name().toStdString();
}

TEST_F(ImageThumbnailTest, TruncatedOrDamagedExifGivesNoThumbnail)
{
    if (!haveExiftool())
        GTEST_SKIP() << "exiftool is not installed";
    const QByteArray whole = read(jpegWithExifThumbnail("IMG_0001.JPG"));
    const QByteArray thumbnail = exifThumbnail(whole);
    ASSERT_FALSE(thumbnail.isEmpty());
    const qsizetype end = whole.indexOf(thumbnail) + thumbnail.size();
    // Every cut before the thumbnail's end, and a few damaged bytes, read
    // nothing rather than past the end or a wrong picture.
    for (qsizetype cut = 0; cut < end; cut += 97)
        EXPECT_TRUE(exifThumbnail(whole.left(cut)).isEmpty()) << cut;
    QByteArray damaged = whole;
    damaged[whole.indexOf(thumbnail) + 1] = 0;  // no longer a JPEG start
    EXPECT_TRUE(exifThumbnail(damaged).isEmpty());
    EXPECT_TRUE(exifThumbnail(QByteArray("not a jpeg")).isEmpty());
}

TEST_F(ImageThumbnailTest, AJpegWithoutOneIsDecodedReducedToTheBox)
{
    struct Case {
        const char *name;
        QSize size;
        int rotation;
        QSize expected;
    };
    const Case cases[] = {
        {"landscape 3:2", {1440, 960}, 0, {120, 80}},
        {"landscape turned a quarter", {1440, 960}, 90, {60, 90}},
        {"landscape upside down", {1440, 960}, 180, {120, 80}},
        {"smaller than the box stays as it is", {60, 40}, 0, {60, 40}},
        {"portrait 2:3 turned back", {960, 1440}, 270, {120, 80}},
    };
    for (const Case &c : cases) {
        const QString file = writeJpeg("plain.jpg", c.size, Qt::green);
        const QImage thumbnail = readImageThumbnail(file, {120, 90}, c.rotation);
        EXPECT_EQ(thumbnail.size(), c.expected) << c.name;
        EXPECT_EQ(thumbnail.format(), QImage::Format_RGB888) << c.name;
        EXPECT_TRUE(near(middle(thumbnail), Qt::green)) << c.name;
    }
}

TEST_F(ImageThumbnailTest, ARawImageShowsItsThm)
{
    QFile raw(path("CRW_0001.CRW"));
    ASSERT_TRUE(raw.open(QIODevice::WriteOnly));
    raw.write("II\x1a\0\0\0HEAPCCDR", 14);
    raw.close();
    writeJpeg("CRW_0001.THM", {160, 120}, Qt::yellow);
    const QImage thumbnail = readImageThumbnail(path("CRW_0001.CRW"), {120, 90}, 0);
    ASSERT_FALSE(thumbnail.isNull());
    EXPECT_EQ(thumbnail.size(), QSize(120, 90));
    EXPECT_TRUE(near(middle(thumbnail), Qt::yellow)) << middle(thumbnail).name().toStdString();

    // Without its THM and without a JPEG inside: nothing, and no error.
    ASSERT_TRUE(QFile::remove(path("CRW_0001.THM")));
    EXPECT_TRUE(readImageThumbnail(path("CRW_0001.CRW"), {120, 90}, 0).isNull());
}

TEST_F(ImageThumbnailTest, AMissingOrBrokenFileGivesNothing)
{
    EXPECT_TRUE(readImageThumbnail(path("IMG_0404.JPG"), {120, 90}, 0).isNull());
    QFile broken(path("IMG_0002.JPG"));
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
    broken.write("\xFF\xD8\xFF\xE1\x00\x10garbage", 13);
    broken.close();
    EXPECT_TRUE(readImageThumbnail(path("IMG_0002.JPG"), {120, 90}, 0).isNull());
}

}  // namespace
