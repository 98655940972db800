// The release-parameter block as libgphoto2's canon driver shows it: which
// configuration widget holds which field, and the camera's code for each of
// the widget's choices, in the driver's order. Choices are matched by
// position, never by their (translated) labels.
#ifndef QUILLOMAT_USBCAM_RELEASEFIELDS_H
#define QUILLOMAT_USBCAM_RELEASEFIELDS_H

#include "GphotoCamera.h"

#include <psLLAPI.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace usbcam {

using ReleaseBlock = std::array<uint8_t, PS_RELEASE_PARAMS_SIZE>;

struct ReleaseField {
    const char *widget;
    uint32_t field;                  // PS_FIELD_* bit
    std::vector<size_t> offsets;     // the block bytes, low byte first
    std::vector<std::vector<uint8_t>> codes;   // per choice, one byte per offset
    bool writable;
};

// Every field the driver can reach.
const std::vector<ReleaseField> &releaseFields();

class ReleaseFields {
public:
    // The PS_FIELD_* bits this configuration reaches: a widget present with
    // the number of choices its table expects.
    static uint32_t reachable(const GphotoCamera::Config &config);

    // The block the configuration shows. Unreachable fields hold what
    // `unreachable` gives for them; a reachable one the driver reads as
    // unknown holds PS_FIELD_VALUE_UNKNOWN.
    static ReleaseBlock read(const GphotoCamera::Config &config, const ReleaseBlock &unreachable);

    // Chooses in the configuration every writable field whose value in
    // `wanted` differs from `current`. A value the driver has no choice for is
    // left alone (the read-back then shows the camera's own). Returns the
    // number of widgets changed.
    static int write(GphotoCamera::Config &config, const ReleaseBlock &current, const ReleaseBlock &wanted);
};

} // namespace usbcam

#endif
