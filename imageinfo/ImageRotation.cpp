#include "ImageRotation.h"

#include "ImagePath.h"
#include "ThmOrientation.h"

#include "psError.h"
#include "psLLAPI.h"
#include "psPictureArray.h"

#include <cstring>

int32_t readImageRotation(const std::string &path)
{
    try {
        psCPictureArray pictures;
        if (!collectFilePictures(path, pictures))
            return 0;
        uint8_t value[4] = {};
        pictures.at(0).getProperty(PS_PROPERTY_ROTATION, value, sizeof value);
        return int32_t(uint32_t(value[0]) | (uint32_t(value[1]) << 8) | (uint32_t(value[2]) << 16)
                       | (uint32_t(value[3]) << 24));
    } catch (const psCException &) {
        return 0;
    }
}

void writeImageRotation(const std::string &path, int32_t angle)
{
    angle %= 360;
    if (angle != 90 && angle != 180 && angle != 270)
        angle = 0;
    try {
        psCPictureArray pictures;
        if (collectFilePictures(path, pictures)) {
            psCPicture &picture = pictures.at(0);
            uint8_t value[4] = {};
            const uint32_t length = picture.getProperty(PS_PROPERTY_ROTATION, value, sizeof value);
            const uint32_t stored = uint32_t(angle);
            for (int i = 0; i < 4; ++i)
                value[i] = uint8_t(stored >> (8 * i));
            // The property keeps its current length; a field of another
            // length is refused by the parse library.
            if (length == sizeof value)
                picture.setProperty(PS_PROPERTY_ROTATION, value, length);
        }
    } catch (const psCException &) {
        // The rotation stays as it was; the THM below is still turned.
    }
    if (hasExtension(path, ".crw"))
        patchThmOrientation(companionPath(path, "thm"), angle);
}
