// The main preview against the bare decode it is built on, on camera-sized
// JPEGs, in one run. The summary at the end gives decodePreviewBitmap / floor
// per image: what resampling, counting and packaging add to the decode.
#include "Histogram.h"
#include "JpegFixtures.h"
#include "PreviewDecoder.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <jpeglib.h>

namespace {

using jpegfixtures::Bytes;
using jpegfixtures::Subsampling;

struct Sample
{
    const char *name;
    int width;
    int height;
    Subsampling sampling;
};

const Sample kSamples[] = {
    {"3072x2048_422", 3072, 2048, Subsampling::S422},
    {"3072x2048_420", 3072, 2048, Subsampling::S420},
    {"2160x1440_422", 2160, 1440, Subsampling::S422},
    {"2160x1440_420", 2160, 1440, Subsampling::S420},
};

// Made on first use, outside the timed loops.
const Bytes &sampleJpeg(int index)
{
    static std::map<int, Bytes> cache;
    auto found = cache.find(index);
    if (found == cache.end()) {
        const Sample &s = kSamples[index];
        found = cache.emplace(index, jpegfixtures::photoJpeg(s.width, s.height, 100u + unsigned(index), s.sampling, 95))
                    .first;
    }
    return found->second;
}

// The same scale the preview picks: halve while 1440 or more wide, at most 1/8.
unsigned previewDenominator(unsigned width)
{
    unsigned denominator = 1;
    while (width / denominator >= 1440 && denominator < 8)
        denominator *= 2;
    return denominator;
}

// libjpeg-turbo alone: decode at the preview's scale into a packed buffer.
void decodeFloor(const Bytes &jpeg, std::vector<unsigned char> &buffer)
{
    jpeg_decompress_struct info{};
    jpeg_error_mgr error{};
    info.err = jpeg_std_error(&error);
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, jpeg.data(), static_cast<unsigned long>(jpeg.size()));
    jpeg_read_header(&info, TRUE);
    info.out_color_space = JCS_EXT_BGR;
    info.scale_num = 1;
    info.scale_denom = previewDenominator(info.image_width);
    jpeg_start_decompress(&info);
    const std::size_t stride = std::size_t(info.output_width) * 3;
    buffer.resize(stride * info.output_height);
    std::vector<JSAMPROW> rows(info.output_height);
    for (std::size_t y = 0; y < rows.size(); ++y)
        rows[y] = buffer.data() + y * stride;
    while (info.output_scanline < info.output_height)
        jpeg_read_scanlines(&info, rows.data() + info.output_scanline, info.output_height - info.output_scanline);
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
}

void BM_Floor(benchmark::State &state)
{
    const Bytes &jpeg = sampleJpeg(int(state.range(0)));
    std::vector<unsigned char> buffer;
    for (auto _ : state) {
        decodeFloor(jpeg, buffer);
        benchmark::DoNotOptimize(buffer.data());
    }
    state.SetLabel(kSamples[state.range(0)].name);
}

void BM_DecodePreviewBitmap(benchmark::State &state)
{
    const Bytes &jpeg = sampleJpeg(int(state.range(0)));
    const int rotation = int(state.range(1));
    Histogram histogram;
    QImage bitmap;
    QString error;
    for (auto _ : state) {
        if (!decodePreviewBitmap(jpeg.data(), jpeg.size(), histogram, rotation, bitmap, error))
            state.SkipWithError("decode failed");
        benchmark::DoNotOptimize(bitmap.constBits());
    }
    state.SetLabel(kSamples[state.range(0)].name);
}

void BM_ShowImageDecode(benchmark::State &state)
{
    const Bytes &jpeg = sampleJpeg(int(state.range(0)));
    QImage image;
    QString error;
    for (auto _ : state) {
        if (!decodeFullImage(jpeg.data(), jpeg.size(), 0, image, error))
            state.SkipWithError("decode failed");
        benchmark::DoNotOptimize(image.constBits());
    }
    state.SetLabel(kSamples[state.range(0)].name);
}

double threadSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

// Floor and preview alternately, keeping the best time of each: on a busy
// machine the ratio of the bests is far steadier than that of two averages
// taken at different moments.
void BM_PreviewOverFloor(benchmark::State &state)
{
    const Bytes &jpeg = sampleJpeg(int(state.range(0)));
    std::vector<unsigned char> buffer;
    Histogram histogram;
    QImage bitmap;
    QString error;
    double bestFloor = 1e9;
    double bestPreview = 1e9;
    for (auto _ : state) {
        const double t0 = threadSeconds();
        decodeFloor(jpeg, buffer);
        const double t1 = threadSeconds();
        if (!decodePreviewBitmap(jpeg.data(), jpeg.size(), histogram, 0, bitmap, error))
            state.SkipWithError("decode failed");
        const double t2 = threadSeconds();
        bestFloor = std::min(bestFloor, t1 - t0);
        bestPreview = std::min(bestPreview, t2 - t1);
    }
    state.counters["floor_ms"] = bestFloor * 1e3;
    state.counters["preview_ms"] = bestPreview * 1e3;
    state.counters["ratio"] = bestPreview / bestFloor;
    state.SetLabel(kSamples[state.range(0)].name);
}

constexpr int kSampleCount = int(sizeof kSamples / sizeof kSamples[0]);

BENCHMARK(BM_Floor)->DenseRange(0, kSampleCount - 1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodePreviewBitmap)->ArgsProduct({benchmark::CreateDenseRange(0, kSampleCount - 1, 1), {0, 90}})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ShowImageDecode)->DenseRange(0, kSampleCount - 1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PreviewOverFloor)->DenseRange(0, kSampleCount - 1)->Unit(benchmark::kMillisecond)->MinTime(3);

// Prints as usual and keeps the CPU time per iteration of every run.
class RatioReporter : public benchmark::ConsoleReporter
{
public:
    void ReportRuns(const std::vector<Run> &runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run &run : runs)
            if (run.run_type == Run::RT_Iteration && !run.error_occurred && run.iterations > 0) {
                m_times[run.benchmark_name()] = run.GetAdjustedCPUTime();
                const auto ratio = run.counters.find("ratio");
                if (ratio != run.counters.end()) {
                    const std::string name = run.benchmark_name();
                    m_bestRatios[name.substr(0, name.find("/min_time"))] = ratio->second.value;
                }
            }
    }

    void printRatios() const
    {
        std::printf("\ndecodePreviewBitmap / floor (CPU time, same run):\n");
        for (int i = 0; i < kSampleCount; ++i) {
            const std::string arg = std::to_string(i);
            const double floor = time("BM_Floor/" + arg);
            const double preview = time("BM_DecodePreviewBitmap/" + arg + "/0");
            const double turned = time("BM_DecodePreviewBitmap/" + arg + "/90");
            const double full = time("BM_ShowImageDecode/" + arg);
            if (floor <= 0 || preview <= 0)
                continue;
            const auto best = m_bestRatios.find("BM_PreviewOverFloor/" + arg);
            std::printf("  %-14s floor %7.2f ms  preview %7.2f ms  ratio %.3f  (interleaved best-of ratio %.3f)   "
                        "rotation 90 ratio %.3f   full-size decode %7.2f ms\n",
                        kSamples[i].name, floor, preview, preview / floor,
                        best == m_bestRatios.end() ? 0.0 : best->second, turned > 0 ? turned / floor : 0.0, full);
        }
    }

private:
    double time(const std::string &name) const
    {
        const auto found = m_times.find(name);
        return found == m_times.end() ? 0 : found->second;
    }

    std::map<std::string, double> m_times;
    std::map<std::string, double> m_bestRatios;
};

} // namespace

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.printRatios();
    benchmark::Shutdown();
    return 0;
}
