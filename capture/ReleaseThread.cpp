#include "ReleaseThread.h"

#include "Camera.h"
#include "CrwEmbeddedJpeg.h"
#include "DiagnosticLog.h"
#include "FormatText.h"
#include "ImageInfo.h"
#include "InfoText.h"
#include "Pscstrms.h"
#include "psDebugOutput.h"
#include "psError.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace {

// Registers the stream of the transfer in progress so that stop() can cancel it.
class StreamRegistration {
public:
    StreamRegistration(std::mutex &mutex, psMemoryStream *&slot, const bool &abandoned, psMemoryStream &stream)
        : m_mutex(mutex), m_slot(slot)
    {
        std::lock_guard lock(m_mutex);
        m_slot = &stream;
        if (abandoned)
            stream.cancel();
    }
    ~StreamRegistration()
    {
        std::lock_guard lock(m_mutex);
        m_slot = nullptr;
    }
    StreamRegistration(const StreamRegistration &) = delete;
    StreamRegistration &operator=(const StreamRegistration &) = delete;

private:
    std::mutex &m_mutex;
    psMemoryStream *&m_slot;
};

bool looksLikeCrw(std::span<const uint8_t> data)
{
    return data.size() >= 2 && data[0] == 'I' && data[1] == 'I';
}

} // namespace

ReleaseThread::ReleaseThread(Camera &camera) : m_camera(camera)
{
    // The event is created signalled; the thread starts out waiting.
    m_camera.m_releaseEvent.reset();
    m_thread = std::thread([this] { run(); });
}

ReleaseThread::~ReleaseThread()
{
    stop();
}

std::string ReleaseThread::exceptionText(uint32_t code)
{
    switch (psErrorCode(code)) {
    case psERR_STREAM_OPEN_ERROR:
        return "Error: unable to write image to disk\n";
    case psERR_STREAM_WRITE_ERROR:
    case psERR_FILE_DISK_FULL_ERROR:
        return "Error: disk full\n";
    default:
        return formatText("PowerShot SDK Exception (0x%08x)", code);
    }
}

void ReleaseThread::stop()
{
    if (!m_thread.joinable())
        return;
    // Taken here, on the caller's thread: the thread never has to ask a
    // window that is busy destroying the session.
    const ImageDirectorySettings settings = m_camera.m_window.imageDirectorySettings();
    {
        std::lock_guard lock(m_mutex);
        m_teardownSettings = settings;
        m_stopping = true;
        m_lastActivity = std::chrono::steady_clock::now();
        if (m_openBox)
            m_openBox->abandon();
    }
    m_camera.m_releaseEvent.set();
    {
        // The thread saves what the camera announced, as long as the camera
        // answers; a camera that is gone, or that stops delivering, ends it.
        std::unique_lock lock(m_mutex);
        for (int check = 1; !m_ended; ++check) {
            if (m_endedChanged.wait_for(lock, Camera::kStopCheckInterval, [this] { return m_ended; }))
                break;
            const bool gone = m_camera.isCameraGone();
            const bool stalled = std::chrono::steady_clock::now() - m_lastActivity > kTeardownStallLimit;
            if ((gone || stalled) && !m_abandoned) {
                m_abandoned = true;
                logMessage(gone ? "ReleaseThread: the camera is gone, giving up the images left"
                                : "ReleaseThread: the camera stopped answering, giving up the images left");
            }
            if (m_abandoned && m_stream != nullptr)
                m_stream->cancel();
            if (check == Camera::kStopChecks && m_stream == nullptr)
                logMessage("ReleaseThread still running after 15 checks, waiting for it to end");
        }
    }
    m_thread.join();
}

bool ReleaseThread::hasEnded() const
{
    std::lock_guard lock(m_mutex);
    return m_ended;
}

bool ReleaseThread::isFetching() const
{
    std::lock_guard lock(m_mutex);
    return m_stream != nullptr;
}

void ReleaseThread::noteActivity()
{
    std::lock_guard lock(m_mutex);
    m_lastActivity = std::chrono::steady_clock::now();
}

const char *ReleaseThread::reasonToGiveUp() const
{
    if (m_camera.isCameraGone())
        return "the camera is gone";
    std::lock_guard lock(m_mutex);
    return m_abandoned ? "the camera stopped answering" : nullptr;
}

