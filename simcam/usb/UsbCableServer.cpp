#include "UsbCableServer.h"

#include "CanonUsbCamera.h"
#include "SimCamera.h"
#include "UsbCable.h"

#include <algorithm>
#include <chrono>
#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace simcam {
namespace {

constexpr uint16_t kCanonVendor = 0x04a9;
constexpr auto kGoneCheck = std::chrono::milliseconds(50);

// A slow cable (transfer=usb1): bytes leave no faster than the set rate, in
// slices of at most 50 ms, the way a USB 1.1 camera trickles an image out.
class WirePace {
public:
    void carry(size_t bytes, uint32_t bytesPerSecond)
    {
        if (bytesPerSecond == 0) {
            m_due = {};
            return;
        }
        const auto now = std::chrono::steady_clock::now();
        if (m_due < now)
            m_due = now;
        m_due += std::chrono::microseconds(uint64_t{bytes} * 1000000 / bytesPerSecond);
        while (std::chrono::steady_clock::now() < m_due)
            std::this_thread::sleep_for(
                std::min<std::chrono::steady_clock::duration>(m_due - std::chrono::steady_clock::now(), kSlice));
    }

private:
    static constexpr auto kSlice = std::chrono::milliseconds(50);
    std::chrono::steady_clock::time_point m_due{};
};

bool answer(int fd, int32_t status, const Bytes &data = {})
{
    const cable::Answer head{status, static_cast<uint32_t>(data.size())};
    return cable::sendAll(fd, &head, sizeof head) && (data.empty() || cable::sendAll(fd, data.data(), data.size()));
}

} // namespace

UsbCableServer::UsbCableServer(std::shared_ptr<SimCamera> camera, std::shared_ptr<CardFolder> card, Log log)
    : m_camera(camera), m_usb(std::make_unique<CanonUsbCamera>(camera, std::move(card),
                                                              [this](const std::string &name) {
                                                                  m_log("unimplemented request: " + name);
                                                              })),
      m_log(std::move(log))
{
}

UsbCableServer::~UsbCableServer()
{
    stop();
}

bool UsbCableServer::start(const std::string &path, std::string *error)
{
    sockaddr_un address{};
    if (path.size() >= sizeof address.sun_path) {
        *error = "socket path too long: " + path;
        return false;
    }
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    m_listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    // A socket left by a camera that is no longer served is taken over; a live one is not.
    if (m_listener >= 0 && ::connect(m_listener, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0) {
        *error = "a camera is already served on " + path;
        ::close(m_listener);
        m_listener = -1;
        return false;
    }
    if (m_listener >= 0) {
        ::close(m_listener);
        m_listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    }
    ::unlink(path.c_str());
    const mode_t old = ::umask(0077);
    const bool bound = m_listener >= 0 && ::bind(m_listener, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0 &&
                       ::listen(m_listener, 8) == 0;
    ::umask(old);
    if (!bound || ::pipe2(m_wake, O_CLOEXEC) != 0) {
        *error = path + ": " + std::strerror(errno);
        if (m_listener >= 0)
            ::close(m_listener);
        m_listener = -1;
        return false;
    }
    m_path = path;
    m_acceptor = std::thread([this] { acceptLoop(); });
    return true;
}

void UsbCableServer::stop()
{
    if (m_listener < 0)
        return;
    const char wake = 1;
    (void)!::write(m_wake[1], &wake, 1);
    m_acceptor.join();
    std::list<Connection> connections;
    {
        std::lock_guard lock(m_mutex);
        for (Connection &connection : m_connections)
            ::shutdown(connection.fd, SHUT_RDWR);
        connections.splice(connections.end(), m_connections);
    }
    for (Connection &connection : connections) {
        connection.thread.join();
        ::close(connection.fd);
    }
    ::close(m_listener);
    ::close(m_wake[0]);
    ::close(m_wake[1]);
    ::unlink(m_path.c_str());
    m_listener = -1;
}

void UsbCableServer::acceptLoop()
{
    for (;;) {
        pollfd fds[2] = {{m_listener, POLLIN, 0}, {m_wake[0], POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0 && errno != EINTR)
            return;
        if (fds[1].revents)
            return;
        if (!(fds[0].revents & POLLIN))
            continue;
        const int fd = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0)
            continue;
        ucred peer{};
        socklen_t length = sizeof peer;
        if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &length) != 0 || peer.uid != ::getuid()) {
            ::close(fd);
            continue;
        }
        std::lock_guard lock(m_mutex);
        reapFinished();
        Connection &connection = m_connections.emplace_back();
        connection.fd = fd;
        connection.thread = std::thread([this, &connection] {
            serve(connection.fd);
            connection.done = true;
        });
    }
}

