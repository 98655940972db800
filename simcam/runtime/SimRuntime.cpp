// The setup calls and the driver object of the simulated runtime: the C entry
// points of psLLAPI.h, each forwarding to the attached SimCamera.
#include "SettingsDialogLoader.h"
#include "SimControl.h"

#include <psError.h>
#include <psLLAPI.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace simcam {
namespace {

struct Registry {
    std::mutex mutex;
    std::shared_ptr<SimCamera> camera;
    bool serverTried = false;
};

Registry &registry()
{
    static Registry instance;
    return instance;
}

// The control server starts with the first setup call of a program whose
// configuration asks for it, never in a process that does not.
void startServerIfConfigured(const SimConfig &config)
{
    {
        std::lock_guard lock(registry().mutex);
        if (registry().serverTried)
            return;
        registry().serverTried = true;
    }
    if (!config.control)
        return;
    std::string error;
    const std::string path = config.socketPath.empty() ? defaultControlSocketPath() : config.socketPath;
    if (!startControlServer(path, &error))
        std::fprintf(stderr, "quillomat simcam: control socket not started: %s\n", error.c_str());
}

constexpr psResult setupError(uint32_t code)
{
    return psMakeError(psCOMPONENT_SETUP, code);
}

constexpr psResult driverError(uint32_t code)
{
    return psMakeError(psCOMPONENT_LLSDK, code);
}

std::atomic<uint32_t> g_lastModel{0};

std::shared_ptr<SimCamera> cameraFor(pslBASE_API *api);

psResult opOpen(pslBASE_API *api, const psPortDescrip *port, psEventCallback callback, void *context,
                psDeviceHandle *handle)
{
    const auto camera = cameraFor(api);
    return camera ? camera->open(port, callback, context, handle) : driverError(psERR_INVALID_HANDLE);
}

psResult opClose(pslBASE_API *api, psDeviceHandle handle)
{
    const auto camera = cameraFor(api);
    return camera ? camera->close(handle) : driverError(psERR_INVALID_HANDLE);
}

psResult opProperty(pslBASE_API *api, psDeviceHandle handle, uint32_t property, void *buffer, uint32_t size)
{
    const auto camera = cameraFor(api);
    return camera ? camera->property(handle, property, buffer, size) : driverError(psERR_INVALID_HANDLE);
}

psResult opPropertyCount(pslBASE_API *api, psDeviceHandle handle, uint32_t *count)
{
    const auto camera = cameraFor(api);
    return camera ? camera->propertyCount(handle, count) : driverError(psERR_INVALID_HANDLE);
}

psResult opDeviceInfo(pslBASE_API *api, psDeviceHandle handle, psDeviceInfo *info)
{
    const auto camera = cameraFor(api);
    return camera ? camera->deviceInfo(handle, info) : driverError(psERR_INVALID_HANDLE);
}

psResult opReleaseControl(pslBASE_API *api, psDeviceHandle handle, uint32_t command, uint32_t inSize,
                          const void *in, uint32_t outSize, void *out)
{
    const auto camera = cameraFor(api);
    return camera ? camera->releaseControl(handle, command, inSize, in, outSize, out)
                  : driverError(psERR_INVALID_HANDLE);
}

psResult opReleasedImage(pslBASE_API *api, psDeviceHandle handle, uint32_t kind, uint32_t sequence,
                         pslStream *stream)
{
    const auto camera = cameraFor(api);
    return camera ? camera->releasedImage(handle, kind, sequence, stream) : driverError(psERR_INVALID_HANDLE);
}

psResult opSettingsDialog(pslBASE_API *api, psDeviceHandle handle, void *window)
{
    const auto camera = cameraFor(api);
    if (!camera)
        return driverError(psERR_INVALID_HANDLE);
    // The dialog's library is looked for only now, so that a program that
    // never asks for it never loads a toolkit.
    return camera->settingsDialog(handle, window, SettingsDialogLoader(SettingsDialogLoader::defaultCandidates()));
}

psResult opReadParameterSet(pslBASE_API *api, psDeviceHandle handle, psParameterSetRecord *record)
{
    const auto camera = cameraFor(api);
    return camera ? camera->readParameterSet(handle, record) : driverError(psERR_INVALID_HANDLE);
}

psResult opLock(pslBASE_API *api, psDeviceHandle handle, uint32_t mode)
{
    const auto camera = cameraFor(api);
    return camera ? camera->lock(handle, mode) : driverError(psERR_INVALID_HANDLE);
}

psResult opUnlock(pslBASE_API *api, psDeviceHandle handle)
{
    const auto camera = cameraFor(api);
    return camera ? camera->unlock(handle) : driverError(psERR_INVALID_HANDLE);
}

pslBASE_API g_driver = {
    sizeof(pslBASE_API), PSL_API_VERSION, opOpen, opClose, opProperty, opPropertyCount, opDeviceInfo,
    opReleaseControl, opReleasedImage, opSettingsDialog, opReadParameterSet, opLock, opUnlock,
};

std::shared_ptr<SimCamera> cameraFor(pslBASE_API *api)
{
    if (api != &g_driver)
        return nullptr;
    return simulatedCamera();
}

} // namespace

