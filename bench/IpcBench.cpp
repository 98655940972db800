// The IPC channel's round trip for command 1 (report state): the client
// fills in the block, sends its word on the socket, waits for the result and
// reads the answer from the block. 10,000 exchanges from one client each;
// counters median_us and p99_us of the single round trips.
//
//  - BM_StateRoundTripBare: the socket server, the block and the dispatcher
//    on a thread of their own with a window that only answers: the
//    transport's own cost.
//  - BM_StateRoundTripWindow: the real main window, idle, on the offscreen
//    platform with the simulated EOS D60 connected, its user-interface
//    thread serving the client through its event loop. Goal: median under
//    200 µs.
#include "CDezedoRavovadDlg.h"
#include "IpcClient.h"
#include "IpcDispatcher.h"
#include "IpcServer.h"
#include "Prompts.h"
#include "SimControl.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QEventLoop>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <sys/mman.h>
#include <thread>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kExchanges = 10000;

class SilentPrompts : public Prompts {
public:
    void message(QWidget *, Icon, const QString &, const QString &text) override
    {
        std::fprintf(stderr, "ipc_bench: box: %s\n", qPrintable(text));
    }
    bool askYesNo(QWidget *, const QString &, const QString &) override { return false; }
    std::optional<QString> chooseFolder(QWidget *, const QString &, const QString &) override { return {}; }
    std::optional<QColor> chooseColour(QWidget *, const QColor &) override { return {}; }
    std::optional<QString> chooseFile(QWidget *, const QString &, const QString &, const QString &) override
    {
        return {};
    }
};

class IdleWindow : public IpcWindow {
public:
    bool isConnected() const override { return true; }
    bool isBusy() const override { return false; }
    std::string cameraModelName() const override { return "EOS D60"; }
    std::string modeText() const override { return "Mode: Manual"; }
    bool release() override { return false; }
    int listSize(StepList) const override { return 0; }
    bool selectListPosition(StepList, int) override { return false; }
    void setBaseDirectory(const std::string &) override {}
    std::optional<ImageDirectorySettings> imageDirectorySettings() const override { return std::nullopt; }
    LocalDate today() const override { return {}; }
    void setComment(const std::string &) override {}
    uint32_t windowId() const override { return static_cast<uint32_t>(::getpid()); }
};

std::string blockName(const char *which)
{
    return "/QuillomatBench-" + std::to_string(::getpid()) + "-" + which;
}

// One round trip of command 1 in microseconds; negative when it failed.
double roundTrip(IpcClient &client)
{
    const Clock::time_point start = Clock::now();
    client.setCommand(static_cast<int32_t>(IpcCommand::ReportState));
    std::string error;
    if (!client.exchange(std::chrono::seconds(5), error))
        return -1;
    const IpcAnswer answer = client.answer();
    benchmark::DoNotOptimize(answer);
    if (answer.status != static_cast<int32_t>(IpcStatus::Idle))
        return -1;
    return std::chrono::duration<double, std::micro>(Clock::now() - start).count();
}

void report(benchmark::State &state, std::vector<double> times)
{
    std::sort(times.begin(), times.end());
    state.counters["median_us"] = times[times.size() / 2];
    state.counters["p99_us"] = times[times.size() * 99 / 100];
    state.counters["max_us"] = times.back();
    state.counters["exchanges"] = static_cast<double>(times.size());
}

void BM_StateRoundTripBare(benchmark::State &state)
{
    QTemporaryDir folder;
    const std::string socketPath = folder.filePath(QStringLiteral("Quillomat.ipc")).toStdString();
    const std::string block = blockName("bare");
    std::string error;
    std::unique_ptr<IpcServer> server = IpcServer::listen(socketPath, error);
    if (!server) {
        state.SkipWithError(error.c_str());
        return;
    }
    IdleWindow window;
    IpcDispatcher dispatcher(window);
    IpcChannel channel(block);
    std::atomic<bool> serving{true};
    std::thread serverThread([&] {
        while (serving)
            server->runOnce(std::chrono::milliseconds(50), [&] { return dispatcher.handle(channel); });
    });
    IpcClient::Failure failure;
    std::unique_ptr<IpcClient> client = IpcClient::connect(socketPath, block, failure, error);
    std::vector<double> times;
    times.reserve(kExchanges);
    if (client) {
        for (auto _ : state) {
            const double micro = roundTrip(*client);
            if (micro < 0) {
                state.SkipWithError("an exchange failed");
                break;
            }
            times.push_back(micro);
        }
    } else {
        state.SkipWithError(error.c_str());
    }
    client.reset();
    serving = false;
    serverThread.join();
    ::shm_unlink(block.c_str());
    if (!times.empty())
        report(state, times);
}
BENCHMARK(BM_StateRoundTripBare)->Iterations(kExchanges)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_StateRoundTripWindow(benchmark::State &state)
{
    simcam::SimConfig config = simcam::SimConfig::forModel("EOS D60");
    config.apply("mode=manual;tv=1/125");
    simcam::configureCamera(config);

    QTemporaryDir folder;
    const QString runtime = folder.filePath(QStringLiteral("runtime"));
    QDir().mkpath(runtime);
    QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime));
    const QString settingsFile = folder.filePath(QStringLiteral("settings.conf"));
    {
        QSettings settings(settingsFile, QSettings::NativeFormat);
        settings.setValue(QStringLiteral("100/BaseDirectory"), folder.filePath(QStringLiteral("images")));
    }
    SilentPrompts prompts;
    WindowServices services;
    services.prompts = &prompts;
    services.settingsFile = settingsFile;
    services.connectPause = std::chrono::milliseconds(0);
    services.screenHeight = [] { return 1024; };
    services.ipcBlockName = blockName("window");
    auto window = std::make_unique<CDezedoRavovadDlg>(services);
    window->show();
    QCoreApplication::processEvents();
    if (!window->isConnected()) {
        state.SkipWithError("the simulated camera did not connect");
        return;
    }

    const std::string socketPath = QFile::encodeName(runtime + QStringLiteral("/Quillomat.ipc")).toStdString();
    std::vector<double> times;
    times.reserve(kExchanges);
    for (auto _ : state) {
        // The client on a thread of its own; this thread runs the window's event loop.
        QEventLoop loop;
        std::atomic<bool> failed{false};
        std::thread clientThread([&] {
            IpcClient::Failure failure;
            std::string error;
            std::unique_ptr<IpcClient> client = IpcClient::connect(socketPath, services.ipcBlockName, failure, error);
            for (int i = 0; client && i < kExchanges && !failed; ++i) {
                const double micro = roundTrip(*client);
                if (micro < 0)
                    failed = true;
                else
                    times.push_back(micro);
            }
            if (!client)
                failed = true;
            QMetaObject::invokeMethod(&loop, "quit", Qt::QueuedConnection);
        });
        loop.exec();
        clientThread.join();
        if (failed) {
            state.SkipWithError("an exchange failed");
            break;
        }
    }
    window.reset();
    ::shm_unlink(services.ipcBlockName.c_str());
    if (!times.empty())
        report(state, times);
}
BENCHMARK(BM_StateRoundTripWindow)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

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
