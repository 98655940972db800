#include "CameraSession.h"

#include "Diagnostics.h"
#include "ExifThumbnail.h"

#include <psError.h>

#include <gphoto2/gphoto2-result.h>
#include <gphoto2/gphoto2-port-result.h>

#include <algorithm>
#include <cctype>
#include <condition_variable>
#include <cstring>
#include <thread>

namespace usbcam {
namespace {

using namespace std::chrono_literals;

constexpr auto kOpenTimeout = 30s;
constexpr auto kCallTimeout = 20s;
constexpr auto kCloseGrace = 3s;
// A release waits for the exposure (up to 30 s), the camera's processing and
// the card; a transfer for the file at the slowest cable.
constexpr auto kCaptureTimeout = 90s;
constexpr auto kTransferBaseTimeout = 30s;
constexpr uint64_t kSlowestBytesPerSecond = 100 * 1024;
constexpr int kEventWaitMs = 200;
// The camera powers itself off after a minute or more without a request; a
// light one this often keeps a tethered session alive.
constexpr auto kKeepAwakeInterval = 20s;
constexpr uint32_t kStreamChunk = 64 * 1024;
constexpr size_t kKeptShots = 16;
constexpr uint8_t kJpegImageType = 1;   // block byte 2
// A shot sent straight to the PC has no name on the card; this is its name in the log.
constexpr const char *kHostShotName = "capture_preview.jpg";

constexpr psResult driverError(uint32_t code) { return psMakeError(psCOMPONENT_LLSDK, code); }
constexpr psResult kDisconnected = driverError(psERR_COMM_DISCONNECTED);
constexpr psResult kBusy = driverError(psERR_DEVICE_BUSY);
constexpr psResult kNoDisk = driverError(psERR_DEVICE_NO_DISK);
constexpr psResult kDiskFull = driverError(psERR_FILE_DISK_FULL_ERROR);
constexpr psResult kInvalidParameter = driverError(psERR_INVALID_PARAMETER);
constexpr psResult kInternal = driverError(psERR_DEVICE_INTERNAL_ERROR);
constexpr psResult kPortInUse = driverError(psERR_COMM_PORT_IS_IN_USE);

// What the card needs for one more shot, by quality: the camera's own
// counter is not reachable, so shots remaining is free space over this.
constexpr uint64_t kRawBytes = 7u << 20;
constexpr uint64_t kLargeFineBytes = 2600u << 10;
constexpr uint64_t kLargeNormalBytes = 1400u << 10;
constexpr uint64_t kMediumFineBytes = 1500u << 10;
constexpr uint64_t kMediumNormalBytes = 800u << 10;
constexpr uint64_t kSmallFineBytes = 900u << 10;
constexpr uint64_t kSmallNormalBytes = 500u << 10;

// Lens limits the driver cannot read: the widest its aperture table reaches.
constexpr uint8_t kWidestAperture = 0x0d;
constexpr uint8_t kNarrowestAperture = 0x58;

bool vanished(int code)
{
    return code == GP_ERROR_IO_USB_FIND || code == GP_ERROR_IO || code == GP_ERROR_IO_READ ||
           code == GP_ERROR_IO_WRITE || code == GP_ERROR_IO_INIT || code == GP_ERROR_IO_UPDATE ||
           code == GP_ERROR_IO_USB_CLEAR_HALT;
}

std::string upper(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::toupper(c); });
    return text;
}

std::string stem(const std::string &name)
{
    return upper(name.substr(0, name.rfind('.')));
}

std::string extension(const std::string &name)
{
    const size_t dot = name.rfind('.');
    return dot == std::string::npos ? std::string() : upper(name.substr(dot + 1));
}

std::string key(const CardFile &file)
{
    return file.folder + "/" + file.name;
}

void copyText(char *to, size_t size, const std::string &text)
{
    std::memset(to, 0, size);
    std::memcpy(to, text.data(), std::min(size - 1, text.size()));
}

