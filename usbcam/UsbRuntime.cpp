// The setup calls and the driver object of the USB runtime: the C entry
// points of psLLAPI.h for an EOS D30 or D60 on USB, through libgphoto2.
#include "Diagnostics.h"
#include "GphotoCamera.h"
#include "UsbCameraDriver.h"

#include <InstalledModels.h>
#include <psError.h>
#include <psLLAPI.h>

#include <atomic>
#include <cstring>

using namespace usbcam;

#define QUILLOMAT_RUNTIME_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

constexpr psResult setupError(uint32_t code) { return psMakeError(psCOMPONENT_SETUP, code); }
constexpr psResult driverError(uint32_t code) { return psMakeError(psCOMPONENT_LLSDK, code); }

UsbCameraDriver &driver()
{
    static UsbCameraDriver instance;
    return instance;
}

std::atomic<uint32_t> g_lastModel{0};

psResult opOpen(pslBASE_API *, const psPortDescrip *port, psEventCallback callback, void *context,
                psDeviceHandle *handle)
{
    return driver().open(port, callback, context, handle);
}
psResult opClose(pslBASE_API *, psDeviceHandle handle) { return driver().close(handle); }
psResult opProperty(pslBASE_API *, psDeviceHandle handle, uint32_t property, void *buffer, uint32_t size)
{
    return driver().property(handle, property, buffer, size);
}
psResult opPropertyCount(pslBASE_API *, psDeviceHandle handle, uint32_t *count)
{
    return driver().propertyCount(handle, count);
}
psResult opDeviceInfo(pslBASE_API *, psDeviceHandle handle, psDeviceInfo *info)
{
    return driver().deviceInfo(handle, info);
}
psResult opReleaseControl(pslBASE_API *, psDeviceHandle handle, uint32_t command, uint32_t inSize, const void *in,
                          uint32_t outSize, void *out)
{
    return driver().releaseControl(handle, command, inSize, in, outSize, out);
}
psResult opReleasedImage(pslBASE_API *, psDeviceHandle handle, uint32_t kind, uint32_t sequence, pslStream *stream)
{
    return driver().releasedImage(handle, kind, sequence, stream);
}
// libgphoto2 offers the owner name and the clock, but no dialog of the
// camera's own; the program's refusal is the clean answer.
psResult opSettingsDialog(pslBASE_API *, psDeviceHandle, void *) { return driverError(psERR_NOT_SUPPORTED); }
// Parameter sets are not reachable through libgphoto2.
psResult opReadParameterSet(pslBASE_API *, psDeviceHandle, psParameterSetRecord *)
{
    return driverError(psERR_NOT_SUPPORTED);
}
// The keys are locked by the driver itself during a capture; nothing to do.
psResult opLock(pslBASE_API *, psDeviceHandle, uint32_t) { return 0; }
psResult opUnlock(pslBASE_API *, psDeviceHandle) { return 0; }

pslBASE_API g_driver = {
    sizeof(pslBASE_API), PSL_API_VERSION, opOpen, opClose, opProperty, opPropertyCount, opDeviceInfo,
    opReleaseControl, opReleasedImage, opSettingsDialog, opReadParameterSet, opLock, opUnlock,
};

} // namespace

QUILLOMAT_RUNTIME_EXPORT psResult PSUGetDevicePort(uint16_t portType, uint32_t, void *, psPortDescrip *port, uint32_t, uint32_t)
{
    if (!port)
        return setupError(psERR_INVALID_POINTER);
    // These bodies have no serial link through libgphoto2.
    if (portType != PS_PORT_TYPE_USB)
        return setupError(psERR_DEVICE_NOT_FOUND);
    std::optional<DetectedCamera> found;
    try {
        found = GphotoCamera::detectUsb();
    } catch (const GphotoFailure &failure) {
        diagnose(failure.text);
        return setupError(psERR_DEVICE_NOT_FOUND);
    }
    // Said when the camera goes, not at every lookup while it stays away.
    static std::atomic<bool> lastFound{true};
    if (!found) {
        if (lastFound.exchange(false))
            diagnose("no camera found on USB");
        return setupError(psERR_DEVICE_NOT_FOUND);
    }
    lastFound = true;
    if (found->port.size() >= sizeof port->portName || found->model.size() >= sizeof port->portData) {
        diagnose("camera port or model name too long: " + found->port + " " + found->model);
        return setupError(psERR_DEVICE_NOT_FOUND);
    }
    *port = psPortDescrip{};
    port->portType = PS_PORT_TYPE_USB;
    std::memcpy(port->portName, found->port.c_str(), found->port.size());
    std::memcpy(port->portData, found->model.c_str(), found->model.size());
    diagnose("found " + found->model + " on " + found->port);
    return 0;
}

QUILLOMAT_RUNTIME_EXPORT psResult PSULoadDriver(uint32_t, pslBASE_API **loaded, uint32_t)
{
    if (!loaded)
        return setupError(psERR_INVALID_POINTER);
    *loaded = &g_driver;
    return 0;
}

QUILLOMAT_RUNTIME_EXPORT psResult PSUGetInstalledCameraModelsEx2(pslStream *stream)
{
    if (!stream || !stream->ops || !stream->ops->write)
        return setupError(psERR_INVALID_POINTER);
    for (const psdkreg::InstalledModel &model : psdkreg::installedModels()) {
        psModelDescripEx2 descriptor{};
        descriptor.modelId = model.modelId;
        std::strncpy(descriptor.modelName, model.name.c_str(), sizeof descriptor.modelName - 1);
        if (const psResult status = stream->ops->write(stream, &descriptor, sizeof descriptor))
            return status;
    }
    return 0;
}

QUILLOMAT_RUNTIME_EXPORT psResult PSSetLastModel(uint32_t modelId)
{
    g_lastModel = modelId;
    return 0;
}

QUILLOMAT_RUNTIME_EXPORT psResult PSUUnloadDriver(uint32_t, pslBASE_API *unloaded, uint32_t)
{
    return unloaded == &g_driver ? 0 : setupError(psERR_INVALID_PARAMETER);
}

QUILLOMAT_RUNTIME_EXPORT psResult PSUSetDiagnosticSink(psDiagnosticSink sink, void *context)
{
    setDiagnosticSink(sink, context);
    return 0;
}
