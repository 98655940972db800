// Another program drives the real window: quillomat-ipc in a child process
// (and raw connections in this one) against the window with the simulated
// camera, while this thread runs the window's event loop. Each test has a
// runtime folder and a shared block of its own, so that tests running side by
// side do not meet.
#include "WindowTestSupport.h"

#include "IpcBlock.h"
#include "IpcClient.h"
#include "IpcSharedBlock.h"
#include "PanelTexts.h"
#include "SettingsPanel.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <atomic>
#include <cstdio>
#include <thread>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

struct ToolRun {
    int exitCode = -1;
    QString out;
    QString err;
};

class IpcWindowTest : public WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        static int counter = 0;
        m_blockName = "/QuillomatIpcWindowTest-" + std::to_string(::getpid()) + "-" + std::to_string(++counter);
        m_runtime = m_folder.filePath(QStringLiteral("runtime"));
        ASSERT_TRUE(QDir().mkpath(m_runtime));
        QFile::setPermissions(m_runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_runtime));
    }

    void TearDown() override
    {
        WindowTest::TearDown();
        ::shm_unlink(m_blockName.c_str());
    }

    CDezedoRavovadDlg &openWithChannel()
    {
        WindowServices services;
        services.prompts = &m_prompts;
        services.settingsFile = m_settingsFile;
        services.cameraConfig.settleTime = std::chrono::milliseconds(0);
        services.connectPause = std::chrono::milliseconds(0);
        services.screenHeight = [] { return 1024; };
        services.ipcBlockName = m_blockName;
        m_window = std::make_unique<CDezedoRavovadDlg>(services);
        m_window->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(m_window.get()));
        return *m_window;
    }

    static QString toolPath()
    {
        return QFile::decodeName(qgetenv("QUILLOMAT_BINARY_DIR")) + QStringLiteral("/tools/ipc/quillomat-ipc");
    }

    void start(QProcess &process, const QStringList &arguments)
    {
        process.setProgram(toolPath());
        process.setArguments(QStringList{QStringLiteral("--block"), QString::fromStdString(m_blockName)} + arguments);
        process.start();
        EXPECT_TRUE(process.waitForStarted()) << toolPath().toStdString();
    }

    // Waits, handling the window's events, until the child has ended.
    static ToolRun finish(QProcess &process, int timeoutMs = 20000)
    {
        const bool ended = QTest::qWaitFor([&] { return process.state() == QProcess::NotRunning; }, timeoutMs);
        EXPECT_TRUE(ended) << "quillomat-ipc did not end";
        if (!ended) {
            process.kill();
            process.waitForFinished();
        }
        ToolRun run;
        run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        run.out = QString::fromUtf8(process.readAllStandardOutput());
        run.err = QString::fromUtf8(process.readAllStandardError());
        return run;
    }

    ToolRun ipc(const QStringList &arguments, const QString &workingDirectory = {})
    {
        QProcess process;
        if (!workingDirectory.isEmpty())
            process.setWorkingDirectory(workingDirectory);
        start(process, arguments);
        return finish(process);
    }

    // The block as a client sees it.
    std::unique_ptr<IpcSharedBlock> block()
    {
        std::string error;
        std::unique_ptr<IpcSharedBlock> shared = IpcSharedBlock::open(m_blockName, error);
        EXPECT_TRUE(shared) << error;
        return shared;
    }

    // A connection of this process, for clients that misbehave.
    int rawConnect()
    {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const QByteArray path = QFile::encodeName(m_runtime + QStringLiteral("/Quillomat.ipc"));
        std::strncpy(address.sun_path, path.constData(), sizeof address.sun_path - 1);
        EXPECT_EQ(::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
        return fd;
    }

    QString saved(int number) const { return m_images + QStringLiteral("/IMG_%1.JPG").arg(number, 4, 10, QLatin1Char('0')); }

    std::string m_blockName;
    QString m_runtime;
};

