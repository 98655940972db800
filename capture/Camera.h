// The program's session with one connected camera.
//
// Constructing it connects, puts the camera under release control and starts
// the release thread; destroying it lets the thread save the images the
// camera has announced (while the camera answers), stops it, puts the user's
// parameters back if a preview shot was still in flight, leaves release
// control and disconnects. It turns the driver's events (on the driver's thread) into
// queued image records and messages to the window, and offers the window the
// release, the preview shot, the lock of the camera's own controls, the store
// mode and the release parameters (on the user-interface thread).
//
// A release: the window locks the controls and calls release(); the camera
// announces release start, a thumbnail and a full view per image, then
// release complete; the release thread fetches and saves the images and
// posts WM_CAMERA_RELEASE_COMPLETE; the window unlocks the controls.
#ifndef QUILLOMAT_CAPTURE_CAMERA_H
#define QUILLOMAT_CAPTURE_CAMERA_H

#include "CameraWindow.h"
#include "ImageEventQueue.h"
#include "ImageFileWriter.h"
#include "Pscamera.h"
#include "ReleaseEvent.h"
#include "StoreMode.h"
#include "psRels.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class ReleaseThread;

// What a session may be given besides its window; the defaults are the program's.
struct CameraConfig {
    // The pause after release complete before the release thread is woken,
    // and again before it fetches: the driver's time to settle.
    std::chrono::milliseconds settleTime{100};
    // Saves one image file (tests inject a full disk).
    std::function<ImageFileResult(ImageKind, const ImageDirectorySettings &, const LocalDate &, const void *,
                                  std::size_t)>
        writeFile = writeImageFile;
    // The date images are filed under.
    std::function<LocalDate()> today = LocalDate::today;
};

class Camera : public psCameraConnection {
public:
    // How long teardown waits for the release thread: 15 checks of 100 ms.
    static constexpr int kStopChecks = 15;
    static constexpr std::chrono::milliseconds kStopCheckInterval{100};
    static constexpr std::chrono::milliseconds kBusyTimeout{5000};

    // Connects on the port type (PS_PORT_TYPE_USB, then PS_PORT_TYPE_SERIAL
    // is the window's order) and sets up the session. Raises what connecting
    // or entering release control raises, with nothing left open.
    Camera(CameraWindow &window, uint16_t portType, CameraConfig config = {});
    ~Camera() override;

    // Ends the session as destroying it does (the images announced are saved
    // first, as long as the camera answers); afterwards only unsavedImages()
    // is of use. Destroying a closed session does nothing more.
    void close() noexcept;
    // The camera's names ("CRW_0001.CRW") of the images it announced that
    // were given up without an error box: the camera went away or stopped
    // answering, or the session ended first. The window tells the user.
    std::vector<std::string> unsavedImages() const;

    // The model the camera reported ("EOS D60").
    std::string cameraModelName() const;

    // The Release or Preview command's work; the caller has locked the
    // controls. Nothing leaves it: failures reach the window. A preview shot
    // ends, with the user's parameters back on the camera and the preview
    // flag cleared, when its full view is processed, when its release
    // completes without one, when it is refused or fails here, or with the
    // session, whichever comes first.
    // True when the shutter was fired. False when the release was refused or
    // failed first (the window has been told why): no release start or
    // complete follows, so the caller gives the controls' lock back itself.
    bool release();
    void setPreview(bool preview) { m_preview.store(preview); }
    bool isPreview() const { return m_preview.load(); }

    // Locks the camera's own controls; false when that failed.
    bool setUILock();
    // Unlocks them; never fails.
    void resetUILock();

    void setStoreMode(StoreMode mode);
    StoreMode storeMode() const { return static_cast<StoreMode>(m_storeMode.load()); }
    ReleaseTransferFlags transferFlags() const;
    bool transferFlagsDirty() const;

