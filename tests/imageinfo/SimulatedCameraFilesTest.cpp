// The files of the simulated camera, read as the program reads a camera's.
#include "ExifBuilder.h"
#include "ExiftoolCheck.h"
#include "TestSupport.h"

#include "FixtureSet.h"

#include "ImageComment.h"
#include "ImageInfo.h"
#include "ImageInfoFields.h"
#include "ImagePath.h"
#include "ImageRotation.h"
#include "InfoText.h"
#include "LoadImageJpeg.h"

#include <gtest/gtest.h>

namespace {

exiftoolcheck::Fields fieldMap(const ImageInfo &info)
{
    exiftoolcheck::Fields fields;
    for (const auto &[name, value] : imageInfoFields(info))
        fields[name] = value;
    return fields;
}

std::vector<std::string> generatedImages(const TempDir &dir)
{
    std::vector<std::string> written;
    std::string error;
    EXPECT_TRUE(simcam::writeFixtureSet(dir.file("set"), &written, &error)) << error;
    std::vector<std::string> images;
    for (const std::string &path : written)
        if (hasExtension(path, ".jpg") || hasExtension(path, ".thm") || hasExtension(path, ".crw"))
            images.push_back(path);
    return images;
}

TEST(SimulatedCameraFilesTest, ReaderAgreesWithExiftoolOnEveryGeneratedFile)
{
    if (!haveExiftool())
        GTEST_SKIP() << "exiftool is not installed";
    TempDir dir;
    const std::vector<std::string> images = generatedImages(dir);
    ASSERT_FALSE(images.empty());
    for (const std::string &path : images) {
        SCOPED_TRACE(path);
        const ImageInfo info(path);
        EXPECT_FALSE(info.m_model.empty());
        if (hasExtension(path, ".crw")) {
            const std::vector<uint8_t> jpeg = loadImageJpeg(path);
            ASSERT_GE(jpeg.size(), 2u);
            EXPECT_EQ(jpeg[0], 0xFF);
            EXPECT_EQ(jpeg[1], 0xD8);
            EXPECT_EQ(info.m_quality, "Raw");
            continue;
        }
        exiftoolcheck::checkAgainstExiftool(path, fieldMap(info));
    }
}

TEST(SimulatedCameraFilesTest, CommentAndRotationRoundTripThroughEveryGeneratedFile)
{
    if (!haveExiftool())
        GTEST_SKIP() << "exiftool is not installed";
    TempDir dir;
    for (const std::string &path : generatedImages(dir)) {
        if (hasExtension(path, ".thm"))
            continue;
        SCOPED_TRACE(path);
        const size_t size = readFile(path).size();
        ASSERT_TRUE(writeImageComment(path, "simulated\ncomment"));
        EXPECT_EQ(readImageComment(path), "simulated\ncomment");
        writeImageRotation(path, 90);
        EXPECT_EQ(readImageRotation(path), 90);
        EXPECT_EQ(readFile(path).size(), size);
        const auto tags = exiftoolTags(path);
        if (hasExtension(path, ".crw")) {
            EXPECT_EQ(tags.at("CanonRaw:Rotation"), "90");
            EXPECT_EQ(exiftoolTags(companionPath(path, "thm")).at("IFD0:Orientation"), "6");
            EXPECT_EQ(ImageInfo(path).m_userComment, "simulated\ncomment");
        } else {
            EXPECT_EQ(tags.at("IFD0:Orientation"), "6");
            EXPECT_EQ(trimTrailingWhiteSpace(runCommand("exiftool -b -UserComment " + shellQuote(path))),
                      "simulated\ncomment");
        }
    }
}

} // namespace
