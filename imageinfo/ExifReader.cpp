#include "ExifReader.h"

#include "ExifException.h"
#include "ImageInfo.h"
#include "ImagePath.h"
#include "psImageFormat.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

// The APP1 segment: two length bytes, "Exif", two zero bytes, then the TIFF header.
constexpr size_t EXIF_SIGNATURE_OFFSET = 2;
constexpr size_t TIFF_HEADER_OFFSET = 8;

// IFD0 tags.
constexpr uint16_t TAG_MAKE = 0x010F;
constexpr uint16_t TAG_MODEL = 0x0110;
constexpr uint16_t TAG_DATE_TIME = 0x0132;
constexpr uint16_t TAG_ARTIST = 0x013B;

// EXIF directory tags.
constexpr uint16_t TAG_EXPOSURE_TIME = 0x829A;
constexpr uint16_t TAG_FNUMBER = 0x829D;
constexpr uint16_t TAG_ISO = 0x8827;
constexpr uint16_t TAG_EXPOSURE_BIAS = 0x9204;
constexpr uint16_t TAG_SUBJECT_DISTANCE = 0x9206;
constexpr uint16_t TAG_METERING_MODE = 0x9207;
constexpr uint16_t TAG_FLASH = 0x9209;
constexpr uint16_t TAG_FOCAL_LENGTH = 0x920A;
constexpr uint16_t TAG_PIXEL_X = 0xA002;
constexpr uint16_t TAG_PIXEL_Y = 0xA003;

// Canon maker-note tags.
constexpr uint16_t TAG_CAMERA_SETTINGS = 0x0001;
constexpr uint16_t TAG_SHOT_INFO = 0x0004;
constexpr uint16_t TAG_FIRMWARE = 0x0007;
constexpr uint16_t TAG_OWNER = 0x0009;
constexpr uint16_t TAG_SERIAL_NUMBER = 0x000C;
constexpr uint16_t TAG_CUSTOM_FUNCTIONS = 0x000F;

// The user comment is copied into an area of this size, terminating zero included.
constexpr size_t USER_COMMENT_AREA = 1024;
constexpr size_t USER_COMMENT_PREFIX = 8;

constexpr uint32_t ENTRY_BUDGET = 1u << 20;

const char *const MODEL_D60 = "Canon EOS D60";

void throwPastEnd()
{
    throw ExifException::ReadPastEnd;
}

} // namespace

ExifReader::ExifReader(ImageInfo &info, const uint8_t *data, size_t length)
    : m_info(info), m_start(data), m_end(data ? length : 0), m_entryBudget(ENTRY_BUDGET)
{
}

uint8_t ExifReader::readByte()
{
    if (m_current >= m_end)
        throwPastEnd();
    return m_start[m_current++];
}

void ExifReader::walkSegments()
{
    while (m_current < m_end) {
        if (readByte() != kJpegMarkerPrefix)
            break;
        const uint8_t marker = readByte();
        if (marker == kJpegSoi || marker == kJpegEoi)
            continue;
        const size_t lengthPos = m_current;
        const uint32_t high = readByte();
        const uint32_t low = readByte();
        const uint32_t segmentLength = (high << 8) | low;
        // A length below 2 would point back into the segment's own header.
        if (segmentLength < 2)
            break;
        if (m_current != m_end && marker == kJpegApp1)
            parseExifSegment(lengthPos, segmentLength);
        m_current = lengthPos + segmentLength;
    }
}

void ExifReader::parseExifSegment(size_t lengthPos, uint32_t segmentLength)
{
    const size_t available = m_end - lengthPos;
    if (segmentLength < TIFF_HEADER_OFFSET || available < TIFF_HEADER_OFFSET)
        return;
    if (std::memcmp(m_start + lengthPos + EXIF_SIGNATURE_OFFSET, "Exif", 4) != 0)
        return;
    m_tiff = m_start + lengthPos + TIFF_HEADER_OFFSET;
    // A segment that claims more than the file holds is read only as far as the file goes.
    m_tiffLength = std::min<uint64_t>(segmentLength - TIFF_HEADER_OFFSET, available - TIFF_HEADER_OFFSET);

    checkRange(0, 2);
    if (m_tiff[0] == 'I' && m_tiff[1] == 'I')
        m_info.m_littleEndian = true;
    else if (m_tiff[0] == 'M' && m_tiff[1] == 'M')
        m_info.m_littleEndian = false;
    else
        return;
    if (get16(2) != kTiffMagic)
        return;
    walkIfd0(get32(4));
}

