// The comment kept in an image file (picture property 11): the EXIF
// UserComment of a JPEG or THM, the comment record of a CRW.
#ifndef QUILLOMAT_IMAGEINFO_IMAGECOMMENT_H
#define QUILLOMAT_IMAGEINFO_IMAGECOMMENT_H

#include <string>

// The stored comment (at most 255 bytes) without trailing white space; empty
// when the file has none or cannot be read.
std::string readImageComment(const std::string &path);
// Stores the comment, cut to the file's capacity. True only when the file
// was rewritten; on false no file has changed.
bool writeImageComment(const std::string &path, const std::string &comment);

#endif