TEST_F(IpcWindowTest, StateGivesTheModelAndTheWindowsProcess)
{
    attachCamera("EOS D60", "mode=manual;tv=1/125");
    CDezedoRavovadDlg &window = openWithChannel();
    ToolRun run = ipc({QStringLiteral("state")});
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(run.out, QStringLiteral("2 connected and idle: EOS D60\n"));
    std::unique_ptr<IpcSharedBlock> shared = block();
    ASSERT_TRUE(shared);
    EXPECT_EQ(IpcBlockView(shared->bytes()).word(IpcBlock::kWindow), static_cast<uint32_t>(::getpid()));

    run = ipc({QStringLiteral("-q"), QStringLiteral("state")});
    EXPECT_EQ(run.out, QStringLiteral("EOS D60\n"));

    window.toggleConnection();
    ASSERT_FALSE(window.isConnected());
    run = ipc({QStringLiteral("state")});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.out, QStringLiteral("1 no camera connected\n"));
}

TEST_F(IpcWindowTest, ReleaseBringsBackTheSavedFilesPath)
{
    attachCamera("EOS D60", "mode=manual;tv=1/125;quality=small/fine");
    CDezedoRavovadDlg &window = openWithChannel();
    ToolRun run = ipc({QStringLiteral("release")});
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(run.out, QStringLiteral("3 release started\n4 photo taken: ") + saved(1) + QStringLiteral("\n"));
    EXPECT_TRUE(QFileInfo::exists(saved(1)));

    run = ipc({QStringLiteral("--quiet"), QStringLiteral("release")});
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(run.out, saved(2) + QStringLiteral("\n"));
    ASSERT_TRUE(waitForShots(window, 2));
    EXPECT_EQ(window.imageList().size(), 2u);
    EXPECT_TRUE(m_prompts.shown.empty());
}

TEST_F(IpcWindowTest, ARefusedReleaseIsReportedAndNothingIsWaitedFor)
{
    attachCamera("EOS D60", "mode=manual;tv=bulb");
    openWithChannel();
    const ToolRun run = ipc({QStringLiteral("release")});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.out, QStringLiteral("7 not done\n"));
    ASSERT_EQ(m_prompts.shown.size(), 1u);
    EXPECT_TRUE(m_prompts.shown[0].text.startsWith(QStringLiteral("Sorry, bulb mode is not available")));
    EXPECT_TRUE(QDir(m_images).entryList(QDir::Files).isEmpty());
}

