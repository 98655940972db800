#include "IpcServer.h"

#include "DiagnosticLog.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

constexpr int kBacklog = 16;
// Bytes read from a client at a time: a few words, so that a client that
// floods the socket cannot hold the user-interface thread for long.
constexpr std::size_t kReadChunk = 64;

sockaddr_un socketAddress(const std::string &path)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return address;
}

// True when something accepts connections at the address.
bool answers(const sockaddr_un &address)
{
    const int probe = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (probe < 0)
        return false;
    const int result = ::connect(probe, reinterpret_cast<const sockaddr *>(&address), sizeof address);
    const bool listening = result == 0 || errno == EAGAIN || errno == EINPROGRESS;
    ::close(probe);
    return listening;
}

std::string systemError(const std::string &what)
{
    return what + ": " + std::strerror(errno);
}

}  // namespace

std::unique_ptr<IpcServer> IpcServer::listen(const std::string &path, std::string &error, Log log)
{
    if (!log)
        log = [](const std::string &text) { logMessage(text); };
    if (path.empty() || path.size() >= sizeof(sockaddr_un{}.sun_path)) {
        error = "the socket path " + path + " does not fit a socket address";
        return nullptr;
    }
    const sockaddr_un address = socketAddress(path);

    // One listener per path: the lock is held for the server's life, so two
    // programs starting together cannot both take the path over.
    const std::string lockPath = path + ".lock";
    const int lockFile = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (lockFile < 0) {
        error = systemError("cannot open " + lockPath);
        return nullptr;
    }
    auto refuse = [&](std::string text, int listener = -1) {
        if (listener >= 0)
            ::close(listener);
        ::close(lockFile);
        error = std::move(text);
        return nullptr;
    };
    if (::flock(lockFile, LOCK_EX | LOCK_NB) != 0)
        return refuse("another Quillomat is listening at " + path);

    struct stat info {};
    if (::lstat(path.c_str(), &info) == 0) {
        if (!S_ISSOCK(info.st_mode))
            return refuse(path + " exists and is not a socket");
        if (answers(address))
            return refuse("another program is listening at " + path);
        if (::unlink(path.c_str()) != 0 && errno != ENOENT)
            return refuse(systemError("cannot remove the stale socket " + path));
        log("IPC: replaced the stale socket " + path);
    }

    const int listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (listener < 0)
        return refuse(systemError("cannot make a socket"));
    if (::bind(listener, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0)
        return refuse(systemError("cannot bind " + path), listener);
    // Peer credentials decide who is served; the mode keeps others from knocking at all.
    ::chmod(path.c_str(), 0600);
    if (::listen(listener, kBacklog) != 0 || ::lstat(path.c_str(), &info) != 0) {
        const std::string text = systemError("cannot listen at " + path);
        ::unlink(path.c_str());
        return refuse(text, listener);
    }
    return std::unique_ptr<IpcServer>(
        new IpcServer(path, lockFile, listener, info.st_dev, info.st_ino, std::move(log)));
}

IpcServer::IpcServer(std::string path, int lockFile, int listener, dev_t device, ino_t inode, Log log)
    : m_path(std::move(path)), m_lockFile(lockFile), m_listener(listener), m_device(device), m_inode(inode),
      m_log(std::move(log))
{
}

IpcServer::~IpcServer()
{
    for (const auto &[client, state] : m_clients)
        ::close(client);
    ::close(m_listener);
    struct stat info {};
    if (::lstat(m_path.c_str(), &info) == 0 && info.st_dev == m_device && info.st_ino == m_inode)
        ::unlink(m_path.c_str());
    ::close(m_lockFile);
}

std::vector<int> IpcServer::acceptClients()
{
    std::vector<int> accepted;
    for (;;) {
        const int client = ::accept4(m_listener, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (client < 0) {
            if (errno == EINTR || errno == ECONNABORTED)
                continue;
            if (errno != EAGAIN && errno != EWOULDBLOCK)
                m_log(systemError("IPC: accepting a connection failed"));
            break;
        }
        ucred peer{};
        socklen_t size = sizeof peer;
        if (::getsockopt(client, SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0 || peer.uid != ::geteuid()) {
            m_log("IPC: refused a connection from user " + std::to_string(peer.uid));
            ::close(client);
            continue;
        }
        if (m_clients.size() >= kMaxClients) {
            m_log("IPC: refused a connection: " + std::to_string(kMaxClients) + " are open already");
            ::close(client);
            continue;
        }
        m_clients.emplace(client, Client{});
        accepted.push_back(client);
    }
    return accepted;
}

bool IpcServer::serviceClient(int client, const Handler &handler)
{
    const auto found = m_clients.find(client);
    if (found == m_clients.end())
        return false;
    unsigned char buffer[kReadChunk];
    const ssize_t count = ::recv(client, buffer, sizeof buffer, MSG_DONTWAIT);
    if (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
        return true;
    if (count <= 0) {
        closeClient(client);
        return false;
    }
    Client &state = found->second;
    for (ssize_t i = 0; i < count; ++i) {
        // The word's value means nothing; its arrival is the request.
        state.partial[state.received++] = buffer[i];
        if (state.received < sizeof state.partial)
            continue;
        state.received = 0;
        const uint32_t result = static_cast<uint32_t>(handler());
        const unsigned char reply[4] = {static_cast<unsigned char>(result), static_cast<unsigned char>(result >> 8),
                                        static_cast<unsigned char>(result >> 16),
                                        static_cast<unsigned char>(result >> 24)};
        if (::send(client, reply, sizeof reply, MSG_NOSIGNAL | MSG_DONTWAIT) != static_cast<ssize_t>(sizeof reply)) {
            // Gone before its answer, or not reading its answers.
            closeClient(client);
            return false;
        }
    }
    return true;
}

void IpcServer::closeClient(int client)
{
    if (m_clients.erase(client) != 0)
        ::close(client);
}

void IpcServer::runOnce(std::chrono::milliseconds timeout, const Handler &handler)
{
    std::vector<pollfd> watched;
    watched.push_back({m_listener, POLLIN, 0});
    for (const auto &[client, state] : m_clients)
        watched.push_back({client, POLLIN, 0});
    if (::poll(watched.data(), watched.size(), static_cast<int>(timeout.count())) <= 0)
        return;
    for (std::size_t i = 1; i < watched.size(); ++i) {
        if (watched[i].revents != 0)
            serviceClient(watched[i].fd, handler);
    }
    if (watched[0].revents & POLLIN)
        acceptClients();
}
