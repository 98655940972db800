#include "ThumbnailCache.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <memory>

namespace {

class ThumbnailCacheTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        static int argc = 1;
        static char name[] = "ThumbnailCacheTest";
        static char *argv[] = {name, nullptr};
        if (!QCoreApplication::instance())
            s_app = std::make_unique<QGuiApplication>(argc, argv);
    }
    // Gone before the program's static objects are.
    static void TearDownTestSuite() { s_app.reset(); }

    void SetUp() override { ASSERT_TRUE(m_folder.isValid()); }

    QString writeJpeg(const QString &name, QSize size) const
    {
        QImage image(size, QImage::Format_RGB32);
        image.fill(Qt::cyan);
        EXPECT_TRUE(image.save(m_folder.filePath(name), "JPEG"));
        return m_folder.filePath(name);
    }

    QTemporaryDir m_folder;
    static inline std::unique_ptr<QGuiApplication> s_app;
};

TEST_F(ThumbnailCacheTest, AnswersLaterWithTheThumbnailAndKeepsIt)
{
    ThumbnailCache cache;
    QStringList ready;
    QObject::connect(&cache, &ThumbnailCache::thumbnailReady, [&](const QString &path) { ready << path; });
    const QString file = writeJpeg(QStringLiteral("IMG_0001.JPG"), {600, 400});
    EXPECT_TRUE(cache.thumbnail(file, 0).isNull());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !ready.isEmpty(); }, 10000));
    EXPECT_EQ(ready, QStringList{file});
    const QImage kept = cache.thumbnail(file, 0);
    EXPECT_EQ(kept.size(), QSize(120, 80));
    EXPECT_EQ(cache.keptBytes(), kept.sizeInBytes());
    // Another rotation is another picture.
    EXPECT_TRUE(cache.thumbnail(file, 90).isNull());
    ASSERT_TRUE(QTest::qWaitFor([&] { return ready.size() == 2; }, 10000));
    EXPECT_EQ(cache.thumbnail(file, 90).size(), QSize(60, 90));
}

TEST_F(ThumbnailCacheTest, AnUnreadableFileIsNotReadAgainAndAgain)
{
    ThumbnailCache cache;
    QStringList ready;
    QObject::connect(&cache, &ThumbnailCache::thumbnailReady, [&](const QString &path) { ready << path; });
    const QString missing = m_folder.filePath(QStringLiteral("IMG_0404.JPG"));
    const QString first = writeJpeg(QStringLiteral("IMG_0001.JPG"), {60, 40});
    EXPECT_TRUE(cache.thumbnail(missing, 0).isNull());
    EXPECT_TRUE(cache.thumbnail(first, 0).isNull());
    ASSERT_TRUE(QTest::qWaitFor([&] { return ready.contains(first); }, 10000));
    EXPECT_EQ(cache.keptCount(), 1);

    // The missing file now exists under that name: still not asked for
    // again. The one worker reads in order, so a read of it would be in
    // before the next file's.
    writeJpeg(QStringLiteral("IMG_0404.JPG"), {60, 40});
    EXPECT_TRUE(cache.thumbnail(missing, 0).isNull());
    const QString second = writeJpeg(QStringLiteral("IMG_0002.JPG"), {60, 40});
    EXPECT_TRUE(cache.thumbnail(second, 0).isNull());
    ASSERT_TRUE(QTest::qWaitFor([&] { return ready.contains(second); }, 10000));
    EXPECT_EQ(ready, (QStringList{first, second}));
}

TEST_F(ThumbnailCacheTest, TheBudgetHoldsWhateverIsAskedFor)
{
    ThumbnailCache cache;
    int ready = 0;
    QObject::connect(&cache, &ThumbnailCache::thumbnailReady, [&] { ++ready; });
    const QString file = writeJpeg(QStringLiteral("IMG_0001.JPG"), {240, 160});
    // One file under many names: more thumbnails than the budget holds, asked
    // for a waiting list's worth at a time so that every one is read.
    const qint64 each = 120 * 3 * 80;
    const int count = static_cast<int>(ThumbnailCache::kBudgetBytes / each) + 50;
    for (int first = 0; first < count; first += ThumbnailCache::kMaxWaiting) {
        const int last = std::min(count, first + ThumbnailCache::kMaxWaiting);
        for (int i = first; i < last; ++i) {
            const QString name = m_folder.filePath(QStringLiteral("IMG_%1.JPG").arg(i + 2, 4, 10, QLatin1Char('0')));
            ASSERT_TRUE(QFile::link(file, name));
            cache.thumbnail(name, 0);
        }
        ASSERT_TRUE(QTest::qWaitFor([&] { return ready == last; }, 10000)) << ready << " of " << last;
    }
    EXPECT_LE(cache.keptBytes(), ThumbnailCache::kBudgetBytes);
    EXPECT_LT(cache.keptCount(), count);
}

}  // namespace
