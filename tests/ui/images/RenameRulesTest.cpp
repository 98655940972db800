#include "RenameRules.h"

#include <gtest/gtest.h>

namespace {

std::string s(const QString &text)
{
    return text.toStdString();
}

}  // namespace

TEST(RenameRules, SplitsAPathAtTheLastSlashAndTheNamesLastDot)
{
    const ImagePathParts parts = splitImagePath(QStringLiteral("/home/anna/Pics.2026/IMG_0001.backup.JPG"));
    EXPECT_EQ(s(parts.directory), "/home/anna/Pics.2026/");
    EXPECT_EQ(s(parts.base), "IMG_0001.backup");
    EXPECT_EQ(s(parts.extension), ".JPG");
    EXPECT_EQ(s(parts.name()), "IMG_0001.backup.JPG");

    const ImagePathParts bare = splitImagePath(QStringLiteral("README"));
    EXPECT_EQ(s(bare.directory), "");
    EXPECT_EQ(s(bare.base), "README");
    EXPECT_EQ(s(bare.extension), "");

    // A dot in a folder name is not an extension.
    const ImagePathParts folderDot = splitImagePath(QStringLiteral("/a.b/name"));
    EXPECT_EQ(s(folderDot.base), "name");
    EXPECT_EQ(s(folderDot.extension), "");
}

TEST(RenameRules, AcceptsANameWithTheSameExtensionInAnyCase)
{
    EXPECT_EQ(s(renameRefusal(QStringLiteral("Beach.JPG"), QStringLiteral(".JPG"))), "");
    EXPECT_EQ(s(renameRefusal(QStringLiteral("beach.jpg"), QStringLiteral(".JPG"))), "");
    EXPECT_EQ(s(renameRefusal(QStringLiteral("my beach day.crw"), QStringLiteral(".CRW"))), "");
}

TEST(RenameRules, RefusesEachOfTheNineCharacters)
{
    for (const char c : std::string("\\/:*?\"<>|")) {
        const QString name = QStringLiteral("IMG") + QLatin1Char(c) + QStringLiteral("1.JPG");
        EXPECT_EQ(s(renameRefusal(name, QStringLiteral(".JPG"))),
                  "Filename prefix must not contain any of the following characters:\n\\/:*?\"<>|")
            << c;
    }
}

TEST(RenameRules, ThirtyOneCharactersAreAcceptedThirtyTwoRefused)
{
    const QString name31 = QString(27, QLatin1Char('a')) + QStringLiteral(".JPG");
    const QString name32 = QString(28, QLatin1Char('a')) + QStringLiteral(".JPG");
    ASSERT_EQ(name31.size(), 31);
    ASSERT_EQ(name32.size(), 32);
    EXPECT_EQ(s(renameRefusal(name31, QStringLiteral(".JPG"))), "");
    EXPECT_EQ(s(renameRefusal(name32, QStringLiteral(".JPG"))),
              "Filenames must be no more than 31 characters long:\n" + s(name32));
    const QString name40 = QString(36, QLatin1Char('b')) + QStringLiteral(".JPG");
    EXPECT_EQ(s(renameRefusal(name40, QStringLiteral(".JPG"))),
              "Filenames must be no more than 31 characters long:\n" + s(name40));
}

TEST(RenameRules, RefusesAChangedOrMissingExtension)
{
    const std::string changed = "The file extension must not be changed";
    EXPECT_EQ(s(renameRefusal(QStringLiteral("CRW_0005.JPG"), QStringLiteral(".CRW"))), changed);
    EXPECT_EQ(s(renameRefusal(QStringLiteral("CRW_0005"), QStringLiteral(".CRW"))), changed);
    EXPECT_EQ(s(renameRefusal(QString(), QStringLiteral(".JPG"))), changed);
    EXPECT_EQ(s(renameRefusal(QStringLiteral(".."), QStringLiteral(".JPG"))), changed);
}

TEST(RenameRules, TheChecksRunInTheirOrder)
{
    // Characters before length before extension.
    const QString longWithColon = QString(40, QLatin1Char('x')) + QStringLiteral(":.PNG");
    EXPECT_EQ(s(renameRefusal(longWithColon, QStringLiteral(".JPG"))),
              "Filename prefix must not contain any of the following characters:\n\\/:*?\"<>|");
    const QString longOtherExtension = QString(40, QLatin1Char('x')) + QStringLiteral(".PNG");
    EXPECT_EQ(s(renameRefusal(longOtherExtension, QStringLiteral(".JPG"))),
              "Filenames must be no more than 31 characters long:\n" + s(longOtherExtension));
}

TEST(RenameRules, TheLabelQuotesTheOldName)
{
    EXPECT_EQ(s(renameLabel(QStringLiteral("IMG_0001.JPG"))), "Rename 'IMG_0001.JPG' to:");
}
