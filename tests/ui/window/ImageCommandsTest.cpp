// The commands on saved images in the real window, with the simulated camera
// and the files it saved: stepping through them, deleting, renaming, the
// comment, the image area's menu, the graying of the File and Image menus,
// and the external editor (a real program that records its arguments).
#include "WindowTestSupport.h"
#include "images/ArgvRecorder.h"

#include "ImageRotation.h"
#include "PreviewWindow.h"

#include <QDesktopServices>
#include <QDialog>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QUrl>

#include <cstdio>
#include <functional>

namespace {

// Stands in for the desktop: records the files it is asked to open.
class DesktopRecorder : public QObject {
    Q_OBJECT
public:
    DesktopRecorder() { QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "open"); }
    ~DesktopRecorder() override { QDesktopServices::unsetUrlHandler(QStringLiteral("file")); }

    QList<QUrl> opened;

public slots:
    void open(const QUrl &url) { opened << url; }
};

}  // namespace

class ImageCommandsTest : public WindowTest {
protected:
    QString imagePath(int number) const { return m_images + QStringLiteral("/IMG_%1.JPG").arg(number, 4, 10, QLatin1Char('0')); }
    QStringList files() const { return QDir(m_images).entryList(QDir::Files | QDir::Hidden, QDir::Name); }
    QString titleFor(const QString &path, int position, int count) const
    {
        return QStringLiteral("Quillomat - %1 - [%2 of %3]").arg(path).arg(position).arg(count);
    }
    QImage picture() { return find<QLabel>("previewPicture")->pixmap().toImage(); }
    // A portrait picture stands reduced against the preview's right edge, white to its left.
    static bool isPortrait(const QImage &shown) { return shown.pixel(10, shown.height() / 2) == qRgb(255, 255, 255); }
    QString infoText() { return find<QPlainTextEdit>("imageInfoText")->toPlainText(); }
    QString statusText() { return text(find("statusLine")); }

    // A connected D60 taking small JPEGs (or `quality`), with `count` shots taken by F8.
    CDezedoRavovadDlg &openAndShoot(int count, const char *quality = "small/fine")
    {
        attachCamera("EOS D60", std::string("mode=manual;tv=1/125;quality=") + quality);
        CDezedoRavovadDlg &window = open();
        EXPECT_TRUE(window.isConnected());
        for (int i = 1; i <= count; ++i) {
            QTest::keyClick(&window, Qt::Key_F8);
            EXPECT_TRUE(waitForShots(window, static_cast<size_t>(i)));
        }
        return window;
    }

    // Runs `command`; the modal dialog it opens is handed to `work`, and
    // cancelled if `work` left it open. False when no dialog opened.
    bool withDialog(const std::function<void()> &command, const std::function<void(QDialog *)> &work)
    {
        bool seen = false;
        QTimer::singleShot(0, m_window.get(), [&] {
            auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            seen = true;
            work(dialog);
            if (dialog->isVisible())
                dialog->reject();
        });
        command();
        return seen;
    }

    // Types each name into the Rename Image dialog and presses OK, while the dialog stays open.
    bool renameTo(const QStringList &names)
    {
        return withDialog([this] { action("renameImageAction")->trigger(); }, [&](QDialog *dialog) {
            for (const QString &name : names) {
                dialog->findChild<QLineEdit *>(QStringLiteral("newNameEdit"))->setText(name);
                QTest::mouseClick(dialog->findChild<QPushButton *>(QStringLiteral("okButton")), Qt::LeftButton);
                if (!dialog->isVisible())
                    return;
            }
        });
    }

    // The open context menu's items: their texts, "-" for a separator.
    QStringList contextMenuItems(bool *checkedGrid = nullptr)
    {
        QMenu *menu = m_window->findChild<QMenu *>(QStringLiteral("imageContextMenu"));
        if (!menu)
            return {QStringLiteral("<no menu>")};
        QStringList items;
        for (QAction *item : menu->actions()) {
            items << (item->isSeparator() ? QStringLiteral("-") : item->text());
            if (checkedGrid && item->objectName() == QStringLiteral("contextDisplayGridAction"))
                *checkedGrid = item->isChecked();
        }
        return items;
    }

    void rightClickPicture()
    {
        QTest::mouseClick(find("previewPicture"), Qt::RightButton, Qt::NoModifier, QPoint(100, 100));
    }

    void closeContextMenu()
    {
        if (QMenu *menu = m_window->findChild<QMenu *>(QStringLiteral("imageContextMenu")))
            menu->close();
        QTest::qWait(0);
    }
};

// ---------------------------------------------------------------------------
// Stepping through the images

