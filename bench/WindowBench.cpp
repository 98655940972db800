// What the main window adds to a shot, with the real window on the offscreen
// platform and the simulated EOS D60, in one run:
//
//  - BM_ShotToScreen/<quality>: from the camera's release-complete event to
//    the new preview painted in the window. Counters: session_ms (release
//    complete to the display JPEG posted to the window: the two 100 ms
//    settling pauses, the fetch and the file, as capture_bench measures),
//    window_ms (posted to painted: decoding, histogram, grid, status, paint)
//    and total_ms. Goal: window_ms under 50 for Large/Fine.
//  - BM_LongestBusyDuringTransfer: a Large/Fine shot over a USB 1 cable
//    (about 1 MB/s). A zero timer on the user-interface thread notes every
//    return to the event loop; longest_busy_ms is the longest gap between
//    two of them from release to release complete, progress_steps the
//    distinct values the progress bar showed. Goal: under 50 ms.
//  - BM_ResidentMemoryOver1000Shots: 1000 shots through the window; the
//    resident set after 100 and after 1000 shots (rss_100_mb, rss_1000_mb)
//    and their difference (growth_mb). Goal: growth under 5 MB.
#include "CDezedoRavovadDlg.h"
#include "Prompts.h"
#include "SimControl.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QProgressBar>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <set>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