void UsbCableServer::reapFinished()
{
    for (auto it = m_connections.begin(); it != m_connections.end();) {
        if (it->done) {
            it->thread.join();
            ::close(it->fd);
            it = m_connections.erase(it);
        } else {
            ++it;
        }
    }
}

void UsbCableServer::serve(int fd)
{
    WirePace pace;
    // The cable's speed is the camera's configuration, fixed while it is served.
    const uint32_t bytesPerSecond = m_camera->config().transferBytesPerSecond;
    bool claimed = false;
    auto release = [&] {
        std::lock_guard lock(m_mutex);
        if (claimed && m_claimedBy == fd) {
            m_usb->detach();
            m_claimedBy = -1;
        }
        claimed = false;
    };

    for (;;) {
        cable::Request request{};
        if (!cable::receiveAll(fd, &request, sizeof request) || request.dataLength > cable::kMaxTransfer ||
            request.size > cable::kMaxTransfer)
            break;
        Bytes data(request.dataLength);
        if (!data.empty() && !cable::receiveAll(fd, data.data(), data.size()))
            break;

        const auto op = static_cast<cable::Op>(request.op);
        if (op == cable::Op::Identify) {
            if (!m_camera->present()) {
                answer(fd, cable::Gone);
                continue;
            }
            Bytes ids(4);
            ids[0] = kCanonVendor & 0xFF;
            ids[1] = kCanonVendor >> 8;
            const uint16_t product = m_camera->state().model.usbProduct;
            ids[2] = product & 0xFF;
            ids[3] = product >> 8;
            answer(fd, cable::Ok, ids);
            continue;
        }
        if (op == cable::Op::Claim) {
            std::lock_guard lock(m_mutex);
            if (m_claimedBy >= 0 && m_claimedBy != fd) {
                answer(fd, cable::Claimed);
                continue;
            }
            claimed = m_camera->present() && (m_claimedBy == fd || m_usb->attach());
            if (claimed)
                m_claimedBy = fd;
            answer(fd, claimed ? cable::Ok : cable::Gone);
            continue;
        }
        if (!claimed || !m_camera->present()) {
            // Pulled out: the host's device is gone for good, even after the cable returns.
            release();
            answer(fd, cable::Gone);
            continue;
        }
        switch (op) {
        case cable::Op::ControlRead: {
            const auto bytes = m_usb->controlRead(request.request, request.value, request.index, request.size);
            if (bytes)
                answer(fd, static_cast<int32_t>(bytes->size()), *bytes);
            else
                answer(fd, cable::Stall);
            break;
        }
        case cable::Op::ControlWrite:
            if (m_usb->controlWrite(request.request, request.value, request.index, data))
                answer(fd, static_cast<int32_t>(data.size()));
            else
                answer(fd, cable::Stall);
            break;
        case cable::Op::BulkRead: {
            Bytes bytes = m_usb->bulkRead(request.size);
            if (bytes.empty()) {
                answer(fd, cable::Timeout);
                break;
            }
            // A cable set to be pulled mid-transfer lets through what it carried until then.
            uint64_t crossing = bytes.size();
            const bool stillThere = m_camera->crossCable(&crossing);
            bytes.resize(static_cast<size_t>(crossing));
            pace.carry(bytes.size(), bytesPerSecond);
            if (!stillThere && bytes.empty())
                answer(fd, cable::Gone);
            else
                answer(fd, static_cast<int32_t>(bytes.size()), bytes);
            break;
        }
        case cable::Op::BulkWrite:
            answer(fd, m_usb->bulkWrite(data) ? static_cast<int32_t>(data.size()) : cable::Stall);
            break;
        case cable::Op::InterruptRead: {
            // Waited in short slices, so that a pulled cable ends the wait at once.
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(request.timeoutMs);
            std::optional<Bytes> packet;
            bool gone = false;
            for (;;) {
                const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                    deadline - std::chrono::steady_clock::now());
                packet = m_usb->interruptRead(request.size, std::clamp(left, std::chrono::milliseconds(0), kGoneCheck));
                gone = !m_camera->present();
                if (packet || gone || left <= kGoneCheck)
                    break;
            }
            if (gone)
                answer(fd, cable::Gone);
            else if (packet)
                answer(fd, static_cast<int32_t>(packet->size()), *packet);
            else
                answer(fd, cable::Timeout);
            break;
        }
        default:
            answer(fd, cable::Bad);
        }
    }
    release();
    // The descriptor stays open until the thread is joined, so stop() never shuts down a reused number.
    ::shutdown(fd, SHUT_RDWR);
}

} // namespace simcam
