#include "ExiftoolCheck.h"
#include "TestSupport.h"
#include "ExifBuilder.h"

#include "ImageComment.h"
#include "ImageInfo.h"
#include "ImageInfoFields.h"
#include "ImageRotation.h"
#include "InfoText.h"
#include "LoadImageJpeg.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace {

exiftoolcheck::Fields fieldMap(const ImageInfo &info)
{
    exiftoolcheck::Fields fields;
    for (const auto &[name, value] : imageInfoFields(info))
        fields[name] = value;
    return fields;
}

std::vector<std::string> realJpegs()
{
    std::vector<std::string> names;
    const std::string dir = realFixturesDir();
    if (dir.empty() || !std::filesystem::is_directory(dir))
        return names;
    for (const auto &entry : std::filesystem::directory_iterator(dir))
        if (entry.path().extension() == ".jpg")
            names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

class RealJpegTest : public ::testing::TestWithParam<std::string> {};

TEST_P(RealJpegTest, ReaderAgreesWithExiftool)
{
    if (!haveExiftool())
        GTEST_SKIP() << "exiftool is not installed";
    const std::string path = realFixturesDir() + "/" + GetParam();
    const ImageInfo fromPath(path);
    exiftoolcheck::checkAgainstExiftool(path, fieldMap(fromPath));

    // The bytes in memory give the same record (but for the attached length).
    const std::vector<uint8_t> bytes = loadImageJpeg(path);
    ASSERT_FALSE(bytes.empty());
    const ImageInfo fromMemory(bytes.data(), bytes.size());
    EXPECT_EQ(fromMemory.m_dataLength, int32_t(bytes.size()));
    ImageInfo a = fromPath, b = fromMemory;
    EXPECT_EQ(shotInfoText(a), shotInfoText(b));
    EXPECT_EQ(cameraInfoText(a), cameraInfoText(b));
}

INSTANTIATE_TEST_SUITE_P(RealFiles, RealJpegTest, ::testing::ValuesIn(realJpegs()),
                         [](const auto &info) {
                             std::string name = info.param;
                             for (char &c : name)
                                 if (!std::isalnum(static_cast<unsigned char>(c)))
                                     c = '_';
                             return name;
                         });
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(RealJpegTest);

TEST(RealFixturesTest, EveryRealFileIsExercised)
{
    if (realFixturesDir().empty())
        GTEST_SKIP() << "QUILLOMAT_REAL_FIXTURES is not set";
    EXPECT_GE(realJpegs().size(), 6u);
}

TEST(RealFixturesTest, RealRawFileReadsThroughItsThumbnailAndTakesComments)
{
    if (!haveExiftool())
        GTEST_SKIP() << "exiftool is not installed";
    const std::string real = realFixturesDir();
    TempDir dir;
    const std::string crw = dir.file("CRW_1602.CRW");
    const std::string thm = dir.file("CRW_1602.THM");
    std::filesystem::copy_file(real + "/digital-rebel.crw", crw);

    // Without its thumbnail a raw file has no shooting information, but the
    // preview still gets the JPEG record it carries.
    EXPECT_EQ(ImageInfo(crw).m_model, "");
    const std::string carried = "<Dummy JpgFromRaw image data>";
    EXPECT_EQ(loadImageJpeg(crw), std::vector<uint8_t>(carried.begin(), carried.end()));

    std::filesystem::copy_file(real + "/digital-rebel.jpg", thm);
    const ImageInfo info(crw);
    EXPECT_EQ(info.m_model, "Canon EOS DIGITAL REBEL");
    EXPECT_EQ(info.m_quality, "Raw");
    EXPECT_EQ(info.m_imageWidth, 2160);
    EXPECT_EQ(readImageComment(crw), exiftoolTags(crw).at("CanonRaw:UserComment"));
    EXPECT_EQ(readImageRotation(crw), std::stoi(exiftoolTags(crw).at("CanonRaw:Rotation")));

    const std::vector<uint8_t> before = readFile(crw);
    ASSERT_TRUE(writeImageComment(crw, "written by the test"));
    EXPECT_EQ(readFile(crw).size(), before.size());
    const auto tags = exiftoolTags(crw);
    EXPECT_EQ(tags.at("CanonRaw:UserComment").substr(0, 19), "written by the test");
    EXPECT_EQ(tags.at("CanonRaw:CanonFileDescription"), "EOS DIGITAL REBEL CMOS RAW");
    EXPECT_EQ(ImageInfo(crw).m_userComment, "written by the test");

    writeImageRotation(crw, 270);
    EXPECT_EQ(exiftoolTags(crw).at("CanonRaw:Rotation"), "270");
    EXPECT_EQ(exiftoolTags(thm).at("IFD0:Orientation"), "8");
    EXPECT_EQ(readImageRotation(crw), 270);
}

} // namespace
