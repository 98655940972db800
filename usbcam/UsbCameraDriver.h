// The driver object of the USB runtime: psLLAPI.h's operations on a camera
// opened through libgphoto2. Every camera call runs on one CameraThread; the
// contract's events are made there too, in the contract's order.
#ifndef QUILLOMAT_USBCAM_USBCAMERADRIVER_H
#define QUILLOMAT_USBCAM_USBCAMERADRIVER_H

#include <psLLAPI.h>

#include <memory>
#include <mutex>

namespace usbcam {

class CameraSession;

class UsbCameraDriver {
public:
    psResult open(const psPortDescrip *port, psEventCallback callback, void *context, psDeviceHandle *handle);
    psResult close(psDeviceHandle handle);
    psResult property(psDeviceHandle handle, uint32_t property, void *buffer, uint32_t size);
    psResult propertyCount(psDeviceHandle handle, uint32_t *count);
    psResult deviceInfo(psDeviceHandle handle, psDeviceInfo *info);
    psResult releaseControl(psDeviceHandle handle, uint32_t command, uint32_t inSize, const void *in,
                            uint32_t outSize, void *out);
    psResult releasedImage(psDeviceHandle handle, uint32_t kind, uint32_t sequence, pslStream *stream);

private:
    std::shared_ptr<CameraSession> session(psDeviceHandle handle);

    std::mutex m_mutex;
    std::shared_ptr<CameraSession> m_session;
    psDeviceHandle m_nextHandle = 1;
};

} // namespace usbcam

#endif
