#include "ExifBuilder.h"
#include "TestSupport.h"

#include "ImageInfo.h"
#include "LoadImageJpeg.h"

#include <gtest/gtest.h>

namespace {

ImageInfo infoFrom(const std::vector<uint8_t> &bytes)
{
    // An exact-size heap copy, so that the sanitizer sees any read past the end.
    std::unique_ptr<uint8_t[]> copy(new uint8_t[bytes.size() ? bytes.size() : 1]);
    std::copy(bytes.begin(), bytes.end(), copy.get());
    return ImageInfo(copy.get(), bytes.size());
}

class ByteOrderTest : public ::testing::TestWithParam<bool> {};

TEST_P(ByteOrderTest, DecodesEveryFieldOfACameraFile)
{
    TestShot shot;
    shot.littleEndian = GetParam();
    shot.metering = 2;  // overridden by the maker note
    shot.artist = "Artist In Ifd0";
    shot.userComment = TestShot::defaultUserComment("At the lake");
    const ImageInfo info = infoFrom(buildShotJpeg(shot));

    EXPECT_EQ(info.m_littleEndian, GetParam());
    EXPECT_EQ(info.m_make, "Canon");
    EXPECT_EQ(info.m_model, "Canon EOS D60");
    EXPECT_EQ(info.m_dateTime, "2002:05:04 12:34:56");
    EXPECT_DOUBLE_EQ(info.m_exposureTime, 1.0 / 125);
    EXPECT_DOUBLE_EQ(info.m_aperture, 5.6);
    EXPECT_DOUBLE_EQ(info.m_exposureCompensation, -1.0 / 3);
    EXPECT_DOUBLE_EQ(info.m_focalLength, 50);
    EXPECT_EQ(info.m_iso, "100");
    EXPECT_EQ(info.m_meteringMode, "Evaluative");
    EXPECT_EQ(info.m_flash, "Off");
    EXPECT_EQ(info.m_imageWidth, 3072);
    EXPECT_EQ(info.m_imageHeight, 2048);
    EXPECT_EQ(info.m_serialNumber, "0001234567");
    EXPECT_EQ(info.m_firmware, "Firmware Version 1.0.0");
    EXPECT_EQ(info.m_owner, "Test Owner");
    EXPECT_EQ(info.m_quality, "Fine");
    EXPECT_EQ(info.m_driveMode, "Single frame shooting");
    EXPECT_EQ(info.m_afMode, "One-shot");
    EXPECT_EQ(info.m_contrast, "Normal");
    EXPECT_EQ(info.m_saturation, "High");
    EXPECT_EQ(info.m_sharpness, "Low");
    EXPECT_EQ(info.m_exposureMode, "Av");
    EXPECT_DOUBLE_EQ(info.m_lensLongEnd, 135);
    EXPECT_DOUBLE_EQ(info.m_lensShortEnd, 28);
    EXPECT_EQ(info.m_tone, "Normal");
    EXPECT_EQ(info.m_whiteBalance, "Daylight");
    EXPECT_EQ(info.m_focusPoint, "[Center]");
    EXPECT_EQ(info.m_customFunctions, "Custom Functions:\nDefault settings");
    EXPECT_EQ(info.m_userComment, "At the lake");
    EXPECT_EQ(info.m_dataLength, int32_t(buildShotJpeg(shot).size()));
}

INSTANTIATE_TEST_SUITE_P(LittleAndBigEndian, ByteOrderTest, ::testing::Values(true, false));

TEST(ImageInfoTest, SerialNumberFormatDependsOnModel)
{
    TestShot shot;
    EXPECT_EQ(infoFrom(buildShotJpeg(shot)).m_serialNumber, "0001234567");
    shot.model = "Canon EOS D30";
    EXPECT_EQ(infoFrom(buildShotJpeg(shot)).m_serialNumber, "001254919");
}

TEST(ImageInfoTest, FlashTextFollowsExifFlashAndMakerNoteDetails)
{
    TestShot shot;
    shot.flash = 1;
    shot.cameraSettings[4] = 1;
    shot.cameraSettings[29] = 0x4008;
    EXPECT_EQ(infoFrom(buildShotJpeg(shot)).m_flash, "External E-TTL Auto");

    shot.cameraSettings[4] = 0;
    shot.cameraSettings[29] = 0x4080;
    EXPECT_EQ(infoFrom(buildShotJpeg(shot)).m_flash, "Off + 2nd curtain sync");

    shot.cameraSettings[4] = 3;
    shot.cameraSettings[29] = 0x2000;
    EXPECT_EQ(infoFrom(buildShotJpeg(shot)).m_flash, "Built-in + Red eye reduction");

    shot.cameraSettings[4] = 2;
    shot.cameraSettings[29] = 0x4011;
    EXPECT_EQ(infoFrom(buildShotJpeg(shot)).m_flash, "External Manual High speed sync");

    // EXIF says the flash did not fire: the details are not consulted.
    shot.flash = 0;
    EXPECT_EQ(infoFrom(buildShotJpeg(shot)).m_flash, "Off");
}

TEST(ImageInfoTest, ShotInfoDecodesCompensationSequenceAndFocusPoints)
{
    TestShot shot;
    shot.shotInfo[15] = 65524;
    shot.shotInfo[14] = 7;
    shot.shotInfo[7] = 14;
    shot.shotInfo[9] = 3;
    ImageInfo single = infoFrom(buildShotJpeg(shot));
    EXPECT_DOUBLE_EQ(single.m_flashExposureCompensation, -0.375);
    EXPECT_EQ(single.m_focusPoint, "[Left + Center + Right]");
    EXPECT_EQ(single.m_whiteBalance, "Fluorescent H");
    EXPECT_EQ(single.m_driveMode, "Single frame shooting");

    shot.cameraSettings[5] = 1;
    EXPECT_EQ(infoFrom(buildShotJpeg(shot)).m_driveMode, "Continuous frame: 3");
}

TEST(ImageInfoTest, UserCommentSkipsCharacterCodeOnlyWhenPresent)
{
    TestShot shot;
    shot.userComment = {'n', 'o', 't', 'e', 0, 0, 0, 0};
    EXPECT_EQ(infoFrom(buildShotJpeg(shot)).m_userComment, "note");

    shot.userComment = {'p', 'l', 'a', 'i', 'n', ' ', 't', 'e', 'x', 't', 0};
    EXPECT_EQ(infoFrom(buildShotJpeg(shot)).m_userComment, "plain text");

    // A comment longer than the 1024-byte area is cut, keeping its terminator.
    shot.userComment = TestShot::defaultUserComment(std::string(2000, 'x'), 2000);
    EXPECT_EQ(infoFrom(buildShotJpeg(shot)).m_userComment, std::string(1023 - 8, 'x'));
}

TEST(ImageInfoTest, RawThumbnailTakesTheRawImageSizeOfItsModel)
{
    TestShot shot;
    shot.cameraSettings[3] = 4;
    shot.width = 160;
    shot.height = 120;
    ImageInfo d60 = infoFrom(buildShotJpeg(shot));
    EXPECT_EQ(d60.m_quality, "Raw");
    EXPECT_EQ(d60.m_imageWidth, 3072);
    EXPECT_EQ(d60.m_imageHeight, 2048);

    shot.model = "Canon EOS D30";
    ImageInfo d30 = infoFrom(buildShotJpeg(shot));
    EXPECT_EQ(d30.m_imageWidth, 2160);
    EXPECT_EQ(d30.m_imageHeight, 1440);
}

TEST(ImageInfoTest, ShortMakerNoteArraysReportMissingElementsAsAbsent)
{
    TestShot shot;
    shot.flash = 1;
    shot.iso = 200;
    shot.cameraSettings.resize(10);
    shot.shotInfo.resize(8);
    shot.customFunctions = {6, 0, 1};
    const ImageInfo info = infoFrom(buildShotJpeg(shot));
    EXPECT_EQ(info.m_quality, "Fine");
    EXPECT_EQ(info.m_flash, "On");
    EXPECT_EQ(info.m_iso, "200");
    EXPECT_EQ(info.m_exposureMode, "");
    EXPECT_EQ(info.m_contrast, "");
    EXPECT_EQ(info.m_tone, "");
    EXPECT_EQ(info.m_lensLongEnd, 0);
    EXPECT_EQ(info.m_whiteBalance, "Daylight");
    EXPECT_EQ(info.m_focusPoint, "");
    EXPECT_EQ(info.m_flashExposureCompensation, 0);
    EXPECT_EQ(info.m_customFunctions, "Custom Functions:\nCFn 2: Shutter release: AE lock; AE button: AE + AF");
}

TEST(ImageInfoTest, ZeroFocalUnitLeavesNoLensRange)
{
    TestShot shot;
    shot.cameraSettings[25] = 0;
    const ImageInfo info = infoFrom(buildShotJpeg(shot));
    EXPECT_EQ(info.m_lensLongEnd, 0);
    EXPECT_EQ(info.m_lensShortEnd, 0);
    EXPECT_EQ(info.m_quality, "Fine");
}

TEST(ImageInfoTest, AfModeFourNeedsElementThirtyTwo)
{
    TestShot shot;
    shot.cameraSettings[7] = 4;
    shot.cameraSettings[32] = 1;
    EXPECT_EQ(infoFrom(buildShotJpeg(shot)).m_afMode, "Continuous AF");
    shot.cameraSettings.resize(32);
    EXPECT_EQ(infoFrom(buildShotJpeg(shot)).m_afMode, "Single AF");
}

TEST(ImageInfoTest, CustomFunctionsListEverySettingThatIsNotDefault)
{
    TestShot shot;
    shot.customFunctions = {26, 1, 2, 1, 1, 1, 1, 3, 1, 2, 1, 1, 3};
    EXPECT_EQ(infoFrom(buildShotJpeg(shot)).m_customFunctions,
              "Custom Functions:"
              "\nCFn 1: Long exposure noise reduction: ON"
              "\nCFn 2: Shutter release: AE + AF; AE button: AF lock"
              "\nCFn 3: Mirror lockup: Enable"
              "\nCFn 4: Tv/Av and exposure level: 1/3 stop"
              "\nCFn 5: AF-assist light: Off"
              "\nCFn 6: Shutter speed in Av mode: 1/200 (with flash)"
              "\nCFn 7: AEB sequence: -, 0, +, cancel when turned off: Disabled"
              "\nCFn 8: Shutter curtain sync: 2nd-curtain sync"
              "\nCFn 9: Lens AF stop button Fn. Switch: AE lock while metering"
              "\nCFn 10: Auto reduction of fill flash: Disabled"
              "\nCFn 11: Menu button return position: Previous (top if powered off)"
              "\nCFn 12: SET button function when shooting: Select parameters");
}

TEST(ImageInfoTest, ZeroDenominatorGivesNoValue)
{
    TestShot shot;
    shot.exposureDenominator = 0;
    EXPECT_EQ(infoFrom(buildShotJpeg(shot)).m_exposureTime, 0);
}

TEST(ImageInfoTest, JpegWithoutExifSegmentGivesAnEmptyRecord)
{
    const std::vector<uint8_t> bytes = {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x04, 'J', 'F', 0xFF, 0xD9};
    const ImageInfo info = infoFrom(bytes);
    EXPECT_EQ(info.m_model, "");
    EXPECT_EQ(info.m_exposureTime, 0);
    EXPECT_EQ(info.m_imageWidth, 0);
    EXPECT_EQ(info.m_customFunctions, "");
    EXPECT_EQ(ImageInfo(nullptr, 0).m_dataLength, 0);
}

TEST(ImageInfoTest, TruncatedFilesKeepWhatWasDecodedAndNeverReadPastTheEnd)
{
    TestShot shot;
    const std::vector<uint8_t> whole = buildShotJpeg(shot);
    bool sawPartial = false;
    for (size_t length = 0; length <= whole.size(); ++length) {
        const ImageInfo info = infoFrom(std::vector<uint8_t>(whole.begin(), whole.begin() + long(length)));
        EXPECT_TRUE(info.m_model.empty() || info.m_model == "Canon EOS D60") << length;
        if (!info.m_model.empty() && info.m_customFunctions.empty())
            sawPartial = true;
    }
    EXPECT_TRUE(sawPartial);
}

TEST(ImageInfoTest, DirectoriesPointingBackwardsOrAtThemselvesEndCleanly)
{
    ExifBuilder b(true);
    const int exif = b.addDirectory();
    b.ascii(0, 0x0110, "Canon EOS D30");
    b.pointer(0, 0x8769, exif);
    // The maker note is the EXIF directory itself, and IFD0 once more.
    b.pointer(exif, 0x927C, exif);
    b.pointer(exif, 0x927C, 0);
    b.rawEntry(exif, 0x0001, 3, 0xFFFFFFF0u, 8);   // an array of nearly 2^32 elements
    b.setNext(0, 0);
    const ImageInfo info = infoFrom(b.jpeg());
    EXPECT_EQ(info.m_model, "Canon EOS D30");
    EXPECT_EQ(info.m_quality, "");
}

TEST(ImageInfoTest, HugeCountsAndOffsetsAreRefusedWithoutReading)
{
    ExifBuilder b(false);
    const int exif = b.addDirectory();
    b.ascii(0, 0x010F, "Canon");
    b.rawEntry(0, 0x0110, 2, 0xFFFFFFFFu, 0xFFFFFFF0u);
    b.pointer(0, 0x8769, exif);
    const ImageInfo info = infoFrom(b.jpeg());
    EXPECT_EQ(info.m_make, "Canon");
    EXPECT_EQ(info.m_model, "");
    EXPECT_EQ(info.m_exposureTime, 0);
}

TEST(ImageInfoTest, SegmentLengthsBelowTwoOrPastTheEndStopTheWalk)
{
    const std::vector<uint8_t> shortLength = {0xFF, 0xD8, 0xFF, 0xE1, 0x00, 0x01, 0xFF, 0xE1, 0x00, 0x00};
    EXPECT_EQ(infoFrom(shortLength).m_model, "");
    std::vector<uint8_t> longSegment = buildShotJpeg(TestShot());
    longSegment[4] = 0xFF;
    longSegment[5] = 0xFF;
    const ImageInfo info = infoFrom(longSegment);
    EXPECT_EQ(info.m_model, "Canon EOS D60");
}

TEST(ImageInfoPathTest, MissingFilesAndRawFilesWithoutThumbnailGiveEmptyRecords)
{
    TempDir dir;
    EXPECT_EQ(ImageInfo(dir.file("IMG_0001.JPG")).m_model, "");
    writeFile(dir.file("CRW_0001.CRW"), buildCrw("comment", 256, 0));
    EXPECT_EQ(ImageInfo(dir.file("CRW_0001.CRW")).m_model, "");
}

TEST(ImageInfoPathTest, JpegFileIsReadAndItsBufferReleased)
{
    TempDir dir;
    writeFile(dir.file("IMG_0001.JPG"), buildShotJpeg(TestShot()));
    const ImageInfo info(dir.file("IMG_0001.JPG"));
    EXPECT_EQ(info.m_model, "Canon EOS D60");
    EXPECT_EQ(info.m_dataLength, 0);
}

TEST(ImageInfoPathTest, RawImageReadsItsThumbnailAndTheRawFilesComment)
{
    TempDir dir;
    TestShot shot;
    shot.cameraSettings[3] = 4;
    shot.userComment = TestShot::defaultUserComment("thumbnail comment");
    writeFile(dir.file("CRW_0002.THM"), buildShotJpeg(shot));
    writeFile(dir.file("CRW_0002.CRW"), buildCrw("raw comment  \n", 256, 0));
    for (const char *name : {"CRW_0002.CRW", "CRW_0002.THM"}) {
        const ImageInfo info(dir.file(name));
        EXPECT_EQ(info.m_quality, "Raw") << name;
        EXPECT_EQ(info.m_imageWidth, 3072) << name;
        EXPECT_EQ(info.m_userComment, "raw comment") << name;
    }
    // An empty raw comment leaves the thumbnail's.
    writeFile(dir.file("CRW_0002.CRW"), buildCrw("   ", 256, 0));
    EXPECT_EQ(ImageInfo(dir.file("CRW_0002.CRW")).m_userComment, "thumbnail comment");
}

TEST(LoadImageJpegTest, LoadsJpegFilesWholeAndTheJpegInsideRawFiles)
{
    TempDir dir;
    const std::vector<uint8_t> jpeg = buildShotJpeg(TestShot());
    writeFile(dir.file("IMG_0001.jpg"), jpeg);
    EXPECT_EQ(loadImageJpeg(dir.file("IMG_0001.jpg")), jpeg);
    writeFile(dir.file("CRW_0001.CRW"), buildCrw("", 256, 0, true, jpeg));
    EXPECT_EQ(loadImageJpeg(dir.file("CRW_0001.CRW")), jpeg);
    writeFile(dir.file("CRW_0001.THM"), jpeg);
    EXPECT_TRUE(loadImageJpeg(dir.file("CRW_0001.THM")).empty());
    EXPECT_TRUE(loadImageJpeg(dir.file("missing.jpg")).empty());
    writeFile(dir.file("empty.jpg"), {});
    EXPECT_TRUE(loadImageJpeg(dir.file("empty.jpg")).empty());
}

TEST(LoadImageJpegTest, RawFileOffsetsAndSizesAreCheckedAgainstTheFile)
{
    TempDir dir;
    const std::vector<uint8_t> jpeg = buildShotJpeg(TestShot());
    const std::vector<uint8_t> good = buildCrw("", 256, 0, true, jpeg);
    const std::string path = dir.file("CRW_0001.CRW");
    // The root table's record for 0x2007 is the second one.
    const uint32_t heap = 26;
    const uint32_t table = heap + (uint32_t(good[good.size() - 4]) | (uint32_t(good[good.size() - 3]) << 8));
    const size_t jpegRecord = table + 2 + 10;
    ASSERT_EQ(good[jpegRecord], 0x07);
    ASSERT_EQ(good[jpegRecord + 1], 0x20);

    std::vector<uint8_t> bad = good;
    bad[jpegRecord + 2 + 3] = 0x7F;   // size far past the end
    writeFile(path, bad);
    EXPECT_TRUE(loadImageJpeg(path).empty());

    bad = good;
    bad[jpegRecord + 6 + 3] = 0xFF;   // offset far past the end
    writeFile(path, bad);
    EXPECT_TRUE(loadImageJpeg(path).empty());

    bad = good;
    bad[bad.size() - 1] = 0x80;       // record table past the end
    writeFile(path, bad);
    EXPECT_TRUE(loadImageJpeg(path).empty());

    for (size_t length : {size_t(0), size_t(5), size_t(30), good.size() - 1}) {
        writeFile(path, std::vector<uint8_t>(good.begin(), good.begin() + long(length)));
        EXPECT_TRUE(loadImageJpeg(path).empty()) << length;
    }
}

} // namespace
