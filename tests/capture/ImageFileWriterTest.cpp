#include "ImageFileWriter.h"
#include "TemporaryDirectory.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <map>
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

// The real system calls, with the refusals of a file system that lacks some
// of them, and a record of what was called on which path.
class RefusingCalls {
public:
    RefusingCalls() : m_real(ImageFileCalls::system()) {}

    int renameError = 0;  // non-zero: renameNoReplace fails with it
    int linkError = 0;    // non-zero: link fails with it
    // Run once just before the first claim of a name ending in this text:
    // another program takes the name between the scan and the claim.
    std::string intruderTakes;
    // Creating a file whose name ends in this text succeeds, but the disk
    // fills after half of its bytes.
    std::string diskFillsIn;

    ImageFileCalls calls()
    {
        ImageFileCalls calls = m_real;
        calls.open = [this](const char *path, int flags, mode_t mode) {
            if ((flags & O_CREAT) != 0)
                intrude(path);
            const int fd = m_real.open(path, flags, mode);
            if (fd >= 0)
                m_paths[fd] = path;
            note("open", path);
            return fd;
        };
        calls.write = [this](int fd, const void *data, std::size_t size) -> ssize_t {
            if (!diskFillsIn.empty() && m_paths[fd].ends_with(diskFillsIn)) {
                if (m_written[fd] > 0) {
                    errno = ENOSPC;
                    return -1;
                }
                size = std::max<std::size_t>(size / 2, 1);
            }
            const ssize_t written = m_real.write(fd, data, size);
            if (written > 0)
                m_written[fd] += written;
            return written;
        };
        calls.fsync = [this](int fd) {
            note("fsync", m_paths[fd]);
            return m_real.fsync(fd);
        };
        calls.close = [this](int fd) {
            note("close", m_paths[fd]);
            m_paths.erase(fd);
            m_written.erase(fd);
            return m_real.close(fd);
        };
        calls.renameNoReplace = [this](const char *from, const char *to) {
            note("rename", to);
            if (renameError != 0) {
                errno = renameError;
                return -1;
            }
            intrude(to);
            return m_real.renameNoReplace(from, to);
        };
        calls.link = [this](const char *from, const char *to) {
            note("link", to);
            if (linkError != 0) {
                errno = linkError;
                return -1;
            }
            intrude(to);
            return m_real.link(from, to);
        };
        calls.unlink = [this](const char *path) {
            note("unlink", path);
            return m_real.unlink(path);
        };
        return calls;
    }

    // "call name" for each call, the name being the file name only.
    const std::vector<std::string> &log() const { return m_log; }
    size_t count(const std::string &line) const { return std::count(m_log.begin(), m_log.end(), line); }
    size_t position(const std::string &line) const
    {
        return static_cast<size_t>(std::find(m_log.begin(), m_log.end(), line) - m_log.begin());
    }

private:
    void note(const char *call, const std::string &path)
    {
        const std::string name = std::filesystem::path(path).filename().string();
        m_log.push_back(std::string(call) + " " + (name.starts_with(".Quillomat-") ? "temporary" : name));
    }
    void intrude(const std::string &path)
    {
        if (intruderTakes.empty() || !path.ends_with(intruderTakes))
            return;
        intruderTakes.clear();
        writeTextFile(path, "another program's image");
    }

    ImageFileCalls m_real;
    std::map<int, std::string> m_paths;
    std::map<int, ssize_t> m_written;
    std::vector<std::string> m_log;
};

class FileSystemFallbackTest : public ImageFileWriterTest {
protected:
    ImageFileResult writeThrough(RefusingCalls &refusing, const std::string &bytes)
    {
        return writeImageFileUsing(refusing.calls(), ImageKind::Jpeg, settings(), kMay17, bytes.data(), bytes.size());
    }
};

TEST_F(FileSystemFallbackTest, RefusedNoReplaceRenameFallsBackToAHardLink)
{
    for (const int refusal : {EINVAL, ENOSYS, EOPNOTSUPP}) {
        SCOPED_TRACE(refusal);
        RefusingCalls refusing;
        refusing.renameError = refusal;
        const ImageFileResult result = writeThrough(refusing, "linked " + std::to_string(refusal));
        ASSERT_EQ(result.status, ImageFileStatus::Written);
        EXPECT_EQ(readTextFile(result.path), "linked " + std::to_string(refusal));
        const std::string name = std::filesystem::path(result.path).filename().string();
        EXPECT_EQ(refusing.count("link " + name), 1u);
        // Flushed before it was given its name; the temporary name is gone.
        EXPECT_LT(refusing.position("fsync temporary"), refusing.position("link " + name));
        EXPECT_EQ(refusing.count("unlink temporary"), 1u);
    }
    EXPECT_EQ(entryNames(day()), (std::vector<std::string>{"IMG_0001.JPG", "IMG_0002.JPG", "IMG_0003.JPG"}));
}