TEST_F(IpcWindowTest, AReleaseThatFailsAtOnceIsNotDoneAndTheNextOneWorks)
{
    struct Case {
        const char *name;
        const char *camera;
        bool folderIsAFile;
        const char *box;
    };
    const Case cases[] = {
        {"unusable folder", "mode=manual;tv=1/125;quality=small/fine", true, "Invalid directory for images:\n"},
        {"busy camera", "mode=manual;tv=1/125;quality=small/fine;busyrelease=1", false, "psCException"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QFile blocker(m_images);
        if (c.folderIsAFile) {
            ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
            blocker.close();
        }
        attachCamera("EOS D60", c.camera);
        CDezedoRavovadDlg &window = openWithChannel();
        m_prompts.shown.clear();
        // Answered at once: the client does not wait out its time-out for a photo.
        ToolRun run = ipc({QStringLiteral("--timeout"), QStringLiteral("30"), QStringLiteral("release")});
        EXPECT_EQ(run.exitCode, 1) << run.err.toStdString();
        EXPECT_EQ(run.out, QStringLiteral("7 not done\n"));
        ASSERT_TRUE(QTest::qWaitFor([&] { return !m_prompts.shown.empty(); }, 5000));
        EXPECT_TRUE(m_prompts.shown[0].text.startsWith(QString::fromLatin1(c.box)))
            << m_prompts.shown[0].text.toStdString();
        // Nothing is left pending: the state is idle, and a release works again.
        run = ipc({QStringLiteral("state")});
        EXPECT_EQ(run.out, QStringLiteral("2 connected and idle: EOS D60\n"));
        if (c.folderIsAFile)
            QFile::remove(m_images);
        run = ipc({QStringLiteral("-q"), QStringLiteral("release")});
        EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
        EXPECT_EQ(run.out, saved(1) + QStringLiteral("\n"));
        ASSERT_TRUE(waitForShots(window, 1));
        m_window.reset();
        QDir(m_images).removeRecursively();
    }
}

TEST_F(IpcWindowTest, SetDirCreatesTheFolderAndTheNextShotGoesThere)
{
    attachCamera("EOS D60", "mode=manual;tv=1/125;quality=small/fine");
    CDezedoRavovadDlg &window = openWithChannel();
    const QString target = m_folder.filePath(QStringLiteral("script/shots"));
    ToolRun run = ipc({QStringLiteral("set-dir"), target + QStringLiteral("/")});
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(run.out, QStringLiteral("6 done\n"));
    EXPECT_TRUE(QFileInfo(target).isDir());
    EXPECT_EQ(window.settings().baseDirectory, target);

    run = ipc({QStringLiteral("dir")});
    EXPECT_EQ(run.out, QStringLiteral("6 done: ") + target + QStringLiteral("/\n"));
    run = ipc({QStringLiteral("-q"), QStringLiteral("release")});
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(run.out, target + QStringLiteral("/IMG_0001.JPG\n"));
    ASSERT_TRUE(waitForShots(window, 1));

    // A relative path is the client's, not the window's.
    run = ipc({QStringLiteral("set-dir"), QStringLiteral("relative/more")}, m_folder.path());
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(QFileInfo(m_folder.filePath(QStringLiteral("relative/more"))).isDir());
    EXPECT_EQ(window.settings().baseDirectory, m_folder.filePath(QStringLiteral("relative/more")));

    // An ordinary file is no directory.
    QFile file(m_folder.filePath(QStringLiteral("plain.txt")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    run = ipc({QStringLiteral("set-dir"), file.fileName()});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.out, QStringLiteral("7 not done\n"));
    EXPECT_EQ(window.settings().baseDirectory, m_folder.filePath(QStringLiteral("relative/more")));
}

TEST_F(IpcWindowTest, TheCommentIsWrittenIntoTheNextImage)
{
    attachCamera("EOS D60", "mode=manual;tv=1/125;quality=small/fine");
    CDezedoRavovadDlg &window = openWithChannel();
    ToolRun run = ipc({QStringLiteral("comment"), QStringLiteral("From a script, roll 7")});
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(find<QLineEdit>("commentEdit")->text(), QStringLiteral("From a script, roll 7"));

    run = ipc({QStringLiteral("comment"), QString(256, QLatin1Char('x'))});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.out, QStringLiteral("7 not done\n"));
    EXPECT_EQ(find<QLineEdit>("commentEdit")->text(), QStringLiteral("From a script, roll 7"));

    run = ipc({QStringLiteral("-q"), QStringLiteral("release")});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    ASSERT_TRUE(waitForShots(window, 1));
    QTest::qWait(100);
    if (!haveExiftool())
        GTEST_SKIP() << "exiftool is not installed";
    EXPECT_EQ(exiftool(saved(1), "UserComment"), "From a script, roll 7");
}

TEST_F(IpcWindowTest, TvAndAvFollowTheCamerasMode)
{
    attachCamera("EOS D60", "mode=manual;tv=1/125;av=8");
    CDezedoRavovadDlg &window = openWithChannel();
    QComboBox *tv = find<QComboBox>("tvList");
    ToolRun run = ipc({QStringLiteral("tv"), QStringLiteral("12")});
    EXPECT_EQ(run.exitCode, 0) << run.out.toStdString() << run.err.toStdString();
    EXPECT_EQ(tv->currentIndex(), 12);
    ReleaseParams params;
    ASSERT_TRUE(window.camera()->getReleaseParams(params));
    EXPECT_EQ(releaseBlockWord(params.bytes, 30), *SettingsPanel::selectedValue(tv)) << "the camera holds it";

    run = ipc({QStringLiteral("tv"), QStringLiteral("-1")});
    EXPECT_EQ(run.out, QStringLiteral("7 not done\n"));
    run = ipc({QStringLiteral("tv"), QString::number(tv->count())});
    EXPECT_EQ(run.out, QStringLiteral("7 not done\n"));
    EXPECT_EQ(tv->currentIndex(), 12);

    QComboBox *av = find<QComboBox>("avList");
    run = ipc({QStringLiteral("av"), QStringLiteral("3")});
    EXPECT_EQ(run.exitCode, 0) << run.out.toStdString();
    EXPECT_EQ(av->currentIndex(), 3);

}

TEST_F(IpcWindowTest, InAvModeTheShutterSpeedIsTheCamerasOwn)
{
    attachCamera("EOS D60", "mode=av;av=5.6");
    openWithChannel();
    const QString before = find<QComboBox>("tvList")->currentText();
    ToolRun run = ipc({QStringLiteral("tv"), QStringLiteral("12")});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.out, QStringLiteral("5 camera busy or not in a suitable mode\n"));
    EXPECT_EQ(find<QComboBox>("tvList")->currentText(), before);
    run = ipc({QStringLiteral("av"), QStringLiteral("2")});
    EXPECT_EQ(run.exitCode, 0) << run.out.toStdString();
    EXPECT_EQ(find<QComboBox>("avList")->currentIndex(), 2);
}

