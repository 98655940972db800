// The IPC channel's transport: the named shared block, the socket and its
// folder, and clients that behave and clients that do not. Real shared
// memory and real sockets, under names of this test's own.
#include "IpcChannel.h"
#include "IpcClient.h"
#include "IpcEndpoint.h"
#include "IpcServer.h"

#include "TemporaryDirectory.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;

constexpr uid_t kOtherUser = 65534;

std::string uniqueBlockName()
{
    static int counter = 0;
    return "/QuillomatTest-" + std::to_string(::getpid()) + "-" + std::to_string(++counter);
}

struct LogLines {
    std::vector<std::string> lines;
    IpcChannel::Log sink()
    {
        return [this](const std::string &line) { lines.push_back(line); };
    }
};

// A raw connection, for clients that misbehave.
int rawConnect(const std::string &path)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    if (::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

off_t objectSize(const std::string &name)
{
    struct stat info {};
    return ::stat(("/dev/shm" + name).c_str(), &info) == 0 ? info.st_size : -1;
}

// ---------------------------------------------------------------------------
// The shared block

class IpcBlockTest : public ::testing::Test {
protected:
    void TearDown() override { ::shm_unlink(m_name.c_str()); }
    std::string m_name = uniqueBlockName();
    LogLines m_log;
};

TEST_F(IpcBlockTest, TheFirstSideCreatesAPrivateBlockOfTheBlocksSize)
{
    IpcChannel channel(m_name, m_log.sink());
    EXPECT_FALSE(channel.isMapped());
    EXPECT_EQ(objectSize(m_name), -1) << "made before the first exchange";
    EXPECT_EQ(channel.readCommand().command, 0);
    EXPECT_TRUE(channel.isMapped());
    struct stat info {};
    ASSERT_EQ(::stat(("/dev/shm" + m_name).c_str(), &info), 0);
    EXPECT_EQ(info.st_size, 1024);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    EXPECT_TRUE(m_log.lines.empty());
}

TEST_F(IpcBlockTest, BothSidesShareOneBlock)
{
    std::string error;
    std::unique_ptr<IpcSharedBlock> client = IpcSharedBlock::open(m_name, error);
    ASSERT_TRUE(client) << error;
    IpcBlockView block(client->bytes());
    block.setSignedWord(IpcBlock::kCommand, 4);
    block.setSignedWord(IpcBlock::kParameter, -12);
    block.setText("/home/anna/shoot");

    IpcChannel channel(m_name, m_log.sink());
    const IpcChannel::CommandWords words = channel.readCommand();
    EXPECT_EQ(words.command, 4);
    EXPECT_EQ(words.parameter, -12);
    EXPECT_EQ(channel.commandText(), "/home/anna/shoot");
    ASSERT_TRUE(channel.writeStatus(77, 6, "answer"));
    channel.setProgressField(42);
    const IpcAnswer answer = block.readAnswer();
    EXPECT_EQ(answer.status, 6);
    EXPECT_EQ(answer.window, 77u);
    EXPECT_EQ(answer.text, "answer");
    EXPECT_EQ(block.signedWord(IpcBlock::kProgress), 42);
    // Little-endian on the wire, whatever the machine.
    EXPECT_EQ(client->bytes()[IpcBlock::kWindow], 77);
    EXPECT_EQ(client->bytes()[IpcBlock::kStatus], 6);
}

TEST_F(IpcBlockTest, ANotificationWaitsWhileAClientHoldsTheTurn)
{
    IpcChannel channel(m_name, m_log.sink());
    ASSERT_TRUE(channel.writeStatus(77, 2, "EOS D60"));
    std::string error;
    std::unique_ptr<IpcSharedBlock> client = IpcSharedBlock::open(m_name, error);
    ASSERT_TRUE(client) << error;
    IpcBlockView block(client->bytes());

    // Nobody holds the turn: written at once, and the turn is free again.
    ASSERT_TRUE(channel.notify(77, 4, "/photos/IMG_0001.JPG"));
    EXPECT_FALSE(channel.hasKeptNotifications());
    EXPECT_EQ(block.readAnswer().text, "/photos/IMG_0001.JPG");
    ASSERT_TRUE(client->lock(1s));

    // The client holds it and fills in a command: the notification is kept.
    block.setSignedWord(IpcBlock::kCommand, 8);
    ASSERT_TRUE(block.setText("Roll 7"));
    const IpcAnswer before = block.readAnswer();
    ASSERT_TRUE(channel.notify(77, 4, "/photos/IMG_0002.JPG"));
    ASSERT_TRUE(channel.notify(77, 4, "/photos/IMG_0003.JPG"));
    EXPECT_TRUE(channel.hasKeptNotifications());
    EXPECT_FALSE(channel.retryKeptNotifications());
    EXPECT_EQ(block.text(), "Roll 7");
    EXPECT_EQ(block.readAnswer().sequence, before.sequence);

    // The client lets go: the next retry writes them, in order.
    client->unlock();
    EXPECT_TRUE(channel.retryKeptNotifications());
    EXPECT_FALSE(channel.hasKeptNotifications());
    const IpcAnswer after = block.readAnswer();
    EXPECT_EQ(after.status, 4);
    EXPECT_EQ(after.text, "/photos/IMG_0003.JPG");
    EXPECT_EQ(after.sequence, before.sequence + 4u);
    EXPECT_TRUE(client->lock(1s)) << "Quillomat gave the turn back";
    client->unlock();

    // What could never be written is refused, not kept.
    EXPECT_FALSE(channel.notify(77, 4, std::string(IpcBlock::kTextSize, 'p')));
    EXPECT_FALSE(channel.hasKeptNotifications());
}

TEST_F(IpcBlockTest, ASmallerBlockIsGrownAndALargerOneKept)
{
    int fd = ::shm_open(m_name.c_str(), O_RDWR | O_CREAT, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, 100), 0);
    {
        IpcChannel channel(m_name, m_log.sink());
        EXPECT_TRUE(channel.writeStatus(1, 2, "grown"));
        EXPECT_EQ(objectSize(m_name), 1024);
    }
    ASSERT_EQ(::ftruncate(fd, 4096), 0);
    {
        IpcChannel channel(m_name, m_log.sink());
        EXPECT_TRUE(channel.writeStatus(1, 2, "kept"));
        EXPECT_EQ(objectSize(m_name), 4096);
    }
    ::close(fd);
}

