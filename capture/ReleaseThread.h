// The worker that fetches and saves the images of each release.
//
// One per session, started by the session and running until it is torn
// down. It sleeps on the session's release event; at each release complete
// it drains the ready queue: fetches each announced image into memory,
// writes the JPEG (or the THM and CRW of a raw shot) under the next image
// name, and hands the window the picture and its information texts, then
// posts WM_CAMERA_RELEASE_COMPLETE. No exception leaves the thread: SDK
// errors become the exception box, one per failing image.
//
// stop() never needs to kill the thread: it gives up any open exception box
// and wakes the thread, which fetches and saves every image the camera has
// announced before it ends, reporting progress as usual. A camera that is
// gone (shutdown event, unplugged), or that delivers nothing for
// kTeardownStallLimit, ends it at once: the transfer in progress is cancelled
// through its stream. Every announced image that is not saved gets one line
// in the diagnostic log naming it and saying why; those given up without an
// error box are also listed for the window (Camera::unsavedImages). A raw
// shot's THM written before its CRW was lost stays, and the log names the
// CRW it misses.
#ifndef QUILLOMAT_CAPTURE_RELEASETHREAD_H
#define QUILLOMAT_CAPTURE_RELEASETHREAD_H

#include "ImageEventQueue.h"
#include "ImageFileWriter.h"
#include "ModalReply.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <thread>
#include <vector>

class Camera;
class psMemoryStream;

class ReleaseThread {
public:
    // Starts the thread for the session.
    explicit ReleaseThread(Camera &camera);
    // Stops it if stop() was not called.
    ~ReleaseThread();
    ReleaseThread(const ReleaseThread &) = delete;
    ReleaseThread &operator=(const ReleaseThread &) = delete;

    // Ends the thread; the session has cleared its running flag first. With
    // nothing left to fetch the thread ends within the session's 15 checks
    // of 100 ms (the log notes when it takes longer); otherwise it first
    // saves the images left, as long as the camera answers.
    void stop();
    bool hasEnded() const;
    // A transfer is in progress.
    bool isFetching() const;

    // How long a teardown waits for a camera that delivers nothing.
    static constexpr std::chrono::seconds kTeardownStallLimit{5};

    // The texts of the exception box for an SDK error word: only the low 16
    // bits are looked at.
    static std::string exceptionText(uint32_t code);

private:
    void run() noexcept;
    void drain();
    void processEntry(const ImageEvent &entry, bool preview);
    void processFullView(const ImageEvent &entry, psMemoryStream &stream, bool preview);
    void postInformation(std::span<const uint8_t> jpeg);
    void postJpeg(std::vector<uint8_t> bytes);
    ImageFileResult writeFile(ImageKind kind, std::span<const uint8_t> data, const LocalDate &date);
    void reportSaved(const ImageFileResult &result, const char *label);
    void restoreUserParameters();
    void reportException(uint32_t code);
    void showExceptionBox(const std::string &text);
    bool stopping() const;
    void noteActivity();
    // Why the images left cannot be fetched any more, or null.
    const char *reasonToGiveUp() const;
    bool keepsAFile(const ImageEvent &entry, bool previewImage) const;
    // One log line for an announced image that was not saved (and one for
    // the THM it leaves without its CRW). Given up without an error box, it
    // is also noted for the window to tell.
    void logLost(const ImageEvent &entry, bool previewImage, const std::string &why);

    Camera &m_camera;

    mutable std::mutex m_mutex;
    std::condition_variable m_endedChanged;
    bool m_ended = false;
    bool m_stopping = false;
    bool m_abandoned = false;              // the images left are given up
    std::chrono::steady_clock::time_point m_lastActivity;
    std::optional<ImageDirectorySettings> m_teardownSettings;
    psMemoryStream *m_stream = nullptr;    // the transfer in progress
    std::optional<ModalReply> m_openBox;   // the exception box on show

    // The release thread's own: the date of the raw shot whose THM was
    // written last, for its CRW, and the THM's path (empty when it was not
    // written).
    struct RawShotDate {
        uint32_t sequence = 0;
        LocalDate date;
        std::string thumbnailPath;
    };
    std::optional<RawShotDate> m_rawShotDate;

    std::thread m_thread;  // last: starts once everything above exists
};

#endif
