#include "InfoText.h"

#include "ImageInfo.h"
#include "ImagePath.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>

namespace {

std::string format(const char *fmt, ...) __attribute__((format(printf, 1, 2)));

std::string format(const char *fmt, ...)
{
    char buffer[512];
    va_list args;
    va_start(args, fmt);
    std::vsnprintf(buffer, sizeof buffer, fmt, args);
    va_end(args);
    return buffer;
}

std::string withCrLf(const std::string &text)
{
    std::string result;
    result.reserve(text.size());
    for (char c : text) {
        if (c == '\n')
            result += '\r';
        result += c;
    }
    return result;
}

void appendIfSet(std::string &text, const char *label, const std::string &value)
{
    if (!value.empty()) {
        text += label;
        text += value;
    }
}

enum class ModelClass { Pro90, G1, Other };

ModelClass classify(const std::string &model)
{
    const std::string lower = toLowerAscii(model);
    if (lower.find("pro90") != std::string::npos)
        return ModelClass::Pro90;
    if (lower.find("g1") != std::string::npos)
        return ModelClass::G1;
    return ModelClass::Other;
}

} // namespace

std::string formatStops(double value)
{
    const double magnitude = std::fabs(value);
    if (!(magnitude >= 0.01))
        return "0";
    std::string text = value < 0 ? "-" : "+";
    const double whole = std::floor(magnitude);
    if (whole > 0)
        text += format("%.0f", whole);
    const double fraction = magnitude - whole;
    const char *part = nullptr;
    if (std::fabs(fraction - 0.5) < 0.05)
        part = "1/2";
    else if (std::fabs(fraction - 0.666667) < 0.05)
        part = "2/3";
    else if (std::fabs(fraction - 0.33333) < 0.05)
        part = "1/3";
    if (part) {
        if (whole != 0)
            text += ' ';
        text += part;
    }
    return text;
}

std::string formatExposureTime(double seconds)
{
    if (seconds >= 0.3)
        return format("%g sec", seconds);
    const double inverse = std::trunc(1.0 / seconds);
    if (!std::isfinite(inverse))
        return "1/ sec";
    return format("1/%.0f sec", inverse);
}

std::string shotInfoText(const ImageInfo &info)
{
    const bool d60 = toLowerAscii(info.m_model).find("d60") != std::string::npos;
    std::string text = "Exposure: " + formatExposureTime(info.m_exposureTime);
    text += format(", f/%g", info.m_aperture);
    text += "\r\nExp mode: " + info.m_exposureMode;
    text += "\r\nMetering mode: " + info.m_meteringMode;
    if (info.m_focalLength > 0.01) {
        text += "\r\nLens: ";
        if (info.m_lensLongEnd > 0 && info.m_lensLongEnd != info.m_lensShortEnd)
            text += format("%g-%gmm @ %gmm", info.m_lensShortEnd, info.m_lensLongEnd, info.m_focalLength);
        else if (info.m_lensLongEnd > 0)
            text += format("%gmm", info.m_lensLongEnd);
        else
            text += format("%gmm", info.m_focalLength);
    }
    text += "\r\nISO: " + info.m_iso;
    std::string stops = formatStops(info.m_exposureCompensation);
    if (stops != "0")
        text += "\r\nExp compensation: " + stops;
    if (info.m_flash != "Off") {
        text += "\r\nFlash: " + info.m_flash;
        stops = formatStops(info.m_flashExposureCompensation);
        if (stops != "0")
            text += "\r\nFlash exp comp: " + stops;
    }
    if (info.m_subjectDistance > 0.01)
        text += format("\r\nSubject distance: %g m", info.m_subjectDistance);
    text += "\r\nAF mode: " + info.m_afMode;
    appendIfSet(text, "\r\nFocus point: ", info.m_focusPoint);
    if (info.m_selfTimer > 0)
        text += format("\r\nDrive: Self-timer, %g secs", info.m_selfTimer);
    else
        text += "\r\nDrive: " + info.m_driveMode;
    text += "\r\nWhite balance: " + info.m_whiteBalance;
    text += "\r\nContrast: " + info.m_contrast;
    text += "\r\nSharpness: " + info.m_sharpness;
    text += "\r\nSaturation: " + info.m_saturation;
    if (info.m_quality == "Raw") {
        text += "\r\nSize/Quality: " + info.m_quality;
    } else {
        const int32_t w = info.m_imageWidth;
        const int32_t h = info.m_imageHeight;
        if (d60)
            text += (w > 3000 || h > 3000) ? "\r\nSize/Quality: Large/"
                    : (w > 2000 || h > 2000) ? "\r\nSize/Quality: Medium/"
                                             : "\r\nSize/Quality: Small/";
        else
            text += (w > 2000 || h > 2000) ? "\r\nSize/Quality: Large/" : "\r\nSize/Quality: Small/";
        text += info.m_quality;
    }
    text += "\r\nTime: " + info.m_dateTime;
    return text;
}