void ExifReader::checkRange(uint64_t offset, uint64_t size) const
{
    if (offset > m_tiffLength || size > m_tiffLength - offset)
        throwPastEnd();
}

uint16_t ExifReader::get16(uint64_t offset) const
{
    checkRange(offset, 2);
    const uint8_t *p = m_tiff + offset;
    if (m_info.m_littleEndian)
        return static_cast<uint16_t>(p[0] | (p[1] << 8));
    return static_cast<uint16_t>((p[0] << 8) | p[1]);
}

uint32_t ExifReader::get32(uint64_t offset) const
{
    checkRange(offset, 4);
    const uint8_t *p = m_tiff + offset;
    if (m_info.m_littleEndian)
        return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
}

uint16_t ExifReader::entryCount(uint64_t directory)
{
    return get16(directory);
}

ExifReader::Entry ExifReader::readEntry(uint64_t directory, uint32_t index)
{
    if (m_entryBudget == 0)
        throwPastEnd();
    --m_entryBudget;
    const uint64_t at = directory + 2 + uint64_t(index) * kTiffEntrySize;
    Entry entry;
    entry.tag = get16(at);
    entry.type = get16(at + 2);
    entry.count = get32(at + 4);
    entry.value = get32(at + 8);
    entry.fieldOffset = at + 8;
    return entry;
}

std::string ExifReader::asciiValue(const Entry &entry) const
{
    if (entry.type != kTiffAscii)
        return {};
    const uint64_t offset = entry.count > 4 ? entry.value : entry.fieldOffset;
    checkRange(offset, entry.count);
    const char *text = reinterpret_cast<const char *>(m_tiff + offset);
    const void *zero = std::memchr(text, 0, entry.count);
    const size_t length = zero ? static_cast<size_t>(static_cast<const char *>(zero) - text) : entry.count;
    return std::string(text, length);
}

double ExifReader::rationalValue(const Entry &entry) const
{
    if (entry.type != kTiffRational && entry.type != kTiffSRational)
        return 0;
    const uint32_t numerator = get32(entry.value);
    const uint32_t denominator = get32(uint64_t(entry.value) + 4);
    // 0/0 is how EXIF writes "unknown"; a zero denominator gives no value.
    if (denominator == 0)
        return 0;
    if (entry.type == kTiffSRational)
        return double(int32_t(numerator)) / double(int32_t(denominator));
    return double(numerator) / double(denominator);
}

uint32_t ExifReader::shortValue(const Entry &entry) const
{
    if (entry.type != kTiffShort)
        return 0;
    return get16(entry.fieldOffset);
}

std::string ExifReader::userCommentValue(const Entry &entry) const
{
    if (entry.type != kTiffAscii && entry.type != kTiffUndefined)
        return {};
    if (uint64_t(entry.value) + entry.count > m_tiffLength)
        return {};
    // The area keeps room for a terminating zero; a longer comment is cut.
    char area[USER_COMMENT_AREA] = {};
    const size_t copied = std::min<size_t>(entry.count, USER_COMMENT_AREA - 1);
    std::memcpy(area, m_tiff + entry.value, copied);
    const size_t start = (entry.count > USER_COMMENT_PREFIX && area[USER_COMMENT_PREFIX - 1] == 0) ? USER_COMMENT_PREFIX : 0;
    return std::string(area + start);
}

ExifReader::Array ExifReader::arrayValue(const Entry &entry) const
{
    checkRange(entry.value, uint64_t(entry.count) * 2);
    Array array;
    array.offset = entry.value;
    array.count = entry.count;
    return array;
}

uint32_t ExifReader::element(const Array &array, uint32_t index) const
{
    return get16(array.offset + uint64_t(index) * 2);
}

void ExifReader::walkIfd0(uint64_t offset)
{
    const uint16_t count = entryCount(offset);
    for (uint32_t i = 0; i < count; ++i) {
        const Entry entry = readEntry(offset, i);
        switch (entry.tag) {
        case TAG_MAKE:
            m_info.m_make = asciiValue(entry);
            break;
        case TAG_MODEL:
            m_info.m_model = asciiValue(entry);
            break;
        case TAG_DATE_TIME:
            m_info.m_dateTime = asciiValue(entry);
            break;
        case TAG_ARTIST:
            m_info.m_owner = asciiValue(entry);
            break;
        case kTiffTagExifIfd:
            walkExifDirectory(entry.value);
            break;
        default:
            break;
        }
    }
}