// "Canon EOS D60" as the program names it: "EOS D60".
std::string programModelName(const std::string &model)
{
    static const std::string maker = "Canon ";
    return model.rfind(maker, 0) == 0 ? model.substr(maker.size()) : model;
}

ReleaseBlock unreachableDefaults()
{
    ReleaseBlock block{};
    block[36] = kWidestAperture;
    block[38] = kNarrowestAperture;
    block[46] = 1;  // the lens divisor; the focal lengths stay unknown (0)
    return block;
}

} // namespace

CameraSession::CameraSession(psDeviceHandle handle, psEventCallback callback, void *context)
    : m_handle(handle), m_callback(callback), m_context(context)
{
    m_block = unreachableDefaults();
}

CameraSession::~CameraSession()
{
    close();
}

psResult CameraSession::deliver(uint32_t event, const void *data)
{
    std::lock_guard lock(m_callbackMutex);
    if (!m_callback)
        return 0;
    return m_callback(event, data, 0, m_context);
}

void CameraSession::markGone()
{
    if (m_gone.exchange(true))
        return;
    diagnose("the camera is gone");
    const uint32_t event = PS_EVENT_SEVERITY_SHUTDOWN | PS_SHUTDOWN_DISCONNECTED;
    if (m_thread && m_thread->onThread() && !m_thread->abandoned()) {
        deliver(event, nullptr);
        return;
    }
    // The camera thread is stuck (or this is a caller's thread): the news
    // must not wait for it, nor run inside the caller's own call.
    std::thread([self = shared_from_this(), event] { self->deliver(event, nullptr); }).detach();
}

psResult CameraSession::failureWord(const GphotoFailure &failure)
{
    diagnose(failure.text);
    if (vanished(failure.code)) {
        markGone();
        return kDisconnected;
    }
    switch (failure.code) {
    case GP_ERROR_CAMERA_BUSY:
        return kBusy;
    case GP_ERROR_IO_USB_CLAIM:
        return kPortInUse;
    default:
        return kInternal;
    }
}

psResult CameraSession::call(std::function<void()> job, std::chrono::milliseconds timeout)
{
    if (m_gone)
        return kDisconnected;
    // The job may outlive this call when the camera stops answering: it owns
    // what it touches, and its result is read only once it has finished.
    auto result = std::make_shared<psResult>(0);
    const bool finished = m_thread->run(
        [self = shared_from_this(), job = std::move(job), result] {
            try {
                if (!self->m_camera)
                    *result = kDisconnected;
                else
                    job();
                self->m_lastRequest = std::chrono::steady_clock::now();
            } catch (const GphotoFailure &failure) {
                *result = self->failureWord(failure);
            } catch (const std::bad_alloc &) {
                *result = driverError(psERR_MEM_ALLOC_FAILED);
            }
        },
        timeout);
    if (!finished) {
        diagnose("the camera did not answer within " + std::to_string(timeout.count() / 1000) + " s");
        markGone();
        return kDisconnected;
    }
    return *result;
}