TEST_F(IpcBlockTest, ABlockOpenToOthersIsClosed)
{
    const int fd = ::shm_open(m_name.c_str(), O_RDWR | O_CREAT, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::fchmod(fd, 0666), 0);
    ::close(fd);
    IpcChannel channel(m_name, m_log.sink());
    EXPECT_TRUE(channel.writeStatus(1, 2));
    struct stat info {};
    ASSERT_EQ(::stat(("/dev/shm" + m_name).c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
}

TEST_F(IpcBlockTest, AnotherUsersBlockIsRefusedAndSaysWhy)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "giving the block to another user needs root";
    const int fd = ::shm_open(m_name.c_str(), O_RDWR | O_CREAT, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, 1024), 0);
    ASSERT_EQ(::fchown(fd, kOtherUser, kOtherUser), 0);
    void *mapping = ::mmap(nullptr, 1024, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    ASSERT_NE(mapping, MAP_FAILED);
    IpcBlockView foreign(static_cast<unsigned char *>(mapping));
    foreign.setSignedWord(IpcBlock::kCommand, 1);
    const std::vector<unsigned char> before(foreign.bytes(), foreign.bytes() + 1024);

    IpcChannel channel(m_name, m_log.sink());
    EXPECT_EQ(channel.readCommand().command, 0);
    EXPECT_FALSE(channel.writeStatus(1, 2, "EOS D60"));
    channel.setProgressField(50);
    EXPECT_FALSE(channel.commandText());
    EXPECT_FALSE(channel.isMapped());
    EXPECT_EQ(std::vector<unsigned char>(foreign.bytes(), foreign.bytes() + 1024), before);
    ASSERT_EQ(m_log.lines.size(), 1u) << "said once";
    EXPECT_NE(m_log.lines[0].find("belongs to another user"), std::string::npos) << m_log.lines[0];
    ::munmap(mapping, 1024);
    ::close(fd);
}

TEST_F(IpcBlockTest, SomethingOtherThanASharedMemoryObjectIsRefused)
{
    const std::string file = "/dev/shm" + m_name;
    ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0);
    IpcChannel fifo(m_name, m_log.sink());
    EXPECT_EQ(fifo.readCommand().command, 0);
    EXPECT_FALSE(fifo.writeStatus(1, 1));
    ASSERT_EQ(::unlink(file.c_str()), 0);

    // A link to somewhere else is not followed.
    TemporaryDirectory folder;
    writeTextFile(folder.path() / "target", std::string(2000, 'x'));
    ASSERT_EQ(::symlink((folder.path() / "target").c_str(), file.c_str()), 0);
    IpcChannel link(m_name, m_log.sink());
    EXPECT_EQ(link.readCommand().command, 0);
    EXPECT_FALSE(link.writeStatus(1, 1));
    EXPECT_EQ(readTextFile(folder.path() / "target"), std::string(2000, 'x'));
    EXPECT_EQ(m_log.lines.size(), 2u);
}

