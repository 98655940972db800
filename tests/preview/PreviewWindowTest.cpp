#include "JpegFixtures.h"
#include "PreviewWindow.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>
#include <QSignalSpy>
#include <QWheelEvent>

#include <memory>

using jpegfixtures::Bytes;

namespace {

class PreviewWindowTest : public ::testing::Test
{
protected:
    PreviewWindowTest()
    {
        m_owner = std::make_unique<QWidget>();
        m_owner->resize(300, 200);
        m_window = new PreviewWindow(m_owner.get());
        m_window->resize(600, 400);
    }

    QScrollBar *h() const { return m_window->horizontalScrollBar(); }
    QScrollBar *v() const { return m_window->verticalScrollBar(); }
    QSize client() const { return m_window->viewport()->size(); }

    void view(const Bytes &jpeg, int rotation = 0)
    {
        QString error;
        ASSERT_TRUE(m_window->viewImage(jpeg.data(), jpeg.size(), rotation, error)) << error.toStdString();
    }

    void show(const Bytes &jpeg, int rotation = 0)
    {
        QString error;
        ASSERT_TRUE(m_window->showImage(jpeg.data(), jpeg.size(), rotation, error)) << error.toStdString();
    }

    void sendMouse(QEvent::Type type, QPoint point, Qt::MouseButton button, Qt::MouseButtons buttons)
    {
        QMouseEvent event(type, QPointF(point), m_window->viewport()->mapToGlobal(QPointF(point)), button, buttons,
                          Qt::NoModifier);
        QApplication::sendEvent(m_window->viewport(), &event);
    }

    std::unique_ptr<QWidget> m_owner;
    PreviewWindow *m_window = nullptr; // owned by m_owner
};

const Bytes &largeJpeg()
{
    static const Bytes jpeg = jpegfixtures::photoJpeg(1600, 1200, 21);
    return jpeg;
}

} // namespace

TEST_F(PreviewWindowTest, StartsHiddenAndIgnoresImagesUntilViewed)
{
    EXPECT_FALSE(m_window->isVisible());
    EXPECT_FALSE(m_window->isPreviewVisible());
    EXPECT_TRUE(m_window->isWindow());
    show(largeJpeg());
    EXPECT_EQ(m_window->displayedSize(), QSize(0, 0));
    EXPECT_EQ(m_window->windowTitle(), QStringLiteral("Image Preview"));
}

TEST_F(PreviewWindowTest, ViewImageShowsTheRotatedFullSizeWithItsCaption)
{
    const Bytes jpeg = jpegfixtures::photoJpeg(2160, 1440, 22);
    view(jpeg, 90);
    EXPECT_TRUE(m_window->isVisible());
    EXPECT_TRUE(m_window->isPreviewVisible());
    EXPECT_EQ(m_window->displayedSize(), QSize(1440, 2160));
    EXPECT_EQ(m_window->windowTitle(), QStringLiteral("Image Preview (1440x2160)"));
}

TEST_F(PreviewWindowTest, FirstImageIsCentredThenTheViewCentreIsKept)
{
    view(largeJpeg());
    const QSize c = client();
    EXPECT_EQ(h()->value(), (1600 - c.width()) / 2);
    EXPECT_EQ(v()->value(), (1200 - c.height()) / 2);
    EXPECT_EQ(h()->maximum(), 1600 - c.width());

    // A new size keeps the same point in the middle of the view.
    const int oldH = h()->value();
    const int oldV = v()->value();
    show(jpegfixtures::photoJpeg(2000, 1000, 23));
    EXPECT_EQ(h()->value(), (c.width() / 2 + oldH) * 2000 / 1600 - c.width() / 2);
    EXPECT_EQ(v()->value(), (c.height() / 2 + oldV) * 1000 / 1200 - c.height() / 2);

    // The same size keeps the position.
    h()->setValue(17);
    v()->setValue(5);
    show(jpegfixtures::photoJpeg(2000, 1000, 24));
    EXPECT_EQ(h()->value(), 17);
    EXPECT_EQ(v()->value(), 5);
}

// Sizes the window, which shows an image with both scroll bars, so that its
// client area is `width` wide; it is hidden and must be viewed again.
void fitClientWidth(PreviewWindow *window, int width)
{
    const int frame = window->width() - window->viewport()->width();
    window->hide();
    window->resize(width + frame, window->height());
}

TEST_F(PreviewWindowTest, SmallerImageKeepsTheRightEdgeItWasScrolledTo)
{
    const Bytes large = jpegfixtures::photoJpeg(3000, 2000, 31);
    view(large);
    fitClientWidth(m_window, 600);
    view(large);
    ASSERT_EQ(client().width(), 600);
    h()->setValue(h()->maximum());
    v()->setValue(v()->maximum());
    ASSERT_EQ(h()->value(), 2400);

    show(jpegfixtures::photoJpeg(1000, 900, 32));
    ASSERT_EQ(client().width(), 600);
    EXPECT_EQ(h()->value(), 400);
    // The bottom edge likewise: the centre lies beyond it, so the view stops there.
    EXPECT_EQ(v()->value(), v()->maximum());
    EXPECT_GT(v()->value(), 0);
}

