// The small JPEG a camera keeps in its JPEG's EXIF block (IFD1), found
// without decoding anything. Bounded by the data: a damaged file gives none.
#ifndef QUILLOMAT_USBCAM_EXIFTHUMBNAIL_H
#define QUILLOMAT_USBCAM_EXIFTHUMBNAIL_H

#include <cstddef>
#include <cstdint>
#include <utility>

namespace usbcam {

// Offset and length of the thumbnail inside `jpeg`, or {0, 0} when there is none.
std::pair<size_t, size_t> exifThumbnail(const uint8_t *jpeg, size_t size);

} // namespace usbcam

#endif
