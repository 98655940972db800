// The camera's side of the Canon USB protocol of the EOS D30 and D60, as
// libgphoto2's canon driver speaks it: the wake-up handshake on the control
// pipe, commands written as control transfers, replies read from the bulk-in
// pipe as a byte stream, and short packets on the interrupt pipe.
//
// It answers for the simulated camera (its settings, clock, owner, locks and
// release control, through the same driver operations the program uses) and
// for its card folder. One host at a time talks to it; every call comes from
// that host's thread, except the events the camera itself raises.
#ifndef QUILLOMAT_SIMCAM_CANONUSBCAMERA_H
#define QUILLOMAT_SIMCAM_CANONUSBCAMERA_H

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include <psLLAPI.h>

namespace simcam {

class CardFolder;
class SimCamera;

using Bytes = std::vector<uint8_t>;

class CanonUsbCamera {
public:
    // unimplemented is told the name of every request the camera does not know.
    CanonUsbCamera(std::shared_ptr<SimCamera> camera, std::shared_ptr<CardFolder> card,
                   std::function<void(const std::string &)> unimplemented);
    ~CanonUsbCamera();
    CanonUsbCamera(const CanonUsbCamera &) = delete;
    CanonUsbCamera &operator=(const CanonUsbCamera &) = delete;

    // A host opened the cable (false: the camera is off or gone) / closed it.
    bool attach();
    void detach();

    // Control transfers. No value: the camera stalls the request.
    std::optional<Bytes> controlRead(uint8_t request, uint16_t value, uint16_t index, uint32_t size);
    bool controlWrite(uint8_t request, uint16_t value, uint16_t index, const Bytes &data);
    // Bulk-in: at most size bytes of what the camera has to say (empty: nothing).
    Bytes bulkRead(uint32_t size);
    // Bulk-out: the driver never writes there; the camera stalls it.
    bool bulkWrite(const Bytes &data);
    // The interrupt pipe: a packet, or nothing within the time-out.
    std::optional<Bytes> interruptRead(uint32_t size, std::chrono::milliseconds timeout);

    // Whether the camera would still answer (false once unplugged or off).
    bool present() const;

private:
    struct Command;
    struct Reply {
        uint32_t status = 0;
        Bytes data;
    };

    void runCommand(const Bytes &packet);
    Reply dispatch(const Command &command, bool *known, uint32_t *replyLength);
    Reply remoteControl(const Command &command, uint32_t *replyLength);
    Bytes directoryListing(const std::string &cameraPath, uint8_t depth) const;
    Bytes fileAnswer(const Command &command) const;
    Reply diskInfo() const;
    Reply deleteFile(const Command &command);
    void queueInterrupt(Bytes packet);
    Reply release();
    Bytes capturedImage(const Command &command) const;
    // Events of the camera (its own thread) and files it wrote to its card.
    static psResult onEvent(uint32_t event, const void *data, uint32_t, void *context);
    void cameraEvent(uint32_t event, const void *data);
    void cardWritten();

    std::shared_ptr<SimCamera> m_camera;
    std::shared_ptr<CardFolder> m_card;
    std::function<void(const std::string &)> m_unimplemented;

    psDeviceHandle m_device = 0;
    bool m_wokenBefore = false;    // the camera answers 'A' once a host has woken it
    bool m_awake = false;
    Bytes m_bulkIn;                // what the host still has to read
    size_t m_bulkOffset = 0;

    mutable std::mutex m_mutex;    // guards the interrupt queue and the release under way
    std::condition_variable m_interruptReady;
    std::deque<Bytes> m_interrupts;
    uint8_t m_transferMode = 0;    // the host's transfer mode (thumbnail/full image, to PC/card)
    struct Release {
        bool active = false;
        bool toCard = false;
        bool wroteCard = false;
        int images = 0;            // image events sent to the PC
    } m_release;
};

} // namespace simcam

#endif
