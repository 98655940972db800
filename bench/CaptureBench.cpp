// What the capture session adds to a shot, on the simulated EOS D60 with
// transfers as fast as the stream takes them, in one run:
//
//  - BM_ReleaseCompleteToDisplayJpeg: from the camera's release-complete
//    event to the display JPEG reaching the window (the release thread's
//    fetch, file writing, information texts and hand-over). Run with the
//    two settling pauses at 0 and at their 100 ms. Counters: transfer_ms
//    (the bare fetch of the same images through the SDK layer alone,
//    measured first) and added_ms = total - pauses - transfer. A third run
//    keeps the files off the disk: what remains is the session's own work
//    (writing with fsync is the disk's time).
//  - BM_MemoryStreamCopies: the bytes psMemoryStream copies to collect a
//    20 MB image written in 4 KiB pieces, as a multiple of the image size
//    (counter copied_x, the writes themselves included); argument 1 when the
//    announced size is reserved first, as the release thread does, 0 without.
#include "Camera.h"
#include "Pscstrms.h"
#include "SimControl.h"
#include "psDebugOutput.h"
#include "psRels.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::chrono::seconds kPatience{60};

double milliseconds(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

void attachCamera(const std::string &quality)
{
    simcam::SimConfig config = simcam::SimConfig::forModel("EOS D60");
    config.exposureCap = config.mirrorDelay = config.processingDelay = std::chrono::milliseconds(0);
    config.clock = *simcam::parseCameraTime("2002:06:02 08:30:00");
    config.apply("transfer=fast;quality=" + quality);
    simcam::configureCamera(config);
}

// Notes when the camera's events arrive, before the session sees them.
struct EventClock {
    std::mutex mutex;
    std::condition_variable changed;
    Clock::time_point releaseComplete;
    size_t completes = 0;
    std::vector<psImageEventRecord> records;

    static void listener(void *self, uint32_t code, const void *data, uint32_t)
    {
        auto *clock = static_cast<EventClock *>(self);
        const uint32_t event = code & PS_EVENT_MASK;
        std::lock_guard lock(clock->mutex);
        if (event == PS_EVENT_RELEASE_CONTROL && data != nullptr
            && *static_cast<const uint32_t *>(data) == PS_RELEASE_EVENT_RELEASE_COMPLETE) {
            clock->releaseComplete = Clock::now();
            ++clock->completes;
            clock->changed.notify_all();
        } else if ((event == PS_EVENT_THUMBNAIL_ON_RELEASE || event == PS_EVENT_FULLVIEW_ON_RELEASE) && data) {
            clock->records.push_back(*static_cast<const psImageEventRecord *>(data));
        }
    }
    bool waitForCompletes(size_t n)
    {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, kPatience, [&] { return completes >= n; });
    }
};

class BenchWindow : public CameraWindow {
public:
    explicit BenchWindow(std::string folder)
    {
        m_settings.baseDirectory = std::move(folder);
        m_settings.yearSubDir = m_settings.monthSubDir = m_settings.daySubDir = false;
    }
    void postMessage(PostedMessage message) override
    {
        std::lock_guard lock(m_mutex);
        if (message.message == CameraMessage::WM_DISPLAY_JPEG && !m_jpegSeen) {
            m_jpegSeen = true;
            m_jpegAt = Clock::now();
        }
        if (message.message == CameraMessage::WM_CAMERA_RELEASE_COMPLETE)
            ++m_completes;
        m_changed.notify_all();
    }
    void showError(const std::string &text) override { fail(text); }
    void setStatusText(const std::string &) override {}
    void setProgress(uint16_t) override {}
    void onImageSaved(const std::string &) override {}
    void endReleaseInUi(const std::string &, const std::string &, const std::string &error) override { fail(error); }
    void showExceptionBox(const std::string &text, ModalReply reply) override
    {
        fail(text);
        reply.close();
    }
    ImageDirectorySettings imageDirectorySettings() const override { return m_settings; }

    void expectShot()
    {
        std::lock_guard lock(m_mutex);
        m_jpegSeen = false;
    }
    // When the first display JPEG of the shot arrived, once it completed.
    bool waitForShot(size_t completes, Clock::time_point &jpegAt)
    {
        std::unique_lock lock(m_mutex);
        if (!m_changed.wait_for(lock, kPatience, [&] { return m_completes >= completes; }) || !m_jpegSeen)
            return false;
        jpegAt = m_jpegAt;
        return true;
    }
    std::string error() const
    {
        std::lock_guard lock(m_mutex);
        return m_error;
    }

private:
    void fail(const std::string &text)
    {
        std::lock_guard lock(m_mutex);
        m_error = text;
    }

    ImageDirectorySettings m_settings;
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_jpegSeen = false;
    Clock::time_point m_jpegAt;
    size_t m_completes = 0;
    std::string m_error;
};

