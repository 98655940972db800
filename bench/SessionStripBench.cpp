// The "Session" strip with 1000 images, on the offscreen platform, in one run:
//
//  - BM_StripScroll/<files>: the strip scrolled from the first image to the
//    last and back, one cell every 10 ms, while thumbnails are read off the
//    user-interface thread; then a last, slow pass that waits on each page
//    for its thumbnails. longest_stall_ms is the longest the user-interface
//    thread spent in one scroll step or one return to the event loop;
//    kept_mb_max the most the kept thumbnails ever took (10^6 bytes),
//    kept_count how many of the 1000 were kept at the end, reads how many
//    thumbnails were read in all. Goals: longest_stall_ms under 50,
//    kept_mb_max at most 30.
//    <files> 0: camera-size JPEGs (3072x2048) with a 160x120 EXIF thumbnail
//    (needs exiftool; skipped without it); 1: the same without a thumbnail,
//    each decoded at a reduced scale instead (the worst case).
#include "ImageList.h"
#include "SessionStrip.h"
#include "ThumbnailCache.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QListView>
#include <QPainter>
#include <QProcess>
#include <QScrollBar>
#include <QTemporaryDir>

#include <algorithm>

namespace {

constexpr int kImages = 1000;
constexpr qint64 kStepPauseMs = 10;
constexpr qint64 kPageWaitMs = 5000;

// A camera-size picture with detail in it, so that decoding costs what a
// photograph's does.
bool writeCameraJpeg(const QString &path)
{
    QImage image(3072, 2048, QImage::Format_RGB32);
    QPainter painter(&image);
    QLinearGradient gradient(0, 0, 3072, 2048);
    gradient.setColorAt(0, Qt::darkBlue);
    gradient.setColorAt(1, Qt::yellow);
    painter.fillRect(image.rect(), gradient);
    for (int i = 0; i < 400; ++i)
        painter.fillRect((i * 997) % 3000, (i * 613) % 2000, 60, 40, QColor::fromHsv((i * 37) % 360, 200, 220));
    painter.end();
    return image.save(path, "JPEG", 95);
}

bool embedThumbnail(const QString &path, const QString &folder)
{
    const QString thumb = folder + QStringLiteral("/thumb.jpg");
    QImage(path).scaled(160, 120, Qt::KeepAspectRatio, Qt::SmoothTransformation).save(thumb, "JPEG", 85);
    return QProcess::execute(QStringLiteral("exiftool"), {QStringLiteral("-q"), QStringLiteral("-overwrite_original"),
                                                          QStringLiteral("-ThumbnailImage<=") + thumb, path})
           == 0;
}

// Processes events for `ms`, returning the longest single return to the loop.
qint64 runEventsFor(qint64 ms)
{
    QElapsedTimer total;
    total.start();
    qint64 longest = 0;
    while (total.elapsed() < ms) {
        QElapsedTimer one;
        one.start();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        longest = std::max(longest, one.elapsed());
    }
    return longest;
}

void BM_StripScroll(benchmark::State &state)
{
    const bool withThumbnails = state.range(0) == 0;
    QTemporaryDir folder;
    const QString original = folder.filePath(QStringLiteral("original.jpg"));
    if (!writeCameraJpeg(original)) {
        state.SkipWithError("cannot write the picture");
        return;
    }
    if (withThumbnails && !embedThumbnail(original, folder.path())) {
        state.SkipWithError("exiftool is not installed");
        return;
    }
    ImageList images;
    for (int i = 1; i <= kImages; ++i) {
        const QString name = folder.filePath(QStringLiteral("IMG_%1.JPG").arg(i, 4, 10, QLatin1Char('0')));
        QFile::link(original, name);
        images.append(name, 0);
    }
    images.setCurrentIndex(0);

    for (auto _ : state) {
        SessionStrip strip(images, nullptr);
        int reads = 0;
        QObject::connect(&strip.thumbnails(), &ThumbnailCache::thumbnailReady, [&] { ++reads; });
        strip.show();
        QScrollBar *bar = strip.view()->horizontalScrollBar();
        bar->setValue(0);
        runEventsFor(100);
        const int cell = strip.view()->visualRect(images.index(0)).width();
        qint64 longest = 0;
        qint64 keptMax = 0;
        const auto step = [&](int value) {
            QElapsedTimer scroll;
            scroll.start();
            bar->setValue(value);
            strip.view()->viewport()->repaint();
            longest = std::max({longest, scroll.elapsed(), runEventsFor(kStepPauseMs)});
            keptMax = std::max<qint64>(keptMax, strip.thumbnails().keptBytes());
        };
        for (int value = 0; value <= bar->maximum(); value += cell)
            step(value);
        for (int value = bar->maximum(); value >= 0; value -= cell)
            step(value);
        // A last, slow pass: each page waits for its thumbnails.
        QListView *view = strip.view();
        const int page = view->viewport()->width();
        const auto pageShown = [&] {
            for (int x = 0; x < page; x += cell) {
                const QModelIndex index = view->indexAt(QPoint(x + cell / 2, cell / 2));
                if (index.isValid() && strip.thumbnails().thumbnail(index.data(ImageList::PathRole).toString(), 0).isNull())
                    return false;
            }
            return true;
        };
        for (int value = 0; value <= bar->maximum() + page; value += page) {
            step(std::min(value, bar->maximum()));
            QElapsedTimer waited;
            waited.start();
            while (!pageShown() && waited.elapsed() < kPageWaitMs)
                longest = std::max(longest, runEventsFor(kStepPauseMs));
            keptMax = std::max<qint64>(keptMax, strip.thumbnails().keptBytes());
        }
        state.counters["longest_stall_ms"] = static_cast<double>(longest);
        state.counters["kept_mb_max"] = static_cast<double>(keptMax) / 1e6;
        state.counters["kept_count"] = strip.thumbnails().keptCount();
        state.counters["reads"] = reads;
    }
}
BENCHMARK(BM_StripScroll)->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