TEST_F(FileSystemFallbackTest, HardLinkToANameTakenMeanwhileTakesTheNextNumber)
{
    RefusingCalls refusing;
    refusing.renameError = EINVAL;
    refusing.intruderTakes = "IMG_0001.JPG";
    const ImageFileResult result = writeThrough(refusing, "ours");
    ASSERT_EQ(result.status, ImageFileStatus::Written);
    EXPECT_EQ(result.path, (day() / "IMG_0002.JPG").string());
    EXPECT_EQ(readTextFile(result.path), "ours");
    EXPECT_EQ(readTextFile(day() / "IMG_0001.JPG"), "another program's image");
    EXPECT_EQ(entryNames(day()), (std::vector<std::string>{"IMG_0001.JPG", "IMG_0002.JPG"}));
}

TEST_F(FileSystemFallbackTest, RefusedLinksTooWriteTheNameExclusivelyAndFlushIt)
{
    for (const int refusal : {EPERM, EOPNOTSUPP, ENOSYS}) {
        SCOPED_TRACE(refusal);
        RefusingCalls refusing;
        refusing.renameError = EINVAL;
        refusing.linkError = refusal;
        const std::string bytes(70000, static_cast<char>('a' + refusal % 26));
        const ImageFileResult result = writeThrough(refusing, bytes);
        ASSERT_EQ(result.status, ImageFileStatus::Written);
        EXPECT_EQ(readTextFile(result.path), bytes);
        const std::string name = std::filesystem::path(result.path).filename().string();
        EXPECT_EQ(refusing.count("open " + name), 1u);
        EXPECT_LT(refusing.position("fsync " + name), refusing.position("close " + name));
        EXPECT_EQ(refusing.count("unlink temporary"), 1u);
    }
    EXPECT_EQ(entryNames(day()), (std::vector<std::string>{"IMG_0001.JPG", "IMG_0002.JPG", "IMG_0003.JPG"}));
}

TEST_F(FileSystemFallbackTest, ExclusiveWriteToANameTakenMeanwhileTakesTheNextNumber)
{
    RefusingCalls refusing;
    refusing.renameError = EOPNOTSUPP;
    refusing.linkError = EPERM;
    refusing.intruderTakes = "IMG_0001.JPG";
    const ImageFileResult result = writeThrough(refusing, "ours");
    ASSERT_EQ(result.status, ImageFileStatus::Written);
    EXPECT_EQ(result.path, (day() / "IMG_0002.JPG").string());
    EXPECT_EQ(readTextFile(result.path), "ours");
    EXPECT_EQ(readTextFile(day() / "IMG_0001.JPG"), "another program's image");
    EXPECT_EQ(entryNames(day()), (std::vector<std::string>{"IMG_0001.JPG", "IMG_0002.JPG"}));
}

TEST_F(FileSystemFallbackTest, ShortExclusiveWriteRemovesThePartialFile)
{
    RefusingCalls refusing;
    refusing.renameError = EINVAL;
    refusing.linkError = EPERM;
    refusing.diskFillsIn = "IMG_0001.JPG";
    const ImageFileResult result = writeThrough(refusing, std::string(10000, 'j'));
    EXPECT_EQ(result.status, ImageFileStatus::DiskFull);
    EXPECT_EQ(result.error, ENOSPC);
    EXPECT_EQ(result.path, (day() / "IMG_0001.JPG").string());
    EXPECT_TRUE(entryNames(day()).empty());
    EXPECT_EQ(refusing.count("unlink IMG_0001.JPG"), 1u);
}

TEST_F(FileSystemFallbackTest, OtherRenameFailuresAreNotTakenForARefusal)
{
    RefusingCalls refusing;
    refusing.renameError = EACCES;
    const ImageFileResult result = writeThrough(refusing, "data");
    EXPECT_EQ(result.status, ImageFileStatus::CannotCreate);
    EXPECT_EQ(result.error, EACCES);
    EXPECT_EQ(refusing.count("link IMG_0001.JPG"), 0u);
    EXPECT_TRUE(entryNames(day()).empty());
}

} // namespace