void ExifReader::walkExifDirectory(uint64_t offset)
{
    const uint16_t count = entryCount(offset);
    for (uint32_t i = 0; i < count; ++i) {
        const Entry entry = readEntry(offset, i);
        switch (entry.tag) {
        case TAG_EXPOSURE_TIME:
            m_info.m_exposureTime = rationalValue(entry);
            break;
        case TAG_FNUMBER:
            m_info.m_aperture = rationalValue(entry);
            break;
        case TAG_ISO: {
            char text[16];
            std::snprintf(text, sizeof text, "%u", shortValue(entry));
            m_info.m_iso = text;
            break;
        }
        case TAG_EXPOSURE_BIAS:
            m_info.m_exposureCompensation = rationalValue(entry);
            break;
        case TAG_SUBJECT_DISTANCE:
            m_info.m_subjectDistance = rationalValue(entry);
            break;
        case TAG_METERING_MODE: {
            static const char *const names[] = {nullptr, "Average", "Center-weighted average", "Spot",
                                                "Multi-spot", "Evaluative", "Partial"};
            const uint32_t mode = shortValue(entry);
            if (mode >= 1 && mode <= 6)
                m_info.m_meteringMode = names[mode];
            break;
        }
        case TAG_FLASH:
            m_info.m_flash = shortValue(entry) != 0 ? "On" : "Off";
            break;
        case TAG_FOCAL_LENGTH:
            m_info.m_focalLength = rationalValue(entry);
            break;
        case kExifTagMakerNote:
            walkMakerNote(entry.value);
            break;
        case kExifTagUserComment:
            m_info.m_userComment = userCommentValue(entry);
            break;
        case TAG_PIXEL_X:
        case TAG_PIXEL_Y: {
            // EXIF allows the pixel dimensions as SHORT or LONG.
            uint32_t size = entry.type == kTiffLong ? get32(entry.fieldOffset) : shortValue(entry);
            if (size > INT32_MAX)
                size = 0;
            (entry.tag == TAG_PIXEL_X ? m_info.m_imageWidth : m_info.m_imageHeight) = int32_t(size);
            break;
        }
        default:
            break;
        }
    }
}

void ExifReader::walkMakerNote(uint64_t offset)
{
    const uint16_t count = entryCount(offset);
    for (uint32_t i = 0; i < count; ++i) {
        const Entry entry = readEntry(offset, i);
        switch (entry.tag) {
        case TAG_CAMERA_SETTINGS:
            decodeCameraSettings(arrayValue(entry));
            break;
        case TAG_SHOT_INFO:
            decodeShotInfo(arrayValue(entry));
            break;
        case TAG_FIRMWARE:
            m_info.m_firmware = asciiValue(entry);
            break;
        case TAG_OWNER:
            m_info.m_owner = asciiValue(entry);
            break;
        case TAG_SERIAL_NUMBER:
            decodeSerialNumber(entry.value);
            break;
        case TAG_CUSTOM_FUNCTIONS:
            decodeCustomFunctions(arrayValue(entry));
            break;
        default:
            break;
        }
    }
}

void ExifReader::decodeSerialNumber(uint32_t value)
{
    char text[32];
    if (equalsIgnoringCase(m_info.m_model, MODEL_D60))
        std::snprintf(text, sizeof text, "%010u", value);
    else
        std::snprintf(text, sizeof text, "%04x%05u", value >> 16, value & 0xFFFFu);
    m_info.m_serialNumber = text;
}