TEST_F(IpcBlockTest, ABlockCutShortByAnotherProcessIsGrownBackBeforeItIsTouched)
{
    IpcChannel channel(m_name, m_log.sink());
    ASSERT_TRUE(channel.writeStatus(1, 2, "first"));
    const int fd = ::shm_open(m_name.c_str(), O_RDWR, 0);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, 0), 0);
    ::close(fd);
    // Touching the pages past the end now would kill the process.
    EXPECT_EQ(channel.readCommand().command, 0);
    EXPECT_TRUE(channel.writeStatus(1, 2, "second"));
    channel.setProgressField(10);
    EXPECT_EQ(objectSize(m_name), 1024);
}

TEST_F(IpcBlockTest, ATextWithoutItsZeroIsReadAs767Bytes)
{
    alignas(4) std::array<unsigned char, IpcBlock::kSize> bytes{};
    std::memset(bytes.data() + IpcBlock::kText, 'a', IpcBlock::kTextSize);
    bytes[IpcBlock::kWindow] = 'w';  // what follows the text is not read as text
    IpcChannel channel{std::span<unsigned char, IpcBlock::kSize>(bytes)};
    const std::optional<std::string> text = channel.commandText();
    ASSERT_TRUE(text);
    EXPECT_EQ(*text, std::string(767, 'a'));
}

TEST_F(IpcBlockTest, ATextThatDoesNotFitIsNotWritten)
{
    alignas(4) std::array<unsigned char, IpcBlock::kSize> bytes{};
    IpcChannel channel{std::span<unsigned char, IpcBlock::kSize>(bytes)};
    ASSERT_TRUE(channel.writeStatus(9, 4, std::string(767, 'p')));
    const auto before = bytes;
    EXPECT_FALSE(channel.writeStatus(9, 4, std::string(768, 'q')));
    EXPECT_EQ(bytes, before);
    EXPECT_EQ(IpcBlockView(bytes.data()).readAnswer().text, std::string(767, 'p'));
}

// ---------------------------------------------------------------------------
// Where the socket lives

TEST(IpcEndpointTest, TheBlockIsNamedAfterTheUser)
{
    EXPECT_EQ(ipcBlockName(), "/Quillomat-" + std::to_string(::geteuid()));
}

TEST(IpcEndpointTest, TheSocketLivesInTheRuntimeDirectory)
{
    TemporaryDirectory root;
    std::string error;
    EXPECT_EQ(ipcSocketPath("/run/user/1000", root.str(), true, error), "/run/user/1000/Quillomat.ipc");
    EXPECT_EQ(ipcSocketPath("/run/user/1000/", root.str(), true, error), "/run/user/1000/Quillomat.ipc");
    EXPECT_TRUE(entryNames(root.path()).empty());
}