bool ReleaseThread::keepsAFile(const ImageEvent &entry, bool previewImage) const
{
    if (previewImage)
        return false;
    if (entry.kind == ImageEventKind::FullView)
        return true;
    // A raw shot's thumbnail is saved as its THM; in card-only mode the card keeps the image.
    return m_camera.cachedReleaseParams().bytes[ReleaseParams::kImageType] == PS_IMAGE_FORMAT_RAW
           && m_camera.storeMode() != StoreMode::CardOnly;
}

void ReleaseThread::logLost(const ImageEvent &entry, bool previewImage, const std::string &why)
{
    if (!keepsAFile(entry, previewImage)) {
        logMessage(formatText("ReleaseThread sequenceID=%ld, kind=%d dropped: %s",
                              static_cast<long>(entry.record.sequenceId()), static_cast<int>(entry.kind),
                              why.c_str()));
        return;
    }
    const std::string name = entry.fileName.empty()
                                 ? formatText("sequenceID=%ld", static_cast<long>(entry.record.sequenceId()))
                                 : entry.fileName;
    logMessage(formatText("Image not saved: %s (%s)", name.c_str(), why.c_str()));
    if (entry.kind == ImageEventKind::FullView && m_rawShotDate && m_rawShotDate->sequence == entry.record.sequence
        && !m_rawShotDate->thumbnailPath.empty()) {
        // The THM stays: it is the only picture of the shot the PC has.
        std::string crw = m_rawShotDate->thumbnailPath;
        crw.replace(crw.size() - 4, 4, ".CRW");
        logMessage(formatText("Kept %s without its raw image %s (%s)", m_rawShotDate->thumbnailPath.c_str(),
                              crw.c_str(), name.c_str()));
    }
    // The window learns of it nowhere else: an error box is shown only
    // while the session goes on with a camera that answers.
    if (stopping() || reasonToGiveUp() != nullptr)
        m_camera.noteUnsaved(name);
}

bool ReleaseThread::stopping() const
{
    std::lock_guard lock(m_mutex);
    return m_stopping;
}

void ReleaseThread::run() noexcept
{
    // At least one round, so that a teardown always gets its last release complete.
    for (;;) {
        // The event is reset only once it has been seen: a release complete
        // signalled while the queue is being drained wakes the next round
        // instead of being lost, and every one gets its WM_CAMERA_RELEASE_COMPLETE.
        // Teardown clears running before it signals.
        if (m_camera.m_running.load())
            m_camera.m_releaseEvent.wait();
        m_camera.m_releaseEvent.reset();
        if (m_camera.m_config.settleTime.count() > 0 && !stopping())
            std::this_thread::sleep_for(m_camera.m_config.settleTime);
        drain();
        // Teardown hands over the last announced images before it clears
        // running: once it is clear, they are in the queue or done.
        if (!m_camera.m_running.load() && m_camera.m_readyQueue.size() == 0)
            break;
    }
    {
        std::lock_guard lock(m_mutex);
        m_ended = true;
    }
    m_endedChanged.notify_all();
}

void ReleaseThread::drain()
{
    CameraWindow &window = m_camera.m_window;
    ImageEvent entry;
    for (;;) {
        while (m_camera.m_readyQueue.takeFirst(entry)) {
            const bool previewImage = m_camera.isPreviewImage(entry.record.sequence);
            if (const char *why = reasonToGiveUp()) {
                logLost(entry, previewImage, why);
                if (previewImage && entry.kind == ImageEventKind::FullView)
                    restoreUserParameters();
                continue;
            }
            noteActivity();
            const auto kind = static_cast<uint32_t>(entry.kind);
            const size_t remaining = m_camera.m_readyQueue.countFullViews();
            logMessage(formatText("ReleaseThread sequenceID=%ld, kind=%d, remaining:%d",
                                  static_cast<long>(entry.record.sequenceId()), static_cast<int>(kind),
                                  static_cast<int>(remaining)));
            window.postMessage(
                {CameraMessage::WM_CAMERA_TRANSFER_PROGRESS, static_cast<uint32_t>(remaining), {}, {}});

            try {
                processEntry(entry, previewImage);
            } catch (const psCException &e) {
                reportException(e.code);
            } catch (...) {
                showExceptionBox("Unknown exception");
            }

            // The preview's full view ends the preview, also when it failed.
            if (previewImage && entry.kind == ImageEventKind::FullView)
                restoreUserParameters();
        }
        // A preview whose release is complete without a full view of its own
        // (the lens could not focus, the event was lost) ends once everything
        // queued before its release complete has been processed.
        if (m_camera.m_previewShot.load() == Camera::PreviewShot::Completed) {
            if (m_camera.m_readyQueue.size() != 0)
                continue;
            restoreUserParameters();
        }
        break;
    }
    window.postMessage({CameraMessage::WM_CAMERA_RELEASE_COMPLETE, 0, {}, {}});
    logMessage("WM_CAMERA_RELEASE_COMPLETE");
}

