// Patches the EXIF Orientation tag of a THM (or any JPEG) file in place so
// that thumbnail viewers turn a raw image's thumbnail.
#ifndef QUILLOMAT_IMAGEINFO_THMORIENTATION_H
#define QUILLOMAT_IMAGEINFO_THMORIENTATION_H

#include <cstdint>
#include <string>

// The Orientation value for an angle: 6 for 90, 3 for 180, 8 for 270, else 1.
uint16_t orientationForAngle(int32_t angle);
// Writes the Orientation field of the first directory that holds one; the
// four bytes of the field are the only bytes that change. False (file
// untouched) without an APP1 "Exif" segment or an Orientation entry, or when
// the file cannot be opened for writing.
bool patchThmOrientation(const std::string &path, int32_t angle);

#endif