TEST_F(IpcWindowTest, AValueSentWhileTheLcdMenuIsOpenIsNotDone)
{
    attachCamera("EOS D60", "mode=manual;tv=1/125");
    CDezedoRavovadDlg &window = openWithChannel();
    ReleaseParams params;
    ASSERT_TRUE(window.camera()->getReleaseParams(params));
    const uint16_t held = releaseBlockWord(params.bytes, 30);
    simcam::runControlCommand("menu on");
    const ToolRun run = ipc({QStringLiteral("tv"), QStringLiteral("10")});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.out, QStringLiteral("7 not done\n"));
    ASSERT_EQ(m_prompts.shown.size(), 1u);
    EXPECT_EQ(m_prompts.shown[0].icon, Prompts::Icon::Refusal);
    simcam::runControlCommand("menu off");
    ASSERT_TRUE(window.camera()->getReleaseParams(params));
    EXPECT_EQ(releaseBlockWord(params.bytes, 30), held);
}

TEST_F(IpcWindowTest, NotificationsFollowEachPreviewOnceAClientHasSpoken)
{
    attachCamera("EOS D60", "mode=manual;tv=1/125;quality=small/fine");
    CDezedoRavovadDlg &window = openWithChannel();
    std::unique_ptr<IpcSharedBlock> shared = block();
    ASSERT_TRUE(shared);
    IpcBlockView view(shared->bytes());

    // No client yet: the window writes nothing into the block.
    QTest::keyClick(&window, Qt::Key_F8);
    ASSERT_TRUE(waitForShots(window, 1));
    QTest::qWait(100);
    EXPECT_TRUE(std::all_of(shared->bytes(), shared->bytes() + IpcBlock::kSize, [](unsigned char b) { return b == 0; }));

    ASSERT_EQ(ipc({QStringLiteral("state")}).exitCode, 0);
    uint32_t seen = view.readAnswer().sequence;

    QTest::keyClick(&window, Qt::Key_F9);
    ASSERT_TRUE(QTest::qWaitFor([&] { return view.readAnswer().sequence != seen; }, 15000));
    IpcAnswer answer = view.readAnswer();
    EXPECT_EQ(answer.status, 4);
    EXPECT_EQ(answer.text, "") << "a preview saves nothing";
    EXPECT_EQ(answer.window, static_cast<uint32_t>(::getpid()));
    seen = answer.sequence;
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window.isBusy(); }, 15000));

    QTest::keyClick(&window, Qt::Key_F8);
    ASSERT_TRUE(QTest::qWaitFor([&] { return view.readAnswer().sequence != seen; }, 15000));
    answer = view.readAnswer();
    EXPECT_EQ(answer.status, 4);
    EXPECT_EQ(QString::fromStdString(answer.text), saved(2));
    EXPECT_EQ(view.signedWord(IpcBlock::kProgress), 100) << "the transfer's last progress";
}

