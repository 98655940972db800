#include "ExifBuilder.h"
#include "TestSupport.h"

#include "psError.h"
#include "psLLAPI.h"
#include "psPictureProps.h"

#include <gtest/gtest.h>

namespace {

psResult replace(const std::string &path, uint16_t number, const std::vector<uint8_t> &data, uint32_t reserved = 0)
{
    const std::vector<uint8_t> record = psCPictureProperties::makeRecord(number, data.data(), uint32_t(data.size()));
    const void *address = record.data();
    return PSParseReplaceProperties(path.c_str(), reserved, 0, 0, &address);
}

std::vector<uint8_t> angle(uint32_t degrees)
{
    return {uint8_t(degrees), uint8_t(degrees >> 8), uint8_t(degrees >> 16), uint8_t(degrees >> 24)};
}

constexpr psResult parseWord(uint32_t code)
{
    return psMakeError(psCOMPONENT_PARSE, code);
}

TEST(ParseLibraryTest, ReadPropertiesListsRotationThenCommentAndReportsTheSizeNeeded)
{
    TempDir dir;
    const std::string path = dir.file("IMG_0001.JPG");
    TestShot shot;
    shot.orientation = 8;
    writeFile(path, buildShotJpeg(shot));

    uint32_t length = 0;
    uint8_t small[8];
    EXPECT_EQ(PSParseReadProperties(path.c_str(), small, sizeof small, &length), parseWord(psERR_INVALID_LENGTH));
    ASSERT_EQ(length, 6u + 4u + 6u + 268u);
    std::vector<uint8_t> records(length);
    ASSERT_EQ(PSParseReadProperties(path.c_str(), records.data(), length, &length), 0u);
    const psCPictureProperties properties(records);
    uint8_t value[4] = {};
    EXPECT_EQ(properties.get(PS_PROPERTY_ROTATION, value, sizeof value), 4u);
    EXPECT_EQ(value[0] | (value[1] << 8), 270);
    uint8_t comment[268] = {};
    EXPECT_EQ(properties.get(PS_PROPERTY_COMMENT, comment, sizeof comment), 268u);
    EXPECT_EQ(std::string(reinterpret_cast<char *>(comment), 5), "ASCII");
    EXPECT_EQ(comment[8] | (comment[9] << 8), 256);
}

TEST(ParseLibraryTest, ReplaceRefusesEveryMismatchAndLeavesTheFileAlone)
{
    TempDir dir;
    const std::string path = dir.file("IMG_0001.JPG");
    const std::vector<uint8_t> before = buildShotJpeg(TestShot());
    writeFile(path, before);

    EXPECT_EQ(replace(path, PS_PROPERTY_ROTATION, {0, 0}), parseWord(psERR_PROPERTIES_MISMATCH));
    EXPECT_EQ(replace(path, PS_PROPERTY_ROTATION, angle(45)), parseWord(psERR_INVALID_PARAMETER));
    EXPECT_EQ(replace(path, PS_PROPERTY_COMMENT, std::vector<uint8_t>(100, 'x')), parseWord(psERR_PROPERTIES_MISMATCH));
    EXPECT_EQ(replace(path, 99, angle(0)), parseWord(psERR_PROPERTIES_UNAVAILABLE));
    EXPECT_EQ(replace(path, PS_PROPERTY_ROTATION, angle(90), 1), parseWord(psERR_INVALID_PARAMETER));
    EXPECT_EQ(readFile(path), before);

    EXPECT_EQ(replace(dir.file("missing.jpg"), PS_PROPERTY_ROTATION, angle(90)), parseWord(psERR_FILE_NOT_FOUND));
    const std::vector<uint8_t> tiffLike = {'I', 'I', 42, 0, 8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    writeFile(path, tiffLike);
    EXPECT_EQ(replace(path, PS_PROPERTY_ROTATION, angle(90)), parseWord(psERR_FILE_FORMAT_UNRECOGNIZED));
    EXPECT_EQ(readFile(path), tiffLike);

    const void *null = nullptr;
    EXPECT_EQ(PSParseReplaceProperties(path.c_str(), 0, 0, 0, &null), parseWord(psERR_INVALID_POINTER));
}

TEST(ParseLibraryTest, RawFileCommentIsTheOneOutsideTheDescriptionHeap)
{
    TempDir dir;
    const std::string path = dir.file("CRW_0001.CRW");
    // A file whose only 0x0805 record is the file description has no comment.
    CiffBuilder c;
    const int description = c.addHeap();
    c.subHeap(0, 0x2804, description);
    c.record(description, 0x0805, std::vector<uint8_t>(32, 'd'));
    writeFile(path, c.build());
    uint32_t length = 99;
    EXPECT_EQ(PSParseReadProperties(path.c_str(), nullptr, 0, &length), 0u);
    EXPECT_EQ(length, 0u);
}

} // namespace