TEST_F(ImageCommandsTest, ThreeShotsAreSteppedThroughWithWrapAndTitle)
{
    CDezedoRavovadDlg &window = openAndShoot(3);
    ASSERT_EQ(window.imageList().size(), 3u);
    EXPECT_EQ(window.windowTitle(), titleFor(imagePath(3), 3, 3));
    auto *previous = find<QPushButton>("previousButton");
    auto *next = find<QPushButton>("nextButton");
    EXPECT_TRUE(previous->isEnabled());
    EXPECT_TRUE(next->isEnabled());
    const QImage third = picture();

    QTest::mouseClick(previous, Qt::LeftButton);
    EXPECT_EQ(window.currentImage(), 1);
    EXPECT_EQ(window.windowTitle(), titleFor(imagePath(2), 2, 3));
    const QImage second = picture();
    EXPECT_NE(second, third);

    QTest::keyClick(&window, Qt::Key_Left);
    EXPECT_EQ(window.windowTitle(), titleFor(imagePath(1), 1, 3));
    // The first wraps to the last, and the last to the first.
    QTest::mouseClick(previous, Qt::LeftButton);
    EXPECT_EQ(window.windowTitle(), titleFor(imagePath(3), 3, 3));
    EXPECT_EQ(picture(), third);
    QTest::mouseClick(next, Qt::LeftButton);
    EXPECT_EQ(window.windowTitle(), titleFor(imagePath(1), 1, 3));
    QTest::keyClick(&window, Qt::Key_Right);
    EXPECT_EQ(window.windowTitle(), titleFor(imagePath(2), 2, 3));
    EXPECT_EQ(picture(), second);
    // Stepping shows the file's own information; the status keeps its text.
    EXPECT_TRUE(infoText().contains(QStringLiteral("1/125"))) << infoText().toStdString();
    EXPECT_TRUE(m_prompts.shown.empty());
}

TEST_F(ImageCommandsTest, ASingleCurrentImageCannotBeSteppedAwayFrom)
{
    CDezedoRavovadDlg &window = openAndShoot(1);
    EXPECT_FALSE(find("previousButton")->isEnabled());
    EXPECT_FALSE(find("nextButton")->isEnabled());
    window.previousImage();
    EXPECT_EQ(window.currentImage(), 0);
    // ">" reloads the one image.
    window.nextImage();
    EXPECT_EQ(window.currentImage(), 0);
    EXPECT_EQ(window.windowTitle(), titleFor(imagePath(1), 1, 1));

    // After a preview shot nothing saved is current: "<" shows the image again.
    QTest::keyClick(&window, Qt::Key_F9);
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.currentImage() == -1 && !window.isBusy(); }, 15000));
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Quillomat"));
    EXPECT_TRUE(find("previousButton")->isEnabled());
    QTest::mouseClick(find("previousButton"), Qt::LeftButton);
    EXPECT_EQ(window.currentImage(), 0);
    EXPECT_EQ(window.windowTitle(), titleFor(imagePath(1), 1, 1));
    EXPECT_FALSE(find("previousButton")->isEnabled());
}

TEST_F(ImageCommandsTest, AFileThatNoLongerLoadsKeepsThePictureOnShow)
{
    CDezedoRavovadDlg &window = openAndShoot(3);
    const QImage third = picture();
    const QString thirdInfo = infoText();
    ASSERT_TRUE(QFile::remove(imagePath(2)));

    window.previousImage();
    // The list moved on (so the next step goes further); the picture did not.
    EXPECT_EQ(window.currentImage(), 1);
    EXPECT_EQ(picture(), third);
    EXPECT_EQ(infoText(), thirdInfo);
    EXPECT_EQ(window.windowTitle(), titleFor(imagePath(2), 2, 3));
    window.previousImage();
    EXPECT_EQ(window.currentImage(), 0);
    EXPECT_NE(picture(), third);
    EXPECT_EQ(window.windowTitle(), titleFor(imagePath(1), 1, 3));
}

TEST_F(ImageCommandsTest, BrowsingShowsEachFilesRotationAndLeavesTheOrientationAlone)
{
    // A portrait session: a glance back at a landscape shot does not turn it.
    CDezedoRavovadDlg &window = openAndShoot(2);
    action("portrait1Action")->trigger();  // the second image and the next shots: 270
    ASSERT_EQ(window.settings().orientation, 270u);
    EXPECT_TRUE(isPortrait(picture()));

    QTest::keyClick(&window, Qt::Key_Left);  // the first, saved at 0
    ASSERT_EQ(window.currentImage(), 0);
    EXPECT_FALSE(isPortrait(picture())) << "shown with its own rotation";
    EXPECT_EQ(window.settings().orientation, 270u);
    EXPECT_TRUE(action("portrait1Action")->isChecked());
    EXPECT_FALSE(action("landscapeAction")->isChecked());
    QTest::keyClick(&window, Qt::Key_F7);
    EXPECT_EQ(find<PreviewWindow>("previewWindow")->rotation(), 0);
    find<PreviewWindow>("previewWindow")->close();

    // The next shot is still a portrait one.
    QTest::keyClick(&window, Qt::Key_F8);
    ASSERT_TRUE(waitForShots(window, 3));
    EXPECT_EQ(readImageRotation(imagePath(3).toStdString()), 270);
    EXPECT_TRUE(isPortrait(picture()));

    // Deleting shows the next image with its own rotation, and changes nothing else.
    m_prompts.yesNoAnswers = {true};
    window.previousImage();
    window.previousImage();  // the first, at 0
    QTest::keyClick(&window, Qt::Key_Delete);
    EXPECT_EQ(window.windowTitle(), titleFor(imagePath(2), 1, 2));
    EXPECT_TRUE(isPortrait(picture()));
    EXPECT_EQ(window.settings().orientation, 270u);

    // An orientation command turns the picture on show too, though the
    // orientation is already the chosen one.
    QTest::keyClick(&window, Qt::Key_Right);  // the third, at 270
    action("landscapeAction")->trigger();
    EXPECT_FALSE(isPortrait(picture()));
    action("portrait1Action")->trigger();
    EXPECT_TRUE(isPortrait(picture()));
    QTest::keyClick(&window, Qt::Key_Left);  // the second, at 270 as well
    action("landscapeAction")->trigger();    // only this file is landscape now
    QTest::keyClick(&window, Qt::Key_Right);
    EXPECT_TRUE(isPortrait(picture()));
    EXPECT_EQ(window.settings().orientation, 0u);
    action("portrait1Action")->trigger();
    EXPECT_TRUE(isPortrait(picture()));
    QTest::keyClick(&window, Qt::Key_Left);  // the second, landscape
    EXPECT_FALSE(isPortrait(picture()));
    // F6 turns the picture on show on from its own rotation.
    QTest::keyClick(&window, Qt::Key_F6);
    EXPECT_EQ(window.settings().orientation, 90u);
    EXPECT_EQ(readImageRotation(imagePath(2).toStdString()), 90);
    EXPECT_TRUE(isPortrait(picture()));

    m_window.reset();
    EXPECT_EQ(storedSetting("Orientation").toUInt(), 90u) << "saved at exit as last chosen";
}

