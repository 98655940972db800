// The dialogs of the commands on saved images: Rename Image, Edit Comments
// and Image Editor Setup.
#include "DialogTestSupport.h"
#include "EditCommentsDlg.h"
#include "ImageEditorSetupDlg.h"
#include "RecordingPrompts.h"
#include "RenameImageDlg.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDragEnterEvent>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

namespace {

void clickOk(QDialog &dialog)
{
    QTest::mouseClick(child<QPushButton>(&dialog, "okButton"), Qt::LeftButton);
}

void retype(QLineEdit *edit, const QString &text)
{
    edit->setFocus();
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Delete);
    QTest::keyClicks(edit, text);
}

// Drags `mime` over the dialog and drops it; true when the dialog took the drag.
bool dropOn(QWidget *dialog, QMimeData *mime)
{
    const QPoint centre = dialog->rect().center();
    QDragEnterEvent enter(centre, Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(dialog, &enter);
    if (!enter.isAccepted())
        return false;
    QDropEvent drop(QPointF(centre), Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(dialog, &drop);
    return drop.isAccepted();
}

}  // namespace

// ---------------------------------------------------------------------------
// Rename Image

TEST(RenameImageDlg, ShowsTheOldNameInTheLabelAndTheEdit)
{
    RecordingPrompts prompts;
    CRenameImageDlg dialog(prompts, QStringLiteral("IMG_0001.JPG"));
    dialog.show();
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Rename Image"));
    EXPECT_EQ(child<QLabel>(&dialog, "renameLabel")->text(), QStringLiteral("Rename 'IMG_0001.JPG' to:"));
    EXPECT_EQ(child<QLineEdit>(&dialog, "newNameEdit")->text(), QStringLiteral("IMG_0001.JPG"));
    EXPECT_EQ(dialog.keptExtension(), QStringLiteral(".JPG"));
    for (const char *name : {"okButton", "cancelButton"})
        EXPECT_NE(dialog.findChild<QPushButton *>(QLatin1String(name)), nullptr) << name;
}

TEST(RenameImageDlg, ARefusedNameKeepsTheDialogOpenWithTheReason)
{
    RecordingPrompts prompts;
    CRenameImageDlg dialog(prompts, QStringLiteral("CRW_0005.CRW"));
    dialog.show();
    QLineEdit *edit = child<QLineEdit>(&dialog, "newNameEdit");

    retype(edit, QStringLiteral("CRW_0005.JPG"));
    clickOk(dialog);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), 0);
    retype(edit, QStringLiteral("a:b.CRW"));
    clickOk(dialog);
    retype(edit, QString(28, QLatin1Char('n')) + QStringLiteral(".CRW"));
    clickOk(dialog);
    EXPECT_TRUE(dialog.isVisible());
    ASSERT_EQ(prompts.shown.size(), 3u);
    EXPECT_EQ(prompts.shown[0].text, QStringLiteral("The file extension must not be changed"));
    EXPECT_EQ(prompts.shown[1].text,
              QStringLiteral("Filename prefix must not contain any of the following characters:\n\\/:*?\"<>|"));
    EXPECT_EQ(prompts.shown[2].text, QStringLiteral("Filenames must be no more than 31 characters long:\n")
                                         + QString(28, QLatin1Char('n')) + QStringLiteral(".CRW"));
    for (const auto &shown : prompts.shown) {
        EXPECT_EQ(shown.icon, Prompts::Icon::Error);
        EXPECT_EQ(shown.caption, QStringLiteral("Quillomat"));
    }

    retype(edit, QString(27, QLatin1Char('n')) + QStringLiteral(".crw"));
    clickOk(dialog);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.newName(), QString(27, QLatin1Char('n')) + QStringLiteral(".crw"));
    EXPECT_EQ(prompts.shown.size(), 3u);
}

// ---------------------------------------------------------------------------
// Edit Comments

TEST(EditCommentsDlg, ShowsTheCommentUnderItsPrompt)
{
    CEditCommentsDlg dialog(QStringLiteral("first line\r\nsecond line"));
    dialog.show();
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Edit Comments"));
    EXPECT_EQ(child<QLabel>(&dialog, "promptLabel")->text(), QStringLiteral("Please enter comments for this image:"));
    EXPECT_EQ(child<QPlainTextEdit>(&dialog, "commentEdit")->toPlainText(), QStringLiteral("first line\nsecond line"));
    EXPECT_EQ(dialog.comment(), QStringLiteral("first line\nsecond line"));
}

