#include "DialogTestSupport.h"
#include "PreferencesDlg.h"
#include "RecordingPrompts.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <memory>

namespace {

const QString home = QStringLiteral("/home/anna/Quillomat");

class PreferencesDlgTest : public ::testing::Test {
protected:
    PreferencesDlgTest()
    {
        m_settings.baseDirectory = home;
        m_settings.filenamePrefix.clear();
        m_settings.yearSubDir = m_settings.monthSubDir = m_settings.daySubDir = m_settings.flattenDate = 1;
        m_settings.middleButtonAction = QStringLiteral("Edit Comment");
        m_settings.rightButtonAction = QStringLiteral("Preview");
        m_settings.mouseWheelAction = QStringLiteral("Release");
    }

    void open()
    {
        m_dialog = std::make_unique<CPreferencesDlg>(m_settings, m_prompts, [] { return LocalDate{2001, 10, 29}; });
        m_dialog->show();
        ASSERT_TRUE(m_dialog->isVisible());
    }

    template <typename T>
    T *find(const char *name) { return child<T>(m_dialog.get(), name); }

    QString example() { return find<QLineEdit>("exampleEdit")->text(); }

    void retype(const char *editName, const QString &text)
    {
        QLineEdit *edit = find<QLineEdit>(editName);
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Delete);
        QTest::keyClicks(edit, text);
    }

    void clickOk() { QTest::mouseClick(find<QPushButton>("okButton"), Qt::LeftButton); }
    void clickCancel() { QTest::mouseClick(find<QPushButton>("cancelButton"), Qt::LeftButton); }

    Settings m_settings;
    RecordingPrompts m_prompts;
    std::unique_ptr<CPreferencesDlg> m_dialog;
};

TEST_F(PreferencesDlgTest, TitleAndControlsShowTheSettings)
{
    open();
    EXPECT_EQ(m_dialog->windowTitle(), QStringLiteral("Quillomat Preferences"));
    EXPECT_EQ(find<QLineEdit>("directoryEdit")->text(), home);
    EXPECT_EQ(find<QLineEdit>("prefixEdit")->text(), QString());
    EXPECT_TRUE(find<QCheckBox>("yearCheck")->isChecked());
    EXPECT_TRUE(find<QCheckBox>("monthCheck")->isChecked());
    EXPECT_TRUE(find<QCheckBox>("dayCheck")->isChecked());
    EXPECT_TRUE(find<QCheckBox>("flattenCheck")->isChecked());
    EXPECT_EQ(find<QCheckBox>("flattenCheck")->text().remove(QLatin1Char('&')),
              QStringLiteral("Flatten date (e.g. 2001-10-29)"));
    EXPECT_EQ(find<QComboBox>("middleButtonCombo")->currentText(), QStringLiteral("Edit Comment"));
    EXPECT_EQ(find<QComboBox>("rightButtonCombo")->currentText(), QStringLiteral("Preview"));
    EXPECT_TRUE(find<QLineEdit>("exampleEdit")->isReadOnly());
}

// Each shooting aid's box shows its own setting and OK writes only that one.
TEST_F(PreferencesDlgTest, EachShootingAidHasItsOwnBox)
{
    const struct {
        const char *box;
        uint32_t Settings::*field;
    } aids[] = {{"thumbnailFirstCheck", &Settings::thumbnailFirst},
                {"autoReconnectCheck", &Settings::autoReconnect},
                {"clippingMarksCheck", &Settings::clippingMarks}};
    for (const auto &aid : aids) {
        m_settings = Settings{};
        open();
        for (const auto &other : aids)
            EXPECT_TRUE(find<QCheckBox>(other.box)->isChecked()) << other.box << " is on by default";
        find<QCheckBox>(aid.box)->click();
        clickOk();
        for (const auto &other : aids)
            EXPECT_EQ(m_settings.*other.field, other.field == aid.field ? 0u : 1u) << aid.box << " " << other.box;

        // Off in the settings shows unticked; Cancel after ticking it keeps it off.
        open();
        EXPECT_FALSE(find<QCheckBox>(aid.box)->isChecked()) << aid.box;
        find<QCheckBox>(aid.box)->click();
        clickCancel();
        EXPECT_EQ(m_settings.*aid.field, 0u) << aid.box;
    }
}