// ---------------------------------------------------------------------------
// Delete

TEST_F(ImageCommandsTest, DeletingTheLastOfThreeMakesTheFirstCurrent)
{
    CDezedoRavovadDlg &window = openAndShoot(3);
    QTest::keyClick(&window, Qt::Key_Delete);
    ASSERT_EQ(m_prompts.shown.size(), 1u);
    EXPECT_EQ(m_prompts.shown[0].kind, RecordingPrompts::Shown::Kind::Question);
    EXPECT_EQ(m_prompts.shown[0].caption, QStringLiteral("Quillomat"));
    EXPECT_EQ(m_prompts.shown[0].text, QStringLiteral("Are you sure you wish to delete:\n") + imagePath(3));

    EXPECT_EQ(files(), (QStringList{QStringLiteral("IMG_0001.JPG"), QStringLiteral("IMG_0002.JPG")}));
    ASSERT_EQ(window.imageList().size(), 2u);
    EXPECT_EQ(window.currentImage(), 0);
    EXPECT_EQ(window.windowTitle(), titleFor(imagePath(1), 1, 2));
    EXPECT_EQ(statusText(), QStringLiteral("Deleted ") + imagePath(3));
}

TEST_F(ImageCommandsTest, RefreshAndDeleteShowTheFreeSpaceAfresh)
{
    const std::pair<const char *, Qt::Key> commands[] = {{"Refresh", Qt::Key_F5}, {"Delete Image", Qt::Key_Delete}};
    for (const auto &[command, key] : commands) {
        CDezedoRavovadDlg &window = openAndShoot(1);
        const QString shown = text(find("freeSpaceText"));
        EXPECT_TRUE(shown.endsWith(QStringLiteral(" free"))) << shown.toStdString();
        // The image folder now stands for another file system: the text
        // says so once the command has looked again.
        window.settings().baseDirectory = QStringLiteral("//server/share/photos");
        QTest::keyClick(&window, key);
        EXPECT_EQ(text(find("freeSpaceText")), QStringLiteral("<network drive>")) << command;
        window.settings().baseDirectory = m_images;
        m_window.reset();
    }
}

TEST_F(ImageCommandsTest, DeletingAMiddleImageShowsTheOneAfterIt)
{
    CDezedoRavovadDlg &window = openAndShoot(3);
    window.previousImage();
    window.deleteImage();
    EXPECT_EQ(files(), (QStringList{QStringLiteral("IMG_0001.JPG"), QStringLiteral("IMG_0003.JPG")}));
    EXPECT_EQ(window.currentImage(), 1);
    EXPECT_EQ(window.windowTitle(), titleFor(imagePath(3), 2, 2));
}

TEST_F(ImageCommandsTest, DeletingTheOnlyImageClearsTheDisplay)
{
    CDezedoRavovadDlg &window = openAndShoot(1);
    ASSERT_TRUE(action("deleteImageAction")->isEnabled());
    action("deleteImageAction")->trigger();
    EXPECT_TRUE(files().isEmpty());
    EXPECT_TRUE(window.imageList().empty());
    EXPECT_EQ(window.currentImage(), -1);
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Quillomat"));
    EXPECT_EQ(infoText(), QString());
    const QImage blank = picture();
    EXPECT_EQ(blank.pixel(100, 100), qRgb(255, 255, 255));
    EXPECT_FALSE(action("deleteImageAction")->isEnabled());
    EXPECT_FALSE(find("previousButton")->isEnabled());
    EXPECT_EQ(statusText(), QStringLiteral("Deleted ") + imagePath(1));
}

TEST_F(ImageCommandsTest, AnsweringNoChangesNothing)
{
    CDezedoRavovadDlg &window = openAndShoot(2);
    const QImage before = picture();
    const QString title = window.windowTitle();
    m_prompts.yesNoAnswers.push_back(false);
    window.deleteImage();
    EXPECT_EQ(m_prompts.shown.size(), 1u);
    EXPECT_EQ(files().size(), 2);
    EXPECT_EQ(window.imageList().size(), 2u);
    EXPECT_EQ(window.currentImage(), 1);
    EXPECT_EQ(window.windowTitle(), title);
    EXPECT_EQ(picture(), before);
}

TEST_F(ImageCommandsTest, DeletingACrwDeletesItsThm)
{
    CDezedoRavovadDlg &window = openAndShoot(2, "raw");
    ASSERT_EQ(files(), (QStringList{QStringLiteral("CRW_0001.CRW"), QStringLiteral("CRW_0001.THM"),
                                    QStringLiteral("CRW_0002.CRW"), QStringLiteral("CRW_0002.THM")}));
    window.deleteImage();
    EXPECT_EQ(files(), (QStringList{QStringLiteral("CRW_0001.CRW"), QStringLiteral("CRW_0001.THM")}));
    EXPECT_EQ(window.windowTitle(), titleFor(m_images + QStringLiteral("/CRW_0001.CRW"), 1, 1));
}

