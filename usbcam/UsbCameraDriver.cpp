#include "UsbCameraDriver.h"

#include "CameraSession.h"

#include <psError.h>

#include <algorithm>
#include <cstring>

namespace usbcam {
namespace {

constexpr psResult driverError(uint32_t code) { return psMakeError(psCOMPONENT_LLSDK, code); }
constexpr psResult kInvalidHandle = driverError(psERR_INVALID_HANDLE);
constexpr psResult kInvalidPointer = driverError(psERR_INVALID_POINTER);
constexpr psResult kInvalidParameter = driverError(psERR_INVALID_PARAMETER);
constexpr psResult kInvalidLength = driverError(psERR_INVALID_LENGTH);
constexpr psResult kNotSupported = driverError(psERR_NOT_SUPPORTED);
constexpr psResult kBusy = driverError(psERR_DEVICE_BUSY);

// No key lock (libgphoto2 locks the keys itself, only while it captures).
constexpr uint32_t kCapabilities = PS_CAP_RELEASE_CONTROL | PS_CAP_READ_CAMERA_SETTING;
// libgphoto2 has no half-stop codes: the program works in third stops.
constexpr uint16_t kThirdStopIncrements = 1;

template <typename T>
void copyOut(void *buffer, uint32_t size, const T &value)
{
    std::memcpy(buffer, &value, std::min<size_t>(size, sizeof value));
}

} // namespace

std::shared_ptr<CameraSession> UsbCameraDriver::session(psDeviceHandle handle)
{
    std::lock_guard lock(m_mutex);
    if (!m_session || m_session->handle() != handle)
        return nullptr;
    return m_session;
}

psResult UsbCameraDriver::open(const psPortDescrip *port, psEventCallback callback, void *context,
                               psDeviceHandle *handle)
{
    if (!port || !handle)
        return kInvalidPointer;
    DetectedCamera detected;
    detected.port.assign(port->portName, strnlen(port->portName, sizeof port->portName));
    const auto *data = reinterpret_cast<const char *>(port->portData);
    detected.model.assign(data, strnlen(data, sizeof port->portData));
    std::shared_ptr<CameraSession> opened;
    {
        std::lock_guard lock(m_mutex);
        if (m_session)
            return kBusy;
        opened = std::make_shared<CameraSession>(m_nextHandle++, callback, context);
        m_session = opened;
    }
    if (const psResult status = opened->open(detected)) {
        opened->close();
        std::lock_guard lock(m_mutex);
        m_session.reset();
        return status;
    }
    *handle = opened->handle();
    return 0;
}

psResult UsbCameraDriver::close(psDeviceHandle handle)
{
    std::shared_ptr<CameraSession> closing;
    {
        std::lock_guard lock(m_mutex);
        if (!m_session || m_session->handle() != handle)
            return kInvalidHandle;
        closing = std::move(m_session);
    }
    closing->close();
    return 0;
}

psResult UsbCameraDriver::property(psDeviceHandle handle, uint32_t property, void *buffer, uint32_t size)
{
    const auto camera = session(handle);
    if (!camera)
        return kInvalidHandle;
    if (!buffer)
        return kInvalidPointer;
    switch (property) {
    case PS_PROP_CAPABILITIES:
        copyOut(buffer, size, kCapabilities);
        return 0;
    case PS_PROP_PROPERTY_TABLE:
        std::memset(buffer, 0, size);
        return 0;
    case PS_PROP_REACHABLE_FIELDS:
        copyOut(buffer, size, camera->reachable());
        return 0;
    default:
        return kInvalidParameter;
    }
}

psResult UsbCameraDriver::propertyCount(psDeviceHandle handle, uint32_t *count)
{
    if (!session(handle))
        return kInvalidHandle;
    if (!count)
        return kInvalidPointer;
    *count = PS_DEFAULT_PROPERTY_COUNT;
    return 0;
}

psResult UsbCameraDriver::deviceInfo(psDeviceHandle handle, psDeviceInfo *info)
{
    const auto camera = session(handle);
    if (!camera)
        return kInvalidHandle;
    if (!info)
        return kInvalidPointer;
    *info = camera->info();
    return 0;
}

psResult UsbCameraDriver::releaseControl(psDeviceHandle handle, uint32_t command, uint32_t inSize, const void *in,
                                         uint32_t outSize, void *out)
{
    const auto camera = session(handle);
    if (!camera)
        return kInvalidHandle;
    switch (command) {
    case PS_RC_ENTER:
    case PS_RC_LEAVE:
        // The driver entered remote mode at opening and leaves it at closing.
        return 0;
    case PS_RC_RELEASE:
        return camera->release();
    case PS_RC_SET_RELEASE_PARAMS:
        if (!in)
            return kInvalidPointer;
        if (inSize < PS_RELEASE_PARAMS_SIZE)
            return kInvalidLength;
        return camera->setReleaseParams(static_cast<const uint8_t *>(in));
    case PS_RC_GET_RELEASE_PARAMS:
        if (!out)
            return kInvalidPointer;
        if (outSize < PS_RELEASE_PARAMS_SIZE)
            return kInvalidLength;
        return camera->getReleaseParams(static_cast<uint8_t *>(out));
    case PS_RC_SET_TRANSFER_FLAGS: {
        if (!in)
            return kInvalidPointer;
        if (inSize < 2)
            return kInvalidLength;
        const auto *bytes = static_cast<const uint8_t *>(in);
        return camera->setTransferFlags(static_cast<uint16_t>(bytes[0] | (bytes[1] << 8)));
    }
    case PS_RC_GET_SHOTS_REMAINING:
        if (!out)
            return kInvalidPointer;
        if (outSize < sizeof(uint32_t))
            return kInvalidLength;
        return camera->shotsRemaining(static_cast<uint32_t *>(out));
    case PS_RC_READ_CAMERA_SETTING: {
        if (!in || !out)
            return kInvalidPointer;
        if (inSize < PS_CAMERA_SETTING_SIZE || outSize < PS_CAMERA_SETTING_SIZE)
            return kInvalidLength;
        uint8_t block[PS_CAMERA_SETTING_SIZE];
        std::memcpy(block, in, sizeof block);
        const uint16_t item = static_cast<uint16_t>(block[0] | (block[1] << 8));
        uint16_t value = 0;
        if (item == PS_SETTING_EXPOSURE_INCREMENTS)
            value = kThirdStopIncrements;
        else if (item != PS_SETTING_MIRROR_LOCKUP)   // not readable: taken as off
            return kInvalidParameter;
        block[4] = static_cast<uint8_t>(value & 0xFF);
        block[5] = static_cast<uint8_t>(value >> 8);
        std::memcpy(out, block, sizeof block);
        return 0;
    }
    default:
        return kNotSupported;
    }
}

psResult UsbCameraDriver::releasedImage(psDeviceHandle handle, uint32_t kind, uint32_t sequence, pslStream *stream)
{
    const auto camera = session(handle);
    if (!camera)
        return kInvalidHandle;
    if (!stream || !stream->ops || !stream->ops->write)
        return kInvalidPointer;
    if (kind != PS_IMAGE_KIND_THUMBNAIL && kind != PS_IMAGE_KIND_FULLVIEW)
        return kInvalidParameter;
    return camera->releasedImage(kind, sequence, stream);
}

} // namespace usbcam
