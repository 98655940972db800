// The help page opened by Help > Contents: a well-formed, self-contained page
// that covers every command, key and preference of the window.
#include "DialogTestSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QTextDocument>
#include <QXmlStreamReader>

#include <utility>
#include <vector>

namespace {

QByteArray readPage(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

class HelpPageTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_source = readPage(QStringLiteral(QUILLOMAT_HELP_PAGE_SOURCE));
        ASSERT_FALSE(m_source.isEmpty()) << QUILLOMAT_HELP_PAGE_SOURCE;
        QTextDocument document;
        document.setHtml(QString::fromUtf8(m_source));
        m_text = document.toPlainText().simplified();
    }

    bool mentions(const QString &words) const { return m_text.contains(words, Qt::CaseSensitive); }

    QByteArray m_source;
    QString m_text;  // what a reader sees
};

TEST_F(HelpPageTest, IsWellFormedWithEveryLinkLeadingToAnAnchorOnThePage)
{
    QXmlStreamReader reader(m_source);
    QSet<QString> ids;
    std::vector<QString> links;
    QString title;
    while (!reader.atEnd()) {
        reader.readNext();
        if (!reader.isStartElement())
            continue;
        const QXmlStreamAttributes attributes = reader.attributes();
        if (attributes.hasAttribute(QStringLiteral("id"))) {
            const QString id = attributes.value(QStringLiteral("id")).toString();
            EXPECT_FALSE(ids.contains(id)) << "duplicate id " << id.toStdString();
            ids.insert(id);
        }
        // Nothing is loaded from elsewhere: no scripts or style sheets, and
        // only pictures that are installed beside the page.
        if (attributes.hasAttribute(QStringLiteral("src"))) {
            const QString source = attributes.value(QStringLiteral("src")).toString();
            EXPECT_EQ(reader.name(), QStringLiteral("img"));
            EXPECT_FALSE(source.contains(QLatin1Char('/')) || source.contains(QLatin1Char(':'))) << source.toStdString();
            EXPECT_TRUE(QFileInfo::exists(QFileInfo(QStringLiteral(QUILLOMAT_HELP_PAGE_SOURCE)).dir().filePath(source)))
                << source.toStdString();
        }
        EXPECT_NE(reader.name(), QStringLiteral("link"));
        EXPECT_NE(reader.name(), QStringLiteral("script"));
        if (attributes.hasAttribute(QStringLiteral("href")))
            links.push_back(attributes.value(QStringLiteral("href")).toString());
        if (reader.name() == QStringLiteral("title"))
            title = reader.readElementText();
    }
    ASSERT_FALSE(reader.hasError()) << reader.errorString().toStdString() << " at line " << reader.lineNumber();
    EXPECT_EQ(title, QStringLiteral("Quillomat Help"));
    EXPECT_GE(links.size(), 5u);
    for (const QString &link : links) {
        ASSERT_TRUE(link.startsWith(QLatin1Char('#'))) << link.toStdString();
        EXPECT_TRUE(ids.contains(link.mid(1))) << link.toStdString();
    }
}

TEST_F(HelpPageTest, NamesEveryMenuCommandWithItsKey)
{
    const std::vector<std::pair<QString, QString>> commands{
        {"Rename Image", "Ctrl+R"},
        {"Delete Image", "Del"},
        {"Full Screen", "F11"},
        {"Setup Image Editor", ""},
        {"Preferences", ""},
        {"Exit", ""},
        {"Settings...", ""},
        {"Refresh", "F5"},
        {"Force UI Unlock", "Shift+F5"},
        {"Register for Camera Events", ""},
        {"Unregister for Camera Events", ""},
        {"Release Shutter", "F8"},
        {"Preview", "F9"},
        {"Connect", ""},
        {"Disconnect", ""},
        {"Blank screen when taking photo", ""},
        {"Time Lapse...", ""},
        {"Landscape", ""},
        {"Inverted", ""},
        {"Portrait 1", ""},
        {"Portrait 2", ""},
        {"Rotate", "F6"},
        {"View Image", "F7"},
        {"Display Grid", "Ctrl+G"},
        {"Grid Settings...", ""},
        {"Show Clipping", "Ctrl+H"},
        {"Edit Comment", "Ctrl+E"},
        {"Edit Image", "F3"},
        {"Properties", ""},
        {"Contents", ""},
        {"About Quillomat", ""},
    };
    for (const auto &[caption, key] : commands) {
        EXPECT_TRUE(mentions(caption)) << caption.toStdString();
        if (!key.isEmpty()) {
            EXPECT_TRUE(mentions(caption + QStringLiteral(" ") + key)) << (caption + " " + key).toStdString();
        }
    }
    for (const char *key : {"F4", "Left", "Right", "Release (F8)", "Preview (F9)"})
        EXPECT_TRUE(mentions(QLatin1String(key))) << key;
}

TEST_F(HelpPageTest, DescribesThePreferencesAndTheGrid)
{
    for (const char *caption :
         {"Quillomat Preferences", "Middle button:", "Right button:", "Filename prefix:",
          "Directory in which to save images:", "Select folder in which to save images", "Year", "Month", "Day",
          "Flatten date (e.g. 2001-10-29)", "Example image name:", "None", "Edit Comment", "Edit Image",
          "Number of horizontal divisions:", "Number of vertical divisions:", "Line color:",
          "Enable grid display", "Image Attributes", "Image Preview"})
        EXPECT_TRUE(mentions(QLatin1String(caption))) << caption;
    // The characters a prefix must not hold.
    EXPECT_TRUE(mentions(QStringLiteral("\\ / : * ? \" < > |")));
}

TEST_F(HelpPageTest, TellsHowToUseTheSimulatedCameraAndARealOne)
{
    for (const char *words : {"QUILLOMAT_SIMCAM", "quillomat-simcam", "control=1", "model=EOS D30", "shutter",
                              "tolvane install", "EOS D30", "EOS D60", "real camera"})
        EXPECT_TRUE(mentions(QLatin1String(words))) << words;
}

TEST_F(HelpPageTest, SaysWhereThisRunsLogAndTheRunBeforesAre)
{
    for (const char *words : {"~/.local/state/Quillomat/Quillomat.log", "Quillomat.previous.log", "$XDG_STATE_HOME"})
        EXPECT_TRUE(mentions(QLatin1String(words))) << words;
}

TEST_F(HelpPageTest, LiesNextToTheProgram)
{
    const QString besideUs = QCoreApplication::applicationDirPath() + QStringLiteral("/Quillomat.htm");
    EXPECT_EQ(readPage(besideUs), m_source) << besideUs.toStdString();
}

}  // namespace
