// The emulated USB cable between the port library (in the host's process)
// and the served camera: one Unix stream socket per opened port, carrying
// each USB transfer as a request and its answer.
#ifndef QUILLOMAT_SIMCAM_USBCABLE_H
#define QUILLOMAT_SIMCAM_USBCABLE_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace simcam::cable {

enum class Op : uint8_t {
    Identify = 1,     // answer: vendor and product id (16 bits each)
    Claim,            // the port is opened; only one host at a time
    ControlRead,
    ControlWrite,
    BulkRead,
    BulkWrite,
    InterruptRead,
};

enum Status : int32_t {
    Ok = 0,
    Gone = -1,        // no camera on the cable (unplugged, off)
    Claimed = -2,     // another host has the camera
    Stall = -3,       // the camera refused the transfer
    Timeout = -4,
    Bad = -5,         // a request the cable does not carry
};

#pragma pack(push, 1)
struct Request {
    uint8_t op;
    uint8_t request;
    uint16_t value;
    uint16_t index;
    uint16_t reserved;
    uint32_t size;        // bytes wanted (reads)
    uint32_t timeoutMs;
    uint32_t dataLength;  // bytes following (writes)
};
struct Answer {
    int32_t status;       // >= 0: bytes done; else a Status
    uint32_t dataLength;  // bytes following
};
#pragma pack(pop)

// No transfer on the cable is longer than this.
constexpr uint32_t kMaxTransfer = 16u << 20;

// $XDG_RUNTIME_DIR/quillomat-simcam.usb, else under /tmp with the user's id.
std::string socketPath();

bool sendAll(int fd, const void *data, size_t size);
bool receiveAll(int fd, void *data, size_t size);

} // namespace simcam::cable

#endif
