#include "ImageFileWriter.h"
#include "TemporaryDirectory.h"

#include <gtest/gtest.h>

#include <csignal>
#include <set>
#include <sys/resource.h>
#include <thread>

namespace {

const LocalDate kMay17{2002, 5, 17};

class ImageFileWriterTest : public ::testing::Test {
protected:
    ImageDirectorySettings settings() const
    {
        ImageDirectorySettings settings;
        settings.baseDirectory = m_dir.str();
        return settings;
    }
    ImageFileResult write(ImageKind kind, const std::string &bytes) const
    {
        return writeImageFile(kind, settings(), kMay17, bytes.data(), bytes.size());
    }
    std::filesystem::path day() const { return m_dir.path() / "2002-05-17"; }

    TemporaryDirectory m_dir;
};

TEST_F(ImageFileWriterTest, WritesBytesUnderNextNameAndLeavesNothingElse)
{
    const ImageFileResult jpeg = write(ImageKind::Jpeg, "jpeg bytes");
    ASSERT_EQ(jpeg.status, ImageFileStatus::Written);
    EXPECT_EQ(jpeg.path, (day() / "IMG_0001.JPG").string());
    EXPECT_EQ(readTextFile(jpeg.path), "jpeg bytes");

    EXPECT_EQ(write(ImageKind::Jpeg, "second").path, (day() / "IMG_0002.JPG").string());
    EXPECT_EQ(entryNames(day()), (std::vector<std::string>{"IMG_0001.JPG", "IMG_0002.JPG"}));
}

TEST_F(ImageFileWriterTest, RawShotWritesThmThenCrwWithOneNumber)
{
    write(ImageKind::Jpeg, "earlier");
    const ImageFileResult thm = write(ImageKind::RawThumbnail, "thm");
    const ImageFileResult crw = write(ImageKind::Raw, "crw");
    ASSERT_EQ(thm.status, ImageFileStatus::Written);
    ASSERT_EQ(crw.status, ImageFileStatus::Written);
    EXPECT_EQ(std::filesystem::path(thm.path).filename(), "CRW_0002.THM");
    EXPECT_EQ(std::filesystem::path(crw.path).filename(), "CRW_0002.CRW");
    EXPECT_EQ(readTextFile(crw.path), "crw");
}

TEST_F(ImageFileWriterTest, EmptyImageIsStillAFile)
{
    const ImageFileResult result = write(ImageKind::Jpeg, "");
    ASSERT_EQ(result.status, ImageFileStatus::Written);
    EXPECT_EQ(std::filesystem::file_size(result.path), 0u);
}

TEST_F(ImageFileWriterTest, WritersRacingForNamesNeverOverwrite)
{
    constexpr int kPerWriter = 25;
    auto writer = [this](char id) {
        for (int i = 0; i < kPerWriter; ++i)
            write(ImageKind::Jpeg, std::string(1, id) + std::to_string(i));
    };
    std::thread a(writer, 'a');
    std::thread b(writer, 'b');
    a.join();
    b.join();

    const std::vector<std::string> names = entryNames(day());
    ASSERT_EQ(names.size(), 2u * kPerWriter);
    std::set<std::string> contents;
    for (const std::string &name : names)
        contents.insert(readTextFile(day() / name));
    EXPECT_EQ(contents.size(), 2u * kPerWriter);  // every image survived
    EXPECT_EQ(names.back(), "IMG_0050.JPG");
}

TEST_F(ImageFileWriterTest, BlockedFolderCannotCreateAndNamesThePath)
{
    writeTextFile(day());
    const ImageFileResult result = write(ImageKind::Jpeg, "data");
    EXPECT_EQ(result.status, ImageFileStatus::CannotCreate);
    EXPECT_EQ(result.path, (day() / "IMG_0001.JPG").string());
    EXPECT_EQ(readTextFile(day()), "x");
}

TEST_F(ImageFileWriterTest, FailedWriteRemovesPartialFile)
{
    // A file-size limit cuts the write short, as a full disk would.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    ::getrlimit(RLIMIT_FSIZE, &old);
    rlimit small = old;
    small.rlim_cur = 4096;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const ImageFileResult result = write(ImageKind::Jpeg, std::string(100000, 'j'));
    ::setrlimit(RLIMIT_FSIZE, &old);

    EXPECT_EQ(result.status, ImageFileStatus::WriteError);
    EXPECT_EQ(result.error, EFBIG);
    EXPECT_TRUE(entryNames(day()).empty());
    EXPECT_EQ(write(ImageKind::Jpeg, "after").path, (day() / "IMG_0001.JPG").string());
}

} // namespace
