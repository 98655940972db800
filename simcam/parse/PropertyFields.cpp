#include "PropertyFields.h"

#include "psImageFormat.h"

#include <algorithm>
#include <cstring>

namespace {

// CIFF offsets and limits of this reader.
constexpr uint32_t CIFF_ROTATION_OFFSET = 12;
constexpr size_t CIFF_SIGNATURE_OFFSET = 6;
constexpr int CIFF_MAX_DEPTH = 8;
constexpr uint32_t CIFF_RECORD_BUDGET = 65536;

// A bounded view with the file's byte order.
class Bytes {
public:
    Bytes(const uint8_t *data, uint64_t size) : m_data(data), m_size(size) {}
    bool has(uint64_t offset, uint64_t length) const { return offset <= m_size && length <= m_size - offset; }
    bool get16(uint64_t offset, uint16_t &value) const
    {
        if (!has(offset, 2))
            return false;
        const uint8_t *p = m_data + offset;
        value = m_little ? uint16_t(p[0] | (p[1] << 8)) : uint16_t((p[0] << 8) | p[1]);
        return true;
    }
    bool get32(uint64_t offset, uint32_t &value) const
    {
        if (!has(offset, 4))
            return false;
        const uint8_t *p = m_data + offset;
        value = m_little ? (uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24))
                         : ((uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]));
        return true;
    }
    bool setOrder(uint64_t offset)
    {
        if (!has(offset, 2))
            return false;
        if (m_data[offset] == 'I' && m_data[offset + 1] == 'I')
            m_little = true;
        else if (m_data[offset] == 'M' && m_data[offset + 1] == 'M')
            m_little = false;
        else
            return false;
        return true;
    }
    bool little() const { return m_little; }
    const uint8_t *data() const { return m_data; }

private:
    const uint8_t *m_data;
    uint64_t m_size;
    bool m_little = true;
};

void put32(std::vector<uint8_t> &out, uint32_t value, bool little)
{
    for (int i = 0; i < 4; ++i) {
        const int shift = little ? 8 * i : 8 * (3 - i);
        out.push_back(uint8_t(value >> shift));
    }
}

// The TIFF block of the first APP1 "Exif" segment: T is its start in the
// file, and the block ends with the segment.
void locateInTiff(const uint8_t *file, uint64_t tiffStart, uint64_t tiffLength, PropertyFields &fields)
{
    Bytes tiff(file + tiffStart, tiffLength);
    uint16_t magic = 0;
    uint32_t ifd0 = 0;
    if (!tiff.setOrder(0) || !tiff.get16(2, magic) || magic != kTiffMagic || !tiff.get32(4, ifd0))
        return;
    auto forEachEntry = [&](uint64_t directory, auto &&visit) {
        uint16_t count = 0;
        if (!tiff.get16(directory, count))
            return;
        for (uint32_t i = 0; i < count; ++i) {
            const uint64_t at = directory + 2 + uint64_t(i) * 12;
            uint16_t tag = 0, type = 0;
            uint32_t n = 0, value = 0;
            if (!tiff.get16(at, tag) || !tiff.get16(at + 2, type) || !tiff.get32(at + 4, n) || !tiff.get32(at + 8, value))
                return;
            visit(tag, type, n, value, at + 8);
        }
    };
    uint64_t exifIfd = 0;
    bool haveExifIfd = false;
    forEachEntry(ifd0, [&](uint16_t tag, uint16_t type, uint32_t count, uint32_t value, uint64_t field) {
        if (tag == kTiffTagOrientation && type == kTiffShort && count == 1 && !fields.rotation)
            fields.rotation = PropertyField{FieldKind::ExifOrientation, tiffStart + field, 2, tiff.little()};
        if (tag == kTiffTagExifIfd && !haveExifIfd) {
            exifIfd = value;
            haveExifIfd = true;
        }
    });
    if (!haveExifIfd)
        return;
    forEachEntry(exifIfd, [&](uint16_t tag, uint16_t type, uint32_t count, uint32_t value, uint64_t) {
        if (tag != kExifTagUserComment || fields.comment)
            return;
        if (type != kTiffUndefined && type != kTiffAscii)
            return;
        if (count < COMMENT_CODE_SIZE || count - COMMENT_CODE_SIZE > COMMENT_TEXT_CAPACITY || !tiff.has(value, count))
            return;
        fields.comment = PropertyField{FieldKind::ExifComment, tiffStart + value, count, tiff.little()};
    });
}