TEST_F(PreviewWindowTest, RotationKeepsTheEdgeItWasScrolledTo)
{
    const Bytes jpeg = jpegfixtures::photoJpeg(3072, 2048, 33);
    view(jpeg);
    fitClientWidth(m_window, 600);
    view(jpeg);
    ASSERT_EQ(client().width(), 600);
    h()->setValue(h()->maximum());
    ASSERT_EQ(h()->value(), 2472);

    show(jpeg, 90);
    ASSERT_EQ(m_window->displayedSize(), QSize(2048, 3072));
    ASSERT_EQ(client().width(), 600);
    EXPECT_EQ(h()->value(), 1448);
}

TEST_F(PreviewWindowTest, LargerImageKeepsTheCentreOfTheView)
{
    const Bytes small = jpegfixtures::photoJpeg(1000, 900, 34);
    view(small);
    fitClientWidth(m_window, 600);
    view(small);
    ASSERT_EQ(client().width(), 600);
    h()->setValue(200);  // the centre of the view is at 500 of 1000
    const int c = client().height();
    v()->setValue(100);

    show(jpegfixtures::photoJpeg(2000, 1800, 35));
    EXPECT_EQ(h()->value(), 700);  // 1000 of 2000 in the middle of the view
    EXPECT_EQ(v()->value(), (c / 2 + 100) * 2 - client().height() / 2);
}

TEST_F(PreviewWindowTest, PositionAtZeroStaysAtZeroForANewSize)
{
    view(largeJpeg());
    h()->setValue(0);
    show(jpegfixtures::photoJpeg(2000, 1000, 25));
    EXPECT_EQ(h()->value(), 0);
}

TEST_F(PreviewWindowTest, SmallImageIsCentredWithoutScrolling)
{
    const Bytes thumbnail = jpegfixtures::encodeRgb(jpegfixtures::solidPixels(160, 120, 255, 0, 0), 160, 120);
    view(thumbnail);
    EXPECT_EQ(h()->maximum(), 0);
    EXPECT_EQ(v()->maximum(), 0);
    const QImage shot = m_window->viewport()->grab().toImage();
    const QSize c = client();
    const QPoint topLeft((c.width() - 160) / 2, (c.height() - 120) / 2);
    const QColor inside = shot.pixelColor(topLeft + QPoint(80, 60));
    EXPECT_GT(inside.red(), 240);
    EXPECT_LT(inside.green(), 20);
    EXPECT_EQ(shot.pixelColor(topLeft), inside);
    EXPECT_NE(shot.pixelColor(topLeft - QPoint(1, 1)), inside);
    EXPECT_NE(shot.pixelColor(topLeft + QPoint(160, 120)), inside);
}

TEST_F(PreviewWindowTest, LinePageAndWheelStepsAreClamped)
{
    view(largeJpeg());
    const QSize c = client();
    h()->setValue(100);
    h()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(h()->value(), 110);
    h()->triggerAction(QAbstractSlider::SliderSingleStepSub);
    EXPECT_EQ(h()->value(), 100);
    h()->triggerAction(QAbstractSlider::SliderPageStepAdd);
    EXPECT_EQ(h()->value(), 100 + c.width() * 4 / 5);
    h()->triggerAction(QAbstractSlider::SliderPageStepSub);
    h()->triggerAction(QAbstractSlider::SliderPageStepSub);
    EXPECT_EQ(h()->value(), 0);
    v()->setValue(v()->maximum() - 5);
    v()->triggerAction(QAbstractSlider::SliderPageStepAdd);
    EXPECT_EQ(v()->value(), 1200 - c.height());

    v()->setValue(200);
    const QPointF at(50, 50);
    QWheelEvent down(at, m_window->mapToGlobal(at), QPoint(), QPoint(0, -240), Qt::NoButton, Qt::NoModifier,
                     Qt::NoScrollPhase, false);
    QApplication::sendEvent(m_window->viewport(), &down);
    EXPECT_EQ(v()->value(), 320);
    QWheelEvent partial(at, m_window->mapToGlobal(at), QPoint(), QPoint(0, 60), Qt::NoButton, Qt::NoModifier,
                        Qt::NoScrollPhase, false);
    QApplication::sendEvent(m_window->viewport(), &partial);
    EXPECT_EQ(v()->value(), 320);
    QWheelEvent up(at, m_window->mapToGlobal(at), QPoint(), QPoint(0, 120 * 100), Qt::NoButton, Qt::NoModifier,
                   Qt::NoScrollPhase, false);
    QApplication::sendEvent(m_window->viewport(), &up);
    EXPECT_EQ(v()->value(), 0);
}

