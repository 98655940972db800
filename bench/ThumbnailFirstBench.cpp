// The shot on screen before its full view has crossed the cable: the real
// window on the offscreen platform, the simulated EOS D60 on a USB 1 cable
// (transfer=usb1, about 1 MB/s), Large/Fine and raw, with the thumbnail
// shown first and without (today's window, the baseline of the same run).
//
//  - BM_ReleaseCompleteToPicture/raw:<0|1>/thumbnail:<0|1>: from the
//    camera's release-complete event (its sub-event, noted as the driver
//    reports it) to the first new picture painted (first_ms) and to the full
//    view painted (full_ms); medians. Goals: first_ms within 300 with the
//    thumbnail; full_ms no later than without it.
#include "CDezedoRavovadDlg.h"
#include "Prompts.h"
#include "SimControl.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QSettings>
#include <QTemporaryDir>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double milliseconds(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

class CountingPrompts : public Prompts {
public:
    void message(QWidget *, Icon, const QString &, const QString &text) override
    {
        ++shown;
        std::fprintf(stderr, "thumbnail_bench: box: %s\n", qPrintable(text));
    }
    bool askYesNo(QWidget *, const QString &, const QString &) override { return false; }
    std::optional<QString> chooseFolder(QWidget *, const QString &, const QString &) override { return {}; }
    std::optional<QColor> chooseColour(QWidget *, const QColor &) override { return {}; }
    std::optional<QString> chooseFile(QWidget *, const QString &, const QString &, const QString &) override
    {
        return {};
    }
    int shown = 0;
};

struct ReleaseClock {
    std::mutex mutex;
    Clock::time_point complete;
    std::atomic<int> completes{0};
    static void listener(void *self, uint32_t code, const void *data, uint32_t)
    {
        auto *clock = static_cast<ReleaseClock *>(self);
        if ((code & PS_EVENT_MASK) == PS_EVENT_RELEASE_CONTROL && data
            && *static_cast<const uint32_t *>(data) == PS_RELEASE_EVENT_RELEASE_COMPLETE) {
            std::lock_guard lock(clock->mutex);
            clock->complete = Clock::now();
            ++clock->completes;
        }
    }
};

// Notes the first paint of a new pixmap, and the first once the shot is
// saved: the full view is installed right after its file is listed.
class PaintWatch : public QObject {
public:
    PaintWatch(QLabel *picture, const CDezedoRavovadDlg &window) : m_picture(picture), m_window(window)
    {
        picture->installEventFilter(this);
    }
    void arm()
    {
        m_key = m_picture->pixmap().cacheKey();
        m_first = m_full = false;
        m_savedBefore = m_window.imageList().size();
    }
    bool fullPainted() const { return m_full; }
    Clock::time_point firstAt() const { return m_firstAt; }
    Clock::time_point fullAt() const { return m_fullAt; }

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() != QEvent::Paint)
            return false;
        const qint64 key = m_picture->pixmap().cacheKey();
        if (key == m_key)
            return false;
        m_key = key;
        const Clock::time_point now = Clock::now();
        if (!m_first) {
            m_first = true;
            m_firstAt = now;
        }
        if (!m_full && m_window.imageList().size() > m_savedBefore) {
            m_full = true;
            m_fullAt = now;
        }
        return false;
    }

private:
    QLabel *m_picture;
    const CDezedoRavovadDlg &m_window;
    size_t m_savedBefore = 0;
    qint64 m_key = 0;
    bool m_first = false;
    bool m_full = false;
    Clock::time_point m_firstAt;
    Clock::time_point m_fullAt;
};

void BM_ReleaseCompleteToPicture(benchmark::State &state)
{
    const bool raw = state.range(0) == 1;
    const bool thumbnailFirst = state.range(1) == 1;
    simcam::SimConfig config = simcam::SimConfig::forModel("EOS D60");
    config.exposureCap = config.mirrorDelay = config.processingDelay = std::chrono::milliseconds(0);
    config.apply(std::string("mode=manual;tv=1/125;card=100000;transfer=usb1;") +
                 (raw ? "quality=raw" : "quality=large/fine"));
    simcam::configureCamera(config);

    QTemporaryDir folder;
    const QString settingsFile = folder.filePath(QStringLiteral("settings.conf"));
    {
        QSettings settings(settingsFile, QSettings::NativeFormat);
        settings.setValue(QStringLiteral("100/BaseDirectory"), folder.filePath(QStringLiteral("images")));
        settings.setValue(QStringLiteral("100/YearSubDir"), 0u);
        settings.setValue(QStringLiteral("100/MonthSubDir"), 0u);
        settings.setValue(QStringLiteral("100/DaySubDir"), 0u);
        settings.setValue(QStringLiteral("100/ThumbnailFirst"), thumbnailFirst ? 1u : 0u);
    }
    CountingPrompts prompts;
    WindowServices services;
    services.prompts = &prompts;
    services.settingsFile = settingsFile;
    services.connectPause = std::chrono::milliseconds(0);
    services.screenHeight = [] { return 1024; };
    CDezedoRavovadDlg window(services);
    window.show();
    QCoreApplication::processEvents();
    if (!window.camera()) {
        state.SkipWithError("the simulated camera did not connect");
        return;
    }
    ReleaseClock releases;
    window.camera()->addEventListener(&ReleaseClock::listener, &releases);
    PaintWatch paint(window.findChild<QLabel *>(QStringLiteral("previewPicture")), window);

    std::vector<double> first, full;
    for (auto _ : state) {
        paint.arm();
        const size_t before = window.imageList().size();
        window.OnReleaseButton();
        QElapsedTimer patience;
        patience.start();
        while (!(window.imageList().size() > before && !window.isBusy() && paint.fullPainted())) {
            if (patience.elapsed() > 60000) {
                state.SkipWithError("the shot did not arrive");
                break;
            }
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        }
        if (!paint.fullPainted())
            break;
        Clock::time_point complete;
        {
            std::lock_guard lock(releases.mutex);
            complete = releases.complete;
        }
        first.push_back(milliseconds(paint.firstAt() - complete));
        full.push_back(milliseconds(paint.fullAt() - complete));
    }
    window.camera()->removeEventListener(&ReleaseClock::listener, &releases);
    const auto median = [](std::vector<double> v) {
        std::sort(v.begin(), v.end());
        return v.empty() ? 0.0 : v[v.size() / 2];
    };
    state.counters["first_ms"] = median(first);
    state.counters["full_ms"] = median(full);
    state.counters["boxes"] = prompts.shown;
}
BENCHMARK(BM_ReleaseCompleteToPicture)
    ->ArgsProduct({{0, 1}, {0, 1}})
    ->ArgNames({"raw", "thumbnail"})
    ->Iterations(5)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
