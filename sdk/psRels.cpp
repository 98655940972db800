#include "psRels.h"

#include "Pscamera.h"
#include "psError.h"

#include <cstring>

namespace {

const char kFile[] = "psRels";
const char kEos1D[] = "EOS-1D";

} // namespace

psReleaseControl::psReleaseControl(psCameraConnection &connection, ReleaseParams *params)
    : m_connection(connection)
{
    if ((m_connection.capabilities() & PS_CAP_RELEASE_CONTROL) == 0)
        throw psCMiscException(psHLSDK_NOT_SUPPORTED, kFile, __LINE__);
    enter(params);
}

psReleaseControl::~psReleaseControl()
{
    try {
        leave();
    } catch (const psCException &) {
        // Already traced; the camera may be gone.
    }
}

void psReleaseControl::enter(ReleaseParams *params)
{
    m_connection.beginAccess();
    try {
        psRaiseIfError(command(PS_RC_ENTER, 0, nullptr, 0, nullptr), kFile, __LINE__);
        m_inside = true;

        // The camera starts with images to the PC only; the session sets its own flags later.
        const uint32_t flags = PS_TRANSFER_PC_ONLY;
        command(PS_RC_SET_TRANSFER_FLAGS, sizeof flags, &flags, 0, nullptr);

        ReleaseParams current;
        if (isEos1D()) {
            psRaiseIfError(command(PS_RC_GET_RELEASE_PARAMS, 0, nullptr, PS_RELEASE_PARAMS_SIZE,
                                   current.bytes.data()),
                           kFile, __LINE__);
            const uint8_t mode = current.bytes[ReleaseParams::kEos1DMode];
            if (mode == 4 || mode == 5)
                throw psCParamException(psHLSDK_INVALID_PARAMETER, kFile, __LINE__);
        }
        if (params != nullptr) {
            if (isEos1D())
                *params = current;
            else
                psRaiseIfError(command(PS_RC_GET_RELEASE_PARAMS, 0, nullptr, PS_RELEASE_PARAMS_SIZE,
                                       params->bytes.data()),
                               kFile, __LINE__);
        }
    } catch (const psCException &e) {
        // Never leave the camera stuck in release control behind a failed construction.
        if (m_inside && m_connection.isDeviceActive())
            command(PS_RC_LEAVE, 0, nullptr, 0, nullptr);
        m_inside = false;
        m_connection.endAccess();
        psRaiseIfError(e.code, kFile, __LINE__);
        throw;
    }
    m_connection.endAccess();
}

void psReleaseControl::leave()
{
    if (!m_inside)
        return;
    m_inside = false;
    if (!m_connection.isDeviceActive() || m_connection.driver() == nullptr)
        return;
    m_connection.beginAccess();
    const psResult status = command(PS_RC_LEAVE, 0, nullptr, 0, nullptr);
    m_connection.endAccess();
    psRaiseIfError(status, kFile, __LINE__);
}

void psReleaseControl::release()
{
    m_connection.beginAccess();
    const psResult status = command(PS_RC_RELEASE, 0, nullptr, 0, nullptr);
    m_connection.endAccess();
    psRaiseIfError(status, kFile, __LINE__);
}

void psReleaseControl::setTransferFlags(const ReleaseTransferFlags *flags)
{
    if (flags == nullptr)
        return;
    // The 16-bit word, then 16 zero bits.
    const uint32_t block = *flags;
    m_connection.beginAccess();
    const psResult status = command(PS_RC_SET_TRANSFER_FLAGS, sizeof block, &block, 0, nullptr);
    m_connection.endAccess();
    psRaiseIfError(status, kFile, __LINE__);
}

void psReleaseControl::getReleaseParams(ReleaseParams *params)
{
    if (params == nullptr)
        return;
    m_connection.beginAccess();
    const psResult status = command(PS_RC_GET_RELEASE_PARAMS, 0, nullptr, PS_RELEASE_PARAMS_SIZE,
                                    params->bytes.data());
    m_connection.endAccess();
    psRaiseIfError(status, kFile, __LINE__);
}