psResult CameraSession::open(const DetectedCamera &detected)
{
    // The thread never keeps the session alive between jobs.
    m_thread = std::make_unique<CameraThread>([weak = weak_from_this()] {
        const std::shared_ptr<CameraSession> self = weak.lock();
        return self && self->idle();
    });
    auto outcome = std::make_shared<psResult>(0);
    const bool finished = m_thread->run(
        [this, self = shared_from_this(), detected, outcome] {
            psResult &result = *outcome;
            try {
                m_camera = std::make_unique<GphotoCamera>(detected);
                // The first configuration read puts the camera into remote mode.
                const GphotoCamera::Config config = m_camera->config();
                psDeviceInfo info{};
                const std::string model = config.text("model").value_or(detected.model);
                copyText(info.modelName, sizeof info.modelName, programModelName(model));
                copyText(info.firmwareVersion, sizeof info.firmwareVersion, config.text("firmwareversion").value_or(""));
                copyText(info.ownerName, sizeof info.ownerName, config.text("ownername").value_or(""));
                {
                    std::lock_guard lock(m_mutex);
                    m_info = info;
                    m_reachable = ReleaseFields::reachable(config);
                }
                readBlock(config);
                // What is on the card now was there before us: never announced.
                // A camera without a card has nothing to list.
                try {
                    for (const CardFile &file : m_camera->listCard())
                        m_delivered.insert(key(file));
                } catch (const GphotoFailure &failure) {
                    if (vanished(failure.code))
                        throw;
                    diagnose("the card could not be listed: " + failure.text);
                }
                diagnose("connected to " + model + " on " + detected.port);
            } catch (const GphotoFailure &failure) {
                diagnose(failure.text);
                m_camera.reset();
                result = failure.code == GP_ERROR_IO_USB_CLAIM ? kPortInUse : kInternal;
            } catch (const std::bad_alloc &) {
                m_camera.reset();
                result = driverError(psERR_MEM_ALLOC_FAILED);
            }
        },
        kOpenTimeout);
    if (!finished) {
        diagnose("the camera did not answer while opening");
        return kDisconnected;
    }
    return *outcome;
}

void CameraSession::close()
{
    {
        std::lock_guard lock(m_callbackMutex);
        m_callback = nullptr;
    }
    if (!m_thread)
        return;
    // Left on its thread; a session already on its way out leaves it to its destructor.
    m_thread->stop(
        [weak = weak_from_this()] {
            if (const std::shared_ptr<CameraSession> self = weak.lock())
                self->m_camera.reset();
        },
        kCloseGrace);
}

void CameraSession::readBlock(const GphotoCamera::Config &config)
{
    std::lock_guard lock(m_mutex);
    m_block = ReleaseFields::read(config, m_block);
}

bool CameraSession::idle()
{
    if (!m_camera || m_gone)
        return false;
    try {
        if (std::chrono::steady_clock::now() - m_lastRequest >= kKeepAwakeInterval) {
            readBlock(m_camera->config());
            m_lastRequest = std::chrono::steady_clock::now();
        }
        const CameraEvent event = m_camera->waitForEvent(kEventWaitMs);
        m_lastIdleFailure.clear();
        if (event.kind == CameraEventKind::FileAdded) {
            // The camera's own shutter button.
            const uint32_t start = PS_RELEASE_EVENT_RELEASE_START;
            const uint32_t complete = PS_RELEASE_EVENT_RELEASE_COMPLETE;
            deliver(PS_EVENT_RELEASE_CONTROL, &start);
            deliverNewFiles(m_camera->listCard());
            deliver(PS_EVENT_RELEASE_CONTROL, &complete);
        }
    } catch (const GphotoFailure &failure) {
        if (vanished(failure.code)) {
            diagnose(failure.text);
            markGone();
            return false;
        }
        // Said once, not every fifth of a second.
        if (failure.text != m_lastIdleFailure)
            diagnose(failure.text);
        m_lastIdleFailure = failure.text;
        return false;
    }
    return true;
}

psResult CameraSession::getReleaseParams(uint8_t *out)
{
    const psResult result = call([this] { readBlock(m_camera->config()); }, kCallTimeout);
    if (result != 0)
        return result;
    std::lock_guard lock(m_mutex);
    std::memcpy(out, m_block.data(), m_block.size());
    return 0;
}

psResult CameraSession::setReleaseParams(const uint8_t *in)
{
    ReleaseBlock wanted;
    std::memcpy(wanted.data(), in, wanted.size());
    return call(
        [this, wanted] {
            GphotoCamera::Config config = m_camera->config();
            ReleaseBlock current;
            {
                std::lock_guard lock(m_mutex);
                // Fields the driver cannot reach keep what the program wrote.
                current = ReleaseFields::read(config, wanted);
            }
            if (ReleaseFields::write(config, current, wanted) > 0) {
                m_camera->applyConfig(config);
                for (const std::string &message : m_camera->takeMessages())
                    diagnose(message);
            }
            // The driver may report success for a value the camera refused: read back.
            const GphotoCamera::Config after = m_camera->config();
            std::lock_guard lock(m_mutex);
            m_block = ReleaseFields::read(after, wanted);
        },
        kCallTimeout);
}