TEST_F(PreferencesDlgTest, BothButtonListsOfferTheFiveActions)
{
    open();
    const QStringList expected{"None", "Preview", "Release", "Edit Comment", "Edit Image"};
    for (const char *name : {"middleButtonCombo", "rightButtonCombo"}) {
        QComboBox *combo = find<QComboBox>(name);
        QStringList entries;
        for (int i = 0; i < combo->count(); ++i)
            entries << combo->itemText(i);
        EXPECT_EQ(entries, expected) << name;
    }
}

TEST_F(PreferencesDlgTest, ExampleForTheDateWithAndWithoutPrefix)
{
    open();
    EXPECT_EQ(example(), home + "/2001-10-29/CRW_0001.CRW");
    EXPECT_EQ(m_dialog->exampleImageName(), example());

    QTest::keyClicks(find<QLineEdit>("prefixEdit"), QStringLiteral("Studio"));
    EXPECT_EQ(example(), home + "/2001-10-29/StudioCRW_0001.CRW");
}

TEST_F(PreferencesDlgTest, UntickingFlattenChangesTheExampleAtOnce)
{
    open();
    find<QCheckBox>("flattenCheck")->click();
    EXPECT_EQ(example(), home + "/2001/10/29/CRW_0001.CRW");
    find<QCheckBox>("flattenCheck")->click();
    EXPECT_EQ(example(), home + "/2001-10-29/CRW_0001.CRW");
}

TEST_F(PreferencesDlgTest, EachDateBoxDropsItsLevel)
{
    open();
    find<QCheckBox>("dayCheck")->click();
    EXPECT_EQ(example(), home + "/2001-10/CRW_0001.CRW");
    find<QCheckBox>("yearCheck")->click();
    EXPECT_EQ(example(), home + "/10/CRW_0001.CRW");
    find<QCheckBox>("monthCheck")->click();
    EXPECT_EQ(example(), home + "/CRW_0001.CRW");
}

TEST_F(PreferencesDlgTest, TrailingSlashGivesNoDoubledSlash)
{
    open();
    retype("directoryEdit", QStringLiteral("/srv/shots/"));
    EXPECT_EQ(example(), QStringLiteral("/srv/shots/2001-10-29/CRW_0001.CRW"));
    find<QCheckBox>("yearCheck")->click();
    find<QCheckBox>("monthCheck")->click();
    find<QCheckBox>("dayCheck")->click();
    EXPECT_EQ(example(), QStringLiteral("/srv/shots/CRW_0001.CRW"));
}

TEST_F(PreferencesDlgTest, ExampleFollowsEveryKeystrokeOfTheDirectory)
{
    open();
    QLineEdit *directory = find<QLineEdit>("directoryEdit");
    QTest::keyClick(directory, Qt::Key_End);
    QTest::keyClicks(directory, QStringLiteral("/raw"));
    EXPECT_EQ(example(), home + "/raw/2001-10-29/CRW_0001.CRW");
    QTest::keyClick(directory, Qt::Key_Backspace);
    EXPECT_EQ(example(), home + "/ra/2001-10-29/CRW_0001.CRW");
}

TEST_F(PreferencesDlgTest, PrefixWithSlashIsRefusedAndTheDialogStaysOpen)
{
    open();
    QTest::keyClicks(find<QLineEdit>("prefixEdit"), QStringLiteral("a/b"));
    clickOk();

    ASSERT_EQ(m_prompts.shown.size(), 1u);
    const RecordingPrompts::Shown &box = m_prompts.shown[0];
    EXPECT_EQ(box.kind, RecordingPrompts::Shown::Kind::Message);
    EXPECT_EQ(box.icon, Prompts::Icon::Error);
    EXPECT_EQ(box.caption, QStringLiteral("Quillomat"));
    EXPECT_EQ(box.text, QStringLiteral("Filename prefix must not contain any of the following characters:\n"
                                       "\\/:*?\"<>|"));
    EXPECT_TRUE(m_dialog->isVisible());
    EXPECT_NE(m_dialog->result(), QDialog::Accepted);
    EXPECT_EQ(find<QLineEdit>("prefixEdit")->text(), QStringLiteral("a/b"));
    EXPECT_EQ(m_settings.filenamePrefix, QString());

    // Corrected, it goes through.
    retype("prefixEdit", QStringLiteral("ab"));
    clickOk();
    EXPECT_EQ(m_prompts.shown.size(), 1u);
    EXPECT_FALSE(m_dialog->isVisible());
    EXPECT_EQ(m_dialog->result(), QDialog::Accepted);
    EXPECT_EQ(m_settings.filenamePrefix, QStringLiteral("ab"));
}