void locateInJpeg(const uint8_t *file, size_t size, PropertyFields &fields)
{
    uint64_t pos = 2;
    while (pos + 4 <= size) {
        if (file[pos] != kJpegMarkerPrefix)
            return;
        const uint8_t marker = file[pos + 1];
        if (marker == kJpegSoi || marker == kJpegEoi) {
            pos += 2;
            continue;
        }
        if (marker == kJpegSos)
            return;
        const uint64_t length = (uint64_t(file[pos + 2]) << 8) | file[pos + 3];
        if (length < 2)
            return;
        const uint64_t segment = pos + 2;
        const uint64_t end = std::min<uint64_t>(segment + length, size);
        if (marker == kJpegApp1 && end >= segment + 8 && std::memcmp(file + segment + 2, "Exif\0\0", 6) == 0) {
            locateInTiff(file, segment + 8, end - (segment + 8), fields);
            return;
        }
        pos = segment + length;
    }
}

struct CiffWalk {
    const Bytes &bytes;
    PropertyFields &fields;
    uint32_t budget = CIFF_RECORD_BUDGET;

    void heap(uint64_t start, uint64_t length, uint16_t heapTag, int depth)
    {
        if (depth > CIFF_MAX_DEPTH || length < 4)
            return;
        uint32_t tableOffset = 0;
        uint16_t count = 0;
        if (!bytes.get32(start + length - 4, tableOffset) || tableOffset > length - 4)
            return;
        const uint64_t table = start + tableOffset;
        if (!bytes.get16(table, count))
            return;
        for (uint32_t i = 0; i < count && budget > 0; ++i, --budget) {
            const uint64_t record = table + 2 + uint64_t(i) * kCiffRecordSize;
            uint16_t tag = 0;
            uint32_t size = 0, offset = 0;
            if (!bytes.get16(record, tag) || !bytes.get32(record + 2, size) || !bytes.get32(record + 6, offset))
                return;
            uint64_t dataStart = 0, dataSize = 0;
            if ((tag & kCiffLocationMask) == kCiffInRecord) {
                dataStart = record + 2;
                dataSize = 8;
            } else if ((tag & kCiffLocationMask) == 0) {
                // The data must lie inside this heap, before its record table.
                if (offset > tableOffset || size > tableOffset - offset)
                    continue;
                dataStart = start + offset;
                dataSize = size;
            } else {
                continue;
            }
            const uint16_t id = tag & kCiffIdMask;
            const uint16_t type = tag & kCiffTypeMask;
            if ((type == kCiffSubHeapA || type == kCiffSubHeapB) && (tag & kCiffLocationMask) == 0) {
                heap(dataStart, dataSize, id, depth + 1);
            } else if (id == kCiffTagUserComment && heapTag != kCiffTagImageDescription && !fields.comment) {
                if (dataSize >= 1 && dataSize <= COMMENT_TEXT_CAPACITY)
                    fields.comment = PropertyField{FieldKind::CiffComment, dataStart, uint32_t(dataSize), bytes.little()};
            } else if (id == kCiffTagImageInfo && !fields.rotation) {
                if (dataSize >= CIFF_ROTATION_OFFSET + 4)
                    fields.rotation = PropertyField{FieldKind::CiffRotation, dataStart + CIFF_ROTATION_OFFSET, 4, bytes.little()};
            }
        }
    }
};

void locateInCiff(const uint8_t *file, size_t size, PropertyFields &fields)
{
    Bytes bytes(file, size);
    uint32_t headerLength = 0;
    // A CIFF file names itself "HEAPCCDR" after the header length; a TIFF
    // file, which starts with the same byte-order mark, does not.
    if (size < CIFF_SIGNATURE_OFFSET + 8 || std::memcmp(file + CIFF_SIGNATURE_OFFSET, "HEAPCCDR", 8) != 0)
        return;
    if (!bytes.setOrder(0) || !bytes.get32(2, headerLength) || headerLength < CIFF_SIGNATURE_OFFSET + 8
        || headerLength >= size)
        return;
    fields.recognised = true;
    CiffWalk walk{bytes, fields};
    walk.heap(headerLength, size - headerLength, 0, 0);
}

