#include "IpcClient.h"

#include <cerrno>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

// Milliseconds left until `deadline` for poll(); -1 waits for ever.
int remaining(std::optional<Clock::time_point> deadline)
{
    if (!deadline)
        return -1;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(*deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

}  // namespace

std::unique_ptr<IpcClient> IpcClient::connect(const std::string &socketPath, const std::string &blockName,
                                              Failure &failure, std::string &error)
{
    failure = Failure::NotListening;
    sockaddr_un address{};
    if (socketPath.empty() || socketPath.size() >= sizeof address.sun_path) {
        error = "the socket path " + socketPath + " does not fit a socket address";
        return nullptr;
    }
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, socketPath.c_str(), socketPath.size() + 1);
    const int socket = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (socket < 0) {
        error = std::string("cannot make a socket: ") + std::strerror(errno);
        return nullptr;
    }
    if (::connect(socket, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0) {
        error = "no Quillomat is listening at " + socketPath + ": " + std::strerror(errno);
        ::close(socket);
        return nullptr;
    }
    ucred peer{};
    socklen_t size = sizeof peer;
    if (::getsockopt(socket, SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0 || peer.uid != ::geteuid()) {
        error = socketPath + " is served by another user";
        ::close(socket);
        return nullptr;
    }
    std::unique_ptr<IpcSharedBlock> block = IpcSharedBlock::open(blockName, error);
    if (!block) {
        failure = Failure::NoBlock;
        ::close(socket);
        return nullptr;
    }
    return std::unique_ptr<IpcClient>(new IpcClient(socket, std::move(block)));
}

IpcClient::IpcClient(int socket, std::unique_ptr<IpcSharedBlock> block) : m_socket(socket), m_block(std::move(block))
{
}

IpcClient::~IpcClient()
{
    ::close(m_socket);
}

bool IpcClient::setCommand(int32_t command, int32_t parameter, const std::string &text)
{
    if (!m_block->ensureWhole())
        return false;
    IpcBlockView view = block();
    if (!view.setText(text))
        return false;
    view.setSignedWord(IpcBlock::kParameter, parameter);
    view.setSignedWord(IpcBlock::kCommand, command);
    return true;
}

std::optional<int32_t> IpcClient::exchange(std::chrono::milliseconds timeout, std::string &error)
{
    const unsigned char request[4] = {};
    if (::send(m_socket, request, sizeof request, MSG_NOSIGNAL) != static_cast<ssize_t>(sizeof request)) {
        error = std::string("Quillomat closed the connection: ") + std::strerror(errno);
        return std::nullopt;
    }
    std::optional<Clock::time_point> deadline;
    if (timeout.count() > 0)
        deadline = Clock::now() + timeout;
    unsigned char reply[4];
    std::size_t received = 0;
    while (received < sizeof reply) {
        pollfd readable{m_socket, POLLIN, 0};
        const int ready = ::poll(&readable, 1, remaining(deadline));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready == 0) {
            error = "Quillomat did not answer in time";
            return std::nullopt;
        }
        const ssize_t count = ::recv(m_socket, reply + received, sizeof reply - received, 0);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0) {
            error = "Quillomat closed the connection before answering";
            return std::nullopt;
        }
        received += static_cast<std::size_t>(count);
    }
    return static_cast<int32_t>(static_cast<uint32_t>(reply[0]) | (static_cast<uint32_t>(reply[1]) << 8)
                                | (static_cast<uint32_t>(reply[2]) << 16) | (static_cast<uint32_t>(reply[3]) << 24));
}

bool IpcClient::serverGone(std::chrono::milliseconds timeout)
{
    pollfd readable{m_socket, POLLIN, 0};
    if (::poll(&readable, 1, static_cast<int>(timeout.count())) <= 0)
        return false;
    unsigned char byte;
    const ssize_t count = ::recv(m_socket, &byte, 1, MSG_DONTWAIT | MSG_PEEK);
    if (count < 0)
        return errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR;
    // Quillomat never speaks unasked: readable with nothing to read is the end.
    return count == 0;
}
