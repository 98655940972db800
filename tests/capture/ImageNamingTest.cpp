#include "ImageNaming.h"
#include "TemporaryDirectory.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace {

const LocalDate kMay17{2002, 5, 17};

class ImageNamingTest : public ::testing::Test {
protected:
    // Date levels off unless a test turns them on: images go straight into the folder.
    ImageDirectorySettings flatSettings() const
    {
        ImageDirectorySettings settings;
        settings.baseDirectory = m_dir.str();
        settings.yearSubDir = settings.monthSubDir = settings.daySubDir = false;
        return settings;
    }
    void touch(const std::string &name) const { writeTextFile(m_dir.path() / name); }
    std::string next(ImageKind kind) const
    {
        return std::filesystem::path(makeImagePath(kind, flatSettings(), kMay17)).filename().string();
    }

    TemporaryDirectory m_dir;
};

TEST(ImageDirectory, DateLevelsFollowTheFlags)
{
    ImageDirectorySettings settings;
    settings.baseDirectory = "/shots";
    EXPECT_EQ(imageDirectory(settings, kMay17), "/shots/2002-05-17/");
    settings.flattenDate = false;
    EXPECT_EQ(imageDirectory(settings, kMay17), "/shots/2002/05/17/");
    settings.yearSubDir = false;
    EXPECT_EQ(imageDirectory(settings, LocalDate{2002, 11, 3}), "/shots/11/03/");
    settings.monthSubDir = settings.daySubDir = false;
    EXPECT_EQ(imageDirectory(settings, kMay17), "/shots/");
}

TEST(ImageDirectory, TrailingSlashesOfTheBaseCollapse)
{
    ImageDirectorySettings settings;
    settings.baseDirectory = "/shots//";
    settings.yearSubDir = settings.monthSubDir = settings.daySubDir = false;
    EXPECT_EQ(imageDirectory(settings, kMay17), "/shots/");
}

TEST_F(ImageNamingTest, EmptyFolderStartsAtOne)
{
    EXPECT_EQ(next(ImageKind::Jpeg), "IMG_0001.JPG");
    EXPECT_EQ(next(ImageKind::RawThumbnail), "CRW_0001.THM");
    touch("CRW_0001.THM");
    EXPECT_EQ(next(ImageKind::Raw), "CRW_0001.CRW");
}

TEST_F(ImageNamingTest, JpegFollowsHighestJpegOrCrw)
{
    touch("IMG_0007.JPG");
    touch("CRW_0009.CRW");
    touch("CRW_0020.THM");  // thumbnails do not count for a JPEG
    EXPECT_EQ(next(ImageKind::Jpeg), "IMG_0010.JPG");
}

TEST_F(ImageNamingTest, RawShotTakesThmNumberForCrw)
{
    touch("CRW_0012.THM");
    touch("IMG_0011.JPG");
    EXPECT_EQ(next(ImageKind::Raw), "CRW_0012.CRW");
}

TEST_F(ImageNamingTest, CrwWithoutNewerThmTakesNextNumber)
{
    touch("CRW_0011.THM");
    touch("CRW_0011.CRW");
    EXPECT_EQ(next(ImageKind::Raw), "CRW_0012.CRW");
    EXPECT_EQ(next(ImageKind::RawThumbnail), "CRW_0012.THM");
}

TEST_F(ImageNamingTest, ThumbnailFollowsHighestOfAllKinds)
{
    touch("IMG_0030.JPG");
    touch("CRW_0004.THM");
    EXPECT_EQ(next(ImageKind::RawThumbnail), "CRW_0031.THM");
}

TEST_F(ImageNamingTest, ScanIgnoresLetterCase)
{
    touch("img_0041.jpg");
    touch("Crw_0050.Thm");
    EXPECT_EQ(next(ImageKind::Jpeg), "IMG_0042.JPG");
    EXPECT_EQ(next(ImageKind::Raw), "CRW_0050.CRW");
}

