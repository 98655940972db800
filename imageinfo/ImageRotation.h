// The rotation kept in an image file (picture property 7), in degrees:
// 0, 90, 180 or 270.
#ifndef QUILLOMAT_IMAGEINFO_IMAGEROTATION_H
#define QUILLOMAT_IMAGEINFO_IMAGEROTATION_H

#include <cstdint>
#include <string>

// The stored angle, or 0 when it cannot be read.
int32_t readImageRotation(const std::string &path);
// Stores angle modulo 360 (anything but 90, 180 or 270 becomes 0). For a CRW
// the Orientation of the THM beside it is patched too. Failures change nothing.
void writeImageRotation(const std::string &path, int32_t angle);

#endif
