#include "DialogTestSupport.h"
#include "GridSettingsDlg.h"
#include "RecordingPrompts.h"

#include <QCheckBox>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>

#include <memory>

namespace {

const std::uint32_t green = 0x00FF00;
const std::uint32_t blue = 0xFF0000;  // 0x00BBGGRR

class GridSettingsDlgTest : public ::testing::Test {
protected:
    GridSettingsDlgTest()
    {
        m_values.displayGrid = false;
        m_values.numHorzGridDivisions = 3;
        m_values.numVertGridDivisions = 4;
        m_values.gridColour = green;
    }

    void open()
    {
        m_dialog = std::make_unique<CGridSettingsDlg>(m_prompts, m_values);
        m_dialog->show();
        ASSERT_TRUE(m_dialog->isVisible());
    }

    template <typename T>
    T *find(const char *name) { return child<T>(m_dialog.get(), name); }

    QSpinBox *horizontal() { return find<QSpinBox>("horizontalSpin"); }
    QSpinBox *vertical() { return find<QSpinBox>("verticalSpin"); }

    static void type(QSpinBox *spin, const QString &text)
    {
        spin->setFocus();
        spin->selectAll();
        QTest::keyClick(spin, Qt::Key_Delete);
        QTest::keyClicks(spin, text);
    }

    QColor swatchColour()
    {
        const QImage image = find<QLabel>("colourSwatch")->pixmap().toImage();
        EXPECT_FALSE(image.isNull());
        return image.pixelColor(image.width() / 2, image.height() / 2);
    }

    void clickOk() { QTest::mouseClick(find<QPushButton>("okButton"), Qt::LeftButton); }
    void clickCancel() { QTest::mouseClick(find<QPushButton>("cancelButton"), Qt::LeftButton); }

    static void expectSame(const GridSettings &a, const GridSettings &b)
    {
        EXPECT_EQ(a.displayGrid, b.displayGrid);
        EXPECT_EQ(a.numHorzGridDivisions, b.numHorzGridDivisions);
        EXPECT_EQ(a.numVertGridDivisions, b.numVertGridDivisions);
        EXPECT_EQ(a.gridColour, b.gridColour);
    }

