#include "UsbCable.h"

#include <cerrno>
#include <cstdlib>

#include <sys/socket.h>
#include <unistd.h>

namespace simcam::cable {

std::string socketPath()
{
    const char *runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && *runtime)
        return std::string(runtime) + "/quillomat-simcam.usb";
    return "/tmp/quillomat-simcam-" + std::to_string(getuid()) + ".usb";
}

bool sendAll(int fd, const void *data, size_t size)
{
    const auto *bytes = static_cast<const uint8_t *>(data);
    while (size > 0) {
        const ssize_t sent = ::send(fd, bytes, size, MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR)
            continue;
        if (sent <= 0)
            return false;
        bytes += sent;
        size -= static_cast<size_t>(sent);
    }
    return true;
}

bool receiveAll(int fd, void *data, size_t size)
{
    auto *bytes = static_cast<uint8_t *>(data);
    while (size > 0) {
        const ssize_t got = ::recv(fd, bytes, size, 0);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        bytes += got;
        size -= static_cast<size_t>(got);
    }
    return true;
}

} // namespace simcam::cable