TEST(EditCommentsDlg, TypingStopsAt256Characters)
{
    CEditCommentsDlg dialog;
    dialog.show();
    auto *edit = child<QPlainTextEdit>(&dialog, "commentEdit");
    edit->setFocus();
    QTest::keyClicks(edit, QString(250, QLatin1Char('a')));
    QTest::keyClick(edit, Qt::Key_Return);
    QTest::keyClicks(edit, QStringLiteral("bcdefghij"));
    EXPECT_EQ(dialog.comment(), QString(250, QLatin1Char('a')) + QStringLiteral("\nbcdef"));
    EXPECT_EQ(dialog.comment().size(), CEditCommentsDlg::maximumLength);
    // Typing in the middle of a full text is refused too; the end stays.
    QTextCursor cursor = edit->textCursor();
    cursor.setPosition(10);
    edit->setTextCursor(cursor);
    QTest::keyClicks(edit, QStringLiteral("zz"));
    EXPECT_EQ(dialog.comment(), QString(250, QLatin1Char('a')) + QStringLiteral("\nbcdef"));
}

TEST(EditCommentsDlg, APasteIsCutToWhatFits)
{
    CEditCommentsDlg dialog(QString(250, QLatin1Char('a')));
    dialog.show();
    auto *edit = child<QPlainTextEdit>(&dialog, "commentEdit");
    QTextCursor cursor = edit->textCursor();
    cursor.setPosition(0);
    edit->setTextCursor(cursor);
    edit->insertPlainText(QStringLiteral("0123456789"));
    EXPECT_EQ(dialog.comment(), QStringLiteral("012345") + QString(250, QLatin1Char('a')));

    CEditCommentsDlg tooLong(QString(300, QLatin1Char('x')));
    EXPECT_EQ(tooLong.comment(), QString(256, QLatin1Char('x')));
}

// ---------------------------------------------------------------------------
// Image Editor Setup

TEST(ImageEditorSetupDlg, OpensWithTheSettingsAndTheEditGrayedForTheDesktop)
{
    RecordingPrompts prompts;
    CImageEditorSetupDlg dialog(prompts, {true, QStringLiteral("gimp"), false});
    dialog.show();
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Image Editor Setup"));
    auto *shell = child<QRadioButton>(&dialog, "useShellRadio");
    auto *commandLine = child<QRadioButton>(&dialog, "useCommandLineRadio");
    auto *edit = child<QLineEdit>(&dialog, "commandLineEdit");
    auto *autoEdit = child<QCheckBox>(&dialog, "autoEditCheck");
    EXPECT_EQ(shell->text(), QStringLiteral("Use the Windows Explorer 'Open' command"));
    EXPECT_EQ(commandLine->text(), QStringLiteral("Use the command line below:"));
    EXPECT_EQ(autoEdit->text(), QStringLiteral("Automatically edit image when a photo is taken"));
    EXPECT_EQ(child<QPushButton>(&dialog, "browseButton")->text(), QStringLiteral("..."));
    EXPECT_TRUE(shell->isChecked());
    EXPECT_FALSE(commandLine->isChecked());
    EXPECT_EQ(edit->text(), QStringLiteral("gimp"));
    EXPECT_FALSE(edit->isEnabled());
    EXPECT_FALSE(autoEdit->isChecked());

    QTest::mouseClick(commandLine, Qt::LeftButton);
    EXPECT_TRUE(edit->isEnabled());
    QTest::mouseClick(shell, Qt::LeftButton);
    EXPECT_FALSE(edit->isEnabled());

    CImageEditorSetupDlg other(prompts, {false, QStringLiteral("darktable"), true});
    other.show();
    EXPECT_TRUE(child<QRadioButton>(&other, "useCommandLineRadio")->isChecked());
    EXPECT_TRUE(child<QLineEdit>(&other, "commandLineEdit")->isEnabled());
    EXPECT_TRUE(child<QCheckBox>(&other, "autoEditCheck")->isChecked());
}

