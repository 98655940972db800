#include "SimCamera.h"

#include "CardFolder.h"

#include "ExposureTables.h"

#include <psError.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>

namespace simcam {
namespace {

constexpr psResult driverError(uint32_t code)
{
    return psMakeError(psCOMPONENT_LLSDK, code);
}

constexpr psResult kInvalidHandle = driverError(psERR_INVALID_HANDLE);
constexpr psResult kInvalidParameter = driverError(psERR_INVALID_PARAMETER);
constexpr psResult kInvalidPointer = driverError(psERR_INVALID_POINTER);
constexpr psResult kInvalidLength = driverError(psERR_INVALID_LENGTH);
constexpr psResult kNotSupported = driverError(psERR_NOT_SUPPORTED);
constexpr psResult kDisconnected = driverError(psERR_COMM_DISCONNECTED);
constexpr psResult kPortInUse = driverError(psERR_COMM_PORT_IS_IN_USE);
constexpr psResult kBusy = driverError(psERR_DEVICE_BUSY);
constexpr psResult kNoDisk = driverError(psERR_DEVICE_NO_DISK);
constexpr psResult kDiskFull = driverError(psERR_FILE_DISK_FULL_ERROR);
constexpr psResult kNotInReleaseControl = driverError(psERR_DEVICE_INVALID);
constexpr psResult kCancelled = driverError(psERR_OPERATION_CANCELLED);

constexpr size_t kKeptShots = 8;   // shots whose images can still be fetched
constexpr uint32_t kTransferChunk = 64 * 1024;
// A paced transfer writes what the cable carries in this time, so that a
// refused write or a closed device ends it within about one piece.
constexpr std::chrono::milliseconds kPacedPiece{50};

// The lock-status word of event 15 (its low 24 bits count).
constexpr uint32_t kLockStatusUnlocked = 0;
constexpr uint32_t kLockStatusLocked = 1;

psImageEventRecord imageRecord(uint32_t sequence, uint8_t format, size_t size, const std::string &name)
{
    psImageEventRecord record{};
    record.sequence = sequence;
    record.format = format;
    record.dataSize = static_cast<uint32_t>(size);
    std::strncpy(record.fileName, name.c_str(), sizeof record.fileName - 1);
    return record;
}

std::chrono::milliseconds capped(double seconds, std::chrono::milliseconds cap)
{
    const auto wanted = std::chrono::milliseconds(static_cast<int64_t>(seconds * 1000));
    return std::min(wanted, cap);
}

} // namespace

SimCamera::SimCamera(SimConfig config) : m_config(std::move(config))
{
    m_present = m_config.attached;
    m_clockOffset = m_config.clockOffset;
    m_lastActivity = std::chrono::steady_clock::now();
    // The property table is the camera's own; its bytes only have to be stable.
    m_propertyTable.assign(m_config.propertyCount * 4 + PS_PROPERTY_TABLE_HEADER_SIZE, 0);
    for (size_t i = 0; i < m_propertyTable.size(); ++i)
        m_propertyTable[i] = static_cast<uint8_t>((i * 37 + m_config.state.model.modelId) & 0xFF);
    std::memcpy(m_propertyTable.data(), &m_config.propertyCount, sizeof m_config.propertyCount);
}

SimCamera::~SimCamera()
{
    std::unique_lock lock(m_mutex);
    stopWorker(lock);
    if (m_worker.joinable())
        m_worker.detach();   // destroyed from its own thread; the loop has been told to end
}

bool SimCamera::portAvailable(uint16_t portType) const
{
    std::lock_guard lock(m_mutex);
    if (!m_present)
        return false;
    return portType == PS_PORT_TYPE_USB || (portType == PS_PORT_TYPE_SERIAL && m_config.serialPort);
}

psResult SimCamera::checkDevice(psDeviceHandle handle) const
{
    if (!m_open || handle != m_handle || handle == 0)
        return kInvalidHandle;
    if (!m_present)
        return kDisconnected;
    return 0;
}

void SimCamera::touch()
{
    m_lastActivity = std::chrono::steady_clock::now();
}

int64_t SimCamera::cameraTime()
{
    if (m_config.clock)
        return *m_config.clock + m_shotsTaken;
    return pcLocalTime() + m_clockOffset;
}

int64_t SimCamera::pcLocalTime()
{
    // The camera's clock runs in local time and knows no zone.
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return static_cast<int64_t>(now) + local.tm_gmtoff;
}

psResult SimCamera::open(const psPortDescrip *port, psEventCallback callback, void *context,
                         psDeviceHandle *handle)
{
    if (!port || !handle || !callback)
        return kInvalidPointer;
    std::unique_lock lock(m_mutex);
    if (!m_present)
        return driverError(psERR_DEVICE_NOT_FOUND);
    if (port->portType != PS_PORT_TYPE_USB && !(port->portType == PS_PORT_TYPE_SERIAL && m_config.serialPort))
        return driverError(psERR_DEVICE_NOT_FOUND);
    if (m_open)
        return kPortInUse;
    if (m_worker.joinable()) {
        // The last device was closed from its own event callback; its thread ends now.
        std::thread old = std::move(m_worker);
        lock.unlock();
        old.join();
        lock.lock();
        if (m_open || m_worker.joinable())
            return kPortInUse;
    }
    m_open = true;
    m_handle = m_nextHandle++;
    m_callback = callback;
    m_context = context;
    m_stopping = false;
    m_releaseControl = false;
    m_locked = false;
    m_transferFlags = PS_TRANSFER_PC_ONLY;
    touch();
    m_worker = std::thread([this] { workerLoop(); });
    *handle = m_handle;
    return 0;
}

void SimCamera::stopWorker(std::unique_lock<std::mutex> &lock)
{
    if (!m_worker.joinable())
        return;
    m_stopping = true;
    m_changed.notify_all();
    if (m_worker.get_id() == std::this_thread::get_id())
        return;   // closed from inside an event callback: the loop ends after it, joined later
    std::thread worker = std::move(m_worker);
    lock.unlock();
    worker.join();
    lock.lock();
    m_jobs.clear();
    m_busy = false;
    m_changed.notify_all();
}

psResult SimCamera::close(psDeviceHandle handle)
{
    std::unique_lock lock(m_mutex);
    if (!m_open || handle != m_handle || handle == 0)
        return kInvalidHandle;
    m_open = false;
    m_handle = 0;
    m_releaseControl = false;
    m_locked = false;
    // A paced transfer sleeping between its pieces ends now.
    m_changed.notify_all();
    stopWorker(lock);
    m_callback = nullptr;
    m_context = nullptr;
    return 0;
}

psResult SimCamera::property(psDeviceHandle handle, uint32_t property, void *buffer, uint32_t size)
{
    std::lock_guard lock(m_mutex);
    if (const psResult status = checkDevice(handle))
        return status;
    if (!buffer)
        return kInvalidPointer;
    touch();
    if (property == PS_PROP_CAPABILITIES) {
        const uint32_t word = PS_CAP_RELEASE_CONTROL | PS_CAP_CONTROL_LOCK | PS_CAP_READ_CAMERA_SETTING |
                              m_config.capabilityVersion;
        std::memcpy(buffer, &word, std::min<size_t>(size, sizeof word));
        return 0;
    }
    if (property == PS_PROP_PROPERTY_TABLE) {
        std::memcpy(buffer, m_propertyTable.data(), std::min<size_t>(size, m_propertyTable.size()));
        return 0;
    }
    return kInvalidParameter;
}

psResult SimCamera::propertyCount(psDeviceHandle handle, uint32_t *count)
{
    std::lock_guard lock(m_mutex);
    if (const psResult status = checkDevice(handle))
        return status;
    if (!count)
        return kInvalidPointer;
    *count = m_config.propertyCount;
    return 0;
}

psResult SimCamera::deviceInfo(psDeviceHandle handle, psDeviceInfo *info)
{
    std::lock_guard lock(m_mutex);
    if (const psResult status = checkDevice(handle))
        return status;
    if (!info)
        return kInvalidPointer;
    touch();
    *info = psDeviceInfo{};
    const CameraModel &model = m_config.state.model;
    std::strncpy(info->modelName, model.name.c_str(), sizeof info->modelName - 1);
    std::strncpy(info->firmwareVersion, model.firmware.c_str(), sizeof info->firmwareVersion - 1);
    std::strncpy(info->ownerName, m_config.owner.c_str(), sizeof info->ownerName - 1);
    info->serialNumber = model.serialNumber;
    return 0;
}

psResult SimCamera::releaseControl(psDeviceHandle handle, uint32_t command, uint32_t inSize, const void *in,
                                   uint32_t outSize, void *out)
{
    if (command == PS_RC_RELEASE) {
        {
            std::lock_guard lock(m_mutex);
            if (const psResult status = checkDevice(handle))
                return status;
            if (!m_releaseControl)
                return kNotInReleaseControl;
        }
        psResult result = 0;
        startRelease(false, nullptr, &result);
        return result;
    }

    std::lock_guard lock(m_mutex);
    if (const psResult status = checkDevice(handle))
        return status;
    touch();
    switch (command) {
    case PS_RC_ENTER:
        m_releaseControl = true;
        return 0;
    case PS_RC_LEAVE:
        m_releaseControl = false;
        return 0;
    case PS_RC_SET_RELEASE_PARAMS:
        if (!in)
            return kInvalidPointer;
        if (inSize < PS_RELEASE_PARAMS_SIZE)
            return kInvalidLength;
        // While the LCD menu is open the camera's settings are the menu's: a
        // block from the PC is taken but changes nothing.
        if (!m_config.menuOpen)
            m_config.state.applyBlock(static_cast<const uint8_t *>(in));
        return 0;
    case PS_RC_SET_TRANSFER_FLAGS: {
        if (!in)
            return kInvalidPointer;
        if (inSize < 2)
            return kInvalidLength;
        const auto *bytes = static_cast<const uint8_t *>(in);
        m_transferFlags = static_cast<uint16_t>(bytes[0] | (bytes[1] << 8));
        return 0;
    }
    case PS_RC_GET_RELEASE_PARAMS: {
        if (!out)
            return kInvalidPointer;
        if (outSize < PS_RELEASE_PARAMS_SIZE)
            return kInvalidLength;
        const auto block = m_config.state.blockBytes();
        std::memcpy(out, block.data(), block.size());
        return 0;
    }
    case PS_RC_GET_SHOTS_REMAINING: {
        if (!out)
            return kInvalidPointer;
        if (outSize < sizeof(uint32_t))
            return kInvalidLength;
        if (!m_config.cardPresent)
            return kNoDisk;
        std::memcpy(out, &m_config.cardShots, sizeof(uint32_t));
        return 0;
    }
    case PS_RC_READ_CAMERA_SETTING: {
        if (!in || !out)
            return kInvalidPointer;
        if (inSize < PS_CAMERA_SETTING_SIZE || outSize < PS_CAMERA_SETTING_SIZE)
            return kInvalidLength;
        uint8_t block[PS_CAMERA_SETTING_SIZE];
        std::memcpy(block, in, sizeof block);
        const uint16_t item = static_cast<uint16_t>(block[0] | (block[1] << 8));
        uint16_t value = 0;
        if (item == PS_SETTING_MIRROR_LOCKUP)
            value = m_config.state.customFunctions[3];
        else if (item == PS_SETTING_EXPOSURE_INCREMENTS)
            value = m_config.state.customFunctions[4];
        else
            return kInvalidParameter;
        block[4] = static_cast<uint8_t>(value & 0xFF);
        block[5] = static_cast<uint8_t>(value >> 8);
        std::memcpy(out, block, sizeof block);
        return 0;
    }
    default:
        return kNotSupported;
    }
}

bool SimCamera::startRelease(bool fromCamera, std::string *error, psResult *result)
{
    auto refuse = [&](psResult code, const char *why) {
        if (result)
            *result = code;
        if (error)
            *error = why;
        return false;
    };
    std::unique_lock lock(m_mutex);
    if (!m_present)
        return refuse(kDisconnected, "the camera is not connected");
    if (fromCamera && m_locked)
        return refuse(kBusy, "the camera's controls are locked by the PC");
    if (m_releaseInProgress)
        return refuse(kBusy, "a release is in progress");
    if (!fromCamera && m_config.busyReleases > 0) {
        --m_config.busyReleases;
        return refuse(kBusy, "the camera is still busy");
    }
    const bool toPc = m_open && m_releaseControl;
    // Only in remote release control do images go to the PC; otherwise the card takes them.
    const uint16_t flags = toPc ? m_transferFlags : PS_TRANSFER_TO_CARD;
    const bool toCard = (flags & PS_TRANSFER_TO_CARD) != 0;
    if (toCard && !m_config.cardPresent)
        return refuse(kNoDisk, "there is no card in the camera");
    if (toCard && m_config.cardShots == 0)
        return refuse(kDiskFull, "the card is full");
    touch();

    ShotPlan plan;
    plan.state = m_config.state;
    plan.owner = m_config.owner;
    plan.fileNumber = m_config.counter;
    plan.unixTime = cameraTime();
    const bool afFailure = m_config.afFailure && m_config.state.afMode != 3;
    if (!afFailure) {
        m_config.counter = m_config.counter >= 9999 ? 1 : m_config.counter + 1;
        ++m_shotsTaken;
        if (toCard)
            --m_config.cardShots;
    }
    if (!toPc) {
        if (result)
            *result = 0;
        if (afFailure)
            return refuse(0, "the camera could not focus");
        if (m_card) {
            lock.unlock();
            storeOnCard(plan, makeShotImages(plan));
        }
        return true;
    }
    const uint32_t sequence = m_nextSequenceId++ << PS_SEQUENCE_ID_SHIFT;
    m_releaseInProgress = true;
    post([this, plan, sequence, flags, afFailure] { runRelease(plan, sequence, flags, afFailure); });
    if (result)
        *result = 0;
    return true;
}

void SimCamera::runRelease(ShotPlan plan, uint32_t sequence, uint16_t flags, bool afFailure)
{
    struct Finish {
        SimCamera *camera;
        ~Finish()
        {
            std::lock_guard lock(camera->m_mutex);
            camera->m_releaseInProgress = false;
        }
    } finish{this};

    const uint32_t start = PS_RELEASE_EVENT_RELEASE_START;
    const uint32_t complete = PS_RELEASE_EVENT_RELEASE_COMPLETE;
    // The camera is ready for the next release by the time it reports this one complete.
    auto ready = [this] {
        std::lock_guard lock(m_mutex);
        m_releaseInProgress = false;
    };
    deliver(PS_EVENT_RELEASE_CONTROL, &start);

    std::chrono::milliseconds mirror, exposure, processing;
    {
        std::lock_guard lock(m_mutex);
        const double selfTimer = plan.state.drive == 2 ? 10.0 : 0.0;
        mirror = m_config.mirrorDelay + capped(selfTimer, m_config.exposureCap);
        exposure = capped(exposureTime(plan.state.tv).value(), m_config.exposureCap);
        processing = m_config.processingDelay;
    }
    if (!pause(mirror + exposure))
        return;
    if (afFailure) {
        ready();
        deliver(PS_EVENT_RELEASE_CONTROL, &complete);
        return;
    }

    auto images = std::make_shared<const ShotImages>(makeShotImages(plan));
    if (!pause(processing))
        return;
    {
        std::lock_guard lock(m_mutex);
        m_shots.push_back({sequence, images});
        while (m_shots.size() > kKeptShots)
            m_shots.pop_front();
    }
    if (flags & PS_TRANSFER_TO_CARD)
        storeOnCard(plan, *images);
    if ((flags & PS_TRANSFER_THUMBNAIL_TO_PC) && !loseEvent(m_config.lostThumbnails)) {
        const psImageEventRecord record =
            imageRecord(sequence, images->format, images->thumbnail.size(),
                        plan.isRaw() ? plan.thumbnailFileName() : plan.fileName());
        deliver(PS_EVENT_THUMBNAIL_ON_RELEASE, &record);
    }
    if ((flags & PS_TRANSFER_FULLVIEW_TO_PC) && !loseEvent(m_config.lostFullViews)) {
        const psImageEventRecord record = imageRecord(sequence, images->format, images->fullView.size(), plan.fileName());
        deliver(PS_EVENT_FULLVIEW_ON_RELEASE, &record);
    }
    ready();
    deliver(PS_EVENT_RELEASE_CONTROL, &complete);
}

bool SimCamera::loseEvent(uint32_t &remaining)
{
    std::lock_guard lock(m_mutex);
    if (remaining == 0)
        return false;
    --remaining;
    return true;
}

psResult SimCamera::releasedImage(psDeviceHandle handle, uint32_t kind, uint32_t sequence, pslStream *stream)
{
    std::shared_ptr<const ShotImages> images;
    uint32_t bytesPerSecond = 0;
    {
        std::lock_guard lock(m_mutex);
        if (const psResult status = checkDevice(handle))
            return status;
        if (!stream || !stream->ops || !stream->ops->write)
            return kInvalidPointer;
        if (kind != PS_IMAGE_KIND_THUMBNAIL && kind != PS_IMAGE_KIND_FULLVIEW)
            return kInvalidParameter;
        for (const StoredShot &shot : m_shots)
            if (shot.sequence == sequence)
                images = shot.images;
        if (!images)
            return kInvalidParameter;
        bytesPerSecond = m_config.transferBytesPerSecond;
        touch();
    }
    const std::vector<uint8_t> &data = kind == PS_IMAGE_KIND_THUMBNAIL ? images->thumbnail : images->fullView;
    uint32_t piece = kTransferChunk;
    if (bytesPerSecond > 0) {
        bytesPerSecond = std::max(bytesPerSecond, kSlowestTransfer);
        const uint64_t perPiece = uint64_t{bytesPerSecond} * kPacedPiece.count() / 1000;
        piece = static_cast<uint32_t>(std::clamp<uint64_t>(perPiece, 1, kTransferChunk));
    }
    const auto started = std::chrono::steady_clock::now();
    size_t sent = 0;
    while (sent < data.size()) {
        const uint32_t chunk = static_cast<uint32_t>(std::min<size_t>(piece, data.size() - sent));
        if (const psResult status = stream->ops->write(stream, data.data() + sent, chunk))
            return status;
        sent += chunk;
        if (stream->ops->progress)
            stream->ops->progress(stream, static_cast<uint32_t>(sent * 100 / data.size()));
        // The cable's speed: the next chunk is sent when this one would have arrived.
        std::unique_lock lock(m_mutex);
        if (bytesPerSecond > 0 && sent < data.size()) {
            const auto due = started + std::chrono::microseconds(static_cast<int64_t>(sent * 1000000.0 / bytesPerSecond));
            m_changed.wait_until(lock, due, [&] { return !m_open || m_handle != handle || !m_present; });
        }
        if (!m_open || m_handle != handle)
            return kCancelled;
        if (!m_present)
            return kDisconnected;
        touch();
    }
    return 0;
}

psResult SimCamera::readParameterSet(psDeviceHandle handle, psParameterSetRecord *record)
{
    std::lock_guard lock(m_mutex);
    if (const psResult status = checkDevice(handle))
        return status;
    if (!record)
        return kInvalidPointer;
    if (!m_config.state.model.hasParameterSets)
        return kNotSupported;
    const uint32_t number = record->fields[0];
    if (number < 1 || number > 3)
        return kInvalidParameter;
    const ParameterSet &set = m_config.state.parameterSets[number];
    *record = psParameterSetRecord{};
    record->fields[0] = number;
    record->fields[1] = set.defined ? 1 : 0;
    if (set.defined) {
        // Sharpness, tone, saturation, contrast: the settings panel shows
        // contrast, sharpness, saturation from fields 5, 2 and 4.
        record->fields[2] = static_cast<uint32_t>(set.sharpness);
        record->fields[3] = static_cast<uint32_t>(set.colorTone);
        record->fields[4] = static_cast<uint32_t>(set.saturation);
        record->fields[5] = static_cast<uint32_t>(set.contrast);
    }
    return 0;
}

psResult SimCamera::lock(psDeviceHandle handle, uint32_t mode)
{
    std::lock_guard lock(m_mutex);
    if (const psResult status = checkDevice(handle))
        return status;
    if (mode != PS_LOCK_MODE_UI)
        return kInvalidParameter;
    if (m_config.menuOpen)
        return kBusy;
    touch();
    if (!m_locked)
        postLockStatus(kLockStatusLocked);
    m_locked = true;
    return 0;
}

psResult SimCamera::unlock(psDeviceHandle handle)
{
    std::lock_guard lock(m_mutex);
    if (const psResult status = checkDevice(handle))
        return status;
    if (m_locked)
        postLockStatus(kLockStatusUnlocked);
    m_locked = false;
    return 0;
}

void SimCamera::postLockStatus(uint32_t status)
{
    // Reported when it changes, like every event from the device's thread.
    post([this, status] { deliver(PS_EVENT_CHANGE_LOCK_STATUS, &status); });
}

// ---------------------------------------------------------------------------
// The camera's own controls

bool SimCamera::pressShutter(std::string *error)
{
    return startRelease(true, error, nullptr);
}

bool SimCamera::changeSetting(const std::string &key, const std::string &value, std::string *error)
{
    std::lock_guard lock(m_mutex);
    if (m_locked) {
        if (error)
            *error = "the camera's controls are locked by the PC";
        return false;
    }
    if (key == "mode") {
        if (error)
            *error = "the exposure mode is set with the dial (quillomat-simcam dial)";
        return false;
    }
    if (!setCameraValue(m_config.state, key, value, true, error))
        return false;
    touch();
    if (m_open && m_present && m_releaseControl)
        post([this] {
            const uint32_t changed = PS_RELEASE_EVENT_CHANGED_BY_UI;
            deliver(PS_EVENT_RELEASE_CONTROL, &changed);
        });
    return true;
}

void SimCamera::setMenuOpen(bool open)
{
    std::lock_guard lock(m_mutex);
    m_config.menuOpen = open;
}

void SimCamera::loseThumbnailEvents(uint32_t count)
{
    std::lock_guard lock(m_mutex);
    m_config.lostThumbnails = count;
}

void SimCamera::loseFullViewEvents(uint32_t count)
{
    std::lock_guard lock(m_mutex);
    m_config.lostFullViews = count;
}

void SimCamera::setAfFailure(bool fails)
{
    std::lock_guard lock(m_mutex);
    m_config.afFailure = fails;
}

void SimCamera::setCard(bool present, uint32_t shots)
{
    std::lock_guard lock(m_mutex);
    m_config.cardPresent = present;
    m_config.cardShots = shots;
}

bool SimCamera::turnDial(const std::string &mode, std::string *error)
{
    std::lock_guard lock(m_mutex);
    CameraState changed = m_config.state;
    if (!setCameraValue(changed, "mode", mode, false, error))
        return false;
    m_config.state.exposureMode = changed.exposureMode;
    m_config.state.imageZone = changed.imageZone;
    // The cameras end the PC connection when the dial moves.
    if (m_present)
        postShutdown(PS_SHUTDOWN_DIAL_CHANGED);
    return true;
}

void SimCamera::shutdown(uint32_t reason)
{
    std::lock_guard lock(m_mutex);
    if (m_present)
        postShutdown(reason);
}

void SimCamera::postShutdown(uint32_t reason)
{
    m_present = false;
    m_releaseControl = false;
    m_locked = false;
    m_changed.notify_all();
    if (!m_open || !m_worker.joinable())
        return;
    // Nothing queued before it reaches the PC any more.
    m_jobs.erase(std::remove_if(m_jobs.begin(), m_jobs.end(), [](const Job &job) { return !job.shutdown; }),
                 m_jobs.end());
    ++m_jobsPosted;
    m_jobs.push_back({true, [this, reason] { deliver(PS_EVENT_SEVERITY_SHUTDOWN | reason, nullptr, true); }});
    m_changed.notify_all();
}

void SimCamera::reconnect()
{
    std::lock_guard lock(m_mutex);
    m_present = true;
    touch();
}

bool SimCamera::warnPowerOff()
{
    std::unique_lock lock(m_mutex);
    if (!m_present || !m_open)
        return false;
    m_warningAnswer = -1;
    post([this] { runWarning(); });
    m_changed.wait(lock, [this] { return m_warningAnswer >= 0 || !m_open || m_stopping; });
    return m_warningAnswer == 1;
}

void SimCamera::runWarning()
{
    const psResult answer = deliver(PS_EVENT_SEVERITY_WARNING | PS_WARNING_ABOUT_TO_SHUTDOWN, nullptr);
    std::lock_guard lock(m_mutex);
    const bool awake = psErrorCode(answer) == psERR_DEVICE_STAY_AWAKE;
    m_warningAnswer = awake ? 1 : 0;
    touch();
    if (!awake && m_present)
        postShutdown(PS_SHUTDOWN_AUTO_POWER_OFF);
    m_changed.notify_all();
}

void SimCamera::waitIdle()
{
    std::unique_lock lock(m_mutex);
    const uint64_t target = m_jobsPosted;
    m_changed.wait(lock, [&] { return m_jobsDone >= target || !m_worker.joinable(); });
}

CameraState SimCamera::state() const
{
    std::lock_guard lock(m_mutex);
    return m_config.state;
}

SimConfig SimCamera::config() const
{
    std::lock_guard lock(m_mutex);
    return m_config;
}

bool SimCamera::present() const
{
    std::lock_guard lock(m_mutex);
    return m_present;
}

bool SimCamera::deviceOpen() const
{
    std::lock_guard lock(m_mutex);
    return m_open;
}

bool SimCamera::cardPresent() const
{
    std::lock_guard lock(m_mutex);
    return m_config.cardPresent;
}

uint32_t SimCamera::shotsRemaining() const
{
    std::lock_guard lock(m_mutex);
    return m_config.cardShots;
}

uint32_t SimCamera::nextFileNumber() const
{
    std::lock_guard lock(m_mutex);
    return m_config.counter;
}

uint16_t SimCamera::transferFlags() const
{
    std::lock_guard lock(m_mutex);
    return m_transferFlags;
}

bool SimCamera::locked() const
{
    std::lock_guard lock(m_mutex);
    return m_locked;
}

bool SimCamera::inReleaseControl() const
{
    std::lock_guard lock(m_mutex);
    return m_releaseControl;
}

// ---------------------------------------------------------------------------
// The device's thread

void SimCamera::post(std::function<void()> job)
{
    if (!m_worker.joinable())
        return;
    ++m_jobsPosted;
    m_jobs.push_back({false, std::move(job)});
    m_changed.notify_all();
}

psResult SimCamera::deliver(uint32_t event, const void *data, bool evenIfGone)
{
    psEventCallback callback;
    void *context;
    {
        std::lock_guard lock(m_mutex);
        if (m_stopping || !m_open || (!m_present && !evenIfGone))
            return 0;
        callback = m_callback;
        context = m_context;
    }
    return callback ? callback(event, data, 0, context) : 0;
}

bool SimCamera::pause(std::chrono::milliseconds duration)
{
    std::unique_lock lock(m_mutex);
    if (duration.count() > 0)
        m_changed.wait_for(lock, duration, [this] { return m_stopping || !m_present; });
    return !m_stopping && m_present;
}

void SimCamera::workerLoop()
{
    std::unique_lock lock(m_mutex);
    while (!m_stopping) {
        if (m_jobs.empty()) {
            const auto idle = m_config.autoPowerOff;
            if (idle.count() > 0 && m_present) {
                const auto due = m_lastActivity + idle;
                if (std::chrono::steady_clock::now() >= due) {
                    touch();
                    m_warningAnswer = -1;
                    post([this] { runWarning(); });
                    continue;
                }
                m_changed.wait_until(lock, due);
            } else {
                m_changed.wait(lock);
            }
            continue;
        }
        Job job = std::move(m_jobs.front());
        m_jobs.pop_front();
        m_busy = true;
        lock.unlock();
        job.run();
        lock.lock();
        m_busy = false;
        ++m_jobsDone;
        m_changed.notify_all();
    }
    // Jobs never run count as done, so nobody waits for them.
    m_jobsDone = m_jobsPosted;
    m_changed.notify_all();
}

void SimCamera::attachCard(std::shared_ptr<CardFolder> card)
{
    std::lock_guard lock(m_mutex);
    m_card = std::move(card);
    if (m_card)
        m_config.counter = m_card->nextFileNumber();
}

void SimCamera::onCardWritten(std::function<void(const std::vector<std::string> &)> observer)
{
    std::lock_guard lock(m_mutex);
    m_cardWritten = std::move(observer);
}

void SimCamera::storeOnCard(const ShotPlan &plan, const ShotImages &images)
{
    std::shared_ptr<CardFolder> card;
    std::function<void(const std::vector<std::string> &)> observer;
    {
        std::lock_guard lock(m_mutex);
        card = m_card;
        observer = m_cardWritten;
    }
    if (!card)
        return;
    std::vector<std::string> written;
    std::string error;
    if (!card->store(plan, images, &written, &error))
        std::fprintf(stderr, "quillomat-simcam: the card could not take the shot: %s\n", error.c_str());
    if (observer && !written.empty())
        observer(written);
}

void SimCamera::setOwner(const std::string &owner)
{
    std::lock_guard lock(m_mutex);
    m_config.owner = owner;
}

void SimCamera::setCameraClock(int64_t localSeconds)
{
    std::lock_guard lock(m_mutex);
    m_config.clock.reset();
    m_clockOffset = localSeconds - pcLocalTime();
}

int64_t SimCamera::cameraClock()
{
    std::lock_guard lock(m_mutex);
    return cameraTime();
}

int64_t SimCamera::clockOffset() const
{
    std::lock_guard lock(m_mutex);
    return m_clockOffset;
}

void SimCamera::unplugAfter(uint64_t bytes)
{
    std::lock_guard lock(m_mutex);
    m_unplugAfter = bytes;
}

bool SimCamera::crossCable(uint64_t *bytes)
{
    std::lock_guard lock(m_mutex);
    if (m_unplugAfter == 0)
        return m_present;
    if (*bytes < m_unplugAfter) {
        m_unplugAfter -= *bytes;
        return m_present;
    }
    *bytes = m_unplugAfter;
    m_unplugAfter = 0;
    if (m_present)
        postShutdown(PS_SHUTDOWN_DISCONNECTED);
    return false;
}

std::shared_ptr<const ShotImages> SimCamera::releasedShot(uint32_t sequence) const
{
    std::lock_guard lock(m_mutex);
    for (const StoredShot &shot : m_shots)
        if (shot.sequence == sequence)
            return shot.images;
    return nullptr;
}

} // namespace simcam