TEST_F(PreferencesDlgTest, EveryForbiddenCharacterIsRefused)
{
    for (const QChar c : QStringLiteral("\\/:*?\"<>|")) {
        EXPECT_FALSE(CPreferencesDlg::isValidFilenamePrefix(QStringLiteral("Studio") + c)) << QString(c).toStdString();
        EXPECT_FALSE(CPreferencesDlg::isValidFilenamePrefix(QString(c))) << QString(c).toStdString();
    }
    EXPECT_TRUE(CPreferencesDlg::isValidFilenamePrefix(QString()));
    EXPECT_TRUE(CPreferencesDlg::isValidFilenamePrefix(QStringLiteral("Studio_")));
    EXPECT_TRUE(CPreferencesDlg::isValidFilenamePrefix(QStringLiteral("Ännas Hochzeit-2001.")));
}

TEST_F(PreferencesDlgTest, BrowsingPutsTheFolderIntoTheBoxAndTheExample)
{
    m_prompts.folderAnswers.push_back(QStringLiteral("/mnt/card"));
    open();
    QTest::mouseClick(find<QPushButton>("browseButton"), Qt::LeftButton);

    ASSERT_EQ(m_prompts.shown.size(), 1u);
    EXPECT_EQ(m_prompts.shown[0].kind, RecordingPrompts::Shown::Kind::Folder);
    EXPECT_EQ(m_prompts.shown[0].caption, QStringLiteral("Select folder in which to save images"));
    EXPECT_EQ(m_prompts.shown[0].text, home);  // preselected
    EXPECT_EQ(find<QLineEdit>("directoryEdit")->text(), QStringLiteral("/mnt/card"));
    EXPECT_EQ(example(), QStringLiteral("/mnt/card/2001-10-29/CRW_0001.CRW"));

    clickOk();
    EXPECT_EQ(m_settings.baseDirectory, QStringLiteral("/mnt/card"));
}

TEST_F(PreferencesDlgTest, CancelledBrowserLeavesTheDirectory)
{
    open();
    QTest::mouseClick(find<QPushButton>("browseButton"), Qt::LeftButton);
    EXPECT_EQ(m_prompts.shown.size(), 1u);
    EXPECT_EQ(find<QLineEdit>("directoryEdit")->text(), home);
    EXPECT_EQ(example(), home + "/2001-10-29/CRW_0001.CRW");
}

TEST_F(PreferencesDlgTest, CancelAfterChangingEverythingLeavesEverySetting)
{
    const Settings before = m_settings;
    m_prompts.folderAnswers.push_back(QStringLiteral("/mnt/elsewhere"));
    open();
    QTest::mouseClick(find<QPushButton>("browseButton"), Qt::LeftButton);
    QTest::keyClicks(find<QLineEdit>("prefixEdit"), QStringLiteral("Studio"));
    find<QCheckBox>("yearCheck")->click();
    find<QCheckBox>("flattenCheck")->click();
    find<QComboBox>("middleButtonCombo")->setCurrentText(QStringLiteral("Release"));
    find<QComboBox>("rightButtonCombo")->setCurrentText(QStringLiteral("Edit Image"));
    EXPECT_EQ(example(), QStringLiteral("/mnt/elsewhere/10/29/StudioCRW_0001.CRW"));

    clickCancel();
    EXPECT_FALSE(m_dialog->isVisible());
    EXPECT_EQ(m_dialog->result(), QDialog::Rejected);
    EXPECT_EQ(m_settings.baseDirectory, home);
    EXPECT_TRUE(m_settings == before);
}