void ReleaseThread::reportException(uint32_t code)
{
    if (stopping() || m_camera.isCameraGone()) {
        // The session is going: a box would hold up its end, and the window
        // tells of a camera that is gone itself.
        logMessage(formatText("ReleaseThread: 0x%08x while the session ends", code));
        return;
    }
    showExceptionBox(exceptionText(code));
}

void ReleaseThread::showExceptionBox(const std::string &text)
{
    logMessage("Exception Error (ReleaseThread): " + text);
    ModalReply reply;
    {
        std::lock_guard lock(m_mutex);
        if (m_stopping)
            return;
        m_openBox = reply;
    }
    m_camera.m_window.showExceptionBox(text, reply);
    reply.wait();
    std::lock_guard lock(m_mutex);
    m_openBox.reset();
}

void ReleaseThread::processEntry(const ImageEvent &entry, bool preview)
{
    CameraWindow &window = m_camera.m_window;
    psMemoryStream stream;
    stream.setProgressListener([this, &window](uint32_t percent) {
        noteActivity();
        window.setProgress(static_cast<uint16_t>(std::min<uint32_t>(percent, 0xFFFF)));
    });
    // The camera announces the size: receive the image without regrowing.
    stream.reserve(entry.record.dataSize);
    StreamRegistration registration(m_mutex, m_stream, m_abandoned, stream);

    if (!m_camera.m_release) {
        logLost(entry, preview, "m_release is NULL");
        return;
    }
    try {
        m_camera.m_release->getReleasedImage(&entry.record, stream.stream(), static_cast<uint32_t>(entry.kind));
    } catch (const psCException &e) {
        if (psErrorCode(e.code) == psERR_COMM_DISCONNECTED)
            m_camera.m_cameraGone.store(true);
        const char *why = reasonToGiveUp();
        logLost(entry, preview, why != nullptr ? std::string(why) : formatText("transfer error 0x%08x", e.code));
        throw;
    }

    if (entry.kind == ImageEventKind::FullView) {
        processFullView(entry, stream, preview);
        return;
    }

    const bool rawShot = m_camera.cachedReleaseParams().bytes[ReleaseParams::kImageType] == PS_IMAGE_FORMAT_RAW;
    const bool cardOnly = m_camera.storeMode() == StoreMode::CardOnly;
    if (!preview && cardOnly) {
        // The card keeps the image: the thumbnail is all the PC gets.
        if (rawShot)
            postInformation(stream.data());
        postJpeg(stream.takeData());
        try {
            const uint32_t shots = m_camera.m_release->getShotsRemaining();
            window.setStatusText(formatText("Image saved on CF card, %d images remaining", static_cast<int>(shots)));
        } catch (...) {
            window.setStatusText("Image saved on CF card");
        }
        return;
    }
    if (!preview && window.wantsThumbnails()) {
        // Shown at once, before the file is written: the full view takes seconds on a slow cable.
        const auto length = static_cast<uint32_t>(stream.data().size());
        window.postMessage({CameraMessage::WM_DISPLAY_THUMBNAIL, length, {},
                            std::vector<uint8_t>(stream.data().begin(), stream.data().end())});
    }
    if (rawShot && !preview) {
        // The CRW follows into this folder, even when the day changes in between.
        const LocalDate date = m_camera.m_config.today();
        m_rawShotDate = RawShotDate{entry.record.sequence, date, {}};
        const ImageFileResult thm = writeFile(ImageKind::RawThumbnail, stream.data(), date);
        if (thm.status == ImageFileStatus::Written)
            m_rawShotDate->thumbnailPath = thm.path;
        else
            logMessage("Unable to write: " + thm.path);
        postInformation(stream.data());
    }
    // A JPEG shot's thumbnail, or a preview's, is not needed.
}