TEST_F(PreviewWindowTest, DraggingMovesTheImageWithThePointer)
{
    view(largeJpeg());
    h()->setValue(200);
    v()->setValue(100);
    sendMouse(QEvent::MouseButtonPress, QPoint(100, 100), Qt::LeftButton, Qt::LeftButton);
    EXPECT_TRUE(m_window->isDragging());
    EXPECT_EQ(m_window->viewport()->cursor().shape(), Qt::SizeAllCursor);
    sendMouse(QEvent::MouseMove, QPoint(60, 130), Qt::NoButton, Qt::LeftButton);
    EXPECT_EQ(h()->value(), 240);
    EXPECT_EQ(v()->value(), 70);
    // Past the edge: clamped, and the other direction still moves.
    sendMouse(QEvent::MouseMove, QPoint(80, 5000), Qt::NoButton, Qt::LeftButton);
    EXPECT_EQ(h()->value(), 220);
    EXPECT_EQ(v()->value(), 0);
    sendMouse(QEvent::MouseButtonRelease, QPoint(80, 5000), Qt::LeftButton, Qt::NoButton);
    EXPECT_FALSE(m_window->isDragging());
    EXPECT_EQ(m_window->viewport()->cursor().shape(), Qt::ArrowCursor);
    sendMouse(QEvent::MouseMove, QPoint(0, 0), Qt::NoButton, Qt::NoButton);
    EXPECT_EQ(h()->value(), 220);
}

TEST_F(PreviewWindowTest, KeyPressesGoToTheShortcutOwnerButNotRepeats)
{
    QSignalSpy forwarded(m_window, &PreviewWindow::keyForwarded);
    QKeyEvent f8(QEvent::KeyPress, Qt::Key_F8, Qt::NoModifier);
    QApplication::sendEvent(m_window, &f8);
    QKeyEvent ctrlG(QEvent::KeyPress, Qt::Key_G, Qt::ControlModifier);
    QApplication::sendEvent(m_window, &ctrlG);
    QKeyEvent repeat(QEvent::KeyPress, Qt::Key_F8, Qt::NoModifier, QString(), true);
    QApplication::sendEvent(m_window, &repeat);
    ASSERT_EQ(forwarded.count(), 2);
    EXPECT_EQ(forwarded.at(0).at(0).value<QKeyCombination>(), QKeyCombination(Qt::Key_F8));
    EXPECT_EQ(forwarded.at(1).at(0).value<QKeyCombination>(), QKeyCombination(Qt::ControlModifier, Qt::Key_G));
}

TEST_F(PreviewWindowTest, ClosingHidesAndStopsFollowingImages)
{
    view(largeJpeg());
    QSignalSpy closed(m_window, &PreviewWindow::closed);
    m_window->close();
    EXPECT_EQ(closed.count(), 1);
    EXPECT_FALSE(m_window->isVisible());
    EXPECT_FALSE(m_window->isPreviewVisible());
    show(jpegfixtures::photoJpeg(300, 200, 26));
    EXPECT_EQ(m_window->displayedSize(), QSize(1600, 1200));

    // Escape closes too.
    view(largeJpeg());
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(m_window, &escape);
    EXPECT_FALSE(m_window->isPreviewVisible());
    EXPECT_EQ(closed.count(), 2);
}

TEST_F(PreviewWindowTest, StaysOnTopOnlyWhileTheProgramIsActive)
{
    view(largeJpeg());
    m_window->setProgramActive(true);
    EXPECT_TRUE(m_window->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_TRUE(m_window->isVisible());
    m_window->setProgramActive(false);
    EXPECT_FALSE(m_window->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_TRUE(m_window->isVisible());
    m_window->setProgramActive(true);
    EXPECT_TRUE(m_window->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
}

TEST_F(PreviewWindowTest, BadJpegKeepsThePictureAndReportsTheError)
{
    view(largeJpeg());
    const Bytes truncated(largeJpeg().begin(), largeJpeg().begin() + 2000);
    QString error;
    EXPECT_FALSE(m_window->showImage(truncated.data(), truncated.size(), 0, error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(m_window->displayedSize(), QSize(1600, 1200));
    EXPECT_EQ(m_window->windowTitle(), QStringLiteral("Image Preview (1600x1200)"));
}

TEST_F(PreviewWindowTest, NoBytesClearsThePicture)
{
    view(largeJpeg());
    show(Bytes{});
    EXPECT_EQ(m_window->displayedSize(), QSize(0, 0));
    const QImage shot = m_window->viewport()->grab().toImage();
    const QColor background = m_window->palette().window().color();
    EXPECT_EQ(shot.pixelColor(shot.width() / 2, shot.height() / 2), background);
}

// Widgets need one application object for the whole run, made before any
// test and destroyed before the process exits.
// Headless even where the test list is read without the test environment.
int main(int argc, char **argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
