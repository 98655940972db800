#include "ImageList.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <optional>
#include <string>
#include <vector>

namespace {

class ImageListTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_folder.isValid());
        QObject::connect(&m_list, &ImageList::currentChanged, [this](int index) { m_currentSignals.push_back(index); });
        QObject::connect(&m_list, &QAbstractItemModel::dataChanged,
                         [this](const QModelIndex &from, const QModelIndex &, const QList<int> &roles) {
                             if (roles.contains(ImageList::PathRole))
                                 m_pathChangedRows.push_back(from.row());
                         });
    }

    QString path(const QString &name) const { return m_folder.filePath(name); }

    // Saves a file called `name` and lists it, as a saved shot is.
    QString save(const QString &name)
    {
        QFile file(path(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("bytes");
        file.close();
        m_list.append(path(name), 0);
        return path(name);
    }

    QStringList files() const { return QDir(m_folder.path()).entryList(QDir::Files, QDir::Name); }

    std::function<void(std::string)> noLog() const
    {
        return [](const std::string &) {};
    }

    QTemporaryDir m_folder;
    ImageList m_list;
    std::vector<int> m_currentSignals;
    std::vector<int> m_pathChangedRows;
};

struct StepCase {
    const char *name;
    int count;
    int current;
    std::optional<int> previous;
    std::optional<int> next;
};

TEST_F(ImageListTest, PreviousAndNextWrapAndStopByTheListsRules)
{
    const StepCase cases[] = {
        {"empty list: both stop", 0, -1, std::nullopt, std::nullopt},
        {"one entry on show: previous stops, next reloads it", 1, 0, std::nullopt, 0},
        {"one entry, none on show: both show it", 1, -1, 0, 0},
        {"first of three: previous wraps to the last", 3, 0, 2, 1},
        {"last of three: next wraps to the first", 3, 2, 1, 0},
        {"none on show: from the ends", 3, -1, 2, 0},
        {"an index out of range counts as none", 3, 5, 2, 0},
    };
    for (const StepCase &c : cases) {
        ImageList list;
        for (int i = 0; i < c.count; ++i)
            list.append(QStringLiteral("/photos/IMG_%1.JPG").arg(i + 1), 0);
        list.setCurrentIndex(c.current);
        EXPECT_EQ(list.previousIndex(), c.previous) << c.name;
        EXPECT_EQ(list.nextIndex(), c.next) << c.name;
    }
}

TEST_F(ImageListTest, TitleNamesTheCurrentImageAndItsPlace)
{
    EXPECT_EQ(m_list.title(), QStringLiteral("Quillomat"));
    m_list.append(QStringLiteral("D:\\Photos\\IMG_0001.JPG"), 0);
    m_list.append(QStringLiteral("D:\\Photos\\IMG_0002.JPG"), 0);
    m_list.append(QStringLiteral("D:\\Photos\\IMG_0003.JPG"), 0);
    m_list.setCurrentIndex(1);
    EXPECT_EQ(m_list.title(), QStringLiteral("Quillomat - D:\\Photos\\IMG_0002.JPG - [2 of 3]"));
    m_list.setCurrentIndex(-1);
    EXPECT_EQ(m_list.title(), QStringLiteral("Quillomat"));
}

TEST_F(ImageListTest, ASavedImageGoesAtTheEndAndBecomesCurrent)
{
    save(QStringLiteral("IMG_0001.JPG"));
    save(QStringLiteral("IMG_0002.JPG"));
    ASSERT_EQ(m_list.rowCount(), 2);
    EXPECT_EQ(m_list.currentIndex(), 1);
    EXPECT_EQ(m_list.data(m_list.index(1), Qt::DisplayRole).toString(), QStringLiteral("IMG_0002.JPG"));
    EXPECT_TRUE(m_list.data(m_list.index(1), ImageList::CurrentRole).toBool());
    EXPECT_FALSE(m_list.data(m_list.index(0), ImageList::CurrentRole).toBool());
    EXPECT_EQ(m_currentSignals, (std::vector<int>{0, 1}));
}

TEST_F(ImageListTest, DeletingTheLastOfThreeLeadsToTheFirst)
{
    save(QStringLiteral("IMG_0001.JPG"));
    save(QStringLiteral("IMG_0002.JPG"));
    const QString last = save(QStringLiteral("IMG_0003.JPG"));
    const DeleteImageResult result = m_list.deleteImage(last, 2, noLog());
    EXPECT_TRUE(result.deleted);
    EXPECT_EQ(files(), (QStringList{QStringLiteral("IMG_0001.JPG"), QStringLiteral("IMG_0002.JPG")}));
    ASSERT_EQ(m_list.count(), 2);
    m_list.setCurrentIndex(*m_list.nextIndex());
    EXPECT_EQ(m_list.currentIndex(), 0);
    EXPECT_TRUE(m_list.title().endsWith(QStringLiteral("[1 of 2]"))) << m_list.title().toStdString();
}

TEST_F(ImageListTest, DeletingAMiddleEntryLeadsToTheOneThatMovedIntoItsPlace)
{
    save(QStringLiteral("IMG_0001.JPG"));
    const QString middle = save(QStringLiteral("IMG_0002.JPG"));
    save(QStringLiteral("IMG_0003.JPG"));
    m_list.setCurrentIndex(1);
    ASSERT_TRUE(m_list.deleteImage(middle, 1, noLog()).deleted);
    m_list.setCurrentIndex(*m_list.nextIndex());
    EXPECT_EQ(m_list.currentPath(), path(QStringLiteral("IMG_0003.JPG")));
}

TEST_F(ImageListTest, DeletingTheOnlyEntryEmptiesTheList)
{
    const QString only = save(QStringLiteral("IMG_0001.JPG"));
    ASSERT_TRUE(m_list.deleteImage(only, 0, noLog()).deleted);
    EXPECT_EQ(m_list.rowCount(), 0);
    EXPECT_EQ(m_list.currentIndex(), -1);
    EXPECT_EQ(m_list.title(), QStringLiteral("Quillomat"));
    EXPECT_EQ(m_currentSignals.back(), -1);
}

TEST_F(ImageListTest, DeletingARawImageTakesItsThmAlong)
{
    QFile thm(path(QStringLiteral("CRW_0001.thm")));
    ASSERT_TRUE(thm.open(QIODevice::WriteOnly));
    thm.close();
    const QString raw = save(QStringLiteral("CRW_0001.CRW"));
    const DeleteImageResult result = m_list.deleteImage(raw, 0, noLog());
    EXPECT_TRUE(result.deleted);
    EXPECT_TRUE(result.thmDeleted);
    EXPECT_TRUE(files().isEmpty()) << files().join(QLatin1Char(',')).toStdString();
}

TEST_F(ImageListTest, AFileThatCannotBeDeletedKeepsItsEntry)
{
    const QString first = save(QStringLiteral("IMG_0001.JPG"));
    save(QStringLiteral("IMG_0002.JPG"));
    m_list.setCurrentIndex(0);
    ASSERT_TRUE(QFile::remove(first));
    EXPECT_FALSE(m_list.deleteImage(first, 0, noLog()).deleted);
    EXPECT_EQ(m_list.count(), 2);
    EXPECT_EQ(m_list.currentIndex(), 0);
}

TEST_F(ImageListTest, AnEntryIsFoundByPathWhenTheListGrewMeanwhile)
{
    const QString first = save(QStringLiteral("IMG_0001.JPG"));
    save(QStringLiteral("IMG_0002.JPG"));
    // Asked about entry 1, which by now holds another image.
    const RenameImageResult result = m_list.renameImage(first, 1, QStringLiteral("Harbour.JPG"));
    ASSERT_EQ(result.outcome, RenameOutcome::Renamed);
    EXPECT_EQ(m_list.entries()[0].path, path(QStringLiteral("Harbour.JPG")));
    EXPECT_EQ(m_list.entries()[1].path, path(QStringLiteral("IMG_0002.JPG")));
    EXPECT_EQ(m_pathChangedRows, (std::vector<int>{0}));
}

TEST_F(ImageListTest, RenamingARawImageRenamesItsThmAndTheEntryFollows)
{
    QFile thm(path(QStringLiteral("CRW_0005.THM")));
    ASSERT_TRUE(thm.open(QIODevice::WriteOnly));
    thm.close();
    const QString raw = save(QStringLiteral("CRW_0005.CRW"));
    const RenameImageResult result = m_list.renameImage(raw, 0, QStringLiteral("Harbour.CRW"));
    ASSERT_EQ(result.outcome, RenameOutcome::Renamed);
    EXPECT_EQ(files(), (QStringList{QStringLiteral("Harbour.CRW"), QStringLiteral("Harbour.THM")}));
    EXPECT_EQ(m_list.currentPath(), path(QStringLiteral("Harbour.CRW")));
    EXPECT_EQ(m_list.data(m_list.index(0)).toString(), QStringLiteral("Harbour.CRW"));
}

TEST_F(ImageListTest, ARenameOntoATakenNameChangesNothing)
{
    const QString first = save(QStringLiteral("IMG_0001.JPG"));
    save(QStringLiteral("IMG_0002.JPG"));
    const RenameImageResult result = m_list.renameImage(first, 0, QStringLiteral("IMG_0002.JPG"));
    EXPECT_EQ(result.outcome, RenameOutcome::ImageNameTaken);
    EXPECT_EQ(m_list.entries()[0].path, first);
    EXPECT_TRUE(m_pathChangedRows.empty());
}

TEST_F(ImageListTest, TheCurrentRotationIsKeptWithItsEntry)
{
    save(QStringLiteral("IMG_0001.JPG"));
    save(QStringLiteral("IMG_0002.JPG"));
    m_list.setCurrentRotation(270);
    EXPECT_EQ(m_list.data(m_list.index(1), ImageList::RotationRole).toInt(), 270);
    EXPECT_EQ(m_list.data(m_list.index(0), ImageList::RotationRole).toInt(), 0);
}

}  // namespace
