#include "ExifBuilder.h"
#include "TestSupport.h"

#include "ImageComment.h"
#include "ImageInfo.h"
#include "ImageRotation.h"
#include "ThmOrientation.h"

#include "psError.h"
#include "psLLAPI.h"
#include "psPictureArray.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

// Every byte outside [offset, offset + size) is the same in both.
void expectOnlyFieldChanged(const std::vector<uint8_t> &before, const std::vector<uint8_t> &after, size_t offset,
                            size_t size)
{
    ASSERT_EQ(before.size(), after.size());
    for (size_t i = 0; i < before.size(); ++i)
        if (i < offset || i >= offset + size) {
            ASSERT_EQ(before[i], after[i]) << "byte " << i;
        }
}

uint32_t fileValue32(const std::vector<uint8_t> &bytes, size_t offset, bool little)
{
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i)
        v |= uint32_t(bytes.at(offset + size_t(i))) << (little ? 8 * i : 8 * (3 - i));
    return v;
}

// Offset in the file of the UserComment's bytes and of the Orientation field.
size_t commentOffset(const TestShot &shot, const std::vector<uint8_t> &jpeg)
{
    const size_t field = JPEG_TIFF_OFFSET + shotBuilder(shot).fieldOffset(0x9286);
    return JPEG_TIFF_OFFSET + fileValue32(jpeg, field, shot.littleEndian);
}

size_t orientationOffset(const TestShot &shot)
{
    return JPEG_TIFF_OFFSET + shotBuilder(shot).fieldOffset(0x0112);
}

// The tag's value exactly as exiftool reads it (-b keeps line breaks).
std::string exiftoolValue(const std::string &path, const std::string &tag)
{
    return runCommand("exiftool -n -b -" + tag + " " + shellQuote(path) + " 2>/dev/null");
}

class CommentByteOrderTest : public ::testing::TestWithParam<bool> {};

TEST_P(CommentByteOrderTest, WritesAndReadsBackTheCommentOfAJpeg)
{
    TempDir dir;
    const std::string path = dir.file("IMG_0001.JPG");
    TestShot shot;
    shot.littleEndian = GetParam();
    const std::vector<uint8_t> before = buildShotJpeg(shot);
    writeFile(path, before);

    ASSERT_TRUE(writeImageComment(path, "Sunset\nat the lake"));
    EXPECT_EQ(readImageComment(path), "Sunset\nat the lake");
    const std::vector<uint8_t> after = readFile(path);
    const size_t offset = commentOffset(shot, before);
    expectOnlyFieldChanged(before, after, offset, 264);
    EXPECT_EQ(std::string(after.begin() + long(offset), after.begin() + long(offset) + 8), std::string("ASCII\0\0\0", 8));
    EXPECT_EQ(after[offset + 8 + 255], ' ');

    if (haveExiftool()) {
        EXPECT_EQ(exiftoolValue(path, "UserComment"), "Sunset\nat the lake");
    }
}

INSTANTIATE_TEST_SUITE_P(LittleAndBigEndian, CommentByteOrderTest, ::testing::Values(true, false));

TEST(ImageCommentTest, EmptyCommentFillsTheAreaWithSpaces)
{
    TempDir dir;
    const std::string path = dir.file("IMG_0001.JPG");
    TestShot shot;
    shot.userComment = TestShot::defaultUserComment("old words");
    const std::vector<uint8_t> before = buildShotJpeg(shot);
    writeFile(path, before);
    ASSERT_TRUE(writeImageComment(path, ""));
    const std::vector<uint8_t> after = readFile(path);
    const size_t offset = commentOffset(shot, before);
    EXPECT_EQ(std::string(after.begin() + long(offset) + 8, after.begin() + long(offset) + 264), std::string(256, ' '));
    EXPECT_EQ(readImageComment(path), "");
}

TEST(ImageCommentTest, LongCommentIsCutToTheFilesCapacity)
{
    TempDir dir;
    const std::string path = dir.file("IMG_0001.JPG");
    writeFile(path, buildShotJpeg(TestShot()));
    const std::string comment(300, 'c');
    ASSERT_TRUE(writeImageComment(path, comment));
    EXPECT_EQ(readImageComment(path), std::string(255, 'c'));

    // A file with a smaller comment field keeps its capacity.
    TestShot small;
    small.userComment = TestShot::defaultUserComment("", 20);
    writeFile(path, buildShotJpeg(small));
    ASSERT_TRUE(writeImageComment(path, "a comment longer than twenty bytes"));
    EXPECT_EQ(readImageComment(path), "a comment longer tha");
}

