// The 16 bytes of a driver image event that identify a released image. This
// is all that crosses from the driver's thread to the release thread; the
// image data itself is fetched later by its sequence word.
#ifndef QUILLOMAT_CAPTURE_RELEASEDIMAGERECORD_H
#define QUILLOMAT_CAPTURE_RELEASEDIMAGERECORD_H

#include "psLLAPI.h"

#include <cstdint>
#include <type_traits>

struct ReleasedImageRecord {
    uint32_t sequence = 0;        // sequence ID << 6; compared as a whole word
    uint8_t format = 0;           // PS_IMAGE_FORMAT_RAW (2) marks a raw image
    uint8_t reserved[3] = {};
    uint32_t dataSize = 0;
    char fileNameStart[4] = {};   // first bytes of the camera's file name, not terminated

    uint32_t sequenceId() const { return sequence >> PS_SEQUENCE_ID_SHIFT; }
    bool isRaw() const { return format == PS_IMAGE_FORMAT_RAW; }

    // Copies the first 16 bytes of the driver's record.
    static ReleasedImageRecord fromEvent(const psImageEventRecord &event);
};

static_assert(sizeof(ReleasedImageRecord) == 16, "the record is exactly the first 16 bytes of the driver's");
static_assert(std::is_trivially_copyable_v<ReleasedImageRecord>);

#endif