TEST_F(ImageCommandsTest, AFailedDeleteKeepsTheEntryAndSaysSo)
{
    CDezedoRavovadDlg &window = openAndShoot(1);
    // A folder in the file's place: there, but not a file that can be unlinked.
    ASSERT_TRUE(QFile::remove(imagePath(1)));
    ASSERT_TRUE(QDir().mkpath(imagePath(1) + QStringLiteral("/inside")));
    window.deleteImage();
    ASSERT_EQ(m_prompts.shown.size(), 2u);
    EXPECT_EQ(m_prompts.shown[1].icon, Prompts::Icon::Error);
    EXPECT_EQ(m_prompts.shown[1].caption, QStringLiteral("Error"));
    EXPECT_EQ(m_prompts.shown[1].text, QStringLiteral("Error deleting file: ") + imagePath(1));
    EXPECT_EQ(window.imageList().size(), 1u);
    EXPECT_EQ(window.currentImage(), -1);
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Quillomat"));
}

TEST_F(ImageCommandsTest, AMissingFileOnlyClearsTheDisplay)
{
    CDezedoRavovadDlg &window = openAndShoot(2);
    ASSERT_TRUE(QFile::remove(imagePath(2)));
    window.deleteImage();
    EXPECT_TRUE(m_prompts.shown.empty());
    EXPECT_EQ(window.imageList().size(), 2u);
    EXPECT_EQ(window.currentImage(), -1);
    EXPECT_EQ(files(), QStringList{QStringLiteral("IMG_0001.JPG")});
}

TEST_F(ImageCommandsTest, DeletingAPreviewShotOnlyClearsTheDisplay)
{
    CDezedoRavovadDlg &window = openAndShoot(1);
    QTest::keyClick(&window, Qt::Key_F9);
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.currentImage() == -1 && !window.isBusy(); }, 15000));
    ASSERT_TRUE(action("deleteImageAction")->isEnabled());
    QTest::keyClick(&window, Qt::Key_Delete);
    EXPECT_EQ(statusText(), QStringLiteral("Image deleted"));
    EXPECT_TRUE(m_prompts.shown.empty());
    EXPECT_EQ(files(), QStringList{QStringLiteral("IMG_0001.JPG")});
    EXPECT_EQ(window.imageList().size(), 1u);
    EXPECT_FALSE(action("deleteImageAction")->isEnabled());
}

// ---------------------------------------------------------------------------
// Rename

TEST_F(ImageCommandsTest, RenamingToADifferentCaseDoesNothing)
{
    CDezedoRavovadDlg &window = openAndShoot(1);
    EXPECT_TRUE(renameTo({QStringLiteral("img_0001.jpg")}));
    EXPECT_EQ(files(), QStringList{QStringLiteral("IMG_0001.JPG")});
    EXPECT_EQ(window.imageList()[0].path, imagePath(1));
    EXPECT_TRUE(m_prompts.shown.empty());
}

TEST_F(ImageCommandsTest, ThirtyOneCharactersRenameThirtyTwoAreRefused)
{
    CDezedoRavovadDlg &window = openAndShoot(2);
    const QString name32 = QString(28, QLatin1Char('b')) + QStringLiteral(".JPG");
    const QString name31 = QString(27, QLatin1Char('b')) + QStringLiteral(".JPG");
    bool labelled = false;
    const bool opened = withDialog([&] { window.renameImage(); }, [&](QDialog *dialog) {
        EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Rename Image"));
        labelled = dialog->findChild<QLabel *>(QStringLiteral("renameLabel"))->text()
                   == QStringLiteral("Rename 'IMG_0002.JPG' to:");
        auto *edit = dialog->findChild<QLineEdit *>(QStringLiteral("newNameEdit"));
        EXPECT_EQ(edit->text(), QStringLiteral("IMG_0002.JPG"));
        for (const QString &name : {name32, name31}) {
            edit->setText(name);
            QTest::mouseClick(dialog->findChild<QPushButton *>(QStringLiteral("okButton")), Qt::LeftButton);
        }
    });
    EXPECT_TRUE(opened);
    EXPECT_TRUE(labelled);
    ASSERT_EQ(m_prompts.messageTexts().size(), 1u);
    EXPECT_EQ(m_prompts.messageTexts()[0], QStringLiteral("Filenames must be no more than 31 characters long:\n") + name32);
    const QString renamed = m_images + QLatin1Char('/') + name31;
    EXPECT_EQ(files(), (QStringList{QStringLiteral("IMG_0001.JPG"), name31}));
    EXPECT_EQ(window.imageList()[1].path, renamed);
    EXPECT_EQ(window.windowTitle(), titleFor(renamed, 2, 2));
    EXPECT_EQ(statusText(), QStringLiteral("Renamed to: ") + renamed);
}

TEST_F(ImageCommandsTest, AChangedExtensionIsRefused)
{
    CDezedoRavovadDlg &window = openAndShoot(1, "raw");
    EXPECT_TRUE(renameTo({QStringLiteral("CRW_0005.JPG")}));
    ASSERT_EQ(m_prompts.messageTexts().size(), 1u);
    EXPECT_EQ(m_prompts.messageTexts()[0], QStringLiteral("The file extension must not be changed"));
    EXPECT_EQ(files(), (QStringList{QStringLiteral("CRW_0001.CRW"), QStringLiteral("CRW_0001.THM")}));
    EXPECT_EQ(window.imageList()[0].path, m_images + QStringLiteral("/CRW_0001.CRW"));
}