TEST(IpcEndpointTest, WithoutARuntimeDirectoryAPrivateFolderIsMade)
{
    TemporaryDirectory root;
    const std::string folder = root.str() + "/quillomat-" + std::to_string(::geteuid());
    std::string error;
    // A client does not make the folder; no folder, no Quillomat.
    EXPECT_FALSE(ipcSocketPath(nullptr, root.str(), false, error));
    for (const char *runtime : {static_cast<const char *>(nullptr), "", "relative/run"}) {
        EXPECT_EQ(ipcSocketPath(runtime, root.str(), true, error), folder + "/Quillomat.ipc") << error;
        struct stat info {};
        ASSERT_EQ(::lstat(folder.c_str(), &info), 0);
        EXPECT_TRUE(S_ISDIR(info.st_mode));
        EXPECT_EQ(info.st_mode & 0777, 0700u);
    }
    ASSERT_EQ(::chmod(folder.c_str(), 0777), 0);
    EXPECT_TRUE(ipcSocketPath(nullptr, root.str(), false, error));
    struct stat info {};
    ASSERT_EQ(::lstat(folder.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u) << "closed again";
}

TEST(IpcEndpointTest, AFolderThatIsNotOursIsRefused)
{
    TemporaryDirectory root;
    const std::string folder = root.str() + "/quillomat-" + std::to_string(::geteuid());
    std::string error;

    writeTextFile(folder);
    EXPECT_FALSE(ipcSocketPath(nullptr, root.str(), true, error));
    EXPECT_NE(error.find("not a directory"), std::string::npos) << error;
    ASSERT_EQ(::unlink(folder.c_str()), 0);

    std::filesystem::create_directory(root.path() / "elsewhere");
    ASSERT_EQ(::symlink((root.path() / "elsewhere").c_str(), folder.c_str()), 0);
    EXPECT_FALSE(ipcSocketPath(nullptr, root.str(), true, error));
    ASSERT_EQ(::unlink(folder.c_str()), 0);

    if (::geteuid() == 0) {
        ASSERT_EQ(::mkdir(folder.c_str(), 0700), 0);
        ASSERT_EQ(::chown(folder.c_str(), kOtherUser, kOtherUser), 0);
        EXPECT_FALSE(ipcSocketPath(nullptr, root.str(), true, error));
        EXPECT_NE(error.find("another user"), std::string::npos) << error;
    }
}

TEST(IpcEndpointTest, APathTooLongForASocketIsRefused)
{
    std::string error;
    EXPECT_FALSE(ipcSocketPath(("/" + std::string(120, 'r')).c_str(), "/tmp", true, error));
    EXPECT_NE(error.find("too long"), std::string::npos) << error;
}

// ---------------------------------------------------------------------------
// The socket

class IpcSocketTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_path = m_folder.str() + "/Quillomat.ipc";
        std::string error;
        m_server = IpcServer::listen(m_path, error, m_log.sink());
        ASSERT_TRUE(m_server) << error;
    }

    void TearDown() override
    {
        stopServing();
        ::shm_unlink(m_block.c_str());
    }

    // Serves on a thread of its own, counting exchanges.
    void startServing()
    {
        m_serving = true;
        m_thread = std::thread([this] {
            while (m_serving)
                m_server->runOnce(20ms, [this] {
                    ++m_exchanges;
                    return 1;
                });
        });
    }

    void stopServing()
    {
        m_serving = false;
        if (m_thread.joinable())
            m_thread.join();
    }

    std::unique_ptr<IpcClient> client()
    {
        IpcClient::Failure failure;
        std::string error;
        std::unique_ptr<IpcClient> connected = IpcClient::connect(m_path, m_block, failure, error);
        EXPECT_TRUE(connected) << error;
        return connected;
    }

    TemporaryDirectory m_folder;
    std::string m_path;
    std::string m_block = uniqueBlockName();
    LogLines m_log;
    std::unique_ptr<IpcServer> m_server;
    std::thread m_thread;
    std::atomic<bool> m_serving{false};
    std::atomic<int> m_exchanges{0};
};

TEST_F(IpcSocketTest, OneConnectionCarriesManyExchanges)
{
    startServing();
    std::unique_ptr<IpcClient> connected = client();
    ASSERT_TRUE(connected);
    for (int i = 0; i < 100; ++i) {
        std::string error;
        EXPECT_EQ(connected->exchange(5s, error), 1) << error;
    }
    EXPECT_EQ(m_exchanges, 100);
}

TEST_F(IpcSocketTest, TheSocketIsPrivateAndGoesWithTheServer)
{
    struct stat info {};
    ASSERT_EQ(::lstat(m_path.c_str(), &info), 0);
    EXPECT_TRUE(S_ISSOCK(info.st_mode));
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    m_server.reset();
    EXPECT_NE(::lstat(m_path.c_str(), &info), 0);
    IpcClient::Failure failure;
    std::string error;
    EXPECT_FALSE(IpcClient::connect(m_path, m_block, failure, error));
    EXPECT_EQ(failure, IpcClient::Failure::NotListening);
}