int orientationForAngle(uint32_t angle)
{
    switch (angle) {
    case 0: return 1;
    case 90: return 6;
    case 180: return 3;
    case 270: return 8;
    default: return -1;
    }
}

uint32_t angleForOrientation(uint32_t orientation)
{
    switch (orientation) {
    case 6: return 90;
    case 3: return 180;
    case 8: return 270;
    default: return 0;
    }
}

uint32_t little32(const uint8_t *p)
{
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

} // namespace

PropertyFields locatePropertyFields(const uint8_t *file, size_t size)
{
    PropertyFields fields;
    if (!file || size < 4)
        return fields;
    if (file[0] == kJpegMarkerPrefix && file[1] == kJpegSoi) {
        fields.recognised = true;
        locateInJpeg(file, size, fields);
    } else {
        locateInCiff(file, size, fields);
    }
    return fields;
}

std::vector<uint8_t> fieldPropertyData(const PropertyField &field, const uint8_t *file)
{
    std::vector<uint8_t> data;
    const uint8_t *p = file + field.offset;
    switch (field.kind) {
    case FieldKind::ExifComment:
        data.assign(p, p + COMMENT_CODE_SIZE);
        put32(data, field.size - COMMENT_CODE_SIZE, true);
        data.insert(data.end(), p + COMMENT_CODE_SIZE, p + field.size);
        break;
    case FieldKind::CiffComment: {
        static const uint8_t ascii[COMMENT_CODE_SIZE] = {'A', 'S', 'C', 'I', 'I', 0, 0, 0};
        data.assign(ascii, ascii + COMMENT_CODE_SIZE);
        put32(data, field.size, true);
        data.insert(data.end(), p, p + field.size);
        break;
    }
    case FieldKind::ExifOrientation: {
        const uint32_t orientation = field.littleEndian ? uint32_t(p[0] | (p[1] << 8)) : uint32_t((p[0] << 8) | p[1]);
        put32(data, angleForOrientation(orientation), true);
        break;
    }
    case FieldKind::CiffRotation: {
        const uint32_t value = field.littleEndian ? little32(p)
                                                  : ((uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3]);
        put32(data, value, true);
        break;
    }
    }
    return data;
}

FieldWrite fieldBytesFor(const PropertyField &field, const uint8_t *data, uint32_t length, std::vector<uint8_t> &bytes)
{
    bytes.clear();
    switch (field.kind) {
    case FieldKind::ExifComment:
        if (length != field.size - COMMENT_CODE_SIZE + COMMENT_HEADER_SIZE)
            return FieldWrite::LengthMismatch;
        bytes.assign(data, data + COMMENT_CODE_SIZE);
        bytes.insert(bytes.end(), data + COMMENT_HEADER_SIZE, data + length);
        return FieldWrite::Ok;
    case FieldKind::CiffComment:
        if (length != field.size + COMMENT_HEADER_SIZE)
            return FieldWrite::LengthMismatch;
        bytes.assign(data + COMMENT_HEADER_SIZE, data + length);
        return FieldWrite::Ok;
    case FieldKind::ExifOrientation: {
        if (length != 4)
            return FieldWrite::LengthMismatch;
        const int orientation = orientationForAngle(little32(data));
        if (orientation < 0)
            return FieldWrite::BadValue;
        if (field.littleEndian)
            bytes = {uint8_t(orientation), 0};
        else
            bytes = {0, uint8_t(orientation)};
        return FieldWrite::Ok;
    }
    case FieldKind::CiffRotation: {
        if (length != 4)
            return FieldWrite::LengthMismatch;
        const uint32_t angle = little32(data);
        if (orientationForAngle(angle) < 0)
            return FieldWrite::BadValue;
        put32(bytes, angle, field.littleEndian);
        return FieldWrite::Ok;
    }
    }
    return FieldWrite::BadValue;
}
