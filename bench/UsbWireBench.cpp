// The emulated USB cable against the simulated camera itself, in one run,
// both at full speed, on the same Large/Fine JPEG of a simulated EOS D60:
//
//  - BM_DirectReleasedImage: the camera's own getReleasedImage of the shot.
//  - BM_WireFileGet: gp_camera_file_get of that file from the card, through
//    Debian's libgphoto2 and canon driver, our port library and the served
//    camera (libgphoto2's file cache is emptied first, outside the timing).
//    Its counter ratio is its time over the direct one's (goal: at most 1.10).
//  - BM_WireCaptureAndGet: gp_camera_capture and gp_camera_file_get of the
//    new image, reported only: the driver drains the interrupt pipe for a
//    fixed 500 ms before every release.
//
// Argument 0 is full speed; argument 1 paces both at transfer=usb1 (about
// 1 MB/s), as a user on the camera's real cable would see them.
#include "CardFolder.h"
#include "SimCamera.h"
#include "UsbCable.h"
#include "UsbCableServer.h"

#include <gphoto2/gphoto2.h>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

struct Bench {
    std::string root;
    std::shared_ptr<simcam::SimCamera> camera;
    std::shared_ptr<simcam::CardFolder> card;
    uint32_t sequence = 0;
    size_t imageSize = 0;
    double directSeconds = 0;
};

constexpr uint32_t kUsb1BytesPerSecond = 1000000;

Bench &bench(int paced)
{
    static Bench b[2];
    return b[paced ? 1 : 0];
}

struct CollectingStream {
    pslStream base;
    std::vector<uint8_t> bytes;
};

psResult collect(pslStream *stream, const void *data, uint32_t size)
{
    auto *self = reinterpret_cast<CollectingStream *>(stream);
    const auto *p = static_cast<const uint8_t *>(data);
    self->bytes.insert(self->bytes.end(), p, p + size);
    return 0;
}

psResult noProgress(pslStream *, uint32_t)
{
    return 0;
}

const pslStreamOps kCollect = {collect, noProgress};

psResult ignoreEvents(uint32_t, const void *, uint32_t, void *)
{
    return 0;
}

// One release with "PC and card": the shot is on the card and fetchable.
bool setUp(int paced)
{
    Bench &b = bench(paced);
    b.root = (std::filesystem::temp_directory_path() /
              ("quillomat-usb-bench-" + std::to_string(getpid()) + "-" + std::to_string(paced)))
                 .string();
    std::filesystem::create_directories(b.root + "/run");
    setenv("IOLIBS", QUILLOMAT_IOLIBS_DIR, 1);
    setenv("CAMLIBS", QUILLOMAT_CAMLIBS_DIR, 1);

    simcam::SimConfig config = simcam::SimConfig::forModel("EOS D60");
    config.mirrorDelay = config.processingDelay = config.exposureCap = std::chrono::milliseconds(0);
    config.transferBytesPerSecond = paced ? kUsb1BytesPerSecond : 0;
    b.camera = std::make_shared<simcam::SimCamera>(config);
    b.card = std::make_shared<simcam::CardFolder>(b.root + "/card");
    b.card->prepare(nullptr);
    b.camera->attachCard(b.card);

    psPortDescrip port{};
    port.portType = PS_PORT_TYPE_USB;
    psDeviceHandle handle = 0;
    if (b.camera->open(&port, ignoreEvents, nullptr, &handle) != 0)
        return false;
    const uint8_t flags[4] = {PS_TRANSFER_PC_AND_CARD, 0, 0, 0};
    b.camera->releaseControl(handle, PS_RC_ENTER, 0, nullptr, 0, nullptr);
    b.camera->releaseControl(handle, PS_RC_SET_TRANSFER_FLAGS, sizeof flags, flags, 0, nullptr);
    b.camera->releaseControl(handle, PS_RC_RELEASE, 0, nullptr, 0, nullptr);
    b.camera->waitIdle();
    b.sequence = 1u << PS_SEQUENCE_ID_SHIFT;
    const auto shot = b.camera->releasedShot(b.sequence);
    b.camera->close(handle);
    if (!shot)
        return false;
    b.imageSize = shot->fullView.size();
    return true;
}