TEST_F(ImageNamingTest, NumberFieldIsReadUpToFirstNonDigit)
{
    touch("IMG_12ab.JPG");
    touch("IMG_abcd.JPG");
    EXPECT_EQ(next(ImageKind::Jpeg), "IMG_0013.JPG");
}

TEST_F(ImageNamingTest, NamesOfOtherShapesAreNotCounted)
{
    touch("IMG_123.JPG");
    touch("IMG_00077x.JPG");
    touch("IMG_0066.JPG.bak");
    touch("XIMG_0055.JPG");
    std::filesystem::create_directory(m_dir.path() / "sub");
    touch("sub/IMG_0044.JPG");
    EXPECT_EQ(next(ImageKind::Jpeg), "IMG_0001.JPG");
}

TEST_F(ImageNamingTest, PrefixCountsOnlyPrefixedFiles)
{
    touch("IMG_0009.JPG");
    ImageDirectorySettings settings = flatSettings();
    settings.filenamePrefix = "Studio_";
    EXPECT_EQ(makeImagePath(ImageKind::Jpeg, settings, kMay17), m_dir.str() + "/Studio_IMG_0001.JPG");
    touch("studio_img_0003.jpg");
    EXPECT_EQ(makeImagePath(ImageKind::Jpeg, settings, kMay17), m_dir.str() + "/Studio_IMG_0004.JPG");
    // Unprefixed names go on from unprefixed files only.
    EXPECT_EQ(next(ImageKind::Jpeg), "IMG_0010.JPG");
}

TEST_F(ImageNamingTest, PastNineThousandNineHundredNinetyNineNumbersGrow)
{
    touch("IMG_9999.JPG");
    EXPECT_EQ(next(ImageKind::Jpeg), "IMG_10000.JPG");
    touch("IMG_10000.JPG");
    EXPECT_EQ(next(ImageKind::Jpeg), "IMG_10001.JPG");
    touch("CRW_10001.THM");
    EXPECT_EQ(next(ImageKind::Raw), "CRW_10001.CRW");
}

TEST_F(ImageNamingTest, DateNamedFilesAreNotImageNumbers)
{
    touch("IMG_0007.JPG");
    touch("IMG_20240101.JPG");
    touch("CRW_20240101.CRW");
    touch("CRW_202401.THM");
    EXPECT_EQ(next(ImageKind::Jpeg), "IMG_0008.JPG");
    EXPECT_EQ(next(ImageKind::RawThumbnail), "CRW_0008.THM");
    const ImageNumbers highest = scanImageNumbers(m_dir.str() + "/");
    EXPECT_EQ(highest.jpg, 7);
    EXPECT_EQ(highest.crw, 0);
    EXPECT_EQ(highest.thm, 0);
}

TEST_F(ImageNamingTest, FiveDigitNumbersCountSixDoNot)
{
    touch("IMG_12345.JPG");
    touch("IMG_123456.JPG");
    touch("IMG_1234x.JPG");  // five characters must all be digits
    EXPECT_EQ(next(ImageKind::Jpeg), "IMG_12346.JPG");
}

TEST_F(ImageNamingTest, EachDateFolderStartsAgain)
{
    ImageDirectorySettings settings = flatSettings();
    settings.yearSubDir = settings.monthSubDir = settings.daySubDir = true;
    const std::string first = makeImagePath(ImageKind::Jpeg, settings, kMay17);
    EXPECT_EQ(first, m_dir.str() + "/2002-05-17/IMG_0001.JPG");
    writeTextFile(first);
    EXPECT_EQ(makeImagePath(ImageKind::Jpeg, settings, kMay17), m_dir.str() + "/2002-05-17/IMG_0002.JPG");
    EXPECT_EQ(makeImagePath(ImageKind::Jpeg, settings, LocalDate{2002, 5, 18}),
              m_dir.str() + "/2002-05-18/IMG_0001.JPG");
    EXPECT_TRUE(std::filesystem::is_directory(m_dir.path() / "2002-05-18"));
}

