// One opened camera: its thread, what it reported at opening, the shots it
// has announced and the files on its card already delivered.
#ifndef QUILLOMAT_USBCAM_CAMERASESSION_H
#define QUILLOMAT_USBCAM_CAMERASESSION_H

#include "CameraThread.h"
#include "GphotoCamera.h"
#include "ReleaseFields.h"

#include <psLLAPI.h>

#include <atomic>
#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

namespace usbcam {

class CameraSession : public std::enable_shared_from_this<CameraSession> {
public:
    CameraSession(psDeviceHandle handle, psEventCallback callback, void *context);
    ~CameraSession();

    // Opens the camera on its thread; 0 or the error word.
    psResult open(const DetectedCamera &camera);
    // Leaves the camera; never waits long for a camera that does not answer.
    void close();

    psDeviceHandle handle() const { return m_handle; }
    const psDeviceInfo &info() const { return m_info; }
    uint32_t reachable() const { return m_reachable; }

    psResult getReleaseParams(uint8_t *out);
    psResult setReleaseParams(const uint8_t *in);
    psResult setTransferFlags(uint16_t flags);
    psResult shotsRemaining(uint32_t *shots);
    psResult release();
    psResult releasedImage(uint32_t kind, uint32_t sequence, pslStream *stream);
    bool gone() const { return m_gone.load(); }

private:
    struct Shot {
        uint8_t format = PS_IMAGE_FORMAT_JPEG;
        CardFile full;
        std::vector<uint8_t> thumbnail;
        bool keepOnCard = true;
        Download held;                   // a full image sent straight to the PC
    };

    // Runs a camera job; a GphotoFailure inside becomes the returned word.
    // The job must own everything it uses: it may outlive the call.
    psResult call(std::function<void()> job, std::chrono::milliseconds timeout);
    psResult failureWord(const GphotoFailure &failure);
    psResult readCardSpace(CardSpace &space);
    void markGone();
    psResult deliver(uint32_t event, const void *data);

    bool idle();
    void runRelease(bool toHost);
    // A JPEG straight to the PC, nothing on the card (PC-only mode).
    void deliverHostShot(const Download &image);
    // Announces every image on the card not yet delivered, oldest first.
    void deliverNewFiles(const std::vector<CardFile> &card);
    void readBlock(const GphotoCamera::Config &config);
    uint64_t bytesPerShot() const;

    const psDeviceHandle m_handle;
    std::mutex m_callbackMutex;              // held while the callback runs; close waits for it
    psEventCallback m_callback;
    void *m_context;

    // Touched on the camera thread only (and by open before the thread works).
    std::unique_ptr<GphotoCamera> m_camera;
    std::set<std::string> m_delivered;       // "folder/name" of every file known or delivered
    std::string m_lastIdleFailure;
    std::chrono::steady_clock::time_point m_lastRequest = std::chrono::steady_clock::now();

    std::mutex m_mutex;                      // the state below, shared with callers
    psDeviceInfo m_info{};
    uint32_t m_reachable = 0;
    ReleaseBlock m_block{};
    uint16_t m_transferFlags = PS_TRANSFER_PC_ONLY;
    std::map<uint32_t, Shot> m_shots;
    uint32_t m_nextSequence = 1;
    bool m_releasing = false;

    std::atomic<bool> m_gone{false};
    std::unique_ptr<CameraThread> m_thread;  // last: goes first
};

} // namespace usbcam

#endif
