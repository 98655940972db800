#include "CanonUsbCamera.h"

#include "CardFolder.h"
#include "SimCamera.h"

#include <psError.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>

namespace simcam {
namespace {

// Control requests of the camera's vendor interface.
constexpr uint8_t kRequestShort = 0x0c;       // one-byte transfers: the camera's state
constexpr uint8_t kRequestLong = 0x04;        // the handshake blocks and commands
constexpr uint16_t kValueCameraState = 0x55;
constexpr uint16_t kValueHandshake = 0x01;
constexpr uint16_t kValueHandshakeAgain = 0x04;   // the "already active" path
constexpr uint16_t kValueHandshakeAnswer = 0x11;  // the "woken up" path
constexpr uint16_t kValueCommand = 0x10;

constexpr uint8_t kStateAlreadyActive = 'A';
constexpr uint8_t kStateWokenUp = 'C';

constexpr uint32_t kHandshakeSize = 0x58;
constexpr uint32_t kHandshakeAgainSize = 0x50;
constexpr uint32_t kHandshakeReplySize = 0x44;
constexpr uint32_t kHandshakeInterruptSize = 0x10;

// The command block: a 0x40-byte header, then 0x10 bytes naming the command.
constexpr size_t kHeaderSize = 0x40;
constexpr size_t kCommandSize = 0x50;
constexpr size_t kStatusOffset = 0x50;
constexpr size_t kFixedDataOffset = 0x54;
constexpr size_t kMaxCommandSize = 0x400;
constexpr uint32_t kFixedLength = 0x201;
constexpr uint32_t kVariableLength = 0x202;
constexpr uint8_t kCameraControl = 0x12;
constexpr uint8_t kStorageControl = 0x11;

// Status words at 0x50 of a reply.
constexpr uint32_t kStatusFileNotFound = 0x02000022;
constexpr uint32_t kStatusCardFull = 0x0200002a;
constexpr uint32_t kStatusLockFailed = 0x02000081;
constexpr uint32_t kStatusUnlockFailed = 0x02000082;
constexpr uint32_t kStatusNoCaptureMode = 0x02000085;
constexpr uint32_t kStatusBadParameters = 0x02000086;
constexpr uint32_t kStatusNoCard = 0x02000087;

// Remote-control subcommands (first payload word of "remote camera control").
constexpr uint32_t kControlInit = 0x00;
constexpr uint32_t kControlExit = 0x01;
constexpr uint32_t kControlRelease = 0x04;
constexpr uint32_t kControlSetParams = 0x07;
constexpr uint32_t kControlSetTransferMode = 0x09;
constexpr uint32_t kControlGetParams = 0x0a;
constexpr uint32_t kControlGetAvailableShot = 0x0d;
constexpr size_t kControlParamsOffset = 0x5c;     // the release parameters in a reply
constexpr size_t kWireParamsSize = 0x2f;          // what the host sends of the 48-byte block
constexpr size_t kSetParamsPayloadOffset = 8;

// Directory entries: attributes (16 bits), size, time, name.
constexpr uint8_t kAttrFolder = 0x10;
constexpr uint8_t kAttrNotDownloaded = 0x20;
constexpr uint8_t kAttrRecursedFolder = 0x80;
constexpr const char *kDrive = "D:";

// Interrupt packets of a release: the type at byte 4; a 0x0a packet's
// subcode at byte 12; an image's key at 12 and size at 17.
constexpr uint8_t kPacketStatus = 0x0a;
constexpr uint8_t kPacketThumbnailSize = 0x08;
constexpr uint8_t kPacketFullImageSize = 0x0c;
constexpr uint8_t kPacketWrittenToCard = 0x0e;
constexpr uint8_t kPacketReleaseDone = 0x0f;
constexpr uint8_t kStatusReleaseStarted = 0x1c;
constexpr uint8_t kStatusImagesReady = 0x1d;
constexpr uint8_t kStatusPhotographicFailure = 0x0a;
constexpr uint32_t kFailureNoFocus = 0x01;
constexpr size_t kPacketSize = 0x10;
constexpr size_t kImagePacketSize = 0x17;
// The host's transfer-mode bits.
constexpr uint8_t kModeToCard = 0x0c;   // thumbnail or full image to the card
constexpr uint8_t kModeToPc = 0x03;
// What a captured-image request asks for.
constexpr uint32_t kCapturedThumbnail = 1;
constexpr uint32_t kCapturedFullImage = 2;

constexpr uint32_t kPowerGood = 6;
constexpr uint32_t kPowerOnBattery = 0x20;
constexpr uint64_t kCardCapacity = 512ull << 20;
constexpr uint64_t kBytesPerShot = 2ull << 20;    // what the camera counts free room in

void put16(Bytes &b, size_t at, uint32_t v)
{
    b[at] = static_cast<uint8_t>(v);
    b[at + 1] = static_cast<uint8_t>(v >> 8);
}

void put32(Bytes &b, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

uint32_t get32(const uint8_t *p)
{
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

void putText(Bytes &b, size_t at, const std::string &text, size_t field)
{
    std::memcpy(b.data() + at, text.data(), std::min(text.size(), field - 1));
}

// A zero-terminated string within the payload, from offset on.
std::optional<std::string> payloadText(const Bytes &payload, size_t offset, size_t *end = nullptr)
{
    if (offset >= payload.size())
        return std::nullopt;
    const auto *start = payload.data() + offset;
    const void *zero = std::memchr(start, 0, payload.size() - offset);
    if (!zero)
        return std::nullopt;
    const size_t length = static_cast<const uint8_t *>(zero) - start;
    if (end)
        *end = offset + length + 1;
    return std::string(reinterpret_cast<const char *>(start), length);
}

int64_t localOffset(int64_t when)
{
    const std::time_t t = static_cast<std::time_t>(when);
    std::tm local{};
    localtime_r(&t, &local);
    return local.tm_gmtoff;
}

Bytes packet(uint8_t type, size_t size = kPacketSize)
{
    Bytes bytes(size, 0);
    put32(bytes, 0, static_cast<uint32_t>(size));
    bytes[4] = type;
    return bytes;
}

Bytes statusPacket(uint8_t subcode, uint32_t code = 0)
{
    Bytes bytes = packet(kPacketStatus, kPacketSize + 4);
    bytes[12] = subcode;
    put32(bytes, 16, code);
    return bytes;
}

Bytes imagePacket(uint8_t type, uint32_t key, uint32_t size)
{
    Bytes bytes = packet(type, kImagePacketSize);
    put32(bytes, 12, key);
    put32(bytes, 17, size);
    return bytes;
}

uint32_t releaseRefusal(psResult result)
{
    switch (psErrorCode(result)) {
    case psERR_DEVICE_NO_DISK: return kStatusNoCard;
    case psERR_FILE_DISK_FULL_ERROR: return kStatusCardFull;
    default: return kStatusNoCaptureMode;
    }
}

// Reply lengths, as fixed by the camera for each command.
struct CommandKind {
    uint8_t cmd1;
    uint8_t cmd2;
    uint32_t cmd3;
    const char *name;
    uint32_t replyLength;
};

constexpr CommandKind kCommands[] = {
    {0x01, kStorageControl, kVariableLength, "get file", 0x40},
    {0x09, kStorageControl, kFixedLength, "disk info", 0x5c},
    {0x0a, kStorageControl, kVariableLength, "flash device ident", 0x40},
    {0x0b, kStorageControl, kVariableLength, "get directory entries", 0x40},
    {0x0d, kStorageControl, kFixedLength, "delete file", 0x54},
    {0x0e, kStorageControl, kFixedLength, "set file attributes", 0x54},
    {0x01, kCameraControl, kFixedLength, "identify camera", 0x9c},
    {0x03, kCameraControl, kFixedLength, "get time", 0x60},
    {0x04, kCameraControl, kFixedLength, "set time", 0x54},
    {0x05, kCameraControl, kFixedLength, "change owner", 0x54},
    {0x0a, kCameraControl, kFixedLength, "power supply status", 0x58},
    {0x13, kCameraControl, kFixedLength, "remote camera control", 0x40},
    {0x17, kCameraControl, kVariableLength, "download a captured image", 0x40},
    {0x1b, kCameraControl, kFixedLength, "EOS lock keys", 0x54},
    {0x1c, kCameraControl, kFixedLength, "EOS unlock keys", 0x54},
    {0x1d, kCameraControl, kFixedLength, "EOS get body ID", 0x58},
};

struct ControlKind {
    uint32_t subcommand;
    const char *name;
    uint32_t extraLength;   // beyond the command's 0x40
};

constexpr ControlKind kControls[] = {
    {kControlInit, "camera control init", 0x1c},
    {kControlExit, "exit release control", 0x1c},
    {kControlRelease, "release shutter", 0x1c},
    {kControlSetParams, "set release params", 0x1c},
    {kControlSetTransferMode, "set transfer mode", 0x1c},
    {kControlGetParams, "get release params", 0x4c},
    {kControlGetAvailableShot, "get available shot", 0x20},
};

std::string hexName(uint8_t cmd1, uint8_t cmd2, uint32_t cmd3)
{
    char text[64];
    std::snprintf(text, sizeof text, "command 0x%02x 0x%02x 0x%03x", cmd1, cmd2, cmd3);
    return text;
}

} // namespace

struct CanonUsbCamera::Command {
    uint8_t cmd1 = 0;
    uint8_t cmd2 = 0;
    uint32_t cmd3 = 0;
    uint32_t serial = 0;
    Bytes payload;
};

CanonUsbCamera::CanonUsbCamera(std::shared_ptr<SimCamera> camera, std::shared_ptr<CardFolder> card,
                               std::function<void(const std::string &)> unimplemented)
    : m_camera(std::move(camera)), m_card(std::move(card)), m_unimplemented(std::move(unimplemented))
{
}

CanonUsbCamera::~CanonUsbCamera()
{
    detach();
}

bool CanonUsbCamera::present() const
{
    return m_camera->present();
}

bool CanonUsbCamera::attach()
{
    detach();
    psPortDescrip port{};
    port.portType = PS_PORT_TYPE_USB;
    std::snprintf(port.portName, sizeof port.portName, "usb");
    if (m_camera->open(&port, onEvent, this, &m_device) != 0) {
        m_device = 0;
        return false;
    }
    m_camera->onCardWritten([this](const std::vector<std::string> &) { cardWritten(); });
    m_awake = false;
    m_bulkIn.clear();
    m_bulkOffset = 0;
    std::lock_guard lock(m_mutex);
    m_interrupts.clear();
    m_release = {};
    m_transferMode = 0;
    return true;
}

void CanonUsbCamera::detach()
{
    if (m_device == 0)
        return;
    // A host that goes away leaves the camera's keys and release control as they were before it.
    m_camera->unlock(m_device);
    m_camera->releaseControl(m_device, PS_RC_LEAVE, 0, nullptr, 0, nullptr);
    m_camera->close(m_device);
    m_camera->onCardWritten(nullptr);
    m_device = 0;
}

std::optional<Bytes> CanonUsbCamera::controlRead(uint8_t request, uint16_t value, uint16_t, uint32_t size)
{
    if (request == kRequestShort && value == kValueCameraState && size == 1) {
        const uint8_t state = m_wokenBefore ? kStateAlreadyActive : kStateWokenUp;
        return Bytes{state};
    }
    if (request == kRequestLong && value == kValueHandshake && size == kHandshakeSize) {
        Bytes block(kHandshakeSize, 0);
        block[0] = 0x18;
        // Protocol version bytes and USB ids, then the camera's transfer sizes.
        const Bytes version = {0x01, 0x00, 0x05, 0x03};
        std::copy(version.begin(), version.end(), block.begin() + 0x40);
        put16(block, 0x44, m_camera->state().model.usbProduct);
        put16(block, 0x46, 0x04a9);
        put32(block, 0x48, 0x800);
        put32(block, 0x4c, 0xFFFFFFFF);
        put32(block, 0x50, 0xfd00);
        put32(block, 0x54, 0xfd00);
        return block;
    }
    if (request == kRequestLong && value == kValueHandshakeAgain && size == kHandshakeAgainSize &&
        m_wokenBefore) {
        Bytes block(kHandshakeAgainSize, 0);
        block[0] = 0x10;
        put32(block, 0x40, 0x800);
        put32(block, 0x44, 0xFFFFFFFF);
        put32(block, 0x48, 0xfd00);
        put32(block, 0x4c, 0xfd00);
        m_awake = true;
        return block;
    }
    char name[80];
    std::snprintf(name, sizeof name, "control read 0x%02x value 0x%04x size 0x%x", request, value, size);
    m_unimplemented(name);
    return std::nullopt;
}

bool CanonUsbCamera::controlWrite(uint8_t request, uint16_t value, uint16_t, const Bytes &data)
{
    if (request == kRequestLong && value == kValueHandshakeAnswer && data.size() == kHandshakeAgainSize) {
        // The host hands back our block: we are awake and say so on both pipes.
        Bytes reply(kHandshakeReplySize, 0);
        reply[0] = 0x04;
        reply[4] = 0x02;
        reply[5] = 0x03;
        m_bulkIn = reply;
        m_bulkOffset = 0;
        Bytes packet(kHandshakeInterruptSize, 0);
        packet[0] = 0x02;
        packet[4] = 0x20;
        packet[8] = 0x10;
        queueInterrupt(packet);
        m_awake = true;
        m_wokenBefore = true;
        return true;
    }
    if ((request == kRequestLong || request == kRequestShort) && value == kValueCommand) {
        if (!m_awake || data.size() < kCommandSize || data.size() > kMaxCommandSize)
            return false;
        runCommand(data);
        return true;
    }
    char name[80];
    std::snprintf(name, sizeof name, "control write 0x%02x value 0x%04x size 0x%zx", request, value, data.size());
    m_unimplemented(name);
    return false;
}

Bytes CanonUsbCamera::bulkRead(uint32_t size)
{
    const size_t left = m_bulkIn.size() - m_bulkOffset;
    const size_t take = std::min<size_t>(left, size);
    Bytes out(m_bulkIn.begin() + static_cast<ptrdiff_t>(m_bulkOffset),
              m_bulkIn.begin() + static_cast<ptrdiff_t>(m_bulkOffset + take));
    m_bulkOffset += take;
    if (m_bulkOffset == m_bulkIn.size()) {
        m_bulkIn.clear();
        m_bulkOffset = 0;
    }
    return out;
}

bool CanonUsbCamera::bulkWrite(const Bytes &data)
{
    char name[64];
    std::snprintf(name, sizeof name, "bulk write of 0x%zx bytes", data.size());
    m_unimplemented(name);
    return false;
}

std::optional<Bytes> CanonUsbCamera::interruptRead(uint32_t size, std::chrono::milliseconds timeout)
{
    std::unique_lock lock(m_mutex);
    if (!m_interruptReady.wait_for(lock, timeout, [this] { return !m_interrupts.empty(); }))
        return std::nullopt;
    Bytes packet = std::move(m_interrupts.front());
    m_interrupts.pop_front();
    if (packet.size() > size)
        packet.resize(size);
    return packet;
}

void CanonUsbCamera::queueInterrupt(Bytes packet)
{
    std::lock_guard lock(m_mutex);
    m_interrupts.push_back(std::move(packet));
    m_interruptReady.notify_all();
}

void CanonUsbCamera::runCommand(const Bytes &packet)
{
    Command command;
    const uint32_t length = get32(packet.data());
    command.cmd3 = get32(packet.data() + 4);
    command.cmd1 = packet[0x44];
    command.cmd2 = packet[0x47];
    command.serial = get32(packet.data() + 0x4c);
    const bool wellFormed = packet[0x40] == 0x02 && length + kHeaderSize == packet.size() &&
                            get32(packet.data() + 0x48) == length;
    command.payload.assign(packet.begin() + kCommandSize, packet.end());

    bool known = false;
    uint32_t replyLength = 0;
    Reply reply;
    if (wellFormed)
        reply = dispatch(command, &known, &replyLength);
    if (!known) {
        m_unimplemented(wellFormed ? hexName(command.cmd1, command.cmd2, command.cmd3) : "malformed command block");
        reply.status = kStatusBadParameters;
        reply.data.clear();
        replyLength = kFixedDataOffset;
        command.cmd3 = kFixedLength;
    }

    Bytes out;
    if (command.cmd3 == kVariableLength && known) {
        // A short block giving the length, then the data as one stream.
        out.assign(kHeaderSize, 0);
        put16(out, 4, command.cmd3 + 0x100);
        put32(out, 6, static_cast<uint32_t>(reply.data.size()));
        out.insert(out.end(), reply.data.begin(), reply.data.end());
    } else {
        out.assign(std::max<size_t>(replyLength, kFixedDataOffset), 0);
        put16(out, 4, command.cmd3 + 0x100);
        put32(out, 0x40, 2);
        out[0x44] = command.cmd1;
        out[0x47] = static_cast<uint8_t>(command.cmd2 + 0x10);
        put32(out, 0x48, static_cast<uint32_t>(out.size() - kHeaderSize));
        put32(out, 0x4c, command.serial);
        put32(out, kStatusOffset, reply.status);
        std::copy_n(reply.data.begin(), std::min(reply.data.size(), out.size() - kFixedDataOffset),
                    out.begin() + kFixedDataOffset);
    }
    // A new command ends whatever the host left unread of the last reply.
    m_bulkIn = std::move(out);
    m_bulkOffset = 0;
}

CanonUsbCamera::Reply CanonUsbCamera::dispatch(const Command &command, bool *known, uint32_t *replyLength)
{
    const CommandKind *kind = nullptr;
    for (const CommandKind &candidate : kCommands)
        if (candidate.cmd1 == command.cmd1 && candidate.cmd2 == command.cmd2 && candidate.cmd3 == command.cmd3)
            kind = &candidate;
    if (!kind)
        return {};
    *known = true;
    *replyLength = kind->replyLength;
    Reply reply;
    const uint8_t code = command.cmd1;
    if (command.cmd2 == kCameraControl) {
        psDeviceInfo info{};
        switch (code) {
        case 0x01:   // identify: firmware (last part first), model, owner
            m_camera->deviceInfo(m_device, &info);
            reply.data.assign(0x48, 0);
            {
                unsigned parts[4] = {};
                std::sscanf(info.firmwareVersion, "%u.%u.%u.%u", &parts[0], &parts[1], &parts[2], &parts[3]);
                for (int i = 0; i < 4; ++i)
                    reply.data[4 + (3 - i)] = static_cast<uint8_t>(parts[i]);
            }
            putText(reply.data, 8, std::string("Canon ") + info.modelName, 32);
            putText(reply.data, 40, info.ownerName, 32);
            break;
        case 0x03:   // get time: camera-local seconds
            reply.data.assign(12, 0);
            put32(reply.data, 0, static_cast<uint32_t>(m_camera->cameraClock()));
            break;
        case 0x04:
            if (command.payload.size() < 4) {
                reply.status = kStatusBadParameters;
                break;
            }
            m_camera->setCameraClock(get32(command.payload.data()));
            break;
        case 0x05:
            if (const auto owner = payloadText(command.payload, 0); owner && owner->size() <= 30)
                m_camera->setOwner(*owner);
            else
                reply.status = kStatusBadParameters;
            break;
        case 0x0a:   // power: good, on battery
            reply.data.assign(4, 0);
            reply.data[0] = kPowerGood;
            reply.data[3] = kPowerOnBattery;
            break;
        case 0x13:
            return remoteControl(command, replyLength);
        case 0x17:
            reply.data = capturedImage(command);
            break;
        case 0x1b:
            if (m_camera->lock(m_device, PS_LOCK_MODE_UI) != 0)
                reply.status = kStatusLockFailed;
            break;
        case 0x1c:
            if (m_camera->unlock(m_device) != 0)
                reply.status = kStatusUnlockFailed;
            break;
        case 0x1d:
            m_camera->deviceInfo(m_device, &info);
            reply.data.assign(4, 0);
            put32(reply.data, 0, info.serialNumber);
            break;
        }
        return reply;
    }
    switch (code) {
    case 0x01:
        reply.data = fileAnswer(command);
        break;
    case 0x09:
        reply = diskInfo();
        break;
    case 0x0a:
        // Without a card there is no drive to name: a refusal, with an empty
        // name for a host that reads the name whatever the status.
        if (m_camera->cardPresent()) {
            reply.data = {'D', ':', 0};
        } else {
            reply.data = {0};
            reply.status = kStatusNoCard;
        }
        break;
    case 0x0b: {
        const auto path = payloadText(command.payload, 1);
        if (path && m_camera->cardPresent())
            reply.data = directoryListing(*path, command.payload[0]);
        break;
    }
    case 0x0d:
        reply = deleteFile(command);
        break;
    case 0x0e:   // attributes (the "downloaded" mark) are not kept
        break;
    }
    return reply;
}

CanonUsbCamera::Reply CanonUsbCamera::remoteControl(const Command &command, uint32_t *replyLength)
{
    Reply reply;
    if (command.payload.size() < 4) {
        reply.status = kStatusBadParameters;
        return reply;
    }
    const uint32_t subcommand = get32(command.payload.data());
    const ControlKind *kind = nullptr;
    for (const ControlKind &candidate : kControls)
        if (candidate.subcommand == subcommand)
            kind = &candidate;
    if (!kind) {
        char name[64];
        std::snprintf(name, sizeof name, "remote camera control subcommand 0x%02x", subcommand);
        m_unimplemented(name);
        reply.status = kStatusBadParameters;
        return reply;
    }
    *replyLength += kind->extraLength;
    auto failed = [&](psResult result, uint32_t status) {
        if (result != 0)
            reply.status = status;
        return reply;
    };
    // Everything after the status word: 8 bytes, then the subcommand's data.
    reply.data.assign(*replyLength - kFixedDataOffset, 0);
    put32(reply.data, 0, subcommand);
    switch (subcommand) {
    case kControlInit: {
        if (const psResult entered = m_camera->releaseControl(m_device, PS_RC_ENTER, 0, nullptr, 0, nullptr))
            return failed(entered, kStatusNoCaptureMode);
        // Until the host sets a transfer mode, the camera's own shots go to its card.
        const uint8_t toCard[4] = {PS_TRANSFER_TO_CARD, 0, 0, 0};
        {
            std::lock_guard lock(m_mutex);
            m_transferMode = kModeToCard;
        }
        return failed(m_camera->releaseControl(m_device, PS_RC_SET_TRANSFER_FLAGS, sizeof toCard, toCard, 0, nullptr),
                      kStatusNoCaptureMode);
    }
    case kControlExit:
        return failed(m_camera->releaseControl(m_device, PS_RC_LEAVE, 0, nullptr, 0, nullptr), kStatusBadParameters);
    case kControlGetParams: {
        uint8_t block[PS_RELEASE_PARAMS_SIZE] = {};
        const psResult result =
            m_camera->releaseControl(m_device, PS_RC_GET_RELEASE_PARAMS, 0, nullptr, sizeof block, block);
        put32(reply.data, 4, PS_RELEASE_PARAMS_SIZE);
        std::copy(std::begin(block), std::end(block), reply.data.begin() + (kControlParamsOffset - kFixedDataOffset));
        return failed(result, kStatusNoCaptureMode);
    }
    case kControlSetParams: {
        if (command.payload.size() < kSetParamsPayloadOffset + kWireParamsSize) {
            reply.status = kStatusBadParameters;
            return reply;
        }
        // The host sends all but the block's last byte; that one stays as it is.
        uint8_t block[PS_RELEASE_PARAMS_SIZE] = {};
        psResult result = m_camera->releaseControl(m_device, PS_RC_GET_RELEASE_PARAMS, 0, nullptr, sizeof block, block);
        if (result == 0) {
            std::copy_n(command.payload.begin() + kSetParamsPayloadOffset, kWireParamsSize, block);
            result = m_camera->releaseControl(m_device, PS_RC_SET_RELEASE_PARAMS, sizeof block, block, 0, nullptr);
        }
        return failed(result, kStatusNoCaptureMode);
    }
    case kControlSetTransferMode: {
        if (command.payload.size() < 12) {
            reply.status = kStatusBadParameters;
            return reply;
        }
        // The card bits come as a pair in the camera's own word.
        const uint8_t mode = command.payload[8];
        const uint8_t flags[4] = {static_cast<uint8_t>((mode & kModeToPc) | ((mode & kModeToCard) ? kModeToCard : 0)),
                                  0, 0, 0};
        {
            std::lock_guard lock(m_mutex);
            m_transferMode = flags[0];
        }
        return failed(m_camera->releaseControl(m_device, PS_RC_SET_TRANSFER_FLAGS, sizeof flags, flags, 0, nullptr),
                      kStatusBadParameters);
    }
    case kControlRelease: {
        const Reply released = release();
        reply.status = released.status;
        return reply;
    }
    case kControlGetAvailableShot: {
        uint32_t shots = 0;
        const psResult result =
            m_camera->releaseControl(m_device, PS_RC_GET_SHOTS_REMAINING, 0, nullptr, sizeof shots, &shots);
        put32(reply.data, 8, shots);
        return failed(result, kStatusNoCaptureMode);
    }
    }
    return reply;
}

Bytes CanonUsbCamera::directoryListing(const std::string &cameraPath, uint8_t depth) const
{
    const auto relative = CardFolder::fromCameraPath(cameraPath);
    const auto top = relative ? m_card->list(*relative) : std::nullopt;
    Bytes out;
    if (!top)
        return out;
    auto entry = [&out](uint16_t attributes, uint32_t size, uint32_t time, const std::string &name) {
        const size_t at = out.size();
        out.resize(at + 10 + name.size() + 1, 0);
        put16(out, at, attributes);
        put32(out, at + 2, size);
        put32(out, at + 6, time);
        std::memcpy(out.data() + at + 10, name.data(), name.size());
    };
    auto cameraTime = [](int64_t modified) { return static_cast<uint32_t>(modified + localOffset(modified)); };

    // Recursive listings mark each folder entered and left, so that two of
    // them can be compared entry by entry; a plain one lists one folder.
    std::function<void(const std::string &, const std::string &, const std::vector<CardFolder::Entry> &, int)> walk =
        [&](const std::string &folder, const std::string &name, const std::vector<CardFolder::Entry> &children,
            int levels) {
            const bool recursive = depth > 0;
            entry(recursive ? kAttrRecursedFolder : kAttrFolder, 0, 0, name);
            for (const CardFolder::Entry &child : children) {
                const std::string childPath = folder.empty() ? child.name : folder + "/" + child.name;
                if (child.isFolder && recursive && levels > 0)
                    walk(childPath, "\\" + child.name, m_card->list(childPath).value_or(std::vector<CardFolder::Entry>{}),
                         levels - 1);
                else if (child.isFolder)
                    entry(kAttrFolder, 0, 0, child.name);
                else
                    entry(kAttrNotDownloaded, static_cast<uint32_t>(child.size), cameraTime(child.modified), child.name);
            }
            if (recursive)
                entry(kAttrRecursedFolder, 0, 0, "..");
        };
    walk(*relative, cameraPath, *top, depth);
    if (depth > 0)
        entry(0, 0, 0, "");
    return out;
}

Bytes CanonUsbCamera::fileAnswer(const Command &command) const
{
    if (command.payload.size() < 8 || !m_camera->cardPresent())
        return {};
    const uint32_t what = get32(command.payload.data());
    const auto name = payloadText(command.payload, 8);
    const auto relative = name ? CardFolder::fromCameraPath(*name) : std::nullopt;
    if (!relative)
        return {};
    if (what == 0)
        return m_card->read(*relative).value_or(Bytes{});
    // The thumbnail of a JPEG: the small JPEG the camera kept, its EXIF carrying the picture.
    return m_card->thumbnailOf(*relative).value_or(Bytes{});
}

CanonUsbCamera::Reply CanonUsbCamera::diskInfo() const
{
    Reply reply;
    if (!m_camera->cardPresent()) {
        reply.status = kStatusNoCard;
        return reply;
    }
    const uint64_t available = std::min<uint64_t>(uint64_t{m_camera->shotsRemaining()} * kBytesPerShot, 0xFFFFFFFFull);
    const uint64_t capacity = std::min<uint64_t>(std::max(kCardCapacity, available + m_card->bytesUsed()), 0xFFFFFFFFull);
    reply.data.assign(8, 0);
    put32(reply.data, 0, static_cast<uint32_t>(capacity));
    put32(reply.data, 4, static_cast<uint32_t>(available));
    return reply;
}

CanonUsbCamera::Reply CanonUsbCamera::deleteFile(const Command &command)
{
    Reply reply;
    size_t end = 0;
    const auto folder = payloadText(command.payload, 0, &end);
    const auto name = folder ? payloadText(command.payload, end) : std::nullopt;
    const auto relative = name ? CardFolder::fromCameraPath(*folder + "\\" + *name) : std::nullopt;
    if (!m_camera->cardPresent())
        reply.status = kStatusNoCard;
    else if (!relative || name->empty() || !m_card->remove(*relative))
        reply.status = kStatusFileNotFound;
    return reply;
}

CanonUsbCamera::Reply CanonUsbCamera::release()
{
    {
        std::lock_guard lock(m_mutex);
        m_release = {};
        m_release.active = true;
        m_release.toCard = (m_transferMode & kModeToCard) != 0;
    }
    const psResult result = m_camera->releaseControl(m_device, PS_RC_RELEASE, 0, nullptr, 0, nullptr);
    Reply reply;
    if (result != 0) {
        std::lock_guard lock(m_mutex);
        m_release.active = false;
        reply.status = releaseRefusal(result);
    }
    return reply;
}

Bytes CanonUsbCamera::capturedImage(const Command &command) const
{
    if (command.payload.size() < 16)
        return {};
    const uint32_t kind = get32(command.payload.data() + 8);
    const auto shot = m_camera->releasedShot(get32(command.payload.data() + 12));
    if (!shot)
        return {};
    if (kind == kCapturedThumbnail)
        return shot->thumbnail;
    if (kind == kCapturedFullImage)
        return shot->fullView;
    return {};
}

psResult CanonUsbCamera::onEvent(uint32_t event, const void *data, uint32_t, void *context)
{
    static_cast<CanonUsbCamera *>(context)->cameraEvent(event, data);
    return 0;
}

void CanonUsbCamera::cameraEvent(uint32_t event, const void *data)
{
    if (event & PS_EVENT_SEVERITY_MASK)
        return;   // a shut-down camera answers nothing; its warning goes unanswered, as over USB
    const uint32_t code = event & PS_EVENT_MASK;
    if ((code == PS_EVENT_THUMBNAIL_ON_RELEASE || code == PS_EVENT_FULLVIEW_ON_RELEASE) && data) {
        const auto *record = static_cast<const psImageEventRecord *>(data);
        {
            std::lock_guard lock(m_mutex);
            ++m_release.images;
        }
        queueInterrupt(imagePacket(code == PS_EVENT_THUMBNAIL_ON_RELEASE ? kPacketThumbnailSize : kPacketFullImageSize,
                                   record->sequence, record->dataSize));
        return;
    }
    if (code != PS_EVENT_RELEASE_CONTROL || !data)
        return;
    const uint32_t step = *static_cast<const uint32_t *>(data);
    if (step == PS_RELEASE_EVENT_RELEASE_START) {
        queueInterrupt(statusPacket(kStatusReleaseStarted));
        return;
    }
    if (step != PS_RELEASE_EVENT_RELEASE_COMPLETE)
        return;
    Release release;
    uint8_t mode = 0;
    {
        std::lock_guard lock(m_mutex);
        release = m_release;
        mode = m_transferMode;
        m_release = {};
    }
    // A release that made nothing it was asked for could not focus.
    const bool wantedPc = (mode & kModeToPc) != 0;
    if ((release.toCard && !release.wroteCard) || (!release.toCard && wantedPc && release.images == 0)) {
        queueInterrupt(statusPacket(kStatusPhotographicFailure, kFailureNoFocus));
        return;
    }
    queueInterrupt(statusPacket(kStatusImagesReady));
    if (release.toCard)
        queueInterrupt(packet(kPacketWrittenToCard));
    queueInterrupt(packet(kPacketReleaseDone));
}

void CanonUsbCamera::cardWritten()
{
    {
        std::lock_guard lock(m_mutex);
        if (m_release.active) {
            m_release.wroteCard = true;
            return;
        }
    }
    // A shot of the camera's own button: a file was added to the card.
    queueInterrupt(packet(kPacketWrittenToCard));
}

} // namespace simcam
