// The camera's pictures: a procedural landscape with a colour chart and the
// shot's data drawn in, encoded with libjpeg-turbo straight from the rows.
#ifndef QUILLOMAT_SIMCAM_JPEGPICTURE_H
#define QUILLOMAT_SIMCAM_JPEGPICTURE_H

#include "ShotPlan.h"

#include <cstdint>
#include <vector>

namespace simcam {

struct JpegOptions {
    int width = 0;
    int height = 0;
    int quality = 90;             // libjpeg quality 1 to 100
    bool letterbox = false;       // a 3:2 picture in a taller frame, black bars (thumbnails)
    const std::vector<uint8_t> *app1 = nullptr;  // EXIF payload to put first, or none
};

// An empty result means libjpeg failed.
std::vector<uint8_t> renderJpeg(const ShotPlan &shot, const JpegOptions &options);

} // namespace simcam

#endif
