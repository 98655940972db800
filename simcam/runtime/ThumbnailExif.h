// The camera's answer when asked for a JPEG's thumbnail: a small file whose
// EXIF block carries the 160x120 picture as its second image (IFD1), which is
// where readers of EXIF look for a thumbnail.
#ifndef QUILLOMAT_SIMCAM_THUMBNAILEXIF_H
#define QUILLOMAT_SIMCAM_THUMBNAILEXIF_H

#include <cstdint>
#include <vector>

namespace simcam {

// The JPEG with its EXIF block (its first directory kept) carrying picture as
// the thumbnail; empty when that would not fit one segment.
std::vector<uint8_t> withExifThumbnail(const std::vector<uint8_t> &jpeg, const std::vector<uint8_t> &picture);
// The same JPEG without its APPn segments (no EXIF, no JFIF header), as
// cameras embed thumbnails.
std::vector<uint8_t> withoutApplicationSegments(const std::vector<uint8_t> &jpeg);
// A thumbnail as the camera keeps it: the small JPEG carrying itself, bare,
// as its EXIF thumbnail, where both EXIF readers and libgphoto2 look for one.
std::vector<uint8_t> selfContainedThumbnail(const std::vector<uint8_t> &thumbnail);

} // namespace simcam

#endif