void BM_DirectReleasedImage(benchmark::State &state)
{
    Bench &b = bench(state.range(0));
    psPortDescrip port{};
    port.portType = PS_PORT_TYPE_USB;
    psDeviceHandle handle = 0;
    b.camera->open(&port, ignoreEvents, nullptr, &handle);
    const auto start = Clock::now();
    for (auto _ : state) {
        CollectingStream stream{{&kCollect}, {}};
        stream.bytes.reserve(b.imageSize);
        if (b.camera->releasedImage(handle, PS_IMAGE_KIND_FULLVIEW, b.sequence, &stream.base) != 0)
            state.SkipWithError("getReleasedImage failed");
        benchmark::DoNotOptimize(stream.bytes.data());
    }
    b.directSeconds = std::chrono::duration<double>(Clock::now() - start).count() / state.iterations();
    b.camera->close(handle);
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(b.imageSize));
}

struct Gphoto {
    Camera *camera = nullptr;
    GPContext *context = gp_context_new();
    Gphoto() { gp_camera_new(&camera); }
    ~Gphoto()
    {
        gp_camera_exit(camera, context);
        gp_camera_free(camera);
        gp_context_unref(context);
    }
};

bool serveCable(simcam::UsbCableServer &server, benchmark::State &state)
{
    setenv("XDG_RUNTIME_DIR", (bench(state.range(0)).root + "/run").c_str(), 1);
    std::string error;
    if (server.start(simcam::cable::socketPath(), &error))
        return true;
    state.SkipWithError(error.c_str());
    return false;
}

void BM_WireFileGet(benchmark::State &state)
{
    Bench &b = bench(state.range(0));
    simcam::UsbCableServer server(b.camera, b.card, [](const std::string &) {});
    if (!serveCable(server, state))
        return;
    Gphoto g;
    if (gp_camera_init(g.camera, g.context) < GP_OK) {
        state.SkipWithError("gp_camera_init failed");
        return;
    }
    double seconds = 0;
    for (auto _ : state) {
        state.PauseTiming();
        gp_filesystem_reset(g.camera->fs);
        CameraList *list = nullptr;
        gp_list_new(&list);
        gp_camera_folder_list_files(g.camera, "/DCIM/100CANON", list, g.context);
        gp_list_free(list);
        CameraFile *file = nullptr;
        gp_file_new(&file);
        state.ResumeTiming();
        const auto start = Clock::now();
        if (gp_camera_file_get(g.camera, "/DCIM/100CANON", "IMG_0001.JPG", GP_FILE_TYPE_NORMAL, file, g.context) <
            GP_OK)
            state.SkipWithError("gp_camera_file_get failed");
        seconds += std::chrono::duration<double>(Clock::now() - start).count();
        state.PauseTiming();
        gp_file_unref(file);
        state.ResumeTiming();
    }
    state.counters["ratio"] = b.directSeconds > 0 ? seconds / state.iterations() / b.directSeconds : 0;
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(b.imageSize));
}

void BM_WireCaptureAndGet(benchmark::State &state)
{
    Bench &b = bench(state.range(0));
    simcam::UsbCableServer server(b.camera, b.card, [](const std::string &) {});
    if (!serveCable(server, state))
        return;
    Gphoto g;
    for (auto _ : state) {
        CameraFilePath path{};
        if (gp_camera_capture(g.camera, GP_CAPTURE_IMAGE, &path, g.context) < GP_OK) {
            state.SkipWithError("gp_camera_capture failed");
            break;
        }
        CameraFile *file = nullptr;
        gp_file_new(&file);
        gp_camera_file_get(g.camera, path.folder, path.name, GP_FILE_TYPE_NORMAL, file, g.context);
        gp_file_unref(file);
    }
}

} // namespace

BENCHMARK(BM_DirectReleasedImage)->Unit(benchmark::kMillisecond)->MinTime(2.0)->Arg(0);
BENCHMARK(BM_WireFileGet)->Unit(benchmark::kMillisecond)->MinTime(2.0)->Arg(0);
BENCHMARK(BM_WireCaptureAndGet)->Unit(benchmark::kMillisecond)->Iterations(5)->Arg(0);
BENCHMARK(BM_DirectReleasedImage)->Unit(benchmark::kMillisecond)->Iterations(3)->Arg(1);
BENCHMARK(BM_WireFileGet)->Unit(benchmark::kMillisecond)->Iterations(3)->Arg(1);

int main(int argc, char **argv)
{
    if (!setUp(0) || !setUp(1)) {
        std::fprintf(stderr, "usb_wire_bench: the simulated camera took no picture\n");
        return 1;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::filesystem::remove_all(bench(0).root);
    std::filesystem::remove_all(bench(1).root);
    return 0;
}
