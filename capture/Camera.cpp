#include "Camera.h"

#include "DiagnosticLog.h"
#include "FormatText.h"
#include "ReleaseThread.h"
#include "psDebugOutput.h"
#include "psError.h"
#include "psRuntime.h"

#include <cstring>
#include <mutex>
#include <thread>

namespace {

void debugAndLog(const std::string &text)
{
    psDebugOutput(text);
    logMessage(text);
}

// The driver's record: the first 16 bytes are kept, the name is only logged.
std::string eventFileName(const psImageEventRecord &event)
{
    return std::string(event.fileName, strnlen(event.fileName, sizeof event.fileName));
}

uint32_t firstWord(const void *data)
{
    uint32_t word = 0;
    if (data != nullptr)
        std::memcpy(&word, data, sizeof word);
    return word;
}

} // namespace

namespace {

// What the camera runtime has to say (its library's own errors) belongs in
// the program's log; set before the first runtime call, once per process.
uint16_t routeRuntimeDiagnostics(uint16_t portType)
{
    static std::once_flag once;
    std::call_once(once, [] {
        psSetRuntimeDiagnosticSink([](std::string_view text) {
            psDebugOutput(std::string(text) + "\n");
            logMessage(std::string(text));
        });
    });
    return portType;
}

} // namespace

Camera::Camera(CameraWindow &window, uint16_t portType, CameraConfig config)
    : psCameraConnection(routeRuntimeDiagnostics(portType), nullptr), m_window(window), m_config(std::move(config))
{
    try {
        m_release = std::make_unique<psReleaseControl>(*this);
        const ReleaseTransferFlags flags = PS_TRANSFER_PC_ONLY;
        m_release->setTransferFlags(&flags);
        m_preview.store(false);
        setBusyTimeout(kBusyTimeout);
        m_releaseThread = std::make_unique<ReleaseThread>(*this);
    } catch (...) {
        tearDown();
        throw;
    }
}

Camera::~Camera()
{
    tearDown();
}

void Camera::close() noexcept
{
    tearDown();
}

std::vector<std::string> Camera::unsavedImages() const
{
    std::lock_guard lock(m_unsavedMutex);
    return m_unsaved;
}

void Camera::noteUnsaved(const std::string &cameraName)
{
    std::lock_guard lock(m_unsavedMutex);
    // A raw shot's thumbnail and full view carry the same name.
    for (const std::string &known : m_unsaved)
        if (known == cameraName)
            return;
    m_unsaved.push_back(cameraName);
}

void Camera::tearDown() noexcept
{
    if (m_closed)
        return;
    m_closed = true;
    m_closing.store(true);
    // Images the camera announced for a release it has not reported complete
    // yet are fetched with the others. Handed over before running is
    // cleared: the thread ends only once it has seen them.
    m_readyQueue.appendAll(m_pendingQueue);
    m_pendingQueue.clear();
    m_running.store(false);
    if (m_releaseThread) {
        m_releaseThread->stop();
        m_releaseThread.reset();
    }
    // A preview shot still in flight: the camera keeps the user's parameters,
    // not the preview's small JPEG.
    if (takePreviewEnd() && !m_cameraGone.load() && m_release) {
        try {
            writeUserParametersBack();
        } catch (...) {
            // The camera stopped answering; nothing more to do for it.
        }
    }
    m_preview.store(false);
    try {
        m_release.reset();
    } catch (...) {
        // Leaving release control failed: the camera is gone or busy; go on.
    }
    m_readyQueue.clear();
    m_pendingQueue.clear();
    disconnect();
}

bool Camera::hasImagesToSave() const
{
    if (m_readyQueue.size() != 0 || m_pendingQueue.size() != 0)
        return true;
    return m_releaseThread && m_releaseThread->isFetching();
}

bool Camera::isPreviewImage(uint32_t sequence) const
{
    return m_previewShot.load() != PreviewShot::None && m_previewSequence.load() == sequence;
}

bool Camera::takePreviewEnd()
{
    return m_previewShot.exchange(PreviewShot::None) != PreviewShot::None;
}

void Camera::writeUserParametersBack()
{
    ReleaseParams params = cachedReleaseParams();
    m_release->setReleaseParams(&params);
    sendTransferFlagsIfDirty();
}