TEST_F(ImageCommandsTest, AnExistingFileIsNeverReplaced)
{
    CDezedoRavovadDlg &window = openAndShoot(2);
    const QByteArray first = [&] {
        QFile file(imagePath(1));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }();
    EXPECT_TRUE(renameTo({QStringLiteral("IMG_0001.JPG")}));
    ASSERT_EQ(m_prompts.messageTexts().size(), 1u);
    EXPECT_EQ(m_prompts.messageTexts()[0],
              QStringLiteral("Unable to rename image because there is already\nan image with the same name"));
    EXPECT_EQ(m_prompts.shown[0].icon, Prompts::Icon::Error);
    EXPECT_EQ(m_prompts.shown[0].caption, QStringLiteral("Quillomat"));
    EXPECT_EQ(files(), (QStringList{QStringLiteral("IMG_0001.JPG"), QStringLiteral("IMG_0002.JPG")}));
    QFile file(imagePath(1));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), first);
    EXPECT_EQ(window.imageList()[1].path, imagePath(2));
}

TEST_F(ImageCommandsTest, ACrwIsRenamedWithItsThm)
{
    CDezedoRavovadDlg &window = openAndShoot(1, "raw");
    EXPECT_TRUE(renameTo({QStringLiteral("Harbour.CRW")}));
    EXPECT_TRUE(m_prompts.shown.empty());
    EXPECT_EQ(files(), (QStringList{QStringLiteral("Harbour.CRW"), QStringLiteral("Harbour.THM")}));
    EXPECT_EQ(window.imageList()[0].path, m_images + QStringLiteral("/Harbour.CRW"));
    EXPECT_EQ(window.windowTitle(), titleFor(m_images + QStringLiteral("/Harbour.CRW"), 1, 1));
    // The pair still belongs together: the picture loads from the renamed files.
    window.nextImage();
    EXPECT_TRUE(infoText().contains(QStringLiteral("1/125"))) << infoText().toStdString();
}

TEST_F(ImageCommandsTest, ATakenThmNameStopsTheRename)
{
    CDezedoRavovadDlg &window = openAndShoot(1, "raw");
    QFile other(m_images + QStringLiteral("/Harbour.THM"));
    ASSERT_TRUE(other.open(QIODevice::WriteOnly));
    other.close();
    EXPECT_TRUE(renameTo({QStringLiteral("Harbour.CRW")}));
    ASSERT_EQ(m_prompts.messageTexts().size(), 1u);
    EXPECT_EQ(m_prompts.messageTexts()[0],
              QStringLiteral("Unable to rename image because there is already\nan THM file with the same name"));
    EXPECT_EQ(files(), (QStringList{QStringLiteral("CRW_0001.CRW"), QStringLiteral("CRW_0001.THM"),
                                    QStringLiteral("Harbour.THM")}));
    EXPECT_EQ(window.imageList()[0].path, m_images + QStringLiteral("/CRW_0001.CRW"));
}

TEST_F(ImageCommandsTest, RenamingAMissingFileSaysSo)
{
    CDezedoRavovadDlg &window = openAndShoot(1);
    ASSERT_TRUE(QFile::remove(imagePath(1)));
    EXPECT_TRUE(renameTo({QStringLiteral("Gone.JPG")}));
    ASSERT_EQ(m_prompts.messageTexts().size(), 1u);
    EXPECT_EQ(m_prompts.messageTexts()[0], QStringLiteral("Error renaming image"));
    EXPECT_EQ(window.imageList()[0].path, imagePath(1));
}

// ---------------------------------------------------------------------------
// The comment

TEST_F(ImageCommandsTest, ACommentIsWrittenIntoTheFileAndShownInTheAttributes)
{
    CDezedoRavovadDlg &window = openAndShoot(2);
    window.previousImage();
    bool prompted = false;
    EXPECT_TRUE(withDialog([this] { QTest::keyClick(m_window.get(), Qt::Key_E, Qt::ControlModifier); },
                           [&](QDialog *dialog) {
                               prompted = dialog->windowTitle() == QStringLiteral("Edit Comments");
                               auto *edit = dialog->findChild<QPlainTextEdit *>(QStringLiteral("commentEdit"));
                               EXPECT_EQ(edit->toPlainText(), QString());
                               edit->setPlainText(QStringLiteral("Harbour at dawn"));
                               QTest::mouseClick(dialog->findChild<QPushButton *>(QStringLiteral("okButton")),
                                                 Qt::LeftButton);
                           }));
    EXPECT_TRUE(prompted);
    EXPECT_TRUE(m_prompts.shown.empty());

    // The Properties window shows the comment read back from the file.
    QString attributes;
    EXPECT_TRUE(withDialog([this] { action("propertiesAction")->trigger(); }, [&](QDialog *dialog) {
        attributes = dialog->findChild<QPlainTextEdit *>(QStringLiteral("attributesText"))->toPlainText();
    }));
    EXPECT_TRUE(attributes.contains(QStringLiteral("Harbour at dawn"))) << attributes.toStdString();

    // The dialog opens with what the file holds now.
    QString shown;
    EXPECT_TRUE(withDialog([&] { window.editComment(); }, [&](QDialog *dialog) {
        shown = dialog->findChild<QPlainTextEdit *>(QStringLiteral("commentEdit"))->toPlainText();
    }));
    EXPECT_EQ(shown, QStringLiteral("Harbour at dawn"));

    if (!haveExiftool())
        GTEST_SKIP() << "exiftool is not installed: the comment was not read back by another program";
    EXPECT_EQ(exiftool(imagePath(1), "UserComment"), "Harbour at dawn");
    EXPECT_EQ(exiftool(imagePath(2), "UserComment"), "");
}

