// The real window with the USB camera runtime, as a photographer with a D60
// on the cable sees it: Debian's libgphoto2 and canon driver, the served
// simulated camera behind our port library.
#include "../simcam/usb/ServedCameraFixture.h"
#include "CDezedoRavovadDlg.h"
#include "RecordingPrompts.h"

#include <QComboBox>
#include <QProcess>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <cstdlib>
#include <fstream>

namespace {

QStringList entries(const QComboBox *list)
{
    QStringList texts;
    for (int i = 0; i < list->count(); ++i)
        texts << list->itemText(i);
    return texts;
}

class UsbWindow : public ServedCameraTest {
protected:
    void SetUp() override
    {
        ServedCameraTest::SetUp();
        useUsbRuntimeInProcess();
        pinGphotoPlugins();
        m_settingsFile = QString::fromStdString((m_dir / "settings.conf").string());
        m_images = QString::fromStdString((m_dir / "images").string());
        QSettings settings(m_settingsFile, QSettings::NativeFormat);
        settings.beginGroup(QStringLiteral("100"));
        settings.setValue(QStringLiteral("BaseDirectory"), m_images);
        settings.setValue(QStringLiteral("YearSubDir"), 0u);
        settings.setValue(QStringLiteral("MonthSubDir"), 0u);
        settings.setValue(QStringLiteral("DaySubDir"), 0u);
    }

    void TearDown() override
    {
        m_window.reset();
        ServedCameraTest::TearDown();
    }

    CDezedoRavovadDlg &open(const std::string &ipcBlock = {})
    {
        WindowServices services;
        if (!ipcBlock.empty())
            services.ipcBlockName = ipcBlock;
        services.prompts = &m_prompts;
        services.settingsFile = m_settingsFile;
        services.connectPause = std::chrono::milliseconds(0);
        m_window = std::make_unique<CDezedoRavovadDlg>(services);
        m_window->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(m_window.get()));
        // On a real display keys go to the active window only.
        m_window->activateWindow();
        (void)QTest::qWaitForWindowActive(m_window.get());
        return *m_window;
    }

    template <typename T = QWidget>
    T *find(const char *name)
    {
        T *widget = m_window->findChild<T *>(QString::fromLatin1(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }

    QString status() { return find<QLineEdit>("statusLine")->text(); }
    std::vector<std::string> saved() const
    {
        std::vector<std::string> names;
        const fs::path folder = m_images.toStdString();
        if (fs::exists(folder))
            for (const auto &entry : fs::directory_iterator(folder))
                if (entry.path().filename().string()[0] != '.')   // not a file still being written
                    names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    QString m_settingsFile;
    QString m_images;
    RecordingPrompts m_prompts;
    std::unique_ptr<CDezedoRavovadDlg> m_window;
};

TEST_F(UsbWindow, ConnectsShowsWhatTheRuntimeCannotReachAndShoots)
{
    serve("model=EOS D60;timing=none;mode=manual;tv=1/125;av=8;iso=200;quality=large/fine");
    CDezedoRavovadDlg &window = open();
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.isConnected(); }, 20000)) << status().toStdString();

    for (const char *name : {"whiteBalanceList", "meteringModeList", "driveModeList", "afPointList",
                             "flashCompensationList", "parameterSetList"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(entries(find<QComboBox>(name)), QStringList{QStringLiteral("N/A")});
        EXPECT_FALSE(find<QComboBox>(name)->isEnabled());
    }
    QComboBox *tv = find<QComboBox>("tvList");
    EXPECT_TRUE(tv->isEnabled());
    EXPECT_EQ(tv->currentText(), QStringLiteral("1/125"));
    // The camera's 0 EV has no code in the driver's table: shown as unknown, not as a value.
    EXPECT_EQ(find<QComboBox>("exposureCompensationList")->currentIndex(), -1);

    const int faster = tv->findText(QStringLiteral("1/250"));
    ASSERT_GE(faster, 0);
    tv->setCurrentIndex(faster);
    emit tv->activated(faster);
    EXPECT_EQ(tv->currentText(), QStringLiteral("1/250"));

    QComboBox *store = find<QComboBox>("storeImagesOnList");
    store->setCurrentIndex(1);
    emit store->activated(1);   // "PC + CF"

    QTest::keyClick(&window, Qt::Key_F8);
    ASSERT_TRUE(QTest::qWaitFor([&] { return status().startsWith(QStringLiteral("Saved: ")); }, 30000))
        << status().toStdString();
    EXPECT_EQ(saved(), std::vector<std::string>{"IMG_0001.JPG"});
    const CommandRun exposure = run("exiftool -s3 -ExposureTime '" + m_images.toStdString() + "/IMG_0001.JPG'");
    EXPECT_EQ(exposure.output, "1/250\n");

    // The camera's own shutter button: the shot comes to the PC too, once.
    ASSERT_EQ(simcam("shutter").status, 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return saved().size() == 2; }, 30000)) << status().toStdString();
    EXPECT_EQ(saved(), (std::vector<std::string>{"IMG_0001.JPG", "IMG_0002.JPG"}));

    // The cable pulled: the window says so and stays usable.
    ASSERT_EQ(simcam("unplug").status, 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window.isConnected(); }, 20000));
    EXPECT_TRUE(QTest::qWaitFor([&] {
        for (const QString &text : m_prompts.messageTexts())
            if (text.contains(QStringLiteral("USB connection to camera lost")))
                return true;
        return false;
    }, 5000));
}