    // Read the camera's release parameters into params (sending changed
    // transfer flags first), write them, or read one camera setting (block:
    // PS_CAMERA_SETTING_SIZE bytes). They raise SDK exceptions, and the text
    // "m_release is NULL" (a const char *) without release control.
    bool getReleaseParams(ReleaseParams &params);
    bool setReleaseParams(const ReleaseParams &params);
    bool readCameraSetting(uint8_t *block);
    // The parameters last read or written.
    ReleaseParams cachedReleaseParams() const;

    // Set while the settings panel reads the camera, so that its own reads do
    // not come back as control changes.
    void setIgnoreControlChanges(bool ignore) { m_ignoreControlChanges.store(ignore); }
    bool isReleaseInProgress() const { return m_releaseInProgress.load(); }
    uint32_t lockStatus() const { return m_lockStatus.load(); }

    // True while the camera has announced images that are not saved yet.
    // Destroying the session then first fetches and saves them (while the
    // camera answers), which can take as long as their transfer: a window
    // may say so (e.g. "Saving the remaining images...") before it does.
    bool hasImagesToSave() const;
    // The camera reported that it shut down or was unplugged.
    bool isCameraGone() const { return m_cameraGone.load(); }

protected:
    void eventNotification(uint32_t eventCode, const void *eventData, uint32_t contextWord) override;

private:
    friend class ReleaseThread;

    void imageEvent(uint32_t event, const void *eventData);
    void releaseControlEvent(uint32_t subEvent, uint32_t contextWord);
    void sendTransferFlagsIfDirty();
    // True when the shutter was fired.
    bool releaseShutter();
    bool previewShot();
    void tearDown() noexcept;
    // True for the images of the preview shot now in flight.
    bool isPreviewImage(uint32_t sequence) const;
    // The preview shot in flight has ended: true exactly once per shot.
    bool takePreviewEnd();
    void writeUserParametersBack();
    // The release thread gave up an image silently (see unsavedImages()).
    void noteUnsaved(const std::string &cameraName);

    CameraWindow &m_window;
    const CameraConfig m_config;

    // Shared by the user-interface thread and the release thread.
    mutable std::mutex m_stateMutex;
    ReleaseParams m_params;
    ReleaseTransferFlags m_transferFlags = PS_TRANSFER_PC_ONLY;
    bool m_transferFlagsDirty = false;
    std::atomic<uint32_t> m_storeMode{static_cast<uint32_t>(StoreMode::PcOnly)};
    std::atomic<bool> m_preview{false};
    // A preview shot from release() until its user parameters are back:
    // fired, then completed by the camera (release complete seen).
    enum class PreviewShot { None, Fired, Completed };
    std::atomic<PreviewShot> m_previewShot{PreviewShot::None};
    std::atomic<uint32_t> m_previewSequence{0};  // its sequence word once announced, else 0
    std::atomic<bool> m_cameraGone{false};
    std::atomic<bool> m_running{true};
    // Set first thing in teardown: events no longer touch the session.
    std::atomic<bool> m_closing{false};
    bool m_closed = false;  // teardown is done (close() or destruction)

    // Written by the release thread, read once it has ended.
    mutable std::mutex m_unsavedMutex;
    std::vector<std::string> m_unsaved;

    std::unique_ptr<psReleaseControl> m_release;
    ReleaseEvent m_releaseEvent;
    ImageEventQueue m_readyQueue;
    ImageEventQueue m_pendingQueue;

    // The driver's thread only.
    uint32_t m_pendingThumbnail = 0;
    ReleasedImageRecord m_savedThumbnail;
    std::string m_savedThumbnailName;

    std::atomic<bool> m_releaseInProgress{false};
    std::atomic<uint32_t> m_lockStatus{0};
    std::atomic<int32_t> m_lockCount{0};
    std::atomic<bool> m_ignoreControlChanges{false};

    std::unique_ptr<ReleaseThread> m_releaseThread;
};

#endif
