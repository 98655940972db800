#include "NoReplaceRename.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cerrno>

namespace {

class NoReplaceRenameTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_folder.isValid()); }

    std::string path(const char *name) const { return QFile::encodeName(m_folder.filePath(QString::fromLatin1(name))).toStdString(); }

    void write(const char *name, const QByteArray &bytes) const
    {
        QFile file(m_folder.filePath(QString::fromLatin1(name)));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }

    QByteArray read(const char *name) const
    {
        QFile file(m_folder.filePath(QString::fromLatin1(name)));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }

    QStringList names() const { return QDir(m_folder.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name); }

    QTemporaryDir m_folder;
};

FileNameCalls refusingNoReplace()
{
    FileNameCalls calls = FileNameCalls::system();
    calls.renameNoReplace = [](const char *, const char *) {
        errno = EINVAL;
        return -1;
    };
    return calls;
}

FileNameCalls refusingLinksToo()
{
    FileNameCalls calls = refusingNoReplace();
    calls.link = [](const char *, const char *) {
        errno = EPERM;
        return -1;
    };
    return calls;
}

}  // namespace

TEST_F(NoReplaceRenameTest, RenamesToAFreeName)
{
    write("a.jpg", "image");
    EXPECT_EQ(renameNoReplace(path("a.jpg"), path("b.jpg")), 0);
    EXPECT_EQ(names(), QStringList{QStringLiteral("b.jpg")});
    EXPECT_EQ(read("b.jpg"), QByteArray("image"));
}

TEST_F(NoReplaceRenameTest, NeverReplacesAnExistingFile)
{
    write("a.jpg", "image");
    write("b.jpg", "other");
    EXPECT_EQ(renameNoReplace(path("a.jpg"), path("b.jpg")), EEXIST);
    EXPECT_EQ(read("a.jpg"), QByteArray("image"));
    EXPECT_EQ(read("b.jpg"), QByteArray("other"));
}

TEST_F(NoReplaceRenameTest, AMissingSourceIsReported)
{
    EXPECT_EQ(renameNoReplace(path("gone.jpg"), path("b.jpg")), ENOENT);
    EXPECT_TRUE(names().isEmpty());
}

TEST_F(NoReplaceRenameTest, FallsBackToALinkWhereTheNoReplaceRenameIsRefused)
{
    const FileNameCalls calls = refusingNoReplace();
    write("a.jpg", "image");
    EXPECT_EQ(renameNoReplace(calls, path("a.jpg"), path("b.jpg")), 0);
    EXPECT_EQ(names(), QStringList{QStringLiteral("b.jpg")});
    EXPECT_EQ(read("b.jpg"), QByteArray("image"));

    write("c.jpg", "other");
    EXPECT_EQ(renameNoReplace(calls, path("b.jpg"), path("c.jpg")), EEXIST);
    EXPECT_EQ(read("b.jpg"), QByteArray("image"));
    EXPECT_EQ(read("c.jpg"), QByteArray("other"));
}

TEST_F(NoReplaceRenameTest, ALinkWhoseOldNameStaysIsUndone)
{
    FileNameCalls calls = refusingNoReplace();
    int unlinks = 0;
    calls.unlink = [&unlinks](const char *p) {
        if (++unlinks == 1) {
            errno = EBUSY;
            return -1;
        }
        return ::unlink(p);
    };
    write("a.jpg", "image");
    EXPECT_EQ(renameNoReplace(calls, path("a.jpg"), path("b.jpg")), EBUSY);
    EXPECT_EQ(names(), QStringList{QStringLiteral("a.jpg")});
}

TEST_F(NoReplaceRenameTest, ClaimsTheNameExclusivelyWhereLinksAreRefusedToo)
{
    const FileNameCalls calls = refusingLinksToo();
    write("a.jpg", "image");
    EXPECT_EQ(renameNoReplace(calls, path("a.jpg"), path("b.jpg")), 0);
    EXPECT_EQ(names(), QStringList{QStringLiteral("b.jpg")});
    EXPECT_EQ(read("b.jpg"), QByteArray("image"));

    write("c.jpg", "other");
    EXPECT_EQ(renameNoReplace(calls, path("b.jpg"), path("c.jpg")), EEXIST);
    EXPECT_EQ(read("b.jpg"), QByteArray("image"));
    EXPECT_EQ(read("c.jpg"), QByteArray("other"));
}

TEST_F(NoReplaceRenameTest, AFailedRenameGivesTheClaimedNameBack)
{
    FileNameCalls calls = refusingLinksToo();
    calls.rename = [](const char *, const char *) {
        errno = EIO;
        return -1;
    };
    write("a.jpg", "image");
    EXPECT_EQ(renameNoReplace(calls, path("a.jpg"), path("b.jpg")), EIO);
    EXPECT_EQ(names(), QStringList{QStringLiteral("a.jpg")});
}

TEST_F(NoReplaceRenameTest, AFileThatAppearsJustBeforeTheRenameIsKept)
{
    // Another program takes the name between the caller's check and the rename.
    FileNameCalls calls = FileNameCalls::system();
    const FileNameCalls real = FileNameCalls::system();
    calls.renameNoReplace = [this, real](const char *from, const char *to) {
        write("b.jpg", "arrived");
        return real.renameNoReplace(from, to);
    };
    write("a.jpg", "image");
    EXPECT_EQ(renameNoReplace(calls, path("a.jpg"), path("b.jpg")), EEXIST);
    EXPECT_EQ(read("a.jpg"), QByteArray("image"));
    EXPECT_EQ(read("b.jpg"), QByteArray("arrived"));
}
