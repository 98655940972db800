// The JPEG bytes the preview decodes for a saved image: a JPEG file whole, or
// the JPEG image carried inside a raw CRW file.
#ifndef QUILLOMAT_IMAGEINFO_LOADIMAGEJPEG_H
#define QUILLOMAT_IMAGEINFO_LOADIMAGEJPEG_H

#include <cstdint>
#include <string>
#include <vector>

// Empty when nothing could be loaded: a missing or unreadable file, another
// extension, or a CRW without a readable JPEG record.
std::vector<uint8_t> loadImageJpeg(const std::string &path);

#endif
