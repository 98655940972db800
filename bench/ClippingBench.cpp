// The clipping marks' share of the preview path: decodePreviewBitmap of a
// camera-sized JPEG against markClipping on the preview it made, alternately
// in one run, keeping the best time of each. Counter ratio = marks / decode.
// Goal: at most 0.05.
#include "ClippingMarks.h"
#include "Histogram.h"
#include "JpegFixtures.h"
#include "PreviewDecoder.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <ctime>

namespace {

struct Sample {
    const char *name;
    int width;
    int height;
};

const Sample kSamples[] = {{"3072x2048", 3072, 2048}, {"2160x1440", 2160, 1440}, {"1536x1024", 1536, 1024}};

double threadSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

void BM_ClippingOverDecode(benchmark::State &state)
{
    const Sample &s = kSamples[state.range(0)];
    const jpegfixtures::Bytes jpeg =
        jpegfixtures::photoJpeg(s.width, s.height, 7u, jpegfixtures::Subsampling::S422, 95);
    Histogram histogram;
    QImage bitmap;
    QString error;
    double bestDecode = 1e9;
    double bestMarks = 1e9;
    for (auto _ : state) {
        const double t0 = threadSeconds();
        if (!decodePreviewBitmap(jpeg.data(), jpeg.size(), histogram, 0, bitmap, error))
            state.SkipWithError("decode failed");
        const double t1 = threadSeconds();
        const ClippingShare share = markClipping(bitmap);
        const double t2 = threadSeconds();
        benchmark::DoNotOptimize(share);
        bestDecode = std::min(bestDecode, t1 - t0);
        bestMarks = std::min(bestMarks, t2 - t1);
    }
    state.counters["decode_ms"] = bestDecode * 1e3;
    state.counters["marks_ms"] = bestMarks * 1e3;
    state.counters["ratio"] = bestMarks / bestDecode;
    state.SetLabel(s.name);
}
BENCHMARK(BM_ClippingOverDecode)->DenseRange(0, 2)->Unit(benchmark::kMillisecond)->MinTime(2);

}  // namespace

BENCHMARK_MAIN();