TEST(ImageCommentTest, FilesWithoutACommentFieldAreRefusedAndLeftUnchanged)
{
    TempDir dir;
    const std::string path = dir.file("IMG_0001.JPG");
    TestShot shot;
    shot.withUserComment = false;
    const std::vector<uint8_t> before = buildShotJpeg(shot);
    writeFile(path, before);
    EXPECT_FALSE(writeImageComment(path, "nowhere to go"));
    EXPECT_EQ(readImageComment(path), "");
    EXPECT_EQ(readFile(path), before);

    // A field larger than the comment record is not ours to rewrite.
    shot.withUserComment = true;
    shot.userComment = TestShot::defaultUserComment("", 400);
    const std::vector<uint8_t> large = buildShotJpeg(shot);
    writeFile(path, large);
    EXPECT_FALSE(writeImageComment(path, "too big a field"));
    EXPECT_EQ(readFile(path), large);

    EXPECT_FALSE(writeImageComment(dir.file("missing.jpg"), "x"));
    const std::vector<uint8_t> garbage = {'n', 'o', 't', ' ', 'a', 'n', ' ', 'i', 'm', 'a', 'g', 'e'};
    writeFile(path, garbage);
    EXPECT_FALSE(writeImageComment(path, "x"));
    EXPECT_EQ(readFile(path), garbage);
}

TEST(ImageCommentTest, FileWithoutAnyPropertyStillHasAnEmptyPropertyList)
{
    TempDir dir;
    const std::string path = dir.file("IMG_0001.JPG");
    TestShot shot;
    shot.withUserComment = false;
    shot.withOrientation = false;
    const std::vector<uint8_t> before = buildShotJpeg(shot);
    writeFile(path, before);
    psCPictureArray pictures;
    ASSERT_TRUE(collectFilePictures(path, pictures));
    try {
        pictures.at(0).getProperty(PS_PROPERTY_COMMENT, nullptr, 0);
        ADD_FAILURE() << "a missing property must raise";
    } catch (const psCException &e) {
        EXPECT_EQ(e.code, 0x03000050u);
    }
    EXPECT_EQ(readImageComment(path), "");
    EXPECT_EQ(readImageRotation(path), 0);
    writeImageRotation(path, 90);
    EXPECT_EQ(readFile(path), before);
}

TEST(ImageCommentTest, ReadOnlyFileIsLeftUnchanged)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "root writes read-only files";
    TempDir dir;
    const std::string path = dir.file("IMG_0001.JPG");
    const std::vector<uint8_t> before = buildShotJpeg(TestShot());
    writeFile(path, before);
    ::chmod(path.c_str(), 0444);
    EXPECT_FALSE(writeImageComment(path, "x"));
    EXPECT_EQ(readFile(path), before);
}

TEST(ImageCommentTest, RawFileCommentGoesIntoTheCrwAndItsThumbnail)
{
    TempDir dir;
    const std::string crw = dir.file("CRW_0001.CRW");
    const std::string thm = dir.file("CRW_0001.THM");
    writeFile(crw, buildCrw("", 256, 0));
    TestShot shot;
    shot.cameraSettings[3] = 4;
    writeFile(thm, buildShotJpeg(shot));
    const std::vector<uint8_t> crwBefore = readFile(crw);

    ASSERT_TRUE(writeImageComment(crw, "raw\ncomment"));
    EXPECT_EQ(readImageComment(crw), "raw\ncomment");
    EXPECT_EQ(readImageComment(thm), "raw\ncomment");
    EXPECT_EQ(ImageInfo(crw).m_userComment, "raw\ncomment");
    EXPECT_EQ(readFile(crw).size(), crwBefore.size());

    if (haveExiftool()) {
        // The raw file's comment record keeps its padding.
        EXPECT_EQ(exiftoolValue(crw, "UserComment"), std::string("raw\ncomment") + std::string(256 - 11, ' '));
        // The file description that shares the comment's tag is untouched.
        EXPECT_EQ(exiftoolValue(crw, "CanonFileDescription"), "EOS D60 RAW");
    }
}

TEST(ImageCommentTest, BigEndianRawFileComment)
{
    TempDir dir;
    const std::string crw = dir.file("crw_0001.crw");
    writeFile(crw, buildCrw("before", 64, 90, false));
    EXPECT_EQ(readImageComment(crw), "before");
    EXPECT_EQ(readImageRotation(crw), 90);
    ASSERT_TRUE(writeImageComment(crw, "after"));
    EXPECT_EQ(readImageComment(crw), "after");
}

TEST(ImageRotationTest, AnglesAreReducedToTheFourOrientations)
{
    TempDir dir;
    const std::string path = dir.file("IMG_0001.JPG");
    TestShot shot;
    const std::vector<uint8_t> before = buildShotJpeg(shot);
    writeFile(path, before);
    EXPECT_EQ(readImageRotation(path), 0);

    const std::pair<int32_t, int32_t> cases[] = {{90, 90}, {450, 90}, {180, 180}, {270, 270}, {-90, 0}, {45, 0}, {720, 0}};
    for (const auto &[written, stored] : cases) {
        writeImageRotation(path, written);
        EXPECT_EQ(readImageRotation(path), stored) << written;
        expectOnlyFieldChanged(before, readFile(path), orientationOffset(shot), 2);
    }
    writeImageRotation(path, 270);
    if (haveExiftool()) {
        EXPECT_EQ(exiftoolValue(path, "Orientation"), "8");
    }
}

