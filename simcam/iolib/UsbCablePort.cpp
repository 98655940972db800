// quillomat-usb: a libgphoto2 port library whose one USB port is the
// emulated cable to a camera served by `quillomat-simcam serve`. Point
// libgphoto2 at it with IOLIBS=<this library's folder>; the camera drivers
// (CAMLIBS) stay Debian's own.
#include "PortOperations.h"
#include "UsbCable.h"

#include <gphoto2/gphoto2-port-result.h>

#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include <sys/socket.h>
#include <sys/time.h>
#include <sys/un.h>
#include <unistd.h>

namespace cable = simcam::cable;

struct _GPPortPrivateLibrary {
    int fd = -1;   // the cable to the camera while the port is open
};

namespace {

// Endpoints and sizes of the camera's one interface, as a real D30/D60 reports them.
constexpr int kEndpointIn = 0x81;
constexpr int kEndpointOut = 0x02;
constexpr int kEndpointInterrupt = 0x83;
constexpr int kMaxPacketSize = 64;
// Beyond the transfer's own time-out, how long a silent cable is waited for.
constexpr int kCableGraceMs = 5000;

int connectCable(int timeoutMs)
{
    sockaddr_un address{};
    const std::string path = cable::socketPath();
    if (path.size() >= sizeof address.sun_path)
        return -1;
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    if (::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    const timeval wait{(timeoutMs + kCableGraceMs) / 1000, ((timeoutMs + kCableGraceMs) % 1000) * 1000};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
    return fd;
}

int errorFor(int32_t status, int otherwise)
{
    switch (status) {
    case cable::Gone: return GP_ERROR_IO_USB_FIND;
    case cable::Claimed: return GP_ERROR_IO_USB_CLAIM;
    case cable::Timeout: return GP_ERROR_TIMEOUT;
    case cable::Bad: return GP_ERROR_NOT_SUPPORTED;
    default: return otherwise;
    }
}

// One transfer: the request, then the answer with its bytes copied to out
// (at most outSize). The result is the answer's status; a broken cable is Gone.
int32_t exchange(int fd, cable::Request request, const char *data, char *out, int outSize)
{
    if (fd < 0)
        return cable::Gone;
    request.dataLength = data ? request.dataLength : 0;
    if (!cable::sendAll(fd, &request, sizeof request) ||
        (request.dataLength > 0 && !cable::sendAll(fd, data, request.dataLength)))
        return cable::Gone;
    cable::Answer answer{};
    if (!cable::receiveAll(fd, &answer, sizeof answer) || answer.dataLength > cable::kMaxTransfer)
        return cable::Gone;
    std::vector<char> bytes(answer.dataLength);
    if (!bytes.empty() && !cable::receiveAll(fd, bytes.data(), bytes.size()))
        return cable::Gone;
    if (answer.status < 0)
        return answer.status;
    const size_t copied = std::min<size_t>(bytes.size(), outSize > 0 ? static_cast<size_t>(outSize) : 0);
    if (out && copied > 0)
        std::memcpy(out, bytes.data(), copied);
    return out ? static_cast<int32_t>(copied) : answer.status;
}

cable::Request makeRequest(cable::Op op, int size, int timeoutMs)
{
    cable::Request request{};
    request.op = static_cast<uint8_t>(op);
    request.size = size > 0 ? static_cast<uint32_t>(size) : 0;
    request.timeoutMs = timeoutMs > 0 ? static_cast<uint32_t>(timeoutMs) : 0;
    return request;
}

int cableInit(GPPort *port)
{
    port->pl = new (std::nothrow) _GPPortPrivateLibrary;
    return port->pl ? GP_OK : GP_ERROR_NO_MEMORY;
}

int cableClose(GPPort *port)
{
    if (port && port->pl && port->pl->fd >= 0) {
        ::close(port->pl->fd);
        port->pl->fd = -1;
    }
    return GP_OK;
}

int cableExit(GPPort *port)
{
    cableClose(port);
    delete port->pl;
    port->pl = nullptr;
    return GP_OK;
}

int cableOpen(GPPort *port)
{
    cableClose(port);
    const int fd = connectCable(port->timeout);
    if (fd < 0)
        return GP_ERROR_IO_USB_FIND;
    const int32_t status = exchange(fd, makeRequest(cable::Op::Claim, 0, 0), nullptr, nullptr, 0);
    if (status < 0) {
        ::close(fd);
        if (status == cable::Claimed)
            gp_port_set_error(port, "Could not claim the USB device: another program has the camera open");
        return errorFor(status, GP_ERROR_IO);
    }
    port->pl->fd = fd;
    return GP_OK;
}

int cableFindDevice(GPPort *port, int vendor, int product)
{
    if (!vendor)
        return GP_ERROR_IO_USB_FIND;
    const int fd = connectCable(0);
    if (fd < 0)
        return GP_ERROR_IO_USB_FIND;
    char ids[4] = {};
    const int32_t status = exchange(fd, makeRequest(cable::Op::Identify, sizeof ids, 0), nullptr, ids, sizeof ids);
    ::close(fd);
    if (status != static_cast<int32_t>(sizeof ids))
        return GP_ERROR_IO_USB_FIND;
    const int foundVendor = static_cast<uint8_t>(ids[0]) | (static_cast<uint8_t>(ids[1]) << 8);
    const int foundProduct = static_cast<uint8_t>(ids[2]) | (static_cast<uint8_t>(ids[3]) << 8);
    if (foundVendor != vendor || (product && foundProduct != product))
        return GP_ERROR_IO_USB_FIND;
    port->settings.usb.config = 1;
    port->settings.usb.interface = 0;
    port->settings.usb.altsetting = 0;
    port->settings.usb.inep = kEndpointIn;
    port->settings.usb.outep = kEndpointOut;
    port->settings.usb.intep = kEndpointInterrupt;
    port->settings.usb.maxpacketsize = kMaxPacketSize;
    return GP_OK;
}

int cableFindDeviceByClass(GPPort *, int, int, int)
{
    // The camera's interface is vendor-specific; it belongs to no class a driver asks for.
    return GP_ERROR_IO_USB_FIND;
}

int cableRead(GPPort *port, char *bytes, int size)
{
    const int32_t status = exchange(port->pl->fd, makeRequest(cable::Op::BulkRead, size, port->timeout), nullptr,
                                    bytes, size);
    return status >= 0 ? status : errorFor(status, GP_ERROR_IO_READ);
}

int cableWrite(GPPort *port, const char *bytes, int size)
{
    cable::Request request = makeRequest(cable::Op::BulkWrite, 0, port->timeout);
    request.dataLength = static_cast<uint32_t>(size > 0 ? size : 0);
    const int32_t status = exchange(port->pl->fd, request, bytes, nullptr, 0);
    return status >= 0 ? status : errorFor(status, GP_ERROR_IO_WRITE);
}

int cableCheckInterrupt(GPPort *port, char *bytes, int size, int timeout)
{
    // An empty wait ends in a time-out, never in 0 bytes: drivers poll in a loop.
    const int32_t status = exchange(port->pl->fd, makeRequest(cable::Op::InterruptRead, size, timeout), nullptr,
                                    bytes, size);
    if (status == 0)
        return GP_ERROR_TIMEOUT;
    return status >= 0 ? status : errorFor(status, GP_ERROR_IO_READ);
}

int cableMessageWrite(GPPort *port, int request, int value, int index, char *bytes, int size)
{
    cable::Request r = makeRequest(cable::Op::ControlWrite, 0, port->timeout);
    r.request = static_cast<uint8_t>(request);
    r.value = static_cast<uint16_t>(value);
    r.index = static_cast<uint16_t>(index);
    r.dataLength = static_cast<uint32_t>(size > 0 ? size : 0);
    const int32_t status = exchange(port->pl->fd, r, bytes, nullptr, 0);
    return status >= 0 ? status : errorFor(status, GP_ERROR_IO_WRITE);
}

int cableMessageRead(GPPort *port, int request, int value, int index, char *bytes, int size)
{
    cable::Request r = makeRequest(cable::Op::ControlRead, size, port->timeout);
    r.request = static_cast<uint8_t>(request);
    r.value = static_cast<uint16_t>(value);
    r.index = static_cast<uint16_t>(index);
    const int32_t status = exchange(port->pl->fd, r, nullptr, bytes, size);
    return status >= 0 ? status : errorFor(status, GP_ERROR_IO_READ);
}

int cableNothingToDo(GPPort *)
{
    return GP_OK;
}

int cableClearHalt(GPPort *, int)
{
    return GP_OK;
}

} // namespace

extern "C" {

__attribute__((visibility("default"))) GPPortType gp_port_library_type(void)
{
    return GP_PORT_USB;
}

__attribute__((visibility("default"))) int gp_port_library_list(GPPortInfoList *list)
{
    // The pattern lets "usb:" name the port; the named entry is the one cable.
    GPPortInfo info;
    if (gp_port_info_new(&info) < GP_OK)
        return GP_ERROR_NO_MEMORY;
    gp_port_info_set_type(info, GP_PORT_USB);
    gp_port_info_set_name(info, "");
    gp_port_info_set_path(info, "^usb:");
    gp_port_info_list_append(list, info);

    if (gp_port_info_new(&info) < GP_OK)
        return GP_ERROR_NO_MEMORY;
    gp_port_info_set_type(info, GP_PORT_USB);
    gp_port_info_set_name(info, "Universal Serial Bus");
    gp_port_info_set_path(info, "usb:001,002");
    return gp_port_info_list_append(list, info) < GP_OK ? GP_ERROR : GP_OK;
}

__attribute__((visibility("default"))) GPPortOperations *gp_port_library_operations(void)
{
    // libgphoto2 frees the table with free().
    auto *ops = static_cast<GPPortOperations *>(std::calloc(1, sizeof(GPPortOperations)));
    if (!ops)
        return nullptr;
    ops->init = cableInit;
    ops->exit = cableExit;
    ops->open = cableOpen;
    ops->close = cableClose;
    ops->read = cableRead;
    ops->check_int = cableCheckInterrupt;
    ops->write = cableWrite;
    ops->update = cableNothingToDo;
    ops->find_device = cableFindDevice;
    ops->find_device_by_class = cableFindDeviceByClass;
    ops->clear_halt = cableClearHalt;
    ops->msg_write = cableMessageWrite;
    ops->msg_read = cableMessageRead;
    ops->msg_interface_write = cableMessageWrite;
    ops->msg_interface_read = cableMessageRead;
    ops->msg_class_write = cableMessageWrite;
    ops->msg_class_read = cableMessageRead;
    ops->reset = cableNothingToDo;
    return ops;
}

} // extern "C"
