// Every field of an ImageInfo as (name, value) text, in the record's order,
// for scripts and for checking the reader against other tools. Numbers are
// written with up to ten significant digits.
#ifndef QUILLOMAT_IMAGEINFO_IMAGEINFOFIELDS_H
#define QUILLOMAT_IMAGEINFO_IMAGEINFOFIELDS_H

#include <string>
#include <utility>
#include <vector>

class ImageInfo;

std::vector<std::pair<std::string, std::string>> imageInfoFields(const ImageInfo &info);

#endif