TEST_F(ImageCommandsTest, CancelLeavesTheCommentAlone)
{
    CDezedoRavovadDlg &window = openAndShoot(1);
    QFile file(imagePath(1));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray before = file.readAll();
    file.close();
    EXPECT_TRUE(withDialog([&] { window.editComment(); }, [&](QDialog *dialog) {
        dialog->findChild<QPlainTextEdit *>(QStringLiteral("commentEdit"))->setPlainText(QStringLiteral("no"));
    }));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), before);
}

TEST_F(ImageCommandsTest, ACommentThatCannotBeWrittenSaysSo)
{
    CDezedoRavovadDlg &window = openAndShoot(1);
    // No longer an image the comment can go into.
    QFile file(imagePath(1));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write("not a picture");
    file.close();
    EXPECT_TRUE(withDialog([&] { window.editComment(); }, [&](QDialog *dialog) {
        dialog->findChild<QPlainTextEdit *>(QStringLiteral("commentEdit"))->setPlainText(QStringLiteral("lost?"));
        QTest::mouseClick(dialog->findChild<QPushButton *>(QStringLiteral("okButton")), Qt::LeftButton);
    }));
    ASSERT_EQ(m_prompts.shown.size(), 1u);
    EXPECT_EQ(m_prompts.shown[0].icon, Prompts::Icon::Error);
    EXPECT_EQ(m_prompts.shown[0].caption, QStringLiteral("Quillomat"));
    EXPECT_EQ(m_prompts.shown[0].text, QStringLiteral("Error writing comment"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("not a picture"));
}

TEST_F(ImageCommandsTest, TheEditCommentMouseActionOpensTheEditorOverThePicture)
{
    storeSetting("RightButtonAction", QStringLiteral("Edit Comment"));
    openAndShoot(1);
    bool opened = false;
    EXPECT_TRUE(withDialog([this] { rightClickPicture(); },
                           [&](QDialog *dialog) { opened = dialog->windowTitle() == QStringLiteral("Edit Comments"); }));
    EXPECT_TRUE(opened);
    closeContextMenu();
    // Over a drop-down list the same click opens nothing.
    EXPECT_FALSE(withDialog(
        [this] {
            QTest::mouseClick(find("isoList"), Qt::RightButton);
            QTest::qWait(50);
        },
        [](QDialog *) {}));
}

// ---------------------------------------------------------------------------
// The image area's menu and the menu bar's graying

TEST_F(ImageCommandsTest, TheContextMenuHasAllItemsWithACurrentImage)
{
    openAndShoot(1);
    rightClickPicture();
    bool gridChecked = true;
    EXPECT_EQ(contextMenuItems(&gridChecked),
              (QStringList{QStringLiteral("&Rename File...\tCtrl+R"), QStringLiteral("&View Image...\tF7"),
                           QStringLiteral("-"), QStringLiteral("&Edit Comment...\tCtrl+E"),
                           QStringLiteral("E&dit Image\tF3"), QStringLiteral("-"),
                           QStringLiteral("Display &Grid\tCtrl+G"), QStringLiteral("Grid &Settings..."),
                           QStringLiteral("-"), QStringLiteral("&Properties..."), QStringLiteral("&Delete\tDel")}));
    EXPECT_FALSE(gridChecked);
    closeContextMenu();

    // An item runs its twin's command: the grid goes on, and is checked next time.
    rightClickPicture();
    QMenu *menu = m_window->findChild<QMenu *>(QStringLiteral("imageContextMenu"));
    ASSERT_NE(menu, nullptr);
    menu->findChild<QAction *>(QStringLiteral("contextDisplayGridAction"));
    for (QAction *item : menu->actions())
        if (item->objectName() == QStringLiteral("contextDisplayGridAction"))
            item->trigger();
    closeContextMenu();
    EXPECT_EQ(m_window->settings().displayGrid, 1u);
    rightClickPicture();
    contextMenuItems(&gridChecked);
    EXPECT_TRUE(gridChecked);
    closeContextMenu();
}

TEST_F(ImageCommandsTest, TheContextMenuLeavesOutTheFileItemsWithoutACurrentImage)
{
    detachCamera();
    open();
    rightClickPicture();
    EXPECT_EQ(contextMenuItems(),
              (QStringList{QStringLiteral("&View Image...\tF7"), QStringLiteral("-"),
                           QStringLiteral("Display &Grid\tCtrl+G"), QStringLiteral("Grid &Settings..."),
                           QStringLiteral("-"), QStringLiteral("&Properties..."), QStringLiteral("&Delete\tDel")}));
    closeContextMenu();
    // A release elsewhere opens nothing.
    QTest::mouseClick(find("statusLine"), Qt::RightButton);
    EXPECT_EQ(m_window->findChild<QMenu *>(QStringLiteral("imageContextMenu")), nullptr);
}

TEST_F(ImageCommandsTest, TheContextMenusRenameOpensTheRenameDialog)
{
    openAndShoot(1);
    rightClickPicture();
    QMenu *menu = m_window->findChild<QMenu *>(QStringLiteral("imageContextMenu"));
    ASSERT_NE(menu, nullptr);
    QAction *rename = nullptr;
    for (QAction *item : menu->actions())
        if (item->objectName() == QStringLiteral("contextRenameAction"))
            rename = item;
    ASSERT_NE(rename, nullptr);
    QString title;
    EXPECT_TRUE(withDialog([&] { rename->trigger(); }, [&](QDialog *dialog) { title = dialog->windowTitle(); }));
    EXPECT_EQ(title, QStringLiteral("Rename Image"));
    closeContextMenu();
}

TEST_F(ImageCommandsTest, MenusAreGrayedEachTimeTheyOpen)
{
    detachCamera();
    CDezedoRavovadDlg &window = open();
    QMenu *fileMenu = find<QMenu>("fileMenu");
    QMenu *imageMenu = find<QMenu>("imageMenu");

    fileMenu->popup(window.mapToGlobal(QPoint(10, 10)));
    EXPECT_FALSE(action("renameImageAction")->isEnabled());
    EXPECT_TRUE(action("setupImageEditorAction")->isEnabled());
    fileMenu->hide();
    // Closed, the command's key works again (and finds nothing to do).
    EXPECT_TRUE(action("renameImageAction")->isEnabled());

    imageMenu->popup(window.mapToGlobal(QPoint(10, 10)));
    for (const char *name : {"editCommentAction", "editImageAction", "viewImageAction", "rotateAction",
                             "propertiesAction"})
        EXPECT_FALSE(action(name)->isEnabled()) << name;
    imageMenu->hide();
    EXPECT_TRUE(action("viewImageAction")->isEnabled());
    EXPECT_TRUE(action("editImageAction")->isEnabled());
}

TEST_F(ImageCommandsTest, AShotTakenWhileAMenuIsOpenKeepsWhatItEnabled)
{
    attachCamera("EOS D60", "mode=manual;tv=1/125;quality=small/fine");
    CDezedoRavovadDlg &window = open();
    EXPECT_FALSE(action("propertiesAction")->isEnabled());
    QMenu *imageMenu = find<QMenu>("imageMenu");
    imageMenu->popup(window.mapToGlobal(QPoint(10, 10)));
    EXPECT_FALSE(action("viewImageAction")->isEnabled());
    window.OnReleaseButton();
    ASSERT_TRUE(waitForShots(window, 1));
    imageMenu->hide();
    EXPECT_TRUE(action("propertiesAction")->isEnabled());
    EXPECT_TRUE(action("viewImageAction")->isEnabled());
}

TEST_F(ImageCommandsTest, MenusOfferTheImageCommandsWithACurrentImage)
{
    CDezedoRavovadDlg &window = openAndShoot(1);
    QMenu *fileMenu = find<QMenu>("fileMenu");
    QMenu *imageMenu = find<QMenu>("imageMenu");
    fileMenu->popup(window.mapToGlobal(QPoint(10, 10)));
    EXPECT_TRUE(action("renameImageAction")->isEnabled());
    fileMenu->hide();
    imageMenu->popup(window.mapToGlobal(QPoint(10, 10)));
    for (const char *name : {"editCommentAction", "editImageAction", "viewImageAction", "rotateAction",
                             "propertiesAction"})
        EXPECT_TRUE(action(name)->isEnabled()) << name;
    imageMenu->hide();

    // After a preview shot the picture is held but no saved image is current.
    QTest::keyClick(&window, Qt::Key_F9);
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.currentImage() == -1 && !window.isBusy(); }, 15000));
    imageMenu->popup(window.mapToGlobal(QPoint(10, 10)));
    EXPECT_FALSE(action("editCommentAction")->isEnabled());
    EXPECT_FALSE(action("editImageAction")->isEnabled());
    EXPECT_TRUE(action("viewImageAction")->isEnabled());
    imageMenu->hide();
}

