// The camera's own shooting records (maker note arrays) and the EXIF block
// of its JPEG and THM files.
#ifndef QUILLOMAT_SIMCAM_MAKERNOTE_H
#define QUILLOMAT_SIMCAM_MAKERNOTE_H

#include "ShotPlan.h"

#include <cstdint>
#include <string>
#include <vector>

namespace simcam {

// The three arrays, element 0 holding the array's byte length.
std::vector<uint16_t> cameraSettingsArray(const ShotPlan &shot);
std::vector<uint16_t> shotInfoArray(const ShotPlan &shot);
std::vector<uint16_t> customFunctionsArray(const ShotPlan &shot);

// "Firmware Version 1.0.3".
std::string firmwareText(const ShotPlan &shot);

// The EXIF APP1 payload ("Exif", two zero bytes, little-endian TIFF data)
// describing an image of the given pixel size.
std::vector<uint8_t> exifSegment(const ShotPlan &shot, int width, int height);

// Room the cameras leave for a user comment: 8 bytes of character code, 256 of text.
constexpr uint32_t kUserCommentSize = 264;

} // namespace simcam

#endif
