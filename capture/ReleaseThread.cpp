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
    StreamRegistration(std::mutex &mutex, psMemoryStream *&slot, bool &stopping, psMemoryStream &stream)
        : m_mutex(mutex), m_slot(slot)
    {
        std::lock_guard lock(m_mutex);
        m_slot = &stream;
        if (stopping)
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
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
        if (m_stream != nullptr)
            m_stream->cancel();
        if (m_openBox)
            m_openBox->abandon();
    }
    m_camera.m_releaseEvent.set();
    {
        std::unique_lock lock(m_mutex);
        for (int check = 0; check < Camera::kStopChecks && !m_ended; ++check)
            m_endedChanged.wait_for(lock, Camera::kStopCheckInterval, [this] { return m_ended; });
        if (!m_ended)
            logMessage("ReleaseThread still running after 15 checks, waiting for it to end");
    }
    m_thread.join();
}

bool ReleaseThread::hasEnded() const
{
    std::lock_guard lock(m_mutex);
    return m_ended;
}

bool ReleaseThread::stopping() const
{
    std::lock_guard lock(m_mutex);
    return m_stopping;
}

void ReleaseThread::run() noexcept
{
    // At least one round, so that a teardown always gets its last release complete.
    do {
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
    } while (m_camera.m_running.load());
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
    while (m_camera.m_readyQueue.takeFirst(entry)) {
        const auto kind = static_cast<uint32_t>(entry.kind);
        if (!m_camera.m_running.load()) {
            // Disconnecting: the driver can no longer deliver it.
            logMessage(formatText("ReleaseThread sequenceID=%ld, kind=%d dropped: disconnecting",
                                  static_cast<long>(entry.record.sequenceId()), static_cast<int>(kind)));
            continue;
        }
        const size_t remaining = m_camera.m_readyQueue.countFullViews();
        logMessage(formatText("ReleaseThread sequenceID=%ld, kind=%d, remaining:%d",
                              static_cast<long>(entry.record.sequenceId()), static_cast<int>(kind),
                              static_cast<int>(remaining)));
        window.postMessage(
            {CameraMessage::WM_CAMERA_TRANSFER_PROGRESS, static_cast<uint32_t>(remaining), {}, {}});

        try {
            processEntry(entry);
        } catch (const psCException &e) {
            reportException(e.code);
        } catch (...) {
            showExceptionBox("Unknown exception");
        }

        if (m_camera.m_preview.load() && entry.kind == ImageEventKind::FullView)
            restoreUserParameters();
    }
    window.postMessage({CameraMessage::WM_CAMERA_RELEASE_COMPLETE, 0, {}, {}});
    logMessage("WM_CAMERA_RELEASE_COMPLETE");
}

void ReleaseThread::reportException(uint32_t code)
{
    if (stopping()) {
        // The transfer was cancelled by the teardown; nobody is there to tell.
        logMessage(formatText("ReleaseThread stopped: 0x%08x", code));
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

void ReleaseThread::processEntry(const ImageEvent &entry)
{
    CameraWindow &window = m_camera.m_window;
    psMemoryStream stream;
    stream.setProgressListener([&window](uint32_t percent) {
        window.setProgress(static_cast<uint16_t>(std::min<uint32_t>(percent, 0xFFFF)));
    });
    // The camera announces the size: receive the image without regrowing.
    stream.reserve(entry.record.dataSize);
    StreamRegistration registration(m_mutex, m_stream, m_stopping, stream);

    if (!m_camera.m_release) {
        logMessage("ReleaseThread: m_release is NULL");
        return;
    }
    m_camera.m_release->getReleasedImage(&entry.record, stream.stream(), static_cast<uint32_t>(entry.kind));

    const bool preview = m_camera.m_preview.load();
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
    if (rawShot && !preview) {
        // The CRW follows into this folder, even when the day changes in between.
        const LocalDate date = m_camera.m_config.today();
        m_rawShotDate = RawShotDate{entry.record.sequence, date};
        const ImageFileResult thm = writeFile(ImageKind::RawThumbnail, stream.data(), date);
        if (thm.status != ImageFileStatus::Written)
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
    const ImageDirectorySettings settings = m_camera.m_window.imageDirectorySettings();
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
    m_camera.setUILock();
    try {
        ReleaseParams params = m_camera.cachedReleaseParams();
        if (m_camera.m_release) {
            m_camera.m_release->setReleaseParams(&params);
            m_camera.sendTransferFlagsIfDirty();
        }
    } catch (const psCException &e) {
        reportException(e.code);
    } catch (...) {
        showExceptionBox("Unknown exception");
    }
    m_camera.resetUILock();
    m_camera.m_preview.store(false);
}