TEST_F(ImageNamingTest, CheckCreatesEveryDateLevel)
{
    ImageDirectorySettings settings = flatSettings();
    settings.baseDirectory = m_dir.str() + "/new/base/";
    settings.yearSubDir = settings.monthSubDir = settings.daySubDir = true;
    settings.flattenDate = false;
    EXPECT_EQ(checkImageDirectory(settings, kMay17), std::nullopt);
    EXPECT_TRUE(std::filesystem::is_directory(m_dir.path() / "new/base/2002/05/17"));
}

TEST_F(ImageNamingTest, CheckReportsFileInTheWayOfBase)
{
    touch("Shots");
    ImageDirectorySettings settings = flatSettings();
    settings.baseDirectory = m_dir.str() + "/Shots/";
    EXPECT_EQ(checkImageDirectory(settings, kMay17), "Invalid directory for images:\n" + m_dir.str() + "/Shots");
}

TEST_F(ImageNamingTest, CheckReportsFirstLevelInTheWay)
{
    std::filesystem::create_directory(m_dir.path() / "2002");
    writeTextFile(m_dir.path() / "2002/05");
    ImageDirectorySettings settings = flatSettings();
    settings.yearSubDir = settings.monthSubDir = settings.daySubDir = true;
    settings.flattenDate = false;
    EXPECT_EQ(checkImageDirectory(settings, kMay17), "Invalid directory for images:\n" + m_dir.str() + "/2002/05");
    EXPECT_FALSE(std::filesystem::exists(m_dir.path() / "2002/05/17"));
}

TEST_F(ImageNamingTest, CheckReportsLevelItCannotCreate)
{
    ImageDirectorySettings settings = flatSettings();
    settings.daySubDir = true;
    std::string parent;
    if (::geteuid() != 0) {
        parent = m_dir.str() + "/locked";
        std::filesystem::create_directory(parent);
        ::chmod(parent.c_str(), 0555);
    } else {
        // Root writes into read-only folders; a name longer than any file
        // system allows fails for everyone.
        parent = m_dir.str() + "/" + std::string(300, 'n');
    }
    settings.baseDirectory = parent;
    const std::string failing = ::geteuid() != 0 ? parent + "/17" : parent;
    EXPECT_EQ(checkImageDirectory(settings, kMay17),
              "Error creating directory for images:\n" + failing + "\nPlease check that drive is not read-only.");
}

TEST_F(ImageNamingTest, CheckLeavesNetworkPathsAlone)
{
    ImageDirectorySettings settings = flatSettings();
    settings.baseDirectory = "//no-such-server/share/shots";
    EXPECT_EQ(checkImageDirectory(settings, kMay17), std::nullopt);
}

TEST_F(ImageNamingTest, NetworkPathsAreTold)
{
    EXPECT_TRUE(isNetworkPath("//server/share/shots/"));
    EXPECT_FALSE(isNetworkPath("/"));
    if (isNetworkPath(m_dir.str()))
        GTEST_SKIP() << "the temporary folder is on a network file system";
    EXPECT_FALSE(isNetworkPath(m_dir.str() + "/not/yet/made/"));
}

TEST_F(ImageNamingTest, EnsureDirectoryCreatesNestedLevels)
{
    const std::string path = m_dir.str() + "/a/b/c/";
    EXPECT_TRUE(ensureDirectory(path));
    EXPECT_TRUE(std::filesystem::is_directory(m_dir.path() / "a/b/c"));
    EXPECT_TRUE(ensureDirectory(path));
}

TEST_F(ImageNamingTest, EnsureDirectoryRefusesWhatItCannotMake)
{
    touch("file");
    EXPECT_FALSE(ensureDirectory(m_dir.str() + "/file"));
    EXPECT_FALSE(ensureDirectory(m_dir.str() + "/file/below/"));
    EXPECT_FALSE(ensureDirectory("relative/path/"));
    EXPECT_FALSE(ensureDirectory("//server-only"));
    EXPECT_FALSE(std::filesystem::exists("relative"));
}

} // namespace
