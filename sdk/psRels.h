// psReleaseControl: remote release control of a connected camera.
//
// Constructing it puts the camera into release control; leave() (or the
// destructor) takes it out again. Every operation sends one release-control
// command through the connection's driver and raises a non-zero status as a
// psCException.
#ifndef QUILLOMAT_SDK_PSRELS_H
#define QUILLOMAT_SDK_PSRELS_H

#include "psLLAPI.h"

#include <array>
#include <cstdint>

class psCameraConnection;

// The camera's 48-byte release-parameter block. Bytes nobody changes are
// passed back to the camera unchanged.
struct ReleaseParams {
    static constexpr size_t kQuality = 1;        // 2 normal, 3 fine, 4 raw
    static constexpr size_t kImageType = 2;      // 1 JPEG, 2 raw (CRW full view with a THM thumbnail)
    static constexpr size_t kImageSize = 3;      // 0 large, 1 medium, 2 small
    static constexpr size_t kEos1DMode = 10;     // on the EOS-1D, 4 and 5 refuse release control

    std::array<uint8_t, PS_RELEASE_PARAMS_SIZE> bytes{};
};

// Which parts of a released image the camera transfers: PS_TRANSFER_PC_ONLY,
// PS_TRANSFER_PC_AND_CARD or PS_TRANSFER_CARD_ONLY.
using ReleaseTransferFlags = uint16_t;

class psReleaseControl {
public:
    // Enters release control. Raises hlsdk NOT_SUPPORTED for a camera without
    // release control (nothing is sent then). When params is given it receives
    // the camera's current release parameters.
    explicit psReleaseControl(psCameraConnection &connection, ReleaseParams *params = nullptr);
    // Calls leave() unless that was done; a failure is not raised from here.
    ~psReleaseControl();
    psReleaseControl(const psReleaseControl &) = delete;
    psReleaseControl &operator=(const psReleaseControl &) = delete;

    // Leaves release control (only while the device is active: after a
    // shutdown event the camera is gone). Raises a failing status; a second
    // call does nothing.
    void leave();

    // Fires the shutter.
    void release();
    // A null flags pointer does nothing.
    void setTransferFlags(const ReleaseTransferFlags *flags);
    // A null params pointer does nothing.
    void getReleaseParams(ReleaseParams *params);
    void setReleaseParams(const ReleaseParams *params);
    uint32_t getShotsRemaining();
    // block: PS_CAMERA_SETTING_SIZE bytes, the item number at offset 0; the
    // value comes back at offset 4. Needs PS_CAP_READ_CAMERA_SETTING (else
    // hlsdk NOT_SUPPORTED). A null block does nothing.
    void readCameraSetting(uint8_t *block);
    // The same for one item: returns its 16-bit value.
    uint16_t readCameraSettingValue(uint16_t item);

    // Writes one released image into stream. record starts with the 32-bit
    // sequence word and the format byte (the driver's image event record, or
    // the first 16 bytes kept of it); kind is PS_IMAGE_KIND_THUMBNAIL or
    // PS_IMAGE_KIND_FULLVIEW. A null record raises hlsdk INVALID_PARAMETER.
    void getReleasedImage(const void *record, pslStream *stream, uint32_t kind);

private:
    psResult command(uint32_t number, uint32_t inSize, const void *in, uint32_t outSize, void *out);
    void enter(ReleaseParams *params);
    bool isEos1D() const;

    psCameraConnection &m_connection;
    bool m_inside = false;
};

#endif
