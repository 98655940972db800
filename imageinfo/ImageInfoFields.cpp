#include "ImageInfoFields.h"

#include "ImageInfo.h"

#include <cstdio>

namespace {

std::string number(double value)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.10g", value);
    return text;
}

} // namespace

std::vector<std::pair<std::string, std::string>> imageInfoFields(const ImageInfo &info)
{
    return {
        {"dataLength", std::to_string(info.m_dataLength)},
        {"selfTimer", number(info.m_selfTimer)},
        {"focalLength", number(info.m_focalLength)},
        {"lensLongEnd", number(info.m_lensLongEnd)},
        {"lensShortEnd", number(info.m_lensShortEnd)},
        {"subjectDistance", number(info.m_subjectDistance)},
        {"aperture", number(info.m_aperture)},
        {"exposureTime", number(info.m_exposureTime)},
        {"exposureCompensation", number(info.m_exposureCompensation)},
        {"flashExposureCompensation", number(info.m_flashExposureCompensation)},
        {"dateTime", info.m_dateTime},
        {"model", info.m_model},
        {"make", info.m_make},
        {"serialNumber", info.m_serialNumber},
        {"firmware", info.m_firmware},
        {"meteringMode", info.m_meteringMode},
        {"owner", info.m_owner},
        {"flash", info.m_flash},
        {"driveMode", info.m_driveMode},
        {"afMode", info.m_afMode},
        {"quality", info.m_quality},
        {"contrast", info.m_contrast},
        {"saturation", info.m_saturation},
        {"sharpness", info.m_sharpness},
        {"tone", info.m_tone},
        {"iso", info.m_iso},
        {"exposureMode", info.m_exposureMode},
        {"whiteBalance", info.m_whiteBalance},
        {"focusPoint", info.m_focusPoint},
        {"customFunctions", info.m_customFunctions},
        {"userComment", info.m_userComment},
        {"imageWidth", std::to_string(info.m_imageWidth)},
        {"imageHeight", std::to_string(info.m_imageHeight)},
        {"littleEndian", info.m_littleEndian ? "true" : "false"},
    };
}
