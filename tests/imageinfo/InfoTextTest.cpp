#include "ExifBuilder.h"

#include "ImageInfo.h"
#include "InfoText.h"

#include <gtest/gtest.h>

namespace {

// A D60 shot as the reader builds it from a made-up camera file.
ImageInfo d60Shot()
{
    TestShot shot;
    const std::vector<uint8_t> bytes = buildShotJpeg(shot);
    return ImageInfo(bytes.data(), bytes.size());
}

TEST(FormatStopsTest, WritesWholeStopsAndThirdsOrHalves)
{
    EXPECT_EQ(formatStops(0), "0");
    EXPECT_EQ(formatStops(0.009), "0");
    EXPECT_EQ(formatStops(-1.333), "-1 1/3");
    EXPECT_EQ(formatStops(0.5), "+1/2");
    EXPECT_EQ(formatStops(2), "+2");
    EXPECT_EQ(formatStops(-0.6875), "-2/3");
    EXPECT_EQ(formatStops(0.2), "+");
    EXPECT_EQ(formatStops(1.0 / 3), "+1/3");
    EXPECT_EQ(formatStops(-2.5), "-2 1/2");
}

TEST(FormatExposureTimeTest, UsesSecondsFromAThirdOfASecondAndFractionsBelow)
{
    EXPECT_EQ(formatExposureTime(1.0 / 125), "1/125 sec");
    EXPECT_EQ(formatExposureTime(0.3), "0.3 sec");
    EXPECT_EQ(formatExposureTime(0.25), "1/4 sec");
    EXPECT_EQ(formatExposureTime(30), "30 sec");
    // 1/0.003 is 333.33: truncated, not rounded.
    EXPECT_EQ(formatExposureTime(0.003), "1/333 sec");
    EXPECT_EQ(formatExposureTime(0), "1/ sec");
}

TEST(ShotInfoTextTest, ListsTheShotsSettingsInOrder)
{
    ImageInfo info = d60Shot();
    EXPECT_EQ(shotInfoText(info),
              "Exposure: 1/125 sec, f/5.6"
              "\r\nExp mode: Av"
              "\r\nMetering mode: Evaluative"
              "\r\nLens: 28-135mm @ 50mm"
              "\r\nISO: 100"
              "\r\nExp compensation: -1/3"
              "\r\nAF mode: One-shot"
              "\r\nFocus point: [Center]"
              "\r\nDrive: Single frame shooting"
              "\r\nWhite balance: Daylight"
              "\r\nContrast: Normal"
              "\r\nSharpness: Low"
              "\r\nSaturation: High"
              "\r\nSize/Quality: Large/Fine"
              "\r\nTime: 2002:05:04 12:34:56");
}

TEST(ShotInfoTextTest, EmptyRecordStillWritesEveryAlwaysPresentLabel)
{
    const ImageInfo info;
    EXPECT_EQ(shotInfoText(info),
              "Exposure: 1/ sec, f/0"
              "\r\nExp mode: "
              "\r\nMetering mode: "
              "\r\nISO: "
              "\r\nFlash: "
              "\r\nAF mode: "
              "\r\nDrive: "
              "\r\nWhite balance: "
              "\r\nContrast: "
              "\r\nSharpness: "
              "\r\nSaturation: "
              "\r\nSize/Quality: Small/"
              "\r\nTime: ");
}

struct SizeCase {
    const char *model;
    int32_t width;
    int32_t height;
    const char *word;
};

class SizeWordTest : public ::testing::TestWithParam<SizeCase> {};

TEST_P(SizeWordTest, SizeWordDependsOnModelAndDimensions)
{
    ImageInfo info;
    info.m_model = GetParam().model;
    info.m_imageWidth = GetParam().width;
    info.m_imageHeight = GetParam().height;
    info.m_quality = "Fine";
    const std::string text = shotInfoText(info);
    EXPECT_NE(text.find(std::string("\r\nSize/Quality: ") + GetParam().word + "/Fine"), std::string::npos) << text;
}

INSTANTIATE_TEST_SUITE_P(D30AndD60, SizeWordTest,
                         ::testing::Values(SizeCase{"Canon EOS D60", 3072, 2048, "Large"},
                                           SizeCase{"Canon EOS D60", 2048, 1360, "Medium"},
                                           SizeCase{"Canon EOS D60", 1536, 1024, "Small"},
                                           SizeCase{"Canon EOS D30", 2160, 1440, "Large"},
                                           SizeCase{"Canon EOS D30", 1080, 720, "Small"}));

TEST(ShotInfoTextTest, RawQualityShowsNoSizeWord)
{
    ImageInfo info;
    info.m_quality = "Raw";
    info.m_imageWidth = 3072;
    EXPECT_NE(shotInfoText(info).find("\r\nSize/Quality: Raw\r\nTime: "), std::string::npos);
}

TEST(ShotInfoTextTest, FlashSelfTimerPrimeLensAndDistance)
{
    ImageInfo info;
    info.m_flash = "Built-in Auto";
    info.m_flashExposureCompensation = -0.375;
    info.m_selfTimer = 10;
    info.m_focalLength = 50;
    info.m_lensLongEnd = 50;
    info.m_lensShortEnd = 50;
    info.m_subjectDistance = 3.75;
    const std::string text = shotInfoText(info);
    EXPECT_NE(text.find("\r\nLens: 50mm\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\r\nFlash: Built-in Auto\r\nFlash exp comp: -1/3\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\r\nSubject distance: 3.75 m\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\r\nDrive: Self-timer, 10 secs\r\n"), std::string::npos) << text;

    info.m_flash = "Off";
    info.m_lensLongEnd = 0;
    const std::string off = shotInfoText(info);
    EXPECT_EQ(off.find("Flash"), std::string::npos) << off;
    EXPECT_NE(off.find("\r\nLens: 50mm\r\n"), std::string::npos) << off;
}

TEST(CameraInfoTextTest, ListsEverythingTheRecordHolds)
{
    ImageInfo info = d60Shot();
    info.m_customFunctions = "Custom Functions:\nCFn 3: Mirror lockup: Enable";
    info.m_userComment = "first line\nsecond line\n  ";
    EXPECT_EQ(cameraInfoText(info),
              "Camera Model: Canon EOS D60"
              "\r\nCamera serial number: 0001234567"
              "\r\nFirmware: Firmware Version 1.0.0"
              "\r\nOwner: Test Owner"
              "\r\nDate/Time: 2002:05:04 12:34:56"
              "\r\nShutter speed: 1/125 sec"
              "\r\nAperture: 5.6"
              "\r\nExposure mode: Av"
              "\r\nExposure compensation: -1/3"
              "\r\nFlash: Off"
              "\r\nMetering mode: Evaluative"
              "\r\nDrive: Single frame shooting"
              "\r\nISO: 100"
              "\r\nLens: 28.0 to 135.0 mm"
              "\r\nFocal length: 50.0 mm"
              "\r\nAF mode: One-shot"
              "\r\nFocus point: [Center]"
              "\r\nImage size: 3072 x 2048"
              "\r\nImage quality: Fine"
              "\r\nWhite balance: Daylight"
              "\r\nContrast: Normal"
              "\r\nSharpness: Low"
              "\r\nSaturation: High"
              "\r\nTone: Normal"
              "\r\nCustom Functions:\r\nCFn 3: Mirror lockup: Enable"
              "\r\nUser comments:\r\n\"first line\r\nsecond line\"");
}

TEST(CameraInfoTextTest, EmptyRecordWritesOnlyTheAlwaysPresentLines)
{
    ImageInfo info;
    EXPECT_EQ(cameraInfoText(info), "Camera Model: \r\nShutter speed: 1/ sec\r\nAperture: 0");
}

TEST(CameraInfoTextTest, PrimeLensRawSizeAndFlashCompensation)
{
    ImageInfo info;
    info.m_focalLength = 50;
    info.m_lensLongEnd = 50;
    info.m_lensShortEnd = 50;
    info.m_flash = "External E-TTL Auto";
    info.m_flashExposureCompensation = 0.5;
    info.m_selfTimer = 2;
    info.m_imageWidth = 2160;
    info.m_imageHeight = 1440;
    const std::string text = cameraInfoText(info);
    EXPECT_NE(text.find("\r\nLens: 50 mm\r\nFocal length: 50.0 mm"), std::string::npos) << text;
    EXPECT_NE(text.find("\r\nFlash: External E-TTL Auto\r\nFlash exposure compensation: +1/2"), std::string::npos)
        << text;
    EXPECT_NE(text.find("\r\nDrive: Self-timer, 2 secs"), std::string::npos) << text;
    EXPECT_NE(text.find("\r\nImage size: 2160 x 1440"), std::string::npos) << text;
}

TEST(CameraInfoTextTest, G1AndPro90ReportCentreMeteringAsCentreWeighted)
{
    for (const char *model : {"Canon PowerShot G1", "Canon PowerShot Pro90 IS", "Canon EOS D30"}) {
        ImageInfo info;
        info.m_model = model;
        info.m_meteringMode = "Center";
        const std::string text = cameraInfoText(info);
        const bool rewritten = std::string(model).find("D30") == std::string::npos;
        EXPECT_EQ(info.m_meteringMode, rewritten ? "Center-weighted average" : "Center") << model;
        EXPECT_NE(text.find("\r\nMetering mode: " + info.m_meteringMode), std::string::npos) << model;
    }
}

} // namespace
