#include "AboutDlg.h"
#include "DialogTestSupport.h"

#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>

namespace {

TEST(AboutDlgTest, ShowsTheProgramAndTheVersionItWasBuiltAs)
{
    CAboutDlg dialog;
    dialog.show();
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("About Quillomat"));
    EXPECT_EQ(child<QLabel>(&dialog, "programNameLabel")->text(), QStringLiteral("Quillomat"));
    EXPECT_EQ(CAboutDlg::version(), QStringLiteral(QUILLOMAT_EXPECTED_VERSION));
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d+\\.\\d+\\.\\d+$")).match(CAboutDlg::version()).hasMatch());
    EXPECT_EQ(child<QLabel>(&dialog, "versionLabel")->text(),
              QStringLiteral("Version ") + QStringLiteral(QUILLOMAT_EXPECTED_VERSION));
    EXPECT_FALSE(child<QLabel>(&dialog, "descriptionLabel")->text().isEmpty());
}

TEST(AboutDlgTest, OkClosesIt)
{
    CAboutDlg dialog;
    dialog.show();
    QTest::mouseClick(child<QPushButton>(&dialog, "okButton"), Qt::LeftButton);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
}

}  // namespace