std::string Camera::cameraModelName() const
{
    const psDeviceInfo &info = deviceInfo();
    std::string name(info.modelName, strnlen(info.modelName, sizeof info.modelName));
    return name.empty() ? modelName() : name;
}

ReleaseTransferFlags Camera::transferFlags() const
{
    std::lock_guard lock(m_stateMutex);
    return m_transferFlags;
}

bool Camera::transferFlagsDirty() const
{
    std::lock_guard lock(m_stateMutex);
    return m_transferFlagsDirty;
}

ReleaseParams Camera::cachedReleaseParams() const
{
    std::lock_guard lock(m_stateMutex);
    return m_params;
}

void Camera::setStoreMode(StoreMode mode)
{
    m_storeMode.store(static_cast<uint32_t>(mode));
    const ReleaseTransferFlags flags = transferFlagsFor(mode);
    std::lock_guard lock(m_stateMutex);
    if (flags != m_transferFlags) {
        m_transferFlags = flags;
        m_transferFlagsDirty = true;
    }
}

void Camera::sendTransferFlagsIfDirty()
{
    ReleaseTransferFlags flags;
    {
        std::lock_guard lock(m_stateMutex);
        if (!m_transferFlagsDirty)
            return;
        flags = m_transferFlags;
    }
    m_release->setTransferFlags(&flags);
    std::lock_guard lock(m_stateMutex);
    m_transferFlagsDirty = false;
}

bool Camera::getReleaseParams(ReleaseParams &params)
{
    if (!m_release)
        throw "m_release is NULL";
    sendTransferFlagsIfDirty();
    m_release->getReleaseParams(&params);
    // The camera reports this byte 24 below what it takes back.
    params.bytes[33] = static_cast<uint8_t>(params.bytes[33] + 24);
    std::lock_guard lock(m_stateMutex);
    m_params = params;
    return true;
}

bool Camera::setReleaseParams(const ReleaseParams &params)
{
    if (!m_release)
        throw "m_release is NULL";
    m_release->setReleaseParams(&params);
    std::lock_guard lock(m_stateMutex);
    m_params = params;
    return true;
}

bool Camera::readCameraSetting(uint8_t *block)
{
    if (!m_release)
        throw "m_release is NULL";
    m_release->readCameraSetting(block);
    return true;
}

bool Camera::setUILock()
{
    logMessage("setUILock()");
    try {
        lockControls();
        return true;
    } catch (...) {
        return false;
    }
}

void Camera::resetUILock()
{
    m_lockCount.store(0);
    logMessage("resetUILock()");
    try {
        unlockControls();
    } catch (...) {
        // The window goes on as if unlocked; the user can force it.
    }
}

bool Camera::release()
{
    const bool preview = m_preview.load();
    std::optional<std::string> error;
    if (!preview)
        error = checkImageDirectory(m_window.imageDirectorySettings(), m_config.today());
    if (!error && !m_release)
        error = "Camera not connected";
    if (error) {
        // No shot: a preview ends here, or the camera's next shot would not be saved.
        m_preview.store(false);
        m_window.showError(*error);
        m_window.endReleaseInUi(std::string(), std::string(), *error);
        return false;
    }

    bool fired = false;
    try {
        fired = preview ? previewShot() : releaseShutter();
    } catch (const psCException &e) {
        const uint32_t code = psErrorCode(e.code);
        if (code == psERR_DEVICE_NO_DISK || code == psERR_FILE_DISK_FULL_ERROR)
            m_window.postMessage({CameraMessage::WM_CAMERA_CARD_FULL, 0, {}, {}});
        else
            m_window.showError("psCException");
    } catch (...) {
        m_window.showError("Unknown exception");
    }
    // A preview refused or failed before the shutter went: it ends here, with
    // the user's parameters already back (previewShot).
    if (preview && m_previewShot.load() == PreviewShot::None)
        m_preview.store(false);
    return fired;
}

bool Camera::releaseShutter()
{
    sendTransferFlagsIfDirty();
    if ((transferFlags() & PS_TRANSFER_TO_CARD) != 0 && m_release->getShotsRemaining() == 0) {
        m_window.postMessage({CameraMessage::WM_CAMERA_CARD_FULL, 0, {}, {}});
        return false;
    }
    m_release->release();
    return true;
}

