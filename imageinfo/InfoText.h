// The two information texts of an image: the short list a photographer
// checks after each shot and the long list of everything the record holds.
// Lines are separated by "\r\n".
#ifndef QUILLOMAT_IMAGEINFO_INFOTEXT_H
#define QUILLOMAT_IMAGEINFO_INFOTEXT_H

#include <string>

class ImageInfo;

std::string shotInfoText(const ImageInfo &info);
// For the G1 and PRO90 it also rewrites the record's metering text "Center"
// as "Center-weighted average", hence the mutable record.
std::string cameraInfoText(ImageInfo &info);
// An EV value in stops and thirds or halves: "0", "+1/2", "-1 1/3", "+2".
std::string formatStops(double value);
// An exposure time: "%g sec" from 0.3 s up, otherwise "1/<n> sec" with n the
// truncated 1/t; nothing follows "1/" when there is no exposure time.
std::string formatExposureTime(double seconds);

#endif