psResult CameraSession::setTransferFlags(uint16_t flags)
{
    std::lock_guard lock(m_mutex);
    m_transferFlags = flags;
    return 0;
}

uint64_t CameraSession::bytesPerShot() const
{
    const uint8_t quality = m_block[1];
    const uint8_t type = m_block[2];
    const uint8_t size = m_block[3];
    if (type == 2)
        return kRawBytes;
    const bool fine = quality == 3;
    switch (size) {
    case 0: return fine ? kLargeFineBytes : kLargeNormalBytes;
    case 1: return fine ? kMediumFineBytes : kMediumNormalBytes;
    case 2: return fine ? kSmallFineBytes : kSmallNormalBytes;
    default: return kRawBytes;
    }
}

psResult CameraSession::readCardSpace(CardSpace &space)
{
    auto read = std::make_shared<CardSpace>();
    const psResult result = call([this, read] { *read = m_camera->cardSpace(); }, kCallTimeout);
    if (result == 0)
        space = *read;
    return result;
}

psResult CameraSession::shotsRemaining(uint32_t *shots)
{
    CardSpace space;
    if (const psResult result = readCardSpace(space))
        return result;
    if (!space.present)
        return kNoDisk;
    std::lock_guard lock(m_mutex);
    *shots = static_cast<uint32_t>(std::min<uint64_t>(space.freeBytes / bytesPerShot(), UINT32_MAX));
    return 0;
}

psResult CameraSession::release()
{
    bool toHost;
    {
        std::lock_guard lock(m_mutex);
        // A JPEG for the PC alone comes straight across the cable and needs no
        // card; everything else is taken on the card and fetched from there.
        toHost = (m_transferFlags & PS_TRANSFER_TO_CARD) == 0 && m_block[2] == kJpegImageType;
    }
    if (!toHost) {
        // The driver gives no card and a full card the same error as a
        // refusal: the card's room tells them apart, before the shutter.
        CardSpace space;
        if (const psResult result = readCardSpace(space))
            return result;
        std::lock_guard lock(m_mutex);
        if (!space.present)
            return kNoDisk;
        if (space.freeBytes < bytesPerShot())
            return kDiskFull;
    }
    {
        std::lock_guard lock(m_mutex);
        if (m_releasing)
            return kBusy;
        m_releasing = true;
    }
    m_thread->post([self = shared_from_this(), toHost] { self->runRelease(toHost); });
    return 0;
}

void CameraSession::runRelease(bool toHost)
{
    const uint32_t start = PS_RELEASE_EVENT_RELEASE_START;
    const uint32_t complete = PS_RELEASE_EVENT_RELEASE_COMPLETE;
    deliver(PS_EVENT_RELEASE_CONTROL, &start);
    bool lost = false;
    try {
        if (!m_camera)
            throw GphotoFailure{GP_ERROR_IO_USB_FIND, "no camera"};
        if (toHost) {
            deliverHostShot(m_camera->captureToHost());
        } else {
            m_camera->capture();
            // Also what the camera's button added just before: never lost.
            deliverNewFiles(m_camera->listCard());
        }
    } catch (const GphotoFailure &failure) {
        diagnose(failure.text);
        if (vanished(failure.code)) {
            lost = true;
        } else if (failure.code == GP_ERROR_OS_FAILURE && m_camera) {
            try {
                const CardSpace space = m_camera->cardSpace();
                diagnose(!space.present ? "the release was refused: no card"
                         : space.freeBytes == 0 ? "the release was refused: the card is full"
                                                : "the release was refused: the camera is busy");
            } catch (const GphotoFailure &again) {
                lost = vanished(again.code);
            }
        }
    }
    {
        std::lock_guard lock(m_mutex);
        m_releasing = false;
    }
    if (lost) {
        markGone();
        return;
    }
    deliver(PS_EVENT_RELEASE_CONTROL, &complete);
}