void ExifReader::decodeCameraSettings(const Array &cs)
{
    // Elements past the end of a short array are absent: the texts they
    // feed stay as they were, the numbers become 0.
    auto has = [&](uint32_t index) { return index < cs.count; };
    auto at = [&](uint32_t index) { return element(cs, index); };

    m_info.m_selfTimer = has(2) ? at(2) / 10.0 : 0;

    if (has(3)) {
        switch (at(3)) {
        case 2: m_info.m_quality = "Normal"; break;
        case 3: m_info.m_quality = "Fine"; break;
        case 4: m_info.m_quality = "Raw"; break;
        case 5: m_info.m_quality = "Super fine"; break;
        default: m_info.m_quality = "Unknown"; break;
        }
    }

    if (!equalsIgnoringCase(m_info.m_flash, "off") && has(4) && has(29)) {
        const uint32_t mode = at(4);
        const uint32_t details = at(29);
        bool withMode = true;
        std::string text;
        if (details & 0x4000) {
            text = "External";
            if (details & 0x1)
                text += " Manual";
            else if (details & 0x2)
                text += " TTL";
            else if (details & 0x4)
                text += " A-TTL";
            else if (details & 0x8)
                text += " E-TTL";
            if (details & 0x10)
                text += " High speed sync";
        } else if (details & 0x2000) {
            text = "Built-in";
        } else {
            text = "Off";
            withMode = false;
        }
        if (withMode) {
            switch (mode) {
            case 0: text = "Off"; break;
            case 1: text += " Auto"; break;
            case 3: text += " + Red eye reduction"; break;
            case 4: text += " + Slow synchro"; break;
            case 5: text += " Auto + Red eye reduction"; break;
            case 6: text += " + Red eye reduction"; break;
            default: break;
            }
            if ((details & 0x4000) && (details & 0x80))
                text += " + 2nd curtain sync";
        }
        m_info.m_flash = text;
    }

    if (has(5))
        m_info.m_driveMode = at(5) == 0 ? "Single frame shooting" : "Continuous";

    if (has(7)) {
        switch (at(7)) {
        case 0: m_info.m_afMode = "One-shot"; break;
        case 1: m_info.m_afMode = "AI servo"; break;
        case 2: m_info.m_afMode = "AI focus"; break;
        case 3: m_info.m_afMode = "Manual"; break;
        case 4: m_info.m_afMode = (cs.count >= 33 && at(32) != 0) ? "Continuous AF" : "Single AF"; break;
        case 5: m_info.m_afMode = "Continuous AF"; break;
        case 6: m_info.m_afMode = "Manual"; break;
        default: break;
        }
    }

    auto level = [](uint32_t value) { return value == 0 ? "Normal" : value == 1 ? "High" : "Low"; };
    if (has(13))
        m_info.m_contrast = level(at(13));
    if (has(14))
        m_info.m_saturation = level(at(14));
    if (has(15))
        m_info.m_sharpness = level(at(15));

    if (has(16)) {
        switch (at(16)) {
        case 15: m_info.m_iso = "Auto"; break;
        case 16: m_info.m_iso = "50"; break;
        case 17: m_info.m_iso = "100"; break;
        case 18: m_info.m_iso = "200"; break;
        case 19: m_info.m_iso = "400"; break;
        default: break;
        }
    }

    if (has(17)) {
        static const char *const names[] = {"Center", "Spot", "Average", "Evaluative", "Partial",
                                            "Center-weighted average"};
        const uint32_t mode = at(17);
        if (mode <= 5)
            m_info.m_meteringMode = names[mode];
    }

    if (has(20)) {
        const uint32_t program = at(20);
        if (program == 0) {
            static const char *const easy[] = {"Auto", "Manual", "Landscape", "Fast shutter", "Slow shutter",
                                               "Night scene", "Black and white", "Sepia", "Portrait", "Sports",
                                               "Close-up", "Pan focus", "Vivid", "Neutral", "Black and white"};
            if (has(11) && at(11) <= 14)
                m_info.m_exposureMode = easy[at(11)];
        } else {
            static const char *const modes[] = {nullptr, "Program", "Tv", "Av", "Manual", "A-DEP"};
            if (program <= 5)
                m_info.m_exposureMode = modes[program];
        }
    }

    // A focal unit of 0 gives no lens range rather than a division by zero.
    if (has(25) && at(25) != 0) {
        m_info.m_lensLongEnd = at(23) / at(25);
        m_info.m_lensShortEnd = at(24) / at(25);
    } else {
        m_info.m_lensLongEnd = 0;
        m_info.m_lensShortEnd = 0;
    }

    if (cs.count >= 43) {
        const uint32_t tone = at(42);
        m_info.m_tone = tone == 0 ? "Normal" : tone == 1 ? "Yellow" : "Red";
    }
}

