#include "DiagnosticLog.h"
#include "ImageFileCommands.h"
#include "ThmCompanion.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cerrno>
#include <string>
#include <vector>

namespace {

// The program's log in a folder of this process's own: test processes run
// side by side and each would truncate the others' log. Set before main(),
// before anything is logged.
struct PrivateLogFolder {
    PrivateLogFolder()
    {
        folder.setAutoRemove(true);
        qputenv("XDG_STATE_HOME", QFile::encodeName(folder.path()));
    }
    QTemporaryDir folder;
};
const PrivateLogFolder kPrivateLogFolder;

class ImageFileCommandsTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_folder.isValid()); }

    QString path(const char *name) const { return m_folder.filePath(QString::fromLatin1(name)); }

    void write(const char *name, const QByteArray &bytes = "bytes") const
    {
        QFile file(path(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }

    QByteArray read(const char *name) const
    {
        QFile file(path(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }

    QStringList names() const { return QDir(m_folder.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name); }

    std::function<void(std::string)> collect()
    {
        return [this](std::string line) { m_log.push_back(std::move(line)); };
    }

    QTemporaryDir m_folder;
    std::vector<std::string> m_log;
};

FileNameCalls refusingToUnlink(const std::string &suffix, int error)
{
    FileNameCalls calls = FileNameCalls::system();
    calls.unlink = [suffix, error](const char *p) {
        const std::string name(p);
        if (name.size() >= suffix.size() && name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0) {
            errno = error;
            return -1;
        }
        return ::unlink(p);
    };
    return calls;
}

}  // namespace

TEST_F(ImageFileCommandsTest, TheThmIsFoundIgnoringCase)
{
    write("CRW_0001.CRW");
    write("CRW_0001.THM");
    write("crw_0002.crw");
    write("CRW_0002.Thm");
    write("CRW_0003.CRW");
    EXPECT_EQ(findThmCompanion(path("CRW_0001.CRW")), path("CRW_0001.THM"));
    EXPECT_EQ(findThmCompanion(path("crw_0002.crw")), path("CRW_0002.Thm"));
    EXPECT_EQ(findThmCompanion(path("CRW_0003.CRW")), std::nullopt);
    // Only a CRW has one.
    write("IMG_0004.JPG");
    write("IMG_0004.THM");
    EXPECT_EQ(findThmCompanion(path("IMG_0004.JPG")), std::nullopt);
}

TEST_F(ImageFileCommandsTest, TheExactNameWinsOverOthersDifferingInCase)
{
    write("CRW_0001.thm");
    write("CRW_0001.THM");
    EXPECT_EQ(findFileIgnoringCase(m_folder.path() + QLatin1Char('/'), QStringLiteral("CRW_0001.THM")),
              path("CRW_0001.THM"));
    EXPECT_EQ(findFileIgnoringCase(m_folder.path() + QLatin1Char('/'), QStringLiteral("crw_0001.Thm")),
              path("CRW_0001.THM"));
}

TEST_F(ImageFileCommandsTest, DeletingAJpegLeavesItsNeighbours)
{
    write("IMG_0001.JPG");
    write("IMG_0001.THM");
    write("IMG_0002.JPG");
    const DeleteImageResult result = deleteImageFiles(path("IMG_0001.JPG"), collect());
    EXPECT_TRUE(result.deleted);
    EXPECT_TRUE(result.thmPath.isEmpty());
    EXPECT_EQ(names(), (QStringList{QStringLiteral("IMG_0001.THM"), QStringLiteral("IMG_0002.JPG")}));
    EXPECT_TRUE(m_log.empty());
}

TEST_F(ImageFileCommandsTest, DeletingACrwDeletesItsUpperCaseThm)
{
    write("CRW_0001.CRW");
    write("CRW_0001.THM");
    write("CRW_0002.CRW");
    write("CRW_0002.THM");
    const DeleteImageResult result = deleteImageFiles(path("CRW_0001.CRW"), collect());
    EXPECT_TRUE(result.deleted);
    EXPECT_TRUE(result.thmDeleted);
    EXPECT_EQ(result.thmPath, path("CRW_0001.THM"));
    EXPECT_EQ(names(), (QStringList{QStringLiteral("CRW_0002.CRW"), QStringLiteral("CRW_0002.THM")}));
}

TEST_F(ImageFileCommandsTest, AMissingThmIsNoError)
{
    write("CRW_0001.CRW");
    const DeleteImageResult result = deleteImageFiles(path("CRW_0001.CRW"), collect());
    EXPECT_TRUE(result.deleted);
    EXPECT_TRUE(result.thmPath.isEmpty());
    EXPECT_TRUE(names().isEmpty());
    EXPECT_TRUE(m_log.empty());
}

TEST_F(ImageFileCommandsTest, AnImageThatCannotBeDeletedKeepsItsThm)
{
    write("CRW_0001.CRW");
    write("CRW_0001.THM");
    const DeleteImageResult result =
        deleteImageFiles(refusingToUnlink(".CRW", EACCES), path("CRW_0001.CRW"), collect());
    EXPECT_FALSE(result.deleted);
    EXPECT_EQ(result.error, EACCES);
    EXPECT_EQ(names(), (QStringList{QStringLiteral("CRW_0001.CRW"), QStringLiteral("CRW_0001.THM")}));
}

TEST_F(ImageFileCommandsTest, AThmThatCannotBeDeletedIsLogged)
{
    write("CRW_0001.CRW");
    write("CRW_0001.THM");
    const DeleteImageResult result =
        deleteImageFiles(refusingToUnlink(".THM", EACCES), path("CRW_0001.CRW"), collect());
    EXPECT_TRUE(result.deleted);
    EXPECT_FALSE(result.thmDeleted);
    EXPECT_EQ(names(), QStringList{QStringLiteral("CRW_0001.THM")});
    ASSERT_EQ(m_log.size(), 1u);
    EXPECT_EQ(m_log[0], "Unable to delete " + path("CRW_0001.THM").toStdString() + ": Permission denied");
}

TEST_F(ImageFileCommandsTest, TheThmLineReachesTheProgramsLog)
{
    const std::filesystem::path logPath = DiagnosticLog::defaultPath();
    ASSERT_TRUE(logPath.string().starts_with(kPrivateLogFolder.folder.path().toStdString())) << logPath;
    write("CRW_0007.CRW");
    write("CRW_0007.THM");
    deleteImageFiles(refusingToUnlink(".THM", EROFS), path("CRW_0007.CRW"), logMessage);
    QFile log(QString::fromStdString(logPath.string()));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    const QString text = QString::fromLocal8Bit(log.readAll());
    EXPECT_TRUE(text.contains(QStringLiteral("]: Unable to delete ") + path("CRW_0007.THM")
                              + QStringLiteral(": Read-only file system\n")))
        << text.toStdString();
}

TEST_F(ImageFileCommandsTest, RenamesAJpeg)
{
    write("IMG_0001.JPG", "image");
    const RenameImageResult result = renameImageFiles(path("IMG_0001.JPG"), QStringLiteral("Beach.JPG"));
    EXPECT_EQ(result.outcome, RenameOutcome::Renamed);
    EXPECT_EQ(result.newPath, path("Beach.JPG"));
    EXPECT_TRUE(result.oldThmPath.isEmpty());
    EXPECT_EQ(names(), QStringList{QStringLiteral("Beach.JPG")});
    EXPECT_EQ(read("Beach.JPG"), QByteArray("image"));
}

TEST_F(ImageFileCommandsTest, RenamesACrwWithItsThmKeepingTheThmsCase)
{
    write("CRW_0001.CRW", "raw");
    write("CRW_0001.THM", "thumb");
    const RenameImageResult result = renameImageFiles(path("CRW_0001.CRW"), QStringLiteral("Beach.crw"));
    EXPECT_EQ(result.outcome, RenameOutcome::Renamed);
    EXPECT_EQ(result.newPath, path("Beach.crw"));
    EXPECT_EQ(result.newThmPath, path("Beach.THM"));
    EXPECT_EQ(names(), (QStringList{QStringLiteral("Beach.THM"), QStringLiteral("Beach.crw")}));
    EXPECT_EQ(read("Beach.crw"), QByteArray("raw"));
    EXPECT_EQ(read("Beach.THM"), QByteArray("thumb"));
}

TEST_F(ImageFileCommandsTest, AnExistingFileRefusesTheRenameAndChangesNothing)
{
    write("IMG_0001.JPG", "image");
    write("Beach.JPG", "other");
    const RenameImageResult result = renameImageFiles(path("IMG_0001.JPG"), QStringLiteral("Beach.JPG"));
    EXPECT_EQ(result.outcome, RenameOutcome::ImageNameTaken);
    EXPECT_FALSE(result.imageRenamed());
    EXPECT_EQ(read("IMG_0001.JPG"), QByteArray("image"));
    EXPECT_EQ(read("Beach.JPG"), QByteArray("other"));
}

TEST_F(ImageFileCommandsTest, ATakenThmNameInAnyCaseRefusesTheRename)
{
    write("CRW_0001.CRW", "raw");
    write("CRW_0001.THM", "thumb");
    write("beach.thm", "other");
    const RenameImageResult result = renameImageFiles(path("CRW_0001.CRW"), QStringLiteral("Beach.CRW"));
    EXPECT_EQ(result.outcome, RenameOutcome::ThmNameTaken);
    EXPECT_EQ(names(), (QStringList{QStringLiteral("CRW_0001.CRW"), QStringLiteral("CRW_0001.THM"),
                                    QStringLiteral("beach.thm")}));
}

TEST_F(ImageFileCommandsTest, ACrwWithoutThmIsRenamedAlone)
{
    write("CRW_0001.CRW", "raw");
    const RenameImageResult result = renameImageFiles(path("CRW_0001.CRW"), QStringLiteral("Beach.CRW"));
    EXPECT_EQ(result.outcome, RenameOutcome::Renamed);
    EXPECT_TRUE(result.newThmPath.isEmpty());
    EXPECT_EQ(names(), QStringList{QStringLiteral("Beach.CRW")});
}

TEST_F(ImageFileCommandsTest, AMissingImageFailsWithoutTouchingItsThm)
{
    write("CRW_0001.THM", "thumb");
    const RenameImageResult result = renameImageFiles(path("CRW_0001.CRW"), QStringLiteral("Beach.CRW"));
    EXPECT_EQ(result.outcome, RenameOutcome::ImageFailed);
    EXPECT_EQ(result.error, ENOENT);
    EXPECT_EQ(names(), QStringList{QStringLiteral("CRW_0001.THM")});
}

TEST_F(ImageFileCommandsTest, AThmThatArrivesDuringTheRenameIsKept)
{
    // The image is renamed; a file takes the THM's new name meanwhile: the
    // image keeps its new name, both THM files keep theirs.
    write("CRW_0001.CRW", "raw");
    write("CRW_0001.THM", "thumb");
    FileNameCalls calls = FileNameCalls::system();
    const FileNameCalls real = FileNameCalls::system();
    calls.renameNoReplace = [this, real](const char *from, const char *to) {
        if (std::string(to).ends_with(".THM"))
            write("Beach.THM", "arrived");
        return real.renameNoReplace(from, to);
    };
    const RenameImageResult result = renameImageFiles(calls, path("CRW_0001.CRW"), QStringLiteral("Beach.CRW"));
    EXPECT_EQ(result.outcome, RenameOutcome::ThmFailed);
    EXPECT_EQ(result.error, EEXIST);
    EXPECT_TRUE(result.imageRenamed());
    EXPECT_EQ(read("Beach.CRW"), QByteArray("raw"));
    EXPECT_EQ(read("CRW_0001.THM"), QByteArray("thumb"));
    EXPECT_EQ(read("Beach.THM"), QByteArray("arrived"));
}