TEST_F(IpcSocketTest, ASecondServerFindsTheSocketInUse)
{
    std::string error;
    EXPECT_FALSE(IpcServer::listen(m_path, error, m_log.sink()));
    EXPECT_NE(error.find("another Quillomat"), std::string::npos) << error;
    // The first still answers.
    startServing();
    std::unique_ptr<IpcClient> connected = client();
    ASSERT_TRUE(connected);
    EXPECT_EQ(connected->exchange(5s, error), 1) << error;
}

TEST_F(IpcSocketTest, AStaleSocketLeftByACrashIsReplaced)
{
    m_server.reset();
    // A socket file nobody listens on, as a killed Quillomat leaves it.
    const int stale = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, m_path.c_str(), sizeof address.sun_path - 1);
    ASSERT_EQ(::bind(stale, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
    ::close(stale);

    std::string error;
    m_server = IpcServer::listen(m_path, error, m_log.sink());
    ASSERT_TRUE(m_server) << error;
    ASSERT_EQ(m_log.lines.size(), 1u);
    EXPECT_NE(m_log.lines[0].find("stale"), std::string::npos);
    startServing();
    std::unique_ptr<IpcClient> connected = client();
    ASSERT_TRUE(connected);
    EXPECT_EQ(connected->exchange(5s, error), 1) << error;
}

TEST_F(IpcSocketTest, AnotherProgramsFileAtThePathIsLeftAlone)
{
    m_server.reset();
    writeTextFile(m_path, "not a socket");
    std::string error;
    EXPECT_FALSE(IpcServer::listen(m_path, error, m_log.sink()));
    EXPECT_NE(error.find("not a socket"), std::string::npos) << error;
    EXPECT_EQ(readTextFile(m_path), "not a socket");
}

TEST_F(IpcSocketTest, SilentAndHalfFinishedClientsHoldNoOneUp)
{
    startServing();
    const int silent = rawConnect(m_path);
    ASSERT_GE(silent, 0);
    const int halfway = rawConnect(m_path);
    ASSERT_GE(halfway, 0);
    ASSERT_EQ(::send(halfway, "\x01\x02", 2, 0), 2);

    std::unique_ptr<IpcClient> first = client();
    std::unique_ptr<IpcClient> second = client();
    ASSERT_TRUE(first && second);
    std::string error;
    for (int turn = 0; turn < 5; ++turn) {
        EXPECT_EQ(first->exchange(5s, error), 1) << error;
        EXPECT_EQ(second->exchange(5s, error), 1) << error;
    }
    EXPECT_EQ(m_exchanges, 10);
    // The half-finished word completes later and is answered then.
    ASSERT_EQ(::send(halfway, "\x03\x04", 2, 0), 2);
    unsigned char reply[4] = {};
    EXPECT_EQ(::recv(halfway, reply, sizeof reply, MSG_WAITALL), 4);
    EXPECT_EQ(reply[0], 1);
    EXPECT_EQ(reply[1] | reply[2] | reply[3], 0);
    ::close(silent);
    ::close(halfway);
}

TEST_F(IpcSocketTest, AClientLeavingBeforeItsAnswerCostsOnlyItsConnection)
{
    // The handler runs while the client is gone; answering it must not
    // raise SIGPIPE, which would end this process.
    auto serve = [this] {
        m_server->runOnce(10ms, [this] {
            ++m_exchanges;
            return 1;
        });
    };
    for (int i = 0; i < 20; ++i) {
        const int leaving = rawConnect(m_path);
        ASSERT_GE(leaving, 0);
        ASSERT_EQ(::send(leaving, "\0\0\0\0\0\0\0\0", 8, 0), 8);
        ::close(leaving);
        serve();
    }
    for (int round = 0; round < 50 && m_exchanges < 20; ++round)
        serve();
    // Each handled its first word; the second found the client gone.
    EXPECT_GE(m_exchanges, 20);
    for (int round = 0; round < 20 && m_server->clientCount() > 0; ++round)
        m_server->runOnce(10ms, [] { return 1; });
    EXPECT_EQ(m_server->clientCount(), 0u);

    startServing();
    std::unique_ptr<IpcClient> connected = client();
    ASSERT_TRUE(connected);
    std::string error;
    EXPECT_EQ(connected->exchange(5s, error), 1) << error;
}

TEST_F(IpcSocketTest, WordsSentTogetherAreEachAnswered)
{
    const int fd = rawConnect(m_path);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::send(fd, "aaaabbbbcccc", 12, 0), 12);
    int32_t next = 7;
    for (int round = 0; round < 20 && m_exchanges < 3; ++round)
        m_server->runOnce(50ms, [&] {
            ++m_exchanges;
            return next++;
        });
    unsigned char replies[12] = {};
    ASSERT_EQ(::recv(fd, replies, sizeof replies, MSG_WAITALL), 12);
    EXPECT_EQ(replies[0], 7);
    EXPECT_EQ(replies[4], 8);
    EXPECT_EQ(replies[8], 9);
    ::close(fd);
}