void ExifReader::decodeShotInfo(const Array &si)
{
    auto has = [&](uint32_t index) { return index < si.count; };
    auto at = [&](uint32_t index) { return element(si, index); };

    if (has(7)) {
        switch (at(7)) {
        case 0: m_info.m_whiteBalance = "Auto"; break;
        case 1: m_info.m_whiteBalance = "Daylight"; break;
        case 2: m_info.m_whiteBalance = "Cloudy"; break;
        case 3: m_info.m_whiteBalance = "Tungsten"; break;
        case 4: m_info.m_whiteBalance = "Fluorescent"; break;
        case 5: m_info.m_whiteBalance = "Flash"; break;
        case 6: m_info.m_whiteBalance = "Preset"; break;
        case 7: m_info.m_whiteBalance = "BW"; break;
        case 14: m_info.m_whiteBalance = "Fluorescent H"; break;
        default: m_info.m_whiteBalance = "Unknown"; break;
        }
    }

    if (has(9) && at(9) != 0 && equalsIgnoringCase(m_info.m_driveMode, "Continuous")) {
        char text[48];
        std::snprintf(text, sizeof text, "Continuous frame: %u", at(9));
        m_info.m_driveMode = text;
    }

    if (has(14)) {
        static const char *const points[] = {nullptr, "[Right]", "[Center]", "[Center + Right]", "[Left]",
                                             "[Left + Right]", "[Left + Center]", "[Left + Center + Right]"};
        const uint32_t point = at(14) & 7;
        if (point != 0)
            m_info.m_focusPoint = points[point];
    }

    if (has(15)) {
        int32_t v = int32_t(at(15));
        if (v > 32768)
            v -= 65536;
        m_info.m_flashExposureCompensation = v / 32.0;
    } else {
        m_info.m_flashExposureCompensation = 0;
    }
}

void ExifReader::decodeCustomFunctions(const Array &cf)
{
    // An element past the end of a short array counts as the default setting.
    auto at = [&](uint32_t index) -> uint32_t { return index < cf.count ? element(cf, index) : 0; };
    std::string text = "Custom Functions:";
    const size_t headerLength = text.size();

    if (at(1) & 1)
        text += "\nCFn 1: Long exposure noise reduction: ON";
    switch (at(2) & 3) {
    case 1: text += "\nCFn 2: Shutter release: AE lock; AE button: AE + AF"; break;
    case 2: text += "\nCFn 2: Shutter release: AE + AF; AE button: AF lock"; break;
    case 3: text += "\nCFn 2: Shutter release: AE; AE button: AE + AF"; break;
    default: break;
    }
    if (at(3) & 1)
        text += "\nCFn 3: Mirror lockup: Enable";
    if (at(4) & 1)
        text += "\nCFn 4: Tv/Av and exposure level: 1/3 stop";
    if (at(5) & 1)
        text += "\nCFn 5: AF-assist light: Off";
    if (at(6) & 1)
        text += "\nCFn 6: Shutter speed in Av mode: 1/200 (with flash)";
    switch (at(7) & 3) {
    case 1: text += "\nCFn 7: AEB sequence: 0, -, +, cancel when turned off: Disabled"; break;
    case 2: text += "\nCFn 7: AEB sequence: -, 0, +, cancel when turned off: Enabled"; break;
    case 3: text += "\nCFn 7: AEB sequence: -, 0, +, cancel when turned off: Disabled"; break;
    default: break;
    }
    if (at(8) & 1)
        text += "\nCFn 8: Shutter curtain sync: 2nd-curtain sync";
    switch (at(9) & 3) {
    case 1: text += "\nCFn 9: Lens AF stop button Fn. Switch: AF start"; break;
    case 2: text += "\nCFn 9: Lens AF stop button Fn. Switch: AE lock while metering"; break;
    default: break;
    }
    if (at(10) & 1)
        text += "\nCFn 10: Auto reduction of fill flash: Disabled";
    switch (at(11) & 3) {
    case 1: text += "\nCFn 11: Menu button return position: Previous (top if powered off)"; break;
    case 2: text += "\nCFn 11: Menu button return position: Previous"; break;
    default: break;
    }
    switch (at(12) & 3) {
    case 1: text += "\nCFn 12: SET button function when shooting: Change quality"; break;
    case 2: text += "\nCFn 12: SET button function when shooting: Change ISO speed"; break;
    case 3: text += "\nCFn 12: SET button function when shooting: Select parameters"; break;
    default: break;
    }
    if (text.size() == headerLength)
        text += "\nDefault settings";
    m_info.m_customFunctions = text;
}