std::string cameraInfoText(ImageInfo &info)
{
    const ModelClass modelClass = classify(info.m_model);
    std::string text = "Camera Model: " + info.m_model;
    appendIfSet(text, "\r\nCamera serial number: ", info.m_serialNumber);
    appendIfSet(text, "\r\nFirmware: ", info.m_firmware);
    appendIfSet(text, "\r\nOwner: ", info.m_owner);
    appendIfSet(text, "\r\nDate/Time: ", info.m_dateTime);
    text += "\r\nShutter speed: " + formatExposureTime(info.m_exposureTime);
    text += format("\r\nAperture: %g", info.m_aperture);
    appendIfSet(text, "\r\nExposure mode: ", info.m_exposureMode);
    if (info.m_exposureCompensation != 0)
        text += "\r\nExposure compensation: " + formatStops(info.m_exposureCompensation);
    if (!info.m_flash.empty()) {
        text += "\r\nFlash: " + info.m_flash;
        if (info.m_flash != "Off" && info.m_flashExposureCompensation != 0)
            text += "\r\nFlash exposure compensation: " + formatStops(info.m_flashExposureCompensation);
    }
    // These two models report centre-weighted metering as plain "Center".
    if ((modelClass == ModelClass::G1 || modelClass == ModelClass::Pro90) && info.m_meteringMode == "Center")
        info.m_meteringMode = "Center-weighted average";
    appendIfSet(text, "\r\nMetering mode: ", info.m_meteringMode);
    if (info.m_selfTimer > 0)
        text += format("\r\nDrive: Self-timer, %g secs", info.m_selfTimer);
    else
        appendIfSet(text, "\r\nDrive: ", info.m_driveMode);
    appendIfSet(text, "\r\nISO: ", info.m_iso);
    if (info.m_focalLength > 0.01) {
        if (info.m_lensLongEnd > 0) {
            if (info.m_lensLongEnd != info.m_lensShortEnd)
                text += format("\r\nLens: %0.1f to %0.1f mm", info.m_lensShortEnd, info.m_lensLongEnd);
            else
                text += format("\r\nLens: %0.0f mm", info.m_lensLongEnd);
        }
        text += format("\r\nFocal length: %0.1f mm", info.m_focalLength);
    }
    if (info.m_subjectDistance > 0.01)
        text += format("\r\nSubject distance: %g m", info.m_subjectDistance);
    appendIfSet(text, "\r\nAF mode: ", info.m_afMode);
    appendIfSet(text, "\r\nFocus point: ", info.m_focusPoint);
    if (info.m_imageWidth > 0)
        text += format("\r\nImage size: %d x %d", int(info.m_imageWidth), int(info.m_imageHeight));
    appendIfSet(text, "\r\nImage quality: ", info.m_quality);
    appendIfSet(text, "\r\nWhite balance: ", info.m_whiteBalance);
    appendIfSet(text, "\r\nContrast: ", info.m_contrast);
    appendIfSet(text, "\r\nSharpness: ", info.m_sharpness);
    appendIfSet(text, "\r\nSaturation: ", info.m_saturation);
    appendIfSet(text, "\r\nTone: ", info.m_tone);
    if (!info.m_customFunctions.empty())
        text += "\r\n" + withCrLf(info.m_customFunctions);
    if (!info.m_userComment.empty())
        text += "\r\nUser comments:\r\n\"" + withCrLf(trimTrailingWhiteSpace(info.m_userComment)) + "\"";
    return text;
}