bool Camera::previewShot()
{
    const ReleaseParams user = cachedReleaseParams();
    ReleaseParams small = user;
    small.bytes[ReleaseParams::kQuality] = 2;
    small.bytes[ReleaseParams::kImageType] = 1;
    small.bytes[ReleaseParams::kImageSize] = 2;
    try {
        m_release->setReleaseParams(&small);
        m_release->getReleaseParams(&small);
        if (small.bytes[ReleaseParams::kImageType] != 1 || small.bytes[ReleaseParams::kImageSize] != 2
            || small.bytes[ReleaseParams::kQuality] != 2) {
            m_window.showError("Unable to set camera to small, normal JPEG for preview shot");
            // No preview follows to put the user's parameters back.
            m_release->setReleaseParams(&user);
            return false;
        }
        ReleaseTransferFlags remembered;
        {
            std::lock_guard lock(m_stateMutex);
            remembered = m_transferFlags;
        }
        const ReleaseTransferFlags pcOnly = PS_TRANSFER_PC_ONLY;
        m_release->setTransferFlags(&pcOnly);
        {
            // The next release sends the user's flags again.
            std::lock_guard lock(m_stateMutex);
            m_transferFlags = remembered;
            m_transferFlagsDirty = true;
        }
        // From here the preview ends with its full view, with its release
        // complete, or with the session, whichever comes first.
        m_previewSequence.store(0);
        m_previewShot.store(PreviewShot::Fired);
        m_release->release();
        return true;
    } catch (...) {
        // The shot will not come: the camera must not stay set to the preview's small JPEG.
        m_previewShot.store(PreviewShot::None);
        try {
            m_release->setReleaseParams(&user);
        } catch (...) {
        }
        throw;
    }
}

void Camera::eventNotification(uint32_t eventCode, const void *eventData, uint32_t contextWord)
{
    const uint32_t severity = eventCode & PS_EVENT_SEVERITY_MASK;
    const uint32_t event = eventCode & PS_EVENT_MASK;
    // Also while closing: the release thread stops fetching at once.
    if (severity == PS_EVENT_SEVERITY_SHUTDOWN)
        m_cameraGone.store(true);
    if (m_closing.load())
        return;

    if (severity == PS_EVENT_SEVERITY_WARNING) {
        psDebugOutput("Camera::eventNotification - psEVENT_SEVERITY_WARNING\n");
        if (event == PS_WARNING_ABOUT_TO_SHUTDOWN) {
            psDebugOutput("Camera is about to shutdown\n");
            // The driver takes this answer as "stay awake".
            throw psCException(psSTAY_AWAKE, "", 0);
        }
        return;
    }
    if (severity == PS_EVENT_SEVERITY_SHUTDOWN) {
        psDebugOutput("Camera::eventNotification - psEVENT_SEVERITY_SHUTDOWN\n");
        m_window.postMessage({CameraMessage::WM_CAMERA_SHUTDOWN, event, {}, {}});
        return;
    }
    if (severity != PS_EVENT_SEVERITY_NONE) {
        psDebugOutput("Camera::eventNotification - some other event\n");
        return;
    }

    switch (event) {
    case PS_EVENT_THUMBNAIL_ON_RELEASE:
    case PS_EVENT_FULLVIEW_ON_RELEASE:
        imageEvent(event, eventData);
        break;
    case PS_EVENT_RELEASE_CONTROL:
        releaseControlEvent(firstWord(eventData), contextWord);
        break;
    case PS_EVENT_CHANGE_LOCK_STATUS: {
        const uint32_t status = firstWord(eventData);
        debugAndLog(formatText("psEVENT_CHANGE_LOCK_STATUS: 0x%02x\n", status));
        m_lockStatus.store(status);
        break;
    }
    default:
        debugAndLog(formatText("psEVENT_SEVERITY_NONE - unknown: 0x%04x\n", event));
        break;
    }
}