// A client of this process takes the turn and fills in command 8; a photo
// arrives before it sends its word. The notification must not take the
// comment's place: it waits for the exchange, which reads the comment as
// written and answers it.
TEST_F(IpcWindowTest, APhotoArrivingWhileAClientFillsInACommandWaitsForItsExchange)
{
    attachCamera("EOS D60", "mode=manual;tv=1/125;quality=small/fine");
    CDezedoRavovadDlg &window = openWithChannel();
    IpcClient::Failure failure;
    std::string error;
    std::unique_ptr<IpcClient> client = IpcClient::connect(
        (m_runtime + QStringLiteral("/Quillomat.ipc")).toStdString(), m_blockName, failure, error);
    ASSERT_TRUE(client) << error;
    // The window answers on this thread: the client waits for it on another.
    auto exchange = [&] {
        std::atomic<bool> done = false;
        std::thread asker([&] {
            std::string why;
            EXPECT_TRUE(client->exchange(std::chrono::seconds(10), why)) << why;
            done = true;
        });
        EXPECT_TRUE(QTest::qWaitFor([&] { return done.load(); }, 15000));
        asker.join();
        return client->answer();
    };
    ASSERT_TRUE(client->beginTurn(std::chrono::seconds(1)));
    ASSERT_TRUE(client->setCommand(1));
    ASSERT_EQ(exchange().status, 2);

    ASSERT_TRUE(client->setCommand(8, 0, "Roll 7"));
    const uint32_t before = client->answer().sequence;
    EXPECT_EQ(simcam::runControlCommand("shutter").rfind("ok", 0), 0u);
    ASSERT_TRUE(waitForShots(window, 1));
    ASSERT_TRUE(QTest::qWaitFor([&] { return text(find("statusLine")).startsWith(QStringLiteral("Saved: ")); },
                                5000));
    QTest::qWait(200);  // and the retries while the turn is held
    IpcBlockView block = client->block();
    EXPECT_EQ(block.text(), "Roll 7");
    EXPECT_EQ(block.signedWord(IpcBlock::kCommand), 8);
    EXPECT_EQ(client->answer().sequence, before) << "nothing written while the client holds the turn";

    // The exchange: the command as written, the kept notification, then the answer.
    const IpcAnswer answer = exchange();
    EXPECT_EQ(answer.status, 6);
    EXPECT_EQ(answer.sequence, before + 4u);
    EXPECT_EQ(find<QLineEdit>("commentEdit")->text(), QStringLiteral("Roll 7"));
    client->endTurn();

    // With the turn free, the next photo's notification comes at once.
    EXPECT_EQ(simcam::runControlCommand("shutter").rfind("ok", 0), 0u);
    ASSERT_TRUE(waitForShots(window, 2));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return client->answer().status == 4 && QString::fromStdString(client->answer().text) == saved(2); },
        5000));
    if (!haveExiftool())
        GTEST_SKIP() << "exiftool is not installed";
    EXPECT_EQ(exiftool(saved(2), "UserComment"), "Roll 7");
}

TEST_F(IpcWindowTest, WatchPrintsProgressAndEverySavedFile)
{
    attachCamera("EOS D60", "mode=manual;tv=1/125;quality=small/fine");
    CDezedoRavovadDlg &window = openWithChannel();
    QProcess watch;
    start(watch, {QStringLiteral("watch")});
    QString out;
    auto printed = [&](const QString &text) {
        return QTest::qWaitFor(
            [&] {
                out += QString::fromUtf8(watch.readAllStandardOutput());
                return out.contains(text);
            },
            15000);
    };
    ASSERT_TRUE(printed(QStringLiteral("2 connected and idle: EOS D60\n")));
    QTest::keyClick(&window, Qt::Key_F8);
    EXPECT_TRUE(printed(QStringLiteral("4 photo taken: ") + saved(1) + QStringLiteral("\n"))) << out.toStdString();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window.isBusy(); }, 15000));
    QTest::keyClick(&window, Qt::Key_F9);
    EXPECT_TRUE(printed(QStringLiteral("4 photo taken, no file saved\n"))) << out.toStdString();
    EXPECT_TRUE(out.contains(QStringLiteral("progress 100\n"))) << out.toStdString();

    watch.terminate();
    const ToolRun run = finish(watch);
    EXPECT_EQ(run.exitCode, 0) << "interrupted is the normal end";
}

TEST_F(IpcWindowTest, TwoClientsTakeTurnsWhileASilentOneWaits)
{
    attachCamera("EOS D60", "mode=manual;tv=1/125;quality=small/fine");
    CDezedoRavovadDlg &window = openWithChannel();
    const int silent = rawConnect();
    const int halfway = rawConnect();
    ASSERT_EQ(::send(halfway, "\1\2", 2, 0), 2);

    for (int round = 0; round < 2; ++round) {
        QProcess releasing;
        QProcess asking;
        start(releasing, {QStringLiteral("-q"), QStringLiteral("release")});
        start(asking, {QStringLiteral("dir")});
        const ToolRun asked = finish(asking);
        const ToolRun released = finish(releasing);
        EXPECT_EQ(asked.exitCode, 0) << asked.err.toStdString();
        EXPECT_EQ(asked.out, QStringLiteral("6 done: ") + m_images + QStringLiteral("/\n"));
        EXPECT_EQ(released.exitCode, 0) << released.err.toStdString();
        EXPECT_EQ(released.out, saved(round + 1) + QStringLiteral("\n"));
        ASSERT_TRUE(waitForShots(window, static_cast<size_t>(round + 1)));
    }
    ::close(silent);
    ::close(halfway);
}