TEST_F(IpcSocketTest, ConnectionsBeyondTheLimitAreClosed)
{
    std::vector<int> fds;
    for (std::size_t i = 0; i < IpcServer::kMaxClients + 5; ++i) {
        fds.push_back(rawConnect(m_path));
        m_server->runOnce(20ms, [] { return 1; });
    }
    EXPECT_EQ(m_server->clientCount(), IpcServer::kMaxClients);
    EXPECT_EQ(m_log.lines.size(), 5u);
    for (int fd : fds)
        ::close(fd);
}

TEST_F(IpcSocketTest, AnotherUserIsNotServed)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "connecting as another user needs root";
    // Open the socket to everyone, so that only the peer check stands in the way.
    ASSERT_EQ(::chmod(m_path.c_str(), 0666), 0);
    ASSERT_EQ(::chmod(m_folder.str().c_str(), 0755), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (::setgid(kOtherUser) != 0 || ::setuid(kOtherUser) != 0)
            ::_exit(10);
        const int fd = rawConnect(m_path);
        if (fd < 0)
            ::_exit(11);
        if (::send(fd, "\0\0\0\0", 4, MSG_NOSIGNAL) != 4)
            ::_exit(0);  // closed already
        unsigned char reply[4];
        // Refused: the connection ends without an answer.
        ::_exit(::recv(fd, reply, sizeof reply, MSG_WAITALL) == 4 ? 12 : 0);
    }
    int status = 0;
    for (int round = 0; round < 100; ++round) {
        m_server->runOnce(20ms, [this] {
            ++m_exchanges;
            return 1;
        });
        if (::waitpid(child, &status, WNOHANG) == child)
            break;
    }
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(m_exchanges, 0);
    ASSERT_FALSE(m_log.lines.empty());
    EXPECT_NE(m_log.lines.back().find("user 65534"), std::string::npos) << m_log.lines.back();
}

TEST_F(IpcSocketTest, ClientsTakeTurnsOnTheBlock)
{
    std::unique_ptr<IpcClient> first = client();
    std::unique_ptr<IpcClient> second = client();
    ASSERT_TRUE(first && second);
    ASSERT_TRUE(first->beginTurn(1s));
    EXPECT_FALSE(second->beginTurn(50ms)) << "the block is the first's";
    std::thread waiting([&] { EXPECT_TRUE(second->beginTurn(0ms)); });
    std::this_thread::sleep_for(50ms);
    first->endTurn();
    waiting.join();
    EXPECT_FALSE(first->beginTurn(20ms));
    second.reset();  // a client that ends gives its turn back
    EXPECT_TRUE(first->beginTurn(1s));
    first->endTurn();
}

TEST_F(IpcSocketTest, AClientWaitsForAServerThatNeverAnswersOnlyAsLongAsItSays)
{
    std::unique_ptr<IpcClient> connected = client();
    ASSERT_TRUE(connected);
    // Nobody serves: the word sits in the socket.
    std::string error;
    EXPECT_FALSE(connected->exchange(200ms, error));
    EXPECT_NE(error.find("in time"), std::string::npos) << error;
    EXPECT_FALSE(connected->serverGone(10ms));
    m_server.reset();
    EXPECT_TRUE(connected->serverGone(1s));
}

}  // namespace
