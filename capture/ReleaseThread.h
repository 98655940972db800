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
// stop() never needs to kill the thread: it cancels the transfer in progress
// through its stream, gives up any open exception box and wakes the thread,
// which then drops the images not yet fetched and ends.
#ifndef QUILLOMAT_CAPTURE_RELEASETHREAD_H
#define QUILLOMAT_CAPTURE_RELEASETHREAD_H

#include "ImageEventQueue.h"
#include "ImageFileWriter.h"
#include "ModalReply.h"

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

    // Ends the thread; the session has cleared its running flag first. Waits
    // up to the session's 15 checks of 100 ms, notes in the log when the
    // thread took longer, and then waits for it to end.
    void stop();
    bool hasEnded() const;

    // The texts of the exception box for an SDK error word: only the low 16
    // bits are looked at.
    static std::string exceptionText(uint32_t code);

private:
    void run() noexcept;
    void drain();
    void processEntry(const ImageEvent &entry);
    void processFullView(const ImageEvent &entry, psMemoryStream &stream, bool preview);
    void postInformation(std::span<const uint8_t> jpeg);
    void postJpeg(std::vector<uint8_t> bytes);
    ImageFileResult writeFile(ImageKind kind, std::span<const uint8_t> data, const LocalDate &date);
    void reportSaved(const ImageFileResult &result, const char *label);
    void restoreUserParameters();
    void reportException(uint32_t code);
    void showExceptionBox(const std::string &text);
    bool stopping() const;

    Camera &m_camera;

    mutable std::mutex m_mutex;
    std::condition_variable m_endedChanged;
    bool m_ended = false;
    bool m_stopping = false;
    psMemoryStream *m_stream = nullptr;    // the transfer in progress
    std::optional<ModalReply> m_openBox;   // the exception box on show

    // The release thread's own: the date of the raw shot whose THM was
    // written last, for its CRW.
    struct RawShotDate {
        uint32_t sequence = 0;
        LocalDate date;
    };
    std::optional<RawShotDate> m_rawShotDate;

    std::thread m_thread;  // last: starts once everything above exists
};

#endif