std::shared_ptr<SimCamera> simulatedCamera()
{
    std::shared_ptr<SimCamera> camera;
    {
        std::lock_guard lock(registry().mutex);
        if (registry().camera)
            return registry().camera;
    }
    // Made outside the registry's lock: reading the environment may print.
    auto made = std::make_shared<SimCamera>(SimConfig::fromEnvironment());
    std::lock_guard lock(registry().mutex);
    if (!registry().camera)
        registry().camera = std::move(made);
    return registry().camera;
}

void configureCamera(const SimConfig &config)
{
    auto camera = std::make_shared<SimCamera>(config);
    std::shared_ptr<SimCamera> old;
    {
        std::lock_guard lock(registry().mutex);
        old = std::move(registry().camera);
        registry().camera = std::move(camera);
    }
    // old (and its device thread) goes when the last caller lets go of it.
}

void configureCameraFromEnvironment()
{
    configureCamera(SimConfig::fromEnvironment());
}

} // namespace simcam

using namespace simcam;

extern "C" psResult PSUGetDevicePort(uint16_t portType, uint32_t, void *, psPortDescrip *port, uint32_t, uint32_t)
{
    if (!port)
        return setupError(psERR_INVALID_POINTER);
    const auto camera = simulatedCamera();
    startServerIfConfigured(camera->config());
    if (!camera->portAvailable(portType))
        return setupError(psERR_DEVICE_NOT_FOUND);
    *port = psPortDescrip{};
    port->portType = portType;
    std::strncpy(port->portName, portType == PS_PORT_TYPE_USB ? "usb:simcam" : "serial:simcam",
                 sizeof port->portName - 1);
    std::memcpy(port->portData, "QSIM", 4);
    return 0;
}

extern "C" psResult PSULoadDriver(uint32_t, pslBASE_API **driver, uint32_t)
{
    if (!driver)
        return setupError(psERR_INVALID_POINTER);
    *driver = &g_driver;
    return 0;
}

extern "C" psResult PSUGetInstalledCameraModelsEx2(pslStream *stream)
{
    if (!stream || !stream->ops || !stream->ops->write)
        return setupError(psERR_INVALID_POINTER);
    for (const InstalledModel &model : installedModels()) {
        psModelDescripEx2 descriptor{};
        descriptor.modelId = model.modelId;
        std::strncpy(descriptor.modelName, model.name.c_str(), sizeof descriptor.modelName - 1);
        if (const psResult status = stream->ops->write(stream, &descriptor, sizeof descriptor))
            return status;
    }
    return 0;
}

extern "C" psResult PSSetLastModel(uint32_t modelId)
{
    g_lastModel = modelId;
    return 0;
}

extern "C" psResult PSUUnloadDriver(uint32_t, pslBASE_API *driver, uint32_t)
{
    return driver == &g_driver ? 0 : setupError(psERR_INVALID_PARAMETER);
}