void CameraSession::deliverHostShot(const Download &image)
{
    Shot shot;
    shot.format = PS_IMAGE_FORMAT_JPEG;
    shot.keepOnCard = false;
    shot.held = image;
    shot.full.name = kHostShotName;
    shot.full.size = image.size;
    // The camera's small JPEG inside the image; without one the image itself
    // stands in (the session only shows a JPEG's thumbnail, it keeps none).
    const auto [offset, length] = exifThumbnail(image.data, image.size);
    if (length > 0)
        shot.thumbnail.assign(image.data + offset, image.data + offset + length);
    else
        shot.thumbnail.assign(image.data, image.data + image.size);
    uint16_t flags;
    uint32_t sequence;
    {
        std::lock_guard lock(m_mutex);
        flags = m_transferFlags;
        sequence = m_nextSequence++ << PS_SEQUENCE_ID_SHIFT;
        m_shots[sequence] = shot;
        while (m_shots.size() > kKeptShots)
            m_shots.erase(m_shots.begin());
    }
    psImageEventRecord record{};
    record.sequence = sequence;
    record.format = PS_IMAGE_FORMAT_JPEG;
    copyText(record.fileName, sizeof record.fileName, kHostShotName);
    if ((flags & PS_TRANSFER_THUMBNAIL_TO_PC) && !shot.thumbnail.empty()) {
        record.dataSize = static_cast<uint32_t>(shot.thumbnail.size());
        deliver(PS_EVENT_THUMBNAIL_ON_RELEASE, &record);
    }
    record.dataSize = static_cast<uint32_t>(std::min<size_t>(image.size, UINT32_MAX));
    deliver(PS_EVENT_FULLVIEW_ON_RELEASE, &record);
}

void CameraSession::deliverNewFiles(const std::vector<CardFile> &card)
{
    // The driver lists no THM files: a CRW's THM is what it gives as the
    // CRW's preview, and deleting the CRW deletes its THM too.
    std::vector<const CardFile *> images;
    for (const CardFile &file : card) {
        if (m_delivered.count(key(file)))
            continue;
        const std::string kind = extension(file.name);
        if (kind == "JPG" || kind == "CRW")
            images.push_back(&file);
    }
    // Oldest first: the camera numbers its files upwards.
    std::sort(images.begin(), images.end(), [](const CardFile *a, const CardFile *b) { return key(*a) < key(*b); });
    uint16_t flags;
    {
        std::lock_guard lock(m_mutex);
        flags = m_transferFlags;
    }
    for (const CardFile *image : images) {
        Shot shot;
        shot.full = *image;
        shot.keepOnCard = (flags & PS_TRANSFER_TO_CARD) != 0;
        const bool raw = extension(image->name) == "CRW";
        shot.format = raw ? PS_IMAGE_FORMAT_RAW : PS_IMAGE_FORMAT_JPEG;
        const std::string thumbnailName = raw ? stem(image->name) + ".THM" : image->name;
        if (flags & PS_TRANSFER_THUMBNAIL_TO_PC) {
            const Download preview =
                m_camera->download(*image, raw ? GphotoCamera::Part::ThmFile : GphotoCamera::Part::Thumbnail, {});
            shot.thumbnail.assign(preview.data, preview.data + preview.size);
        }
        m_delivered.insert(key(*image));

        uint32_t sequence;
        {
            std::lock_guard lock(m_mutex);
            sequence = m_nextSequence++ << PS_SEQUENCE_ID_SHIFT;
            m_shots[sequence] = shot;
            // Only the last few shots can still be asked for.
            while (m_shots.size() > kKeptShots)
                m_shots.erase(m_shots.begin());
        }
        psImageEventRecord record{};
        record.sequence = sequence;
        record.format = shot.format;
        if ((flags & PS_TRANSFER_THUMBNAIL_TO_PC) && !shot.thumbnail.empty()) {
            record.dataSize = static_cast<uint32_t>(shot.thumbnail.size());
            copyText(record.fileName, sizeof record.fileName, thumbnailName);
            deliver(PS_EVENT_THUMBNAIL_ON_RELEASE, &record);
        }
        if (flags & PS_TRANSFER_FULLVIEW_TO_PC) {
            record.dataSize = static_cast<uint32_t>(std::min<uint64_t>(image->size, UINT32_MAX));
            copyText(record.fileName, sizeof record.fileName, image->name);
            deliver(PS_EVENT_FULLVIEW_ON_RELEASE, &record);
        }
    }
}