TEST_F(PreferencesDlgTest, EscapeIsACancel)
{
    const Settings before = m_settings;
    open();
    QTest::keyClicks(find<QLineEdit>("directoryEdit"), QStringLiteral("x"));
    QTest::keyClick(m_dialog.get(), Qt::Key_Escape);
    EXPECT_FALSE(m_dialog->isVisible());
    EXPECT_TRUE(m_settings == before);
}

TEST_F(PreferencesDlgTest, OkWritesEveryEditedSettingAndCarriesTheWheelAction)
{
    open();
    retype("directoryEdit", QStringLiteral("/srv/shots"));
    QTest::keyClicks(find<QLineEdit>("prefixEdit"), QStringLiteral("Studio_"));
    find<QCheckBox>("dayCheck")->click();
    find<QCheckBox>("flattenCheck")->click();
    find<QComboBox>("middleButtonCombo")->setCurrentText(QStringLiteral("Release"));
    find<QComboBox>("rightButtonCombo")->setCurrentText(QStringLiteral("None"));
    clickOk();

    EXPECT_EQ(m_dialog->result(), QDialog::Accepted);
    EXPECT_EQ(m_settings.baseDirectory, QStringLiteral("/srv/shots"));
    EXPECT_EQ(m_settings.filenamePrefix, QStringLiteral("Studio_"));
    EXPECT_EQ(m_settings.yearSubDir, 1u);
    EXPECT_EQ(m_settings.monthSubDir, 1u);
    EXPECT_EQ(m_settings.daySubDir, 0u);
    EXPECT_EQ(m_settings.flattenDate, 0u);
    EXPECT_EQ(m_settings.middleButtonAction, QStringLiteral("Release"));
    EXPECT_EQ(m_settings.rightButtonAction, QStringLiteral("None"));
    EXPECT_EQ(m_settings.mouseWheelAction, QStringLiteral("Release"));
}

TEST_F(PreferencesDlgTest, SettingsDoNotChangeWhileTheDialogIsOpen)
{
    // A shot taken with the camera's own button meanwhile must not go to a
    // half-typed folder.
    const Settings before = m_settings;
    open();
    retype("directoryEdit", QStringLiteral("/h"));
    find<QCheckBox>("monthCheck")->click();
    EXPECT_TRUE(m_settings == before);
}

TEST_F(PreferencesDlgTest, AnUnknownActionTextIsKeptUnlessAnEntryIsChosen)
{
    m_settings.rightButtonAction = QStringLiteral("Dance");
    open();
    EXPECT_EQ(find<QComboBox>("rightButtonCombo")->currentIndex(), -1);
    clickOk();
    EXPECT_EQ(m_settings.rightButtonAction, QStringLiteral("Dance"));
}

TEST_F(PreferencesDlgTest, ShownAgainItStartsFromTheSettings)
{
    open();
    QTest::keyClicks(find<QLineEdit>("prefixEdit"), QStringLiteral("Lost"));
    clickCancel();

    m_settings.filenamePrefix = QStringLiteral("Kept");
    m_dialog->show();
    EXPECT_EQ(find<QLineEdit>("prefixEdit")->text(), QStringLiteral("Kept"));
    EXPECT_EQ(example(), home + "/2001-10-29/KeptCRW_0001.CRW");
    clickOk();
    EXPECT_EQ(m_settings.filenamePrefix, QStringLiteral("Kept"));
}

TEST_F(PreferencesDlgTest, ExampleUsesTheDateOfEachMoment)
{
    LocalDate date{2001, 12, 31};
    CPreferencesDlg dialog(m_settings, m_prompts, [&date] { return date; });
    dialog.show();
    EXPECT_EQ(dialog.exampleImageName(), home + "/2001-12-31/CRW_0001.CRW");
    date = LocalDate{2002, 1, 1};
    child<QCheckBox>(&dialog, "flattenCheck")->click();
    EXPECT_EQ(child<QLineEdit>(&dialog, "exampleEdit")->text(), home + "/2002/01/01/CRW_0001.CRW");
}

}  // namespace