double milliseconds(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

// Boxes are never expected in a benchmark; count them so a run that shows
// one is visibly wrong.
class CountingPrompts : public Prompts {
public:
    void message(QWidget *, Icon, const QString &, const QString &text) override
    {
        ++shown;
        std::fprintf(stderr, "window_bench: box: %s\n", qPrintable(text));
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

// The window, noting when the release thread hands it the display JPEG.
class TimedWindow : public CDezedoRavovadDlg {
public:
    using CDezedoRavovadDlg::CDezedoRavovadDlg;
    void postMessage(PostedMessage message) override
    {
        if (message.message == CameraMessage::WM_DISPLAY_JPEG) {
            std::lock_guard lock(mutex);
            jpegPosted = Clock::now();
        }
        CDezedoRavovadDlg::postMessage(std::move(message));
    }
    Clock::time_point jpegPostedAt()
    {
        std::lock_guard lock(mutex);
        return jpegPosted;
    }

private:
    std::mutex mutex;
    Clock::time_point jpegPosted;
};

// Notes the camera's release-complete event as it happens.
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

// Notes the first paint of the preview picture showing a new pixmap.
class PaintWatch : public QObject {
public:
    explicit PaintWatch(QLabel *picture) : m_picture(picture) { picture->installEventFilter(this); }
    void arm() { m_key = m_picture->pixmap().cacheKey(); m_painted = false; }
    bool painted() const { return m_painted; }
    Clock::time_point paintedAt() const { return m_at; }

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && !m_painted && m_picture->pixmap().cacheKey() != m_key) {
            m_painted = true;
            m_at = Clock::now();
        }
        return false;
    }

private:
    QLabel *m_picture;
    qint64 m_key = 0;
    bool m_painted = false;
    Clock::time_point m_at;
};

struct Bench {
    QTemporaryDir folder;
    CountingPrompts prompts;
    std::unique_ptr<TimedWindow> window;
    ReleaseClock releases;

    Bench(const std::string &cameraKeys, std::chrono::milliseconds settle)
    {
        simcam::SimConfig config = simcam::SimConfig::forModel("EOS D60");
        config.exposureCap = config.mirrorDelay = config.processingDelay = std::chrono::milliseconds(0);
        config.apply("mode=manual;tv=1/125;card=100000;" + cameraKeys);
        simcam::configureCamera(config);

        const QString settingsFile = folder.filePath(QStringLiteral("settings.conf"));
        QSettings settings(settingsFile, QSettings::NativeFormat);
        settings.setValue(QStringLiteral("100/BaseDirectory"), folder.filePath(QStringLiteral("images")));
        settings.setValue(QStringLiteral("100/YearSubDir"), 0u);
        settings.setValue(QStringLiteral("100/MonthSubDir"), 0u);
        settings.setValue(QStringLiteral("100/DaySubDir"), 0u);
        settings.sync();

        WindowServices services;
        services.prompts = &prompts;
        services.settingsFile = settingsFile;
        services.cameraConfig.settleTime = settle;
        services.connectPause = std::chrono::milliseconds(0);
        services.screenHeight = [] { return 1024; };
        window = std::make_unique<TimedWindow>(services);
        window->show();
        QCoreApplication::processEvents();
        if (window->camera())
            window->camera()->addEventListener(&ReleaseClock::listener, &releases);
    }
    ~Bench()
    {
        if (window->camera())
            window->camera()->removeEventListener(&ReleaseClock::listener, &releases);
        window.reset();
    }
    bool connected() const { return window->isConnected(); }

    // One Release, processing events until the window is idle with the shot saved.
    bool shoot()
    {
        const size_t before = window->imageList().size();
        window->OnReleaseButton();
        QElapsedTimer patience;
        patience.start();
        while (!(window->imageList().size() > before && !window->isBusy())) {
            if (patience.elapsed() > 60000)
                return false;
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        }
        return true;
    }
};

double residentMegabytes()
{
    long pages = 0, resident = 0;
    if (FILE *statm = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(statm);
    }
    return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

void BM_ShotToScreen(benchmark::State &state)
{
    const bool raw = state.range(0) == 1;
    Bench bench(raw ? "quality=raw;transfer=fast" : "quality=large/fine;transfer=fast", std::chrono::milliseconds(100));
    if (!bench.connected()) {
        state.SkipWithError("the simulated camera did not connect");
        return;
    }
    auto *picture = bench.window->findChild<QLabel *>(QStringLiteral("previewPicture"));
    PaintWatch paint(picture);
    std::vector<double> session, window, total;
    for (auto _ : state) {
        paint.arm();
        const int completes = bench.releases.completes.load();
        if (!bench.shoot()) {
            state.SkipWithError("the shot did not arrive");
            return;
        }
        QElapsedTimer patience;
        patience.start();
        while (!paint.painted() && patience.elapsed() < 5000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        if (bench.releases.completes.load() == completes || !paint.painted()) {
            state.SkipWithError("no release complete or no paint seen");
            return;
        }
        Clock::time_point complete;
        {
            std::lock_guard lock(bench.releases.mutex);
            complete = bench.releases.complete;
        }
        const Clock::time_point posted = bench.window->jpegPostedAt();
        session.push_back(milliseconds(posted - complete));
        window.push_back(milliseconds(paint.paintedAt() - posted));
        total.push_back(milliseconds(paint.paintedAt() - complete));
    }
    const auto median = [](std::vector<double> v) {
        std::sort(v.begin(), v.end());
        return v.empty() ? 0.0 : v[v.size() / 2];
    };
    state.counters["session_ms"] = median(session);
    state.counters["window_ms"] = median(window);
    state.counters["total_ms"] = median(total);
    state.counters["boxes"] = bench.prompts.shown;
}
BENCHMARK(BM_ShotToScreen)->Arg(0)->Arg(1)->ArgName("raw")->Iterations(20)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_LongestBusyDuringTransfer(benchmark::State &state)
{
    Bench bench("quality=large/fine;transfer=usb1", std::chrono::milliseconds(100));
    if (!bench.connected()) {
        state.SkipWithError("the simulated camera did not connect");
        return;
    }
    auto *progress = bench.window->findChild<QProgressBar *>(QStringLiteral("transferProgress"));
    double longest = 0;
    std::set<int> steps;
    for (auto _ : state) {
        Clock::time_point last = Clock::now();
        QTimer tick;
        tick.setInterval(0);
        QObject::connect(&tick, &QTimer::timeout, [&] {
            const Clock::time_point now = Clock::now();
            longest = std::max(longest, milliseconds(now - last));
            last = now;
            steps.insert(progress->value());
        });
        tick.start();
        last = Clock::now();
        if (!bench.shoot()) {
            state.SkipWithError("the shot did not arrive");
            return;
        }
        tick.stop();
    }
    state.counters["longest_busy_ms"] = longest;
    state.counters["progress_steps"] = static_cast<double>(steps.size());
    state.counters["boxes"] = bench.prompts.shown;
}
BENCHMARK(BM_LongestBusyDuringTransfer)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ResidentMemoryOver1000Shots(benchmark::State &state)
{
    Bench bench("quality=large/fine;transfer=fast", std::chrono::milliseconds(0));
    if (!bench.connected()) {
        state.SkipWithError("the simulated camera did not connect");
        return;
    }
    double after100 = 0, after1000 = 0;
    for (auto _ : state) {
        for (int shot = 1; shot <= 1000; ++shot) {
            if (!bench.shoot()) {
                state.SkipWithError("a shot did not arrive");
                return;
            }
            if (shot == 100)
                after100 = residentMegabytes();
        }
        after1000 = residentMegabytes();
    }
    state.counters["rss_100_mb"] = after100;
    state.counters["rss_1000_mb"] = after1000;
    state.counters["growth_mb"] = after1000 - after100;
    state.counters["boxes"] = bench.prompts.shown;
}
BENCHMARK(BM_ResidentMemoryOver1000Shots)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

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