psResult CameraSession::releasedImage(uint32_t kind, uint32_t sequence, pslStream *stream)
{
    Shot shot;
    {
        std::lock_guard lock(m_mutex);
        const auto found = m_shots.find(sequence);
        if (found == m_shots.end())
            return kInvalidParameter;
        shot = found->second;
    }
    auto send = [stream](const uint8_t *data, size_t size) -> psResult {
        for (size_t sent = 0; sent < size;) {
            const uint32_t chunk = static_cast<uint32_t>(std::min<size_t>(kStreamChunk, size - sent));
            if (const psResult status = stream->ops->write(stream, data + sent, chunk))
                return status;
            sent += chunk;
        }
        if (stream->ops->progress)
            stream->ops->progress(stream, 100);
        return 0;
    };
    if (kind == PS_IMAGE_KIND_THUMBNAIL)
        return send(shot.thumbnail.data(), shot.thumbnail.size());
    if (shot.held.data)
        return send(shot.held.data, shot.held.size);

    // The full image crosses the cable now. Its progress is reported on the
    // caller's thread; the camera thread only records it.
    struct Transfer {
        std::mutex mutex;
        std::condition_variable changed;
        uint32_t percent = 0;
        bool done = false;
        psResult result = 0;
        Download data;
    };
    auto transfer = std::make_shared<Transfer>();
    if (m_gone)
        return kDisconnected;
    m_thread->post([this, self = shared_from_this(), transfer, shot] {
        psResult result = 0;
        Download data;
        try {
            if (!m_camera)
                throw GphotoFailure{GP_ERROR_IO_USB_FIND, "no camera"};
            data = m_camera->download(shot.full, GphotoCamera::Part::File, [&transfer](uint32_t percent) {
                std::lock_guard lock(transfer->mutex);
                transfer->percent = percent;
                transfer->changed.notify_all();
            });
            if (!shot.keepOnCard)
                m_camera->remove(shot.full);
        } catch (const GphotoFailure &failure) {
            result = failureWord(failure);
        } catch (const std::bad_alloc &) {
            result = driverError(psERR_MEM_ALLOC_FAILED);
        }
        std::lock_guard lock(transfer->mutex);
        transfer->result = result;
        transfer->data = std::move(data);
        transfer->done = true;
        transfer->changed.notify_all();
    });
    const auto deadline = std::chrono::steady_clock::now() + kTransferBaseTimeout +
                          std::chrono::seconds(shot.full.size / kSlowestBytesPerSecond);
    uint32_t shown = 0;
    std::unique_lock lock(transfer->mutex);
    while (!transfer->done) {
        if (transfer->changed.wait_until(lock, deadline) == std::cv_status::timeout && !transfer->done) {
            lock.unlock();
            diagnose("the camera stopped sending " + shot.full.name);
            markGone();
            return kDisconnected;
        }
        if (transfer->percent != shown && stream->ops->progress) {
            shown = transfer->percent;
            lock.unlock();
            stream->ops->progress(stream, shown);
            lock.lock();
        }
    }
    if (transfer->result != 0)
        return transfer->result;
    const Download data = std::move(transfer->data);
    lock.unlock();
    return send(data.data, data.size);
}

} // namespace usbcam