void ReleaseThread::processFullView(const ImageEvent &entry, psMemoryStream &stream, bool preview)
{
    CameraWindow &window = m_camera.m_window;
    const bool raw = entry.record.isRaw() || looksLikeCrw(stream.data());

    // One date per shot: a raw shot's CRW goes where its THM went.
    LocalDate date;
    if (raw && m_rawShotDate && m_rawShotDate->sequence == entry.record.sequence)
        date = m_rawShotDate->date;
    else
        date = m_camera.m_config.today();
    m_rawShotDate.reset();

    if (preview)
        window.onImageSaved(std::string());
    else
        reportSaved(writeFile(raw ? ImageKind::Raw : ImageKind::Jpeg, stream.data(), date), raw ? "CRW" : "JPG");

    if (raw) {
        for (std::span<const uint8_t> jpeg : crwEmbeddedJpegs(stream.data())) {
            postJpeg(std::vector<uint8_t>(jpeg.begin(), jpeg.end()));
            logMessage("WM_DISPLAY_JPEG");
        }
        return;
    }
    postInformation(stream.data());
    postJpeg(stream.takeData());
    logMessage("WM_DISPLAY_JPEG");
}

void ReleaseThread::postInformation(std::span<const uint8_t> jpeg)
{
    ImageInfo info(jpeg.data(), jpeg.size());
    CameraWindow &window = m_camera.m_window;
    window.postMessage({CameraMessage::WM_DISPLAY_SHOT_INFO, 0, shotInfoText(info), {}});
    window.postMessage({CameraMessage::WM_DISPLAY_CAMERA_INFO, 0, cameraInfoText(info), {}});
}

void ReleaseThread::postJpeg(std::vector<uint8_t> bytes)
{
    const auto length = static_cast<uint32_t>(bytes.size());
    m_camera.m_window.postMessage({CameraMessage::WM_DISPLAY_JPEG, length, {}, std::move(bytes)});
}

ImageFileResult ReleaseThread::writeFile(ImageKind kind, std::span<const uint8_t> data, const LocalDate &date)
{
    std::optional<ImageDirectorySettings> teardown;
    {
        std::lock_guard lock(m_mutex);
        teardown = m_teardownSettings;
    }
    const ImageDirectorySettings settings = teardown ? *teardown : m_camera.m_window.imageDirectorySettings();
    return m_camera.m_config.writeFile(kind, settings, date, data.data(), data.size());
}

void ReleaseThread::reportSaved(const ImageFileResult &result, const char *label)
{
    CameraWindow &window = m_camera.m_window;
    switch (result.status) {
    case ImageFileStatus::Written:
        window.onImageSaved(result.path);
        psDebugOutput(formatText("Written %s: %s\n", label, result.path.c_str()));
        return;
    case ImageFileStatus::CannotCreate:
        logMessage("Unable to write: " + result.path);
        window.onImageSaved(std::string());
        window.showError("Unable to write: " + result.path);
        return;
    case ImageFileStatus::DiskFull:
        logMessage("Disk full while writing " + result.path);
        window.onImageSaved(std::string());
        showExceptionBox(exceptionText(psERR_FILE_DISK_FULL_ERROR));
        return;
    case ImageFileStatus::WriteError:
        logMessage(formatText("Error %d while writing %s", result.error, result.path.c_str()));
        window.onImageSaved(std::string());
        showExceptionBox(exceptionText(psERR_STREAM_OPEN_ERROR));
        return;
    }
}

void ReleaseThread::restoreUserParameters()
{
    // Once per preview shot, whichever way it ended.
    if (!m_camera.takePreviewEnd())
        return;
    if (m_camera.m_release && !m_camera.isCameraGone()) {
        m_camera.setUILock();
        try {
            m_camera.writeUserParametersBack();
        } catch (const psCException &e) {
            reportException(e.code);
        } catch (...) {
            showExceptionBox("Unknown exception");
        }
        m_camera.resetUILock();
    }
    m_camera.m_preview.store(false);
}