void Camera::imageEvent(uint32_t event, const void *eventData)
{
    if (eventData == nullptr) {
        debugAndLog(formatText("psEVENT_SEVERITY_NONE - unknown: 0x%04x\n", event));
        return;
    }
    psImageEventRecord driverRecord;
    std::memcpy(&driverRecord, eventData, sizeof driverRecord);
    const ReleasedImageRecord record = ReleasedImageRecord::fromEvent(driverRecord);
    const std::string fileName = eventFileName(driverRecord);
    const bool thumbnail = event == PS_EVENT_THUMBNAIL_ON_RELEASE;

    debugAndLog(formatText("%s sequenceID=%ld, format=%d, sizeOfData=%ld, fileName:%s\n",
                           thumbnail ? "psEVENT_THUMBNAIL_ON_RELEASE" : "psEVENT_FULLVIEW_ON_RELEASE",
                           static_cast<long>(record.sequenceId()), record.format,
                           static_cast<long>(record.dataSize), fileName.c_str()));
    // The first image announced after the preview's shutter is the preview's.
    if (m_previewShot.load() == PreviewShot::Fired && m_previewSequence.load() == 0)
        m_previewSequence.store(record.sequence);

    if (thumbnail) {
        const bool cardOnly = m_storeMode.load() == static_cast<uint32_t>(StoreMode::CardOnly);
        const bool fullViewExpected = m_preview.load() || !cardOnly;
        if (m_pendingThumbnail != 0 && fullViewExpected) {
            debugAndLog("*** psEVENT_THUMBNAIL_ON_RELEASE sequence error ***\n");
            // The earlier shot's full view never came: fetch it by its thumbnail's record.
            m_pendingQueue.append(ImageEventKind::FullView, m_savedThumbnail, m_savedThumbnailName);
        }
        m_pendingThumbnail = fullViewExpected ? record.sequence : 0;
        m_savedThumbnail = record;
        m_savedThumbnailName = fileName;
        m_pendingQueue.append(ImageEventKind::Thumbnail, record, fileName);
        return;
    }

    if (m_pendingThumbnail != record.sequence) {
        debugAndLog("*** psEVENT_FULLVIEW_ON_RELEASE sequence error ***\n");
        // The thumbnail never came: fetch it too.
        m_pendingQueue.append(ImageEventKind::Thumbnail, record, fileName);
    }
    m_pendingThumbnail = 0;
    m_pendingQueue.append(ImageEventKind::FullView, record, fileName);
}

void Camera::releaseControlEvent(uint32_t subEvent, uint32_t contextWord)
{
    switch (subEvent) {
    case PS_RELEASE_EVENT_CHANGED_BY_UI:
        psDebugOutput("RELEASE_EVENT_CHANGED_BY_UI\n");
        logMessage(formatText("RELEASE_EVENT_CHANGED_BY_UI, m_lockCount:%d", m_lockCount.load()));
        if (!m_ignoreControlChanges.load())
            m_window.postMessage({CameraMessage::WM_CAMERA_UI_CHANGED, 0, {}, {}});
        break;
    case PS_RELEASE_EVENT_RELEASE_START:
        m_window.postMessage({CameraMessage::WM_CAMERA_RELEASE_START, 0, {}, {}});
        psDebugOutput("RELEASE_EVENT_RELEASE_START\n");
        logMessage("RELEASE_EVENT_RELEASE_START");
        m_releaseInProgress.store(true);
        break;
    case PS_RELEASE_EVENT_RELEASE_COMPLETE:
        psDebugOutput("RESEASE_EVENT_RELEASE_COMPLETE\n");
        logMessage("RESEASE_EVENT_RELEASE_COMPLETE");
        m_releaseInProgress.store(false);
        if (m_previewShot.load() == PreviewShot::Fired && m_pendingThumbnail != 0
            && m_pendingThumbnail == m_previewSequence.load()) {
            // The preview's full view never came. The preview is over now: its
            // picture must not be fetched later as the next shot's missing one.
            debugAndLog("Preview shot complete without its full view\n");
            m_pendingThumbnail = 0;
        }
        m_readyQueue.appendAll(m_pendingQueue);
        m_pendingQueue.clear();
        // Everything the preview brought is queued before the thread learns
        // that the preview's release is complete.
        {
            PreviewShot fired = PreviewShot::Fired;
            m_previewShot.compare_exchange_strong(fired, PreviewShot::Completed);
        }
        if (m_config.settleTime.count() > 0)
            std::this_thread::sleep_for(m_config.settleTime);
        m_releaseEvent.set();
        break;
    default:
        psDebugOutput(formatText("psEVENT_RELEASE_CONTROL - unknown: 0x%08lx %ld\n",
                                 static_cast<unsigned long>(subEvent), static_cast<long>(contextWord)));
        break;
    }
}
