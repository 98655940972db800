// Everything one shot's files are made from. The same plan always gives the
// same bytes.
#ifndef QUILLOMAT_SIMCAM_SHOTPLAN_H
#define QUILLOMAT_SIMCAM_SHOTPLAN_H

#include "CameraState.h"

#include <cstdint>
#include <string>

namespace simcam {

struct ShotPlan {
    CameraState state;
    uint32_t fileNumber = 1;       // the camera's counter: IMG_0001.JPG
    uint32_t folderNumber = 100;   // 100CANON
    int64_t unixTime = 1023006600; // 2002-06-02 08:30:00 UTC
    std::string owner;

    bool isRaw() const { return state.imageType == 2; }
    // "IMG_0042.JPG" or "CRW_0042.CRW"; the thumbnail of a raw shot is "CRW_0042.THM".
    std::string fileName() const;
    std::string thumbnailFileName() const;
    // "2002:06:02 08:30:00" (the camera's clock has no time zone).
    std::string dateTime() const;
    // Seed of the picture's noise, from every field that changes the picture.
    uint64_t seed() const;
};

} // namespace simcam

#endif
