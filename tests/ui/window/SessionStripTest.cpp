// The "Session" window beside the real main window, with the simulated
// camera's shots: opening and remembering it, following shots, deletes and
// renames, and a click that shows an image as "<" and ">" do.
#include "WindowTestSupport.h"

#include "SessionStrip.h"
#include "ThumbnailCache.h"

#include <QCheckBox>
#include <QDialog>
#include <QDir>
#include <QListView>
#include <QPushButton>
#include <QTimer>

class SessionStripTest : public WindowTest {
protected:
    QString imagePath(int number) const
    {
        return m_images + QStringLiteral("/IMG_%1.JPG").arg(number, 4, 10, QLatin1Char('0'));
    }

    CDezedoRavovadDlg &openAndShoot(int count)
    {
        attachCamera("EOS D60", "mode=manual;tv=1/125;quality=small/fine");
        CDezedoRavovadDlg &window = open();
        EXPECT_TRUE(window.isConnected());
        for (int i = 1; i <= count; ++i)
            shoot(i);
        return window;
    }

    void shoot(int total)
    {
        QTest::keyClick(m_window.get(), Qt::Key_F8);
        EXPECT_TRUE(waitForShots(*m_window, static_cast<size_t>(total)));
    }

    SessionStrip *strip() { return m_window->findChild<SessionStrip *>(QStringLiteral("sessionStrip")); }

    // The names the strip shows, in order, with "*" after the marked one.
    QStringList shown()
    {
        QListView *view = strip()->view();
        QStringList names;
        for (int row = 0; row < view->model()->rowCount(); ++row) {
            const QModelIndex index = view->model()->index(row, 0);
            names << index.data().toString() + (index.data(ImageList::CurrentRole).toBool() ? QStringLiteral("*") : QString());
        }
        return names;
    }

    void clickRow(int row)
    {
        QListView *view = strip()->view();
        const QRect cell = view->visualRect(view->model()->index(row, 0));
        QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
    }
};

TEST_F(SessionStripTest, OpensFromTheImageMenuBesideTheWindowAndShowsTheShots)
{
    CDezedoRavovadDlg &window = openAndShoot(3);
    EXPECT_EQ(strip(), nullptr);
    QAction *toggle = action("sessionStripAction");
    EXPECT_EQ(toggle->text(), QStringLiteral("Session Strip"));
    EXPECT_EQ(toggle->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_T));
    QTest::keyClick(&window, Qt::Key_T, Qt::ControlModifier);
    ASSERT_NE(strip(), nullptr);
    EXPECT_TRUE(strip()->isVisible());
    EXPECT_TRUE(strip()->isWindow());
    EXPECT_EQ(strip()->windowTitle(), QStringLiteral("Session"));
    EXPECT_TRUE(toggle->isChecked());
    EXPECT_EQ(shown(), (QStringList{QStringLiteral("IMG_0001.JPG"), QStringLiteral("IMG_0002.JPG"),
                                    QStringLiteral("IMG_0003.JPG*")}));
    // The thumbnails are read and kept.
    EXPECT_TRUE(QTest::qWaitFor([&] { return strip()->thumbnails().keptCount() == 3; }, 10000));
    EXPECT_GT(strip()->thumbnails().keptBytes(), 0);

    // Its own key closes it again, also from the strip itself.
    strip()->activateWindow();
    QTest::keyClick(strip()->view(), Qt::Key_T, Qt::ControlModifier);
    EXPECT_FALSE(strip()->isVisible());
    EXPECT_FALSE(toggle->isChecked());
}

TEST_F(SessionStripTest, AClickShowsThatImageAsTheArrowsDo)
{
    CDezedoRavovadDlg &window = openAndShoot(3);
    action("sessionStripAction")->trigger();
    ASSERT_NE(strip(), nullptr);
    clickRow(0);
    EXPECT_EQ(window.currentImage(), 0);
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Quillomat - %1 - [1 of 3]").arg(imagePath(1)));
    EXPECT_EQ(shown().first(), QStringLiteral("IMG_0001.JPG*"));
    // ">" goes on from the clicked one and the strip marks where it went;
    // the arrow key works in the strip too.
    QTest::keyClick(strip()->view(), Qt::Key_Right);
    EXPECT_EQ(window.currentImage(), 1);
    EXPECT_EQ(shown().at(1), QStringLiteral("IMG_0002.JPG*"));
}

TEST_F(SessionStripTest, FollowsNewShotsDeletesAndRenames)
{
    CDezedoRavovadDlg &window = openAndShoot(2);
    action("sessionStripAction")->trigger();
    ASSERT_NE(strip(), nullptr);

    shoot(3);
    EXPECT_EQ(shown(), (QStringList{QStringLiteral("IMG_0001.JPG"), QStringLiteral("IMG_0002.JPG"),
                                    QStringLiteral("IMG_0003.JPG*")}));

    // The last one deleted: the first shows next.
    m_prompts.yesNoAnswers = {true};
    action("deleteImageAction")->trigger();
    EXPECT_FALSE(QFileInfo::exists(imagePath(3)));
    EXPECT_EQ(shown(), (QStringList{QStringLiteral("IMG_0001.JPG*"), QStringLiteral("IMG_0002.JPG")}));

    QTimer::singleShot(0, &window, [] {
        auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        dialog->findChild<QLineEdit *>(QStringLiteral("newNameEdit"))->setText(QStringLiteral("Harbour.JPG"));
        QTest::mouseClick(dialog->findChild<QPushButton *>(QStringLiteral("okButton")), Qt::LeftButton);
    });
    action("renameImageAction")->trigger();
    EXPECT_EQ(shown(), (QStringList{QStringLiteral("Harbour.JPG*"), QStringLiteral("IMG_0002.JPG")}));
    // The renamed file's thumbnail is read under its new name.
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return !strip()->thumbnails().thumbnail(m_images + QStringLiteral("/Harbour.JPG"), 0).isNull(); },
        10000));
}

TEST_F(SessionStripTest, IsRememberedAcrossRunsAndSwitchedOffInPreferences)
{
    attachCamera("EOS D60");
    CDezedoRavovadDlg *window = &open();
    action("sessionStripAction")->trigger();
    window->close();
    EXPECT_EQ(storedSetting("SessionStrip").toUInt(), 1u);
    m_window.reset();

    window = &open();
    ASSERT_NE(strip(), nullptr);
    EXPECT_TRUE(strip()->isVisible());
    EXPECT_TRUE(action("sessionStripAction")->isChecked());

    QTimer::singleShot(0, window, [] {
        auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        auto *check = dialog->findChild<QCheckBox *>(QStringLiteral("sessionStripCheck"));
        ASSERT_NE(check, nullptr);
        EXPECT_TRUE(check->isChecked());
        check->setChecked(false);
        QTest::mouseClick(dialog->findChild<QPushButton *>(QStringLiteral("okButton")), Qt::LeftButton);
    });
    action("preferencesAction")->trigger();
    EXPECT_FALSE(strip()->isVisible());
    EXPECT_FALSE(action("sessionStripAction")->isChecked());
    window->close();
    EXPECT_EQ(storedSetting("SessionStrip").toUInt(), 0u);
}

TEST_F(SessionStripTest, ClosingTheStripWindowSwitchesItOff)
{
    attachCamera("EOS D60");
    open();
    action("sessionStripAction")->trigger();
    ASSERT_NE(strip(), nullptr);
    strip()->close();
    EXPECT_FALSE(action("sessionStripAction")->isChecked());
    EXPECT_EQ(m_window->settings().sessionStrip, 0u);
}
