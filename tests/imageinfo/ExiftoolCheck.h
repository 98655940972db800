// Checks the reader's fields (as imageInfoFields names them) against what
// exiftool -n reports for the same file. exiftool is the reference; where
// our texts come from a number, the number exiftool reports is mapped
// through the camera's documented meaning of that number.
#ifndef QUILLOMAT_TESTS_IMAGEINFO_EXIFTOOLCHECK_H
#define QUILLOMAT_TESTS_IMAGEINFO_EXIFTOOLCHECK_H

#include "TestSupport.h"

#include <cmath>
#include <gtest/gtest.h>
#include <map>
#include <string>

namespace exiftoolcheck {

using Fields = std::map<std::string, std::string>;

inline bool has(const Fields &tags, const std::string &name)
{
    return tags.count(name) != 0;
}

inline double num(const Fields &tags, const std::string &name)
{
    return std::stod(tags.at(name));
}

inline void expectNear(const Fields &ours, const std::string &field, double expected, const std::string &what)
{
    const double value = std::stod(ours.at(field));
    EXPECT_NEAR(value, expected, std::fabs(expected) * 1e-6 + 1e-9) << field << " vs exiftool " << what;
}

inline std::string level(int value)
{
    return value == 0 ? "Normal" : value == 1 ? "High" : "Low";
}

// Raw quality number to our text, and the other tables the same way.
inline void checkAgainstExiftool(const std::string &path, const Fields &ours)
{
    const Fields tags = exiftoolTags(path);
    ASSERT_TRUE(has(tags, "IFD0:Model")) << path;
    SCOPED_TRACE(path);

    EXPECT_EQ(ours.at("make"), tags.at("IFD0:Make"));
    EXPECT_EQ(ours.at("model"), tags.at("IFD0:Model"));
    EXPECT_EQ(ours.at("dateTime"), tags.at("IFD0:ModifyDate"));
    expectNear(ours, "exposureTime", num(tags, "ExifIFD:ExposureTime"), "ExposureTime");
    expectNear(ours, "aperture", num(tags, "ExifIFD:FNumber"), "FNumber");
    expectNear(ours, "exposureCompensation", num(tags, "ExifIFD:ExposureCompensation"), "ExposureCompensation");
    expectNear(ours, "focalLength", num(tags, "ExifIFD:FocalLength"), "FocalLength");
    expectNear(ours, "subjectDistance", has(tags, "ExifIFD:SubjectDistance") ? num(tags, "ExifIFD:SubjectDistance") : 0,
               "SubjectDistance");
    EXPECT_EQ(ours.at("userComment"), has(tags, "ExifIFD:UserComment") ? tags.at("ExifIFD:UserComment") : "");

    const bool makerNote = has(tags, "Canon:Quality");
    static const char *const qualities[] = {"Unknown", "Unknown", "Normal", "Fine", "Raw", "Super fine"};
    const int quality = makerNote ? int(num(tags, "Canon:Quality")) : -1;
    const std::string qualityText = !makerNote ? "" : (quality >= 0 && quality <= 5) ? qualities[quality] : "Unknown";
    EXPECT_EQ(ours.at("quality"), qualityText);

    // The size: the EXIF pixel dimensions, except that a raw shot's
    // thumbnail stands for the raw image (3072 x 2048 on the D60, 2160 x 1440 otherwise).
    if (qualityText == "Raw") {
        const bool d60 = tags.at("IFD0:Model") == "Canon EOS D60";
        EXPECT_EQ(ours.at("imageWidth"), d60 ? "3072" : "2160");
        EXPECT_EQ(ours.at("imageHeight"), d60 ? "2048" : "1440");
    } else {
        EXPECT_EQ(ours.at("imageWidth"), tags.at("ExifIFD:ExifImageWidth"));
        EXPECT_EQ(ours.at("imageHeight"), tags.at("ExifIFD:ExifImageHeight"));
    }

    // ISO: the maker note's setting when it names one, else the EXIF value.
    std::string iso = has(tags, "ExifIFD:ISO") ? tags.at("ExifIFD:ISO") : "";
    if (has(tags, "Canon:CameraISO")) {
        const std::string camera = tags.at("Canon:CameraISO");
        if (camera == "Auto" || camera == "50" || camera == "100" || camera == "200" || camera == "400")
            iso = camera;
    }
    EXPECT_EQ(ours.at("iso"), iso);

    // Metering: the maker note's mode, else the EXIF mode.
    static const char *const exifMetering[] = {"", "Average", "Center-weighted average", "Spot", "Multi-spot",
                                               "Evaluative", "Partial"};
    static const char *const canonMetering[] = {"Center", "Spot", "Average", "Evaluative", "Partial",
                                                "Center-weighted average"};
    std::string metering;
    const int exifMode = int(num(tags, "ExifIFD:MeteringMode"));
    if (exifMode >= 1 && exifMode <= 6)
        metering = exifMetering[exifMode];
    if (has(tags, "Canon:MeteringMode")) {
        const int mode = int(num(tags, "Canon:MeteringMode"));
        if (mode >= 0 && mode <= 5)
            metering = canonMetering[mode];
    }
    EXPECT_EQ(ours.at("meteringMode"), metering);

    // Flash: "Off" when EXIF says so; otherwise the maker note's flash bits
    // name the unit, and without either unit bit the flash was off.
    const int exifFlash = int(num(tags, "ExifIFD:Flash"));
    if (exifFlash == 0 || !has(tags, "Canon:FlashBits")) {
        EXPECT_EQ(ours.at("flash"), exifFlash == 0 ? "Off" : "On");
    } else {
        const int bits = int(num(tags, "Canon:FlashBits"));
        const std::string flash = ours.at("flash");
        if (bits & 0x4000) {
            EXPECT_TRUE(flash.rfind("External", 0) == 0 || flash.rfind("Off", 0) == 0) << flash;
        } else if (bits & 0x2000) {
            EXPECT_TRUE(flash.rfind("Built-in", 0) == 0 || flash == "Off") << flash;
        } else {
            EXPECT_EQ(flash, "Off");
        }
    }

    if (!makerNote) {
        EXPECT_EQ(ours.at("owner"), has(tags, "IFD0:Artist") ? tags.at("IFD0:Artist") : "");
        EXPECT_EQ(ours.at("customFunctions"), "");
        return;
    }

    EXPECT_EQ(ours.at("firmware"), tags.at("Canon:CanonFirmwareVersion"));
    EXPECT_EQ(ours.at("owner"), tags.at("Canon:OwnerName"));
    if (has(tags, "Canon:SerialNumber")) {
        const uint32_t serial = uint32_t(std::stoul(tags.at("Canon:SerialNumber")));
        char text[32];
        if (tags.at("IFD0:Model") == "Canon EOS D60")
            std::snprintf(text, sizeof text, "%010u", serial);
        else
            std::snprintf(text, sizeof text, "%04x%05u", serial >> 16, serial & 0xFFFF);
        EXPECT_EQ(ours.at("serialNumber"), text);
    }
    // exiftool -n gives the self-timer element itself, in tenths of a second.
    expectNear(ours, "selfTimer", num(tags, "Canon:SelfTimer") / 10, "SelfTimer");

    const int drive = int(num(tags, "Canon:ContinuousDrive"));
    std::string driveText = drive == 0 ? "Single frame shooting" : "Continuous";
    if (drive != 0 && has(tags, "Canon:SequenceNumber") && num(tags, "Canon:SequenceNumber") != 0)
        driveText = "Continuous frame: " + tags.at("Canon:SequenceNumber");
    EXPECT_EQ(ours.at("driveMode"), driveText);

    static const char *const afModes[] = {"One-shot", "AI servo", "AI focus", "Manual", "", "Continuous AF", "Manual"};
    const int af = int(num(tags, "Canon:FocusMode"));
    std::string afText = af >= 0 && af <= 6 ? afModes[af] : "";
    if (af == 4)
        afText = has(tags, "Canon:FocusContinuous") && num(tags, "Canon:FocusContinuous") != 0 ? "Continuous AF" : "Single AF";
    EXPECT_EQ(ours.at("afMode"), afText);

    EXPECT_EQ(ours.at("contrast"), level(int(num(tags, "Canon:Contrast"))));
    EXPECT_EQ(ours.at("saturation"), level(int(num(tags, "Canon:Saturation"))));
    EXPECT_EQ(ours.at("sharpness"), level(int(num(tags, "Canon:Sharpness"))));

    static const char *const easy[] = {"Auto", "Manual", "Landscape", "Fast shutter", "Slow shutter", "Night scene",
                                       "Black and white", "Sepia", "Portrait", "Sports", "Close-up", "Pan focus",
                                       "Vivid", "Neutral", "Black and white"};
    static const char *const programs[] = {"", "Program", "Tv", "Av", "Manual", "A-DEP"};
    if (has(tags, "Canon:CanonExposureMode")) {
        const int program = int(num(tags, "Canon:CanonExposureMode"));
        const int easyMode = int(num(tags, "Canon:EasyMode"));
        const std::string expected = program == 0 ? (easyMode >= 0 && easyMode <= 14 ? easy[easyMode] : "")
                                                  : (program >= 1 && program <= 5 ? programs[program] : "");
        EXPECT_EQ(ours.at("exposureMode"), expected);
    }

    // exiftool reports the lens ends already divided by the focal unit.
    if (has(tags, "Canon:MaxFocalLength") && has(tags, "Canon:FocalUnits") && num(tags, "Canon:FocalUnits") != 0) {
        expectNear(ours, "lensLongEnd", std::floor(num(tags, "Canon:MaxFocalLength")), "MaxFocalLength");
        expectNear(ours, "lensShortEnd", std::floor(num(tags, "Canon:MinFocalLength")), "MinFocalLength");
    }

    // exiftool names element 42 only for the models that use it as the
    // colour tone; we read it from every long enough array.
    if (has(tags, "Canon:ColorTone")) {
        const int tone = int(num(tags, "Canon:ColorTone"));
        EXPECT_EQ(ours.at("tone"), tone == 0 ? "Normal" : tone == 1 ? "Yellow" : "Red");
    }

    static const char *const balances[] = {"Auto", "Daylight", "Cloudy", "Tungsten", "Fluorescent", "Flash", "Preset",
                                           "BW"};
    const int wb = int(num(tags, "Canon:WhiteBalance"));
    EXPECT_EQ(ours.at("whiteBalance"), wb >= 0 && wb <= 7 ? balances[wb] : wb == 14 ? "Fluorescent H" : "Unknown");

    static const char *const points[] = {"", "[Right]", "[Center]", "[Center + Right]", "[Left]", "[Left + Right]",
                                         "[Left + Center]", "[Left + Center + Right]"};
    if (has(tags, "Canon:AFPointsInFocus")) {
        EXPECT_EQ(ours.at("focusPoint"), points[int(num(tags, "Canon:AFPointsInFocus")) & 7]);
    }

    // exiftool rounds the compensation to thirds; ours is the raw value / 32.
    // Both agree on "none".
    if (has(tags, "Canon:FlashExposureComp") && num(tags, "Canon:FlashExposureComp") == 0) {
        EXPECT_EQ(ours.at("flashExposureCompensation"), "0");
    }
}

} // namespace exiftoolcheck

#endif