TEST(ImageEditorSetupDlg, OkReturnsTheThreeValuesAndCancelNone)
{
    RecordingPrompts prompts;
    const ImageEditorSetup start{true, QStringLiteral("gimp"), false};
    {
        CImageEditorSetupDlg dialog(prompts, start);
        dialog.show();
        QTest::mouseClick(child<QRadioButton>(&dialog, "useCommandLineRadio"), Qt::LeftButton);
        retype(child<QLineEdit>(&dialog, "commandLineEdit"), QStringLiteral("darktable --library :memory:"));
        QTest::mouseClick(child<QCheckBox>(&dialog, "autoEditCheck"), Qt::LeftButton);
        QTest::mouseClick(child<QPushButton>(&dialog, "cancelButton"), Qt::LeftButton);
        EXPECT_EQ(dialog.result(), QDialog::Rejected);
        EXPECT_TRUE(dialog.values().useShell);
        EXPECT_EQ(dialog.values().commandLine, QStringLiteral("gimp"));
        EXPECT_FALSE(dialog.values().autoEdit);
    }
    CImageEditorSetupDlg dialog(prompts, start);
    dialog.show();
    QTest::mouseClick(child<QRadioButton>(&dialog, "useCommandLineRadio"), Qt::LeftButton);
    retype(child<QLineEdit>(&dialog, "commandLineEdit"), QStringLiteral("darktable --library :memory:"));
    QTest::mouseClick(child<QCheckBox>(&dialog, "autoEditCheck"), Qt::LeftButton);
    clickOk(dialog);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_FALSE(dialog.values().useShell);
    EXPECT_EQ(dialog.values().commandLine, QStringLiteral("darktable --library :memory:"));
    EXPECT_TRUE(dialog.values().autoEdit);
}

TEST(ImageEditorSetupDlg, BrowsingPutsAnExecutableInPlaceOfTheWholeLine)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString program = folder.filePath(QStringLiteral("My Editor/edit"));
    const QString plain = folder.filePath(QStringLiteral("notes.txt"));
    ASSERT_TRUE(QDir().mkpath(folder.filePath(QStringLiteral("My Editor"))));
    for (const QString &path : {program, plain}) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("#!/bin/sh\n");
    }
    QFile::setPermissions(program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    RecordingPrompts prompts;
    CImageEditorSetupDlg dialog(prompts, {false, QStringLiteral("gimp -n"), false});
    dialog.show();
    auto *edit = child<QLineEdit>(&dialog, "commandLineEdit");
    auto *browse = child<QPushButton>(&dialog, "browseButton");

    prompts.fileAnswers.push_back(std::nullopt);
    QTest::mouseClick(browse, Qt::LeftButton);
    EXPECT_EQ(edit->text(), QStringLiteral("gimp -n"));

    prompts.fileAnswers.push_back(plain);
    QTest::mouseClick(browse, Qt::LeftButton);
    EXPECT_EQ(edit->text(), QStringLiteral("gimp -n"));
    ASSERT_EQ(prompts.messageTexts().size(), 1u);
    EXPECT_EQ(prompts.messageTexts()[0], QStringLiteral("This file is not a program that can be run:\n") + plain);

    prompts.fileAnswers.push_back(program);
    QTest::mouseClick(browse, Qt::LeftButton);
    // In quotes, since the path holds a space.
    EXPECT_EQ(edit->text(), QLatin1Char('"') + program + QLatin1Char('"'));
    EXPECT_EQ(prompts.shown[0].kind, RecordingPrompts::Shown::Kind::File);
}

TEST(ImageEditorSetupDlg, ADroppedFileBecomesTheCommandLine)
{
    RecordingPrompts prompts;
    CImageEditorSetupDlg dialog(prompts, {false, QStringLiteral("gimp"), false});
    dialog.show();
    auto *edit = child<QLineEdit>(&dialog, "commandLineEdit");

    auto *text = new QMimeData;
    text->setText(QStringLiteral("not a file"));
    EXPECT_FALSE(dropOn(&dialog, text));
    delete text;
    EXPECT_EQ(edit->text(), QStringLiteral("gimp"));

    auto *files = new QMimeData;
    files->setUrls({QUrl::fromLocalFile(QStringLiteral("/usr/bin/darktable")),
                    QUrl::fromLocalFile(QStringLiteral("/usr/bin/gimp"))});
    EXPECT_TRUE(dropOn(&dialog, files));
    delete files;
    EXPECT_EQ(edit->text(), QStringLiteral("/usr/bin/darktable"));

    auto *spaced = new QMimeData;
    spaced->setUrls({QUrl::fromLocalFile(QStringLiteral("/opt/Photo Editor/run"))});
    EXPECT_TRUE(dropOn(&dialog, spaced));
    delete spaced;
    EXPECT_EQ(edit->text(), QStringLiteral("\"/opt/Photo Editor/run\""));
}