TEST(ImageRotationTest, JpegWithoutOrientationIsLeftUnchanged)
{
    TempDir dir;
    const std::string path = dir.file("IMG_0001.JPG");
    TestShot shot;
    shot.withOrientation = false;
    const std::vector<uint8_t> before = buildShotJpeg(shot);
    writeFile(path, before);
    writeImageRotation(path, 90);
    EXPECT_EQ(readFile(path), before);
    EXPECT_EQ(readImageRotation(path), 0);
}

class RawRotationTest : public ::testing::TestWithParam<bool> {};

TEST_P(RawRotationTest, RawRotationTurnsTheCrwAndPatchesTheThumbnail)
{
    const bool little = GetParam();
    TempDir dir;
    const std::string crw = dir.file("CRW_0001.CRW");
    const std::string thm = dir.file("CRW_0001.THM");
    writeFile(crw, buildCrw("", 256, 0, little));
    TestShot shot;
    shot.littleEndian = little;
    shot.cameraSettings[3] = 4;
    const std::vector<uint8_t> thmBefore = buildShotJpeg(shot);
    writeFile(thm, thmBefore);

    writeImageRotation(crw, 90);
    EXPECT_EQ(readImageRotation(crw), 90);
    const std::vector<uint8_t> thmAfter = readFile(thm);
    const size_t field = orientationOffset(shot);
    expectOnlyFieldChanged(thmBefore, thmAfter, field, 4);
    const std::vector<uint8_t> expected = little ? std::vector<uint8_t>{6, 0, 0, 0} : std::vector<uint8_t>{0, 6, 0, 0};
    EXPECT_EQ(std::vector<uint8_t>(thmAfter.begin() + long(field), thmAfter.begin() + long(field) + 4), expected);

    if (haveExiftool()) {
        EXPECT_EQ(exiftoolValue(thm, "Orientation"), "6");
        EXPECT_EQ(exiftoolValue(crw, "Rotation"), "90");
    }
}

INSTANTIATE_TEST_SUITE_P(LittleAndBigEndian, RawRotationTest, ::testing::Values(true, false));

TEST(ThmOrientationTest, PatchFindsOrientationInALaterDirectoryAndSkipsOtherSegments)
{
    TempDir dir;
    const std::string path = dir.file("CRW_0009.THM");
    ExifBuilder b(false);
    const int ifd1 = b.addDirectory();
    b.ascii(0, 0x010F, "Canon");
    b.setNext(0, ifd1);
    b.shortValue(ifd1, 0x0112, 1);
    std::vector<uint8_t> bytes = {0xFF, 0xD8, 0xFF, 0xE1, 0x00, 0x08, 'X', 'M', 'P', 0, 0, 0};
    const std::vector<uint8_t> exif = b.jpeg();
    bytes.insert(bytes.end(), exif.begin() + 2, exif.end());
    writeFile(path, bytes);

    ASSERT_TRUE(patchThmOrientation(path, 180));
    const size_t field = 10 + JPEG_TIFF_OFFSET + b.fieldOffset(0x0112);
    const std::vector<uint8_t> after = readFile(path);
    expectOnlyFieldChanged(bytes, after, field, 4);
    EXPECT_EQ(after[field], 0);
    EXPECT_EQ(after[field + 1], 3);
}

TEST(ThmOrientationTest, LoopingDirectoriesAndMissingTagsChangeNothing)
{
    TempDir dir;
    const std::string path = dir.file("CRW_0009.THM");
    ExifBuilder b(true);
    const int ifd1 = b.addDirectory();
    b.ascii(0, 0x010F, "Canon");
    b.setNext(0, ifd1);
    b.setNext(ifd1, 0);
    const std::vector<uint8_t> looping = b.jpeg();
    writeFile(path, looping);
    EXPECT_FALSE(patchThmOrientation(path, 90));
    EXPECT_EQ(readFile(path), looping);

    EXPECT_FALSE(patchThmOrientation(dir.file("missing.THM"), 90));
    const std::vector<uint8_t> noExif = {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x04, 1, 2, 0xFF, 0xD9};
    writeFile(path, noExif);
    EXPECT_FALSE(patchThmOrientation(path, 90));
    EXPECT_EQ(readFile(path), noExif);
}

} // namespace

namespace {

TEST(ImageFileKindTest, FifoNamedLikeAnImageIsRefusedWithoutBlocking)
{
    TempDir dir;
    for (const char *name : {"IMG_0001.JPG", "CRW_0001.THM", "CRW_0002.CRW"}) {
        const std::string path = dir.file(name);
        ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
        EXPECT_FALSE(patchThmOrientation(path, 90)) << name;
        EXPECT_FALSE(writeImageComment(path, "x")) << name;
        EXPECT_EQ(readImageComment(path), "") << name;
        writeImageRotation(path, 90);
        EXPECT_EQ(readImageRotation(path), 0) << name;
        EXPECT_EQ(ImageInfo(path).m_model, "") << name;
    }
}

} // namespace