    GridSettings m_values;
    RecordingPrompts m_prompts;
    std::unique_ptr<CGridSettingsDlg> m_dialog;
};

TEST(GridColourTest, ConvertsBetweenBgrValuesAndColours)
{
    EXPECT_EQ(gridColourToQColor(0x0000FF), QColor(255, 0, 0));
    EXPECT_EQ(gridColourToQColor(0x00FF00), QColor(0, 255, 0));
    EXPECT_EQ(gridColourToQColor(0xFF0000), QColor(0, 0, 255));
    EXPECT_EQ(gridColourToQColor(0x123456), QColor(0x56, 0x34, 0x12));
    EXPECT_EQ(gridColourFromQColor(QColor(0x56, 0x34, 0x12)), 0x123456u);
    EXPECT_EQ(gridColourFromQColor(QColor(255, 0, 0, 10)), 0x0000FFu);  // solid colours only
}

TEST(GridDivisionsTest, ParsesIntegersOnly)
{
    EXPECT_EQ(CGridSettingsDlg::parseDivisions(QStringLiteral("7")), 7);
    EXPECT_EQ(CGridSettingsDlg::parseDivisions(QStringLiteral(" 51 ")), 51);
    EXPECT_EQ(CGridSettingsDlg::parseDivisions(QStringLiteral("-3")), -3);
    EXPECT_FALSE(CGridSettingsDlg::parseDivisions(QString()));
    EXPECT_FALSE(CGridSettingsDlg::parseDivisions(QStringLiteral("4x")));
    EXPECT_FALSE(CGridSettingsDlg::parseDivisions(QStringLiteral("99999999999")));
}

TEST_F(GridSettingsDlgTest, ShowsTheCallersValues)
{
    open();
    EXPECT_EQ(m_dialog->windowTitle(), QStringLiteral("Grid Settings"));
    EXPECT_EQ(horizontal()->value(), 3);
    EXPECT_EQ(vertical()->value(), 4);
    EXPECT_FALSE(find<QCheckBox>("enableGridCheck")->isChecked());
    EXPECT_EQ(find<QCheckBox>("enableGridCheck")->text().remove(QLatin1Char('&')),
              QStringLiteral("Enable grid display"));
    EXPECT_EQ(swatchColour(), QColor(0, 255, 0));
}

TEST_F(GridSettingsDlgTest, MadeWithoutValuesItHoldsTwoByTwoAndOff)
{
    CGridSettingsDlg dialog(m_prompts);
    EXPECT_FALSE(dialog.values().displayGrid);
    EXPECT_EQ(dialog.values().numHorzGridDivisions, 2);
    EXPECT_EQ(dialog.values().numVertGridDivisions, 2);
}

TEST_F(GridSettingsDlgTest, TypingOneIsRefusedWithTheRangeMessage)
{
    open();
    type(horizontal(), QStringLiteral("1"));
    EXPECT_EQ(horizontal()->text(), QStringLiteral("1"));
    clickOk();

    ASSERT_EQ(m_prompts.shown.size(), 1u);
    EXPECT_EQ(m_prompts.shown[0].kind, RecordingPrompts::Shown::Kind::Message);
    EXPECT_EQ(m_prompts.shown[0].icon, Prompts::Icon::Refusal);
    EXPECT_EQ(m_prompts.shown[0].caption, QStringLiteral("Quillomat"));
    EXPECT_EQ(m_prompts.shown[0].text, QStringLiteral("Please enter an integer between 2 and 50."));
    EXPECT_TRUE(m_dialog->isVisible());
    EXPECT_NE(m_dialog->result(), QDialog::Accepted);
    EXPECT_EQ(m_dialog->focusWidget(), horizontal());
    expectSame(m_dialog->values(), m_values);
}

TEST_F(GridSettingsDlgTest, TypingFiftyOneIsRefusedWithTheRangeMessage)
{
    open();
    type(vertical(), QStringLiteral("51"));
    EXPECT_EQ(vertical()->text(), QStringLiteral("51"));
    clickOk();

    ASSERT_EQ(m_prompts.messageTexts().size(), 1u);
    EXPECT_EQ(m_prompts.messageTexts()[0], QStringLiteral("Please enter an integer between 2 and 50."));
    EXPECT_TRUE(m_dialog->isVisible());
    expectSame(m_dialog->values(), m_values);

    // Corrected, OK takes everything.
    type(vertical(), QStringLiteral("50"));
    type(horizontal(), QStringLiteral("2"));
    clickOk();
    EXPECT_EQ(m_prompts.messageTexts().size(), 1u);
    EXPECT_FALSE(m_dialog->isVisible());
    EXPECT_EQ(m_dialog->result(), QDialog::Accepted);
    EXPECT_EQ(m_dialog->values().numHorzGridDivisions, 2);
    EXPECT_EQ(m_dialog->values().numVertGridDivisions, 50);
}

TEST_F(GridSettingsDlgTest, AnEmptyBoxAsksForAnInteger)
{
    open();
    type(horizontal(), QString());
    find<QPushButton>("okButton")->click();  // the box keeps the focus and its text
    ASSERT_EQ(m_prompts.messageTexts().size(), 1u);
    EXPECT_EQ(m_prompts.messageTexts()[0], QStringLiteral("Please enter an integer."));
    EXPECT_TRUE(m_dialog->isVisible());
}

TEST_F(GridSettingsDlgTest, SpinningStopsAtTwoAndFifty)
{
    open();
    QSpinBox *spin = horizontal();
    spin->setFocus();
    QTest::keyClick(spin, Qt::Key_Down);
    EXPECT_EQ(spin->value(), 2);
    QTest::keyClick(spin, Qt::Key_Down);
    spin->stepDown();
    EXPECT_EQ(spin->value(), 2);
    QTest::keyClick(spin, Qt::Key_PageDown);
    EXPECT_EQ(spin->value(), 2);

    type(spin, QStringLiteral("49"));
    QTest::keyClick(spin, Qt::Key_Up);
    EXPECT_EQ(spin->value(), 50);
    QTest::keyClick(spin, Qt::Key_Up);
    spin->stepUp();
    EXPECT_EQ(spin->value(), 50);
    EXPECT_EQ(spin->text(), QStringLiteral("50"));
}

TEST_F(GridSettingsDlgTest, SpinningStartsFromWhatIsTyped)
{
    open();
    type(vertical(), QStringLiteral("1"));
    QTest::keyClick(vertical(), Qt::Key_Up);
    EXPECT_EQ(vertical()->value(), 2);

    type(vertical(), QStringLiteral("51"));
    QTest::keyClick(vertical(), Qt::Key_Down);
    EXPECT_EQ(vertical()->value(), 50);

    type(vertical(), QStringLiteral("300"));
    QTest::keyClick(vertical(), Qt::Key_Up);
    EXPECT_EQ(vertical()->value(), 50);

    type(vertical(), QStringLiteral("17"));
    QTest::keyClick(vertical(), Qt::Key_Up);
    EXPECT_EQ(vertical()->value(), 18);
    clickOk();
    EXPECT_EQ(m_dialog->values().numVertGridDivisions, 18);
}

TEST_F(GridSettingsDlgTest, ChosenColourShowsInTheSwatchAndOkKeepsIt)
{
    m_prompts.colourAnswers.push_back(QColor(0, 0, 255));
    open();
    QTest::mouseClick(find<QPushButton>("colourButton"), Qt::LeftButton);
    ASSERT_EQ(m_prompts.shown.size(), 1u);
    EXPECT_EQ(m_prompts.shown[0].kind, RecordingPrompts::Shown::Kind::Colour);
    EXPECT_EQ(m_prompts.shown[0].text, QColor(0, 255, 0).name());  // preset to the current colour
    EXPECT_EQ(swatchColour(), QColor(0, 0, 255));

    find<QCheckBox>("enableGridCheck")->click();
    clickOk();
    EXPECT_EQ(m_dialog->values().gridColour, blue);
    EXPECT_TRUE(m_dialog->values().displayGrid);
    EXPECT_EQ(m_dialog->values().numHorzGridDivisions, 3);
    EXPECT_EQ(m_dialog->values().numVertGridDivisions, 4);
}

TEST_F(GridSettingsDlgTest, CancelledChooserKeepsTheColour)
{
    open();
    QTest::mouseClick(find<QPushButton>("colourButton"), Qt::LeftButton);
    EXPECT_EQ(m_prompts.shown.size(), 1u);
    EXPECT_EQ(swatchColour(), QColor(0, 255, 0));
    clickOk();
    EXPECT_EQ(m_dialog->values().gridColour, green);
}

TEST_F(GridSettingsDlgTest, CancelChangesNothingIncludingTheColourChosenMeanwhile)
{
    m_prompts.colourAnswers.push_back(QColor(255, 0, 0));
    open();
    QTest::mouseClick(find<QPushButton>("colourButton"), Qt::LeftButton);
    type(horizontal(), QStringLiteral("10"));
    type(vertical(), QStringLiteral("12"));
    find<QCheckBox>("enableGridCheck")->click();
    clickCancel();

    EXPECT_FALSE(m_dialog->isVisible());
    EXPECT_EQ(m_dialog->result(), QDialog::Rejected);
    expectSame(m_dialog->values(), m_values);

    // Shown again, it starts from its values, not from what was abandoned.
    m_dialog->show();
    EXPECT_EQ(horizontal()->value(), 3);
    EXPECT_EQ(vertical()->value(), 4);
    EXPECT_FALSE(find<QCheckBox>("enableGridCheck")->isChecked());
    EXPECT_EQ(swatchColour(), QColor(0, 255, 0));
}

TEST_F(GridSettingsDlgTest, SetValuesReplacesWhatIsShown)
{
    open();
    GridSettings other;
    other.displayGrid = true;
    other.numHorzGridDivisions = 9;
    other.numVertGridDivisions = 11;
    other.gridColour = 0x0000FF;
    m_dialog->setValues(other);
    EXPECT_EQ(horizontal()->value(), 9);
    EXPECT_EQ(vertical()->value(), 11);
    EXPECT_TRUE(find<QCheckBox>("enableGridCheck")->isChecked());
    EXPECT_EQ(swatchColour(), QColor(255, 0, 0));
    clickOk();
    expectSame(m_dialog->values(), other);
}

}  // namespace
