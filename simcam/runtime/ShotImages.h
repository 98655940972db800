// The files one shot produces: a JPEG with its 160x120 thumbnail, or a CRW
// raw file with its THM thumbnail.
#ifndef QUILLOMAT_SIMCAM_SHOTIMAGES_H
#define QUILLOMAT_SIMCAM_SHOTIMAGES_H

#include "ShotPlan.h"

#include <cstdint>
#include <vector>

namespace simcam {

struct ShotImages {
    std::vector<uint8_t> thumbnail;   // THM: 160x120 JPEG with the shot's EXIF
    std::vector<uint8_t> fullView;    // the JPEG, or the CRW
    uint8_t format = 1;               // 1 JPEG, 2 raw
};

// libjpeg quality of the camera's settings: fine, normal, and the thumbnails.
constexpr int kJpegQualityFine = 95;
constexpr int kJpegQualityNormal = 80;
constexpr int kJpegQualityThumbnail = 85;
constexpr int kThumbnailWidth = 160;
constexpr int kThumbnailHeight = 120;

std::vector<uint8_t> makeThumbnail(const ShotPlan &shot);
std::vector<uint8_t> makeJpeg(const ShotPlan &shot);
std::vector<uint8_t> makeCrw(const ShotPlan &shot);
ShotImages makeShotImages(const ShotPlan &shot);

} // namespace simcam

#endif
