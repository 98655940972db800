#include "ServeCommand.h"

#include "CameraMemory.h"
#include "CardFolder.h"
#include "SimControl.h"
#include "UsbCable.h"
#include "UsbCableServer.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <memory>
#include <mutex>
#include <thread>

namespace {

volatile std::sig_atomic_t g_stop = 0;

void requestStop(int)
{
    g_stop = 1;
}

constexpr auto kMemoryInterval = std::chrono::milliseconds(200);

simcam::CameraMemory memoryOf(simcam::SimCamera &camera)
{
    simcam::CameraMemory memory;
    memory.state = camera.state();
    memory.owner = camera.config().owner;
    memory.clockOffset = camera.clockOffset();
    return memory;
}

} // namespace

int serveCamera(const std::string &controlSocketPath)
{
    simcam::SimConfig config = simcam::SimConfig::fromEnvironment();
    const std::string cardRoot = config.cardFolder.empty() ? simcam::CardFolder::defaultRoot() : config.cardFolder;
    const std::string memoryPath = simcam::CameraMemory::pathBeside(cardRoot);
    simcam::CameraMemory::restore(memoryPath, config);

    auto card = std::make_shared<simcam::CardFolder>(cardRoot);
    std::string error;
    if (!card->prepare(&error)) {
        std::fprintf(stderr, "quillomat-simcam: cannot use the card folder: %s\n", error.c_str());
        return 1;
    }
    config.control = false;   // the control socket is started below, on the path given
    simcam::configureCamera(config);
    const auto camera = simcam::simulatedCamera();
    camera->attachCard(card);

    static std::mutex logMutex;
    simcam::UsbCableServer cable(camera, card, [](const std::string &line) {
        std::lock_guard lock(logMutex);
        std::fprintf(stderr, "quillomat-simcam: %s\n", line.c_str());
    });
    const std::string cablePath = simcam::cable::socketPath();
    if (!cable.start(cablePath, &error)) {
        std::fprintf(stderr, "quillomat-simcam: %s\n", error.c_str());
        return 1;
    }
    if (!simcam::startControlServer(controlSocketPath, &error)) {
        std::fprintf(stderr, "quillomat-simcam: %s\n", error.c_str());
        return 1;
    }
    std::signal(SIGINT, requestStop);
    std::signal(SIGTERM, requestStop);
    std::printf("quillomat-simcam: serving an %s on the USB cable %s\n"
                "quillomat-simcam: its card is %s; commands on %s\n",
                camera->state().model.name.c_str(), cablePath.c_str(), cardRoot.c_str(), controlSocketPath.c_str());
    std::fflush(stdout);

    // The camera keeps its settings with the power off: written whenever they change.
    simcam::CameraMemory saved = memoryOf(*camera);
    while (!g_stop) {
        std::this_thread::sleep_for(kMemoryInterval);
        const simcam::CameraMemory now = memoryOf(*camera);
        if (!(now == saved) && now.save(memoryPath, &error))
            saved = now;
    }
    simcam::stopControlServer();
    cable.stop();
    if (!memoryOf(*camera).save(memoryPath, &error))
        std::fprintf(stderr, "quillomat-simcam: settings not kept: %s\n", error.c_str());
    return 0;
}