void psReleaseControl::setReleaseParams(const ReleaseParams *params)
{
    if (params == nullptr)
        return;
    m_connection.beginAccess();
    const psResult status = command(PS_RC_SET_RELEASE_PARAMS, PS_RELEASE_PARAMS_SIZE, params->bytes.data(),
                                    0, nullptr);
    m_connection.endAccess();
    psRaiseIfError(status, kFile, __LINE__);
}

uint32_t psReleaseControl::getShotsRemaining()
{
    uint32_t shots = 0;
    m_connection.beginAccess();
    const psResult status = command(PS_RC_GET_SHOTS_REMAINING, 0, nullptr, sizeof shots, &shots);
    m_connection.endAccess();
    psRaiseIfError(status, kFile, __LINE__);
    return shots;
}

void psReleaseControl::readCameraSetting(uint8_t *block)
{
    if ((m_connection.capabilities() & PS_CAP_READ_CAMERA_SETTING) == 0)
        throw psCMiscException(psHLSDK_NOT_SUPPORTED, kFile, __LINE__);
    if (block == nullptr)
        return;
    m_connection.beginAccess();
    const psResult status = command(PS_RC_READ_CAMERA_SETTING, PS_CAMERA_SETTING_SIZE, block,
                                    PS_CAMERA_SETTING_SIZE, block);
    m_connection.endAccess();
    psRaiseIfError(status, kFile, __LINE__);
}

uint16_t psReleaseControl::readCameraSettingValue(uint16_t item)
{
    uint8_t block[PS_CAMERA_SETTING_SIZE] = {};
    std::memcpy(block, &item, sizeof item);
    readCameraSetting(block);
    uint16_t value;
    std::memcpy(&value, block + 4, sizeof value);
    return value;
}

void psReleaseControl::getReleasedImage(const void *record, pslStream *stream, uint32_t kind)
{
    if (record == nullptr || stream == nullptr)
        throw psCParamException(psHLSDK_INVALID_PARAMETER, kFile, __LINE__);
    uint32_t sequence;
    std::memcpy(&sequence, record, sizeof sequence);
    const uint8_t format = static_cast<const uint8_t *>(record)[4];

    if (isEos1D() && kind == PS_IMAGE_KIND_THUMBNAIL) {
        // The EOS-1D hands its thumbnail over as a file that only the vendor's
        // parse, develop and encode libraries can turn into a JPEG.
        if (format != PS_IMAGE_FORMAT_JPEG && format != PS_IMAGE_FORMAT_RAW)
            throw psCParamException(psHLSDK_INVALID_PARAMETER, kFile, __LINE__);
        throw psCMiscException(psHLSDK_NOT_SUPPORTED, kFile, __LINE__);
    }

    pslBASE_API *driver = m_connection.driver();
    if (driver == nullptr || driver->getReleasedImage == nullptr)
        throw psCMiscException(psHLSDK_NOT_SUPPORTED, kFile, __LINE__);
    m_connection.beginAccess();
    const psResult status = driver->getReleasedImage(driver, m_connection.deviceHandle(), kind, sequence, stream);
    m_connection.endAccess();
    psRaiseIfError(status, kFile, __LINE__);
}

psResult psReleaseControl::command(uint32_t number, uint32_t inSize, const void *in, uint32_t outSize, void *out)
{
    pslBASE_API *driver = m_connection.driver();
    if (driver == nullptr || driver->releaseControl == nullptr)
        throw psCMiscException(psHLSDK_NOT_SUPPORTED, kFile, __LINE__);
    return driver->releaseControl(driver, m_connection.deviceHandle(), number, inSize, in, outSize, out);
}

bool psReleaseControl::isEos1D() const
{
    return std::strncmp(m_connection.modelDescriptor().modelName, kEos1D, PS_MODEL_NAME_SIZE) == 0;
}