// The same shot's images fetched through the SDK layer alone: the floor.
double bareTransferMilliseconds(int shots)
{
    psCameraConnection connection(PS_PORT_TYPE_USB, nullptr);
    EventClock events;
    connection.addEventListener(&EventClock::listener, &events);
    psReleaseControl release(connection);
    const ReleaseTransferFlags flags = PS_TRANSFER_PC_ONLY;
    release.setTransferFlags(&flags);
    std::vector<double> times;
    for (int shot = 0; shot < shots; ++shot) {
        {
            std::lock_guard lock(events.mutex);
            events.records.clear();
        }
        release.release();
        if (!events.waitForCompletes(static_cast<size_t>(shot + 1)))
            return -1;
        std::vector<psImageEventRecord> records;
        {
            std::lock_guard lock(events.mutex);
            records = events.records;
        }
        const auto start = Clock::now();
        for (size_t i = 0; i < records.size(); ++i) {
            psMemoryStream stream;
            release.getReleasedImage(&records[i], stream.stream(),
                                     i == 0 ? PS_IMAGE_KIND_THUMBNAIL : PS_IMAGE_KIND_FULLVIEW);
            benchmark::DoNotOptimize(stream.data().data());
        }
        times.push_back(milliseconds(Clock::now() - start));
    }
    connection.removeEventListener(&EventClock::listener, &events);
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// range(0): the settling pauses in ms; range(1): 1 to keep files off the disk
// (the image writer answers at once), which leaves the session's own work.
void releaseCompleteToDisplayJpeg(benchmark::State &state, const std::string &quality)
{
    const auto settle = std::chrono::milliseconds(state.range(0));
    const bool noDisk = state.range(1) != 0;
    attachCamera(quality);
    const double transfer = bareTransferMilliseconds(5);

    const std::filesystem::path folder = std::filesystem::temp_directory_path() / "quillomat-capture-bench";
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    BenchWindow window(folder.string());
    CameraConfig config;
    config.settleTime = settle;
    if (noDisk)
        config.writeFile = [](ImageKind kind, const ImageDirectorySettings &, const LocalDate &, const void *,
                              std::size_t) {
            return ImageFileResult{ImageFileStatus::Written, kind == ImageKind::Jpeg ? "IMG_0001.JPG" : "CRW_0001.CRW", 0};
        };
    Camera camera(window, PS_PORT_TYPE_USB, config);
    EventClock events;
    camera.addEventListener(&EventClock::listener, &events);
    ReleaseParams params;
    camera.getReleaseParams(params);

    // One release complete per release, counted from the first.
    size_t shots = 0;
    double total = 0;
    for (auto _ : state) {
        window.expectShot();
        camera.setUILock();
        camera.release();
        ++shots;
        Clock::time_point jpegAt;
        if (!events.waitForCompletes(shots) || !window.waitForShot(shots, jpegAt)) {
            state.SkipWithError(("no picture: " + window.error()).c_str());
            break;
        }
        camera.resetUILock();
        Clock::time_point completeAt;
        {
            std::lock_guard lock(events.mutex);
            completeAt = events.releaseComplete;
        }
        const double elapsed = milliseconds(jpegAt - completeAt);
        total += elapsed;
        state.SetIterationTime(elapsed / 1000.0);
    }
    camera.removeEventListener(&EventClock::listener, &events);
    if (shots > 0) {
        const double mean = total / static_cast<double>(shots);
        state.counters["transfer_ms"] = transfer;
        state.counters["pauses_ms"] = 2.0 * static_cast<double>(settle.count());
        state.counters["added_ms"] = mean - 2.0 * static_cast<double>(settle.count()) - transfer;
    }
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
}

void BM_ReleaseCompleteToDisplayJpeg_LargeFine(benchmark::State &state)
{
    releaseCompleteToDisplayJpeg(state, "large/fine");
}
void BM_ReleaseCompleteToDisplayJpeg_Raw(benchmark::State &state)
{
    releaseCompleteToDisplayJpeg(state, "raw");
}

// Writes a 20 MB image in 4 KiB pieces and counts what the stream moves.
void BM_MemoryStreamCopies(benchmark::State &state)
{
    constexpr size_t kImage = 20u * 1000u * 1000u;
    constexpr uint32_t kChunk = 4096;
    const std::vector<uint8_t> chunk(kChunk, 0x5A);
    double copied = 0;
    for (auto _ : state) {
        psMemoryStream memory;
        if (state.range(0) != 0)
            memory.reserve(kImage);
        pslStream *stream = memory.stream();
        copied = 0;
        for (size_t written = 0; written < kImage; written += kChunk) {
            const uint32_t size = static_cast<uint32_t>(std::min<size_t>(kChunk, kImage - written));
            const size_t before = memory.capacity();
            const size_t held = memory.size();
            stream->ops->write(stream, chunk.data(), size);
            // A new buffer means everything held so far was moved.
            if (memory.capacity() != before && held > 0)
                copied += static_cast<double>(held);
            copied += size;
        }
        benchmark::DoNotOptimize(memory.data().data());
    }
    state.counters["copied_x"] = copied / static_cast<double>(kImage);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(kImage));
}

} // namespace

BENCHMARK(BM_ReleaseCompleteToDisplayJpeg_LargeFine)
    ->Args({0, 0})
    ->Args({100, 0})
    ->Args({0, 1})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(20);
BENCHMARK(BM_ReleaseCompleteToDisplayJpeg_Raw)
    ->Args({0, 0})
    ->Args({100, 0})
    ->Args({0, 1})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(20);
BENCHMARK(BM_MemoryStreamCopies)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    // The session's trace lines would drown the results.
    psSetDebugSink([](std::string_view) {});
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