// ---------------------------------------------------------------------------
// The external editor

TEST_F(ImageCommandsTest, EditImageStartsTheCommandLinesProgramWithTheImage)
{
    ArgvRecorder recorder;
    const QString program = recorder.install(QStringLiteral("Photo Editor/Edit.SH"));
    ASSERT_FALSE(program.isEmpty());
    storeSetting("ShellOpenEditor", 0u);
    storeSetting("OpenEditorCmdLine", QStringLiteral("\"") + program + QStringLiteral("\"  -n"));
    CDezedoRavovadDlg &window = openAndShoot(2);
    window.previousImage();
    QTest::keyClick(&window, Qt::Key_F3);
    ASSERT_TRUE(recorder.waitForRecords(1));
    EXPECT_TRUE(m_prompts.shown.empty());
    EXPECT_EQ(recorder.records()[0], (QStringList{program, QStringLiteral("-n"), imagePath(1)}));
}

TEST_F(ImageCommandsTest, AProgramThatCannotStartIsReportedWithWhatWasTried)
{
    storeSetting("ShellOpenEditor", 0u);
    storeSetting("OpenEditorCmdLine", QStringLiteral("\"/nonexistent/Photo Editor/edit\" -n"));
    CDezedoRavovadDlg &window = openAndShoot(1);
    window.editImage();
    ASSERT_EQ(m_prompts.shown.size(), 1u);
    EXPECT_EQ(m_prompts.shown[0].icon, Prompts::Icon::Error);
    EXPECT_EQ(m_prompts.shown[0].caption, QStringLiteral("Quillomat"));
    EXPECT_EQ(m_prompts.shown[0].text, QStringLiteral("Error trying to edit file:\nENOENT: File or path not found\n"
                                                      "cmd: /nonexistent/Photo Editor/edit\n"
                                                      "arg 0: \"/nonexistent/Photo Editor/edit\"\n"
                                                      "arg 1: -n\n"
                                                      "arg 2: ")
                                           + imagePath(1) + QStringLiteral("\n"));

    window.settings().openEditorCmdLine.clear();
    window.editImage();
    ASSERT_EQ(m_prompts.shown.size(), 2u);
    EXPECT_EQ(m_prompts.shown[1].text, QStringLiteral("Error trying to edit file:\nENOENT: File or path not found\n"
                                                      "cmd: \narg 0: \narg 1: ")
                                           + imagePath(1) + QStringLiteral("\n"));

    window.settings().openEditorCmdLine = QStringLiteral("\"a\" x");
    window.editImage();
    window.settings().openEditorCmdLine = QStringLiteral("\"gimp -n");
    window.editImage();
    ASSERT_EQ(m_prompts.shown.size(), 4u);
    EXPECT_EQ(m_prompts.shown[2].text, QStringLiteral("Invalid command line - no closing quotes:\n\"a\" x"));
    EXPECT_EQ(m_prompts.shown[3].text, QStringLiteral("Invalid command line - no closing quotes:\n\"gimp -n"));
}