TEST_F(UsbWindow, NoCameraAndAnotherBodyAreSaidInTheWindowsOwnWords)
{
    // Nothing on the cable.
    CDezedoRavovadDlg &window = open();
    EXPECT_TRUE(QTest::qWaitFor([&] { return status() == QStringLiteral("Error connecting to camera"); }, 20000))
        << status().toStdString();
    EXPECT_FALSE(window.isConnected());
    m_window.reset();

    serve("model=EOS 10D;timing=none");
    CDezedoRavovadDlg &again = open();
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return status() == QStringLiteral("Error connecting to camera, incorrect camera type: EOS 10D"); }, 20000))
        << status().toStdString();
    EXPECT_FALSE(again.isConnected());
    const auto texts = m_prompts.messageTexts();
    EXPECT_TRUE(std::any_of(texts.begin(), texts.end(), [](const QString &text) {
        return text.endsWith(QStringLiteral("It does not work with the EOS 10D"));
    }));
}

// The desktop's camera mount holding the camera: another program (gphoto2
// itself) has claimed it, and a stand-in for gio lets it go on "mount -u".
class DesktopMount : public UsbWindow {
protected:
    void SetUp() override
    {
        UsbWindow::SetUp();
        const fs::path bin = m_dir / "bin";
        fs::create_directories(bin);
        std::ofstream gio(bin / "gio");
        gio << "#!/bin/sh\n"
               "echo \"$*\" >> '" << (m_dir / "gio.log").string() << "'\n"
               "case \"$1 $2\" in\n"
               "'mount -l') echo 'Mount(0): Canon EOS D60 -> gphoto2://[usb:001,002]/' ;;\n"
               "'mount -u') holder=$(cat '" << (m_dir / "holder.pid").string() << "')\n"
               "  kill \"$holder\"\n"
               "  while [ -e /proc/$holder ] && ! grep -q '^State:.*Z' /proc/$holder/status; do sleep 0.05; done ;;\n"
               "esac\n";
        gio.close();
        fs::permissions(bin / "gio", fs::perms::owner_all);
        setenv("PATH", (bin.string() + ":" + std::getenv("PATH")).c_str(), 1);
    }

    // gphoto2 waiting for events holds the camera's claim, as gvfs would.
    void holdCamera()
    {
        const fs::path out = m_dir / "holder.out";
        const std::string line = "cd " + m_dir.string() + " || exit 1; " + environment() +
                                 "stdbuf -oL gphoto2 --wait-event=120s >" + out.string() + " 2>&1 & echo $! > holder.pid";
        ASSERT_EQ(std::system(line.c_str()), 0);
        ASSERT_TRUE(QTest::qWaitFor([&] {
            std::ifstream text(out);
            const std::string seen((std::istreambuf_iterator<char>(text)), std::istreambuf_iterator<char>());
            return seen.find("events from camera") != std::string::npos;
        }, 20000)) << "gphoto2 did not take the camera";
    }

    std::string gioCalls() const
    {
        std::ifstream log(m_dir / "gio.log");
        return std::string((std::istreambuf_iterator<char>(log)), std::istreambuf_iterator<char>());
    }

    void TearDown() override
    {
        std::ifstream pid(m_dir / "holder.pid");
        if (int holder = 0; pid >> holder)
            kill(holder, SIGTERM);
        UsbWindow::TearDown();
    }
};

TEST_F(DesktopMount, YesReleasesTheCameraAndConnects)
{
    serve("model=EOS D60;timing=none");
    holdCamera();
    m_prompts.yesNoAnswers = {true};
    CDezedoRavovadDlg &window = open();
    EXPECT_TRUE(QTest::qWaitFor([&] { return window.isConnected(); }, 20000)) << status().toStdString();
    ASSERT_FALSE(m_prompts.shown.empty());
    EXPECT_EQ(m_prompts.shown.front().text,
              QStringLiteral("The camera is in use by the desktop's camera mount.\n"
                             "Release it so that Quillomat can connect?"));
    EXPECT_EQ(gioCalls(), "mount -l\nmount -u gphoto2://[usb:001,002]/\n");
}

TEST_F(DesktopMount, NoLeavesTheCameraToTheDesktop)
{
    serve("model=EOS D60;timing=none");
    holdCamera();
    m_prompts.yesNoAnswers = {false};
    CDezedoRavovadDlg &window = open();
    EXPECT_TRUE(QTest::qWaitFor([&] { return status() == QStringLiteral("Error connecting to camera"); }, 20000))
        << status().toStdString();
    EXPECT_FALSE(window.isConnected());
    EXPECT_EQ(gioCalls(), "");
}

TEST_F(UsbWindow, AnotherProgramReleasesThroughTheChannel)
{
    serve("model=EOS D60;timing=none;mode=manual;tv=1/125;quality=small/fine");
    const std::string block = "/quillomat-usb-test-" + std::to_string(getpid());
    CDezedoRavovadDlg &window = open(block);
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.isConnected(); }, 20000)) << status().toStdString();

    QProcess ipc;
    ipc.setProgram(QStringLiteral(QUILLOMAT_IPC_TOOL));
    ipc.setArguments({QStringLiteral("--block"), QString::fromStdString(block), QStringLiteral("release")});
    ipc.start();
    ASSERT_TRUE(ipc.waitForStarted());
    ASSERT_TRUE(QTest::qWaitFor([&] { return ipc.state() == QProcess::NotRunning; }, 30000));
    const QString expected = QStringLiteral("3 release started\n4 photo taken: ") + m_images +
                             QStringLiteral("/IMG_0001.JPG\n");
    EXPECT_EQ(QString::fromUtf8(ipc.readAllStandardOutput()), expected)
        << ipc.readAllStandardError().toStdString();
    EXPECT_EQ(ipc.exitCode(), 0);
}

} // namespace