TEST_F(IpcWindowTest, AClientVanishingMidExchangeCostsNothing)
{
    attachCamera("EOS D60", "mode=manual;tv=1/125;quality=small/fine");
    CDezedoRavovadDlg &window = openWithChannel();
    std::unique_ptr<IpcSharedBlock> shared = block();
    ASSERT_TRUE(shared);
    IpcBlockView view(shared->bytes());

    // Asks for a release and leaves before the answer.
    view.setSignedWord(IpcBlock::kCommand, 2);
    int fd = rawConnect();
    ASSERT_EQ(::send(fd, "\0\0\0\0", 4, 0), 4);
    ::close(fd);
    ASSERT_TRUE(waitForShots(window, 1));
    EXPECT_TRUE(QFileInfo::exists(saved(1)));

    // Leaves half-way through its word.
    fd = rawConnect();
    ASSERT_EQ(::send(fd, "\0\0", 2, 0), 2);
    QTest::qWait(50);
    ::close(fd);

    // Killed while it waits for its photo.
    QProcess killed;
    start(killed, {QStringLiteral("release")});
    ASSERT_TRUE(QTest::qWaitFor([&] { return killed.readAllStandardOutput().contains("3 release started"); }, 15000));
    killed.kill();
    finish(killed);
    ASSERT_TRUE(waitForShots(window, 2));

    const ToolRun run = ipc({QStringLiteral("state")});
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(run.out, QStringLiteral("2 connected and idle: EOS D60\n"));
    EXPECT_TRUE(window.isVisible());
}

TEST_F(IpcWindowTest, ASecondWindowRunsWithoutTheChannelAndLeavesTheFirstsAlone)
{
    detachCamera();
    openWithChannel();
    {
        WindowServices services;
        services.prompts = &m_prompts;
        services.settingsFile = m_settingsFile;
        services.connectPause = std::chrono::milliseconds(0);
        services.screenHeight = [] { return 1024; };
        services.ipcBlockName = m_blockName + "-second";
        CDezedoRavovadDlg second(services);
        const ToolRun run = ipc({QStringLiteral("state")});
        EXPECT_EQ(run.out, QStringLiteral("1 no camera connected\n"));
    }
    EXPECT_TRUE(QFileInfo::exists(m_runtime + QStringLiteral("/Quillomat.ipc")));
    const ToolRun run = ipc({QStringLiteral("state")});
    EXPECT_EQ(run.exitCode, 1) << run.err.toStdString();
    EXPECT_EQ(run.out, QStringLiteral("1 no camera connected\n"));
    EXPECT_EQ(::shm_unlink((m_blockName + "-second").c_str()), -1) << "the second made no block";
}

TEST_F(IpcWindowTest, TheSocketGoesWithTheWindow)
{
    detachCamera();
    openWithChannel();
    EXPECT_EQ(ipc({QStringLiteral("state")}).exitCode, 1);
    m_window.reset();
    EXPECT_FALSE(QFileInfo::exists(m_runtime + QStringLiteral("/Quillomat.ipc")));
    const ToolRun run = ipc({QStringLiteral("state")});
    EXPECT_EQ(run.exitCode, 3);
    EXPECT_TRUE(run.err.contains(QStringLiteral("no Quillomat is listening"))) << run.err.toStdString();
}

TEST_F(IpcWindowTest, UnknownCommandsAndBadCommandLines)
{
    detachCamera();
    openWithChannel();
    ToolRun run = ipc({QStringLiteral("raw"), QStringLiteral("9")});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.out.startsWith(QStringLiteral("no answer"))) << run.out.toStdString();
    run = ipc({QStringLiteral("raw"), QStringLiteral("7")});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out, QStringLiteral("6 done: ") + m_images + QStringLiteral("/\n"));
    for (const QStringList &bad : {QStringList{}, QStringList{QStringLiteral("shoot")},
                                   QStringList{QStringLiteral("tv")}, QStringList{QStringLiteral("tv"), QStringLiteral("fast")},
                                   QStringList{QStringLiteral("comment"), QString(800, QLatin1Char('c'))},
                                   QStringList{QStringLiteral("--timeout"), QStringLiteral("soon"), QStringLiteral("state")}}) {
        run = ipc(bad);
        EXPECT_EQ(run.exitCode, 2) << bad.join(QLatin1Char(' ')).toStdString();
    }
}

}  // namespace