TEST_F(ImageCommandsTest, AutoEditOpensEachNewImageOnce)
{
    ArgvRecorder recorder;
    const QString program = recorder.install(QStringLiteral("bin/edit"));
    storeSetting("ShellOpenEditor", 0u);
    storeSetting("OpenEditorCmdLine", program);
    storeSetting("AutoEdit", 1u);
    openAndShoot(3);
    ASSERT_TRUE(recorder.waitForRecords(3));
    QTest::qWait(200);
    const std::vector<QStringList> records = recorder.records();
    ASSERT_EQ(records.size(), 3u);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(records[static_cast<size_t>(i)], (QStringList{program, imagePath(i + 1)}));
    // A preview shot saves nothing and opens nothing.
    QTest::keyClick(m_window.get(), Qt::Key_F9);
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_window->currentImage() == -1 && !m_window->isBusy(); }, 15000));
    QTest::qWait(200);
    EXPECT_EQ(recorder.records().size(), 3u);
}

TEST_F(ImageCommandsTest, TheDesktopOpensTheImageInShellMode)
{
    DesktopRecorder desktop;
    storeSetting("ShellOpenEditor", 1u);
    storeSetting("RightButtonAction", QStringLiteral("Edit Image"));
    CDezedoRavovadDlg &window = openAndShoot(1);
    QTest::keyClick(&window, Qt::Key_F3);
    ASSERT_EQ(desktop.opened.size(), 1);
    EXPECT_EQ(desktop.opened[0], QUrl::fromLocalFile(imagePath(1)));
    // The mouse action opens it too.
    rightClickPicture();
    closeContextMenu();
    EXPECT_EQ(desktop.opened.size(), 2);
    EXPECT_TRUE(m_prompts.shown.empty());
}

TEST_F(ImageCommandsTest, EditImageWithoutACurrentImageDoesNothing)
{
    DesktopRecorder desktop;
    detachCamera();
    CDezedoRavovadDlg &window = open();
    window.editImage();
    window.settings().shellOpenEditor = 0;
    window.editImage();
    EXPECT_TRUE(desktop.opened.isEmpty());
    EXPECT_TRUE(m_prompts.shown.empty());
}

TEST_F(ImageCommandsTest, TheSetupDialogChangesTheThreeSettings)
{
    detachCamera();
    CDezedoRavovadDlg &window = open();
    EXPECT_TRUE(withDialog([this] { action("setupImageEditorAction")->trigger(); }, [&](QDialog *dialog) {
        EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Image Editor Setup"));
        QTest::mouseClick(dialog->findChild<QWidget *>(QStringLiteral("useCommandLineRadio")), Qt::LeftButton);
        dialog->findChild<QLineEdit *>(QStringLiteral("commandLineEdit"))->setText(QStringLiteral("gimp -n"));
        QTest::mouseClick(dialog->findChild<QWidget *>(QStringLiteral("autoEditCheck")), Qt::LeftButton);
        QTest::mouseClick(dialog->findChild<QPushButton *>(QStringLiteral("okButton")), Qt::LeftButton);
    }));
    EXPECT_EQ(window.settings().shellOpenEditor, 0u);
    EXPECT_EQ(window.settings().openEditorCmdLine, QStringLiteral("gimp -n"));
    EXPECT_EQ(window.settings().autoEdit, 1u);

    // Cancel keeps them.
    EXPECT_TRUE(withDialog([this] { action("setupImageEditorAction")->trigger(); }, [&](QDialog *dialog) {
        QTest::mouseClick(dialog->findChild<QWidget *>(QStringLiteral("useShellRadio")), Qt::LeftButton);
    }));
    EXPECT_EQ(window.settings().shellOpenEditor, 0u);

    window.close();
    m_window.reset();
    EXPECT_EQ(storedSetting("ShellOpenEditor").toUInt(), 0u);
    EXPECT_EQ(storedSetting("OpenEditorCmdLine").toString(), QStringLiteral("gimp -n"));
    EXPECT_EQ(storedSetting("AutoEdit").toUInt(), 1u);
}

#include "ImageCommandsTest.moc"
