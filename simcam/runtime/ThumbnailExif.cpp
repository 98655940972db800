#include "ThumbnailExif.h"

#include <cstddef>
#include <cstring>

namespace simcam {
namespace {

constexpr uint8_t kExifHeader[] = {'E', 'x', 'i', 'f', 0, 0};
constexpr size_t kMaxSegment = 0xFFFF - 2;
constexpr uint16_t kTagCompression = 0x0103;
constexpr uint16_t kTagThumbnailOffset = 0x0201;
constexpr uint16_t kTagThumbnailLength = 0x0202;
constexpr uint16_t kTypeShort = 3;
constexpr uint16_t kTypeLong = 4;
constexpr uint16_t kCompressionJpeg = 6;

struct Tiff {
    std::vector<uint8_t> bytes;
    bool bigEndian = false;

    uint32_t get(size_t at, int size) const
    {
        uint32_t v = 0;
        for (int i = 0; i < size; ++i) {
            const uint32_t byte = bytes[at + (bigEndian ? i : size - 1 - i)];
            v = (v << 8) | byte;
        }
        return v;
    }
    void put(size_t at, uint32_t v, int size)
    {
        for (int i = 0; i < size; ++i)
            bytes[at + (bigEndian ? size - 1 - i : i)] = static_cast<uint8_t>(v >> (8 * i));
    }
};

// The TIFF block of the JPEG's EXIF segment, if it has a sound one, and
// where the segment starts and ends.
bool findTiff(const std::vector<uint8_t> &jpeg, Tiff *tiff, size_t *segmentStart, size_t *segmentEnd)
{
    size_t at = 2;
    while (at + 4 <= jpeg.size() && jpeg[0] == 0xFF && jpeg[1] == 0xD8 && jpeg[at] == 0xFF) {
        const uint8_t marker = jpeg[at + 1];
        const size_t length = (jpeg[at + 2] << 8) | jpeg[at + 3];
        if (marker == 0xDA || length < 2 || at + 2 + length > jpeg.size())
            return false;
        const uint8_t *body = jpeg.data() + at + 4;
        if (marker == 0xE1 && length >= 2 + sizeof kExifHeader + 8 && std::memcmp(body, kExifHeader, sizeof kExifHeader) == 0) {
            tiff->bytes.assign(body + sizeof kExifHeader, jpeg.data() + at + 2 + length);
            tiff->bigEndian = tiff->bytes[0] == 'M';
            *segmentStart = at;
            *segmentEnd = at + 2 + length;
            return true;
        }
        at += 2 + length;
    }
    return false;
}

} // namespace

std::vector<uint8_t> withExifThumbnail(const std::vector<uint8_t> &jpeg, const std::vector<uint8_t> &picture)
{
    if (jpeg.size() < 4 || jpeg[0] != 0xFF || jpeg[1] != 0xD8)
        return {};
    Tiff tiff;
    size_t segmentStart = 2, segmentEnd = 2;
    if (!findTiff(jpeg, &tiff, &segmentStart, &segmentEnd))
        tiff.bytes = {'I', 'I', 42, 0, 8, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    const uint32_t ifd0 = tiff.get(4, 4);
    if (ifd0 + 2 > tiff.bytes.size())
        return {};
    const size_t next = ifd0 + 2 + 12 * size_t{tiff.get(ifd0, 2)};
    if (next + 4 > tiff.bytes.size())
        return {};
    // Whatever IFD1 there was is left unreferenced; the new one goes at the end.
    if (tiff.bytes.size() % 2)
        tiff.bytes.push_back(0);
    const uint32_t ifd1 = static_cast<uint32_t>(tiff.bytes.size());
    const uint16_t entries = 3;
    const uint32_t pictureOffset = ifd1 + 2 + 12 * entries + 4;
    tiff.put(next, ifd1, 4);
    tiff.bytes.resize(pictureOffset, 0);
    tiff.put(ifd1, entries, 2);
    auto entry = [&](int index, uint16_t tag, uint16_t type, uint32_t value) {
        const size_t at = ifd1 + 2 + 12 * index;
        tiff.put(at, tag, 2);
        tiff.put(at + 2, type, 2);
        tiff.put(at + 4, 1, 4);
        tiff.put(at + 8, value, type == kTypeShort ? 2 : 4);
    };
    entry(0, kTagCompression, kTypeShort, kCompressionJpeg);
    entry(1, kTagThumbnailOffset, kTypeLong, pictureOffset);
    entry(2, kTagThumbnailLength, kTypeLong, static_cast<uint32_t>(picture.size()));
    tiff.bytes.insert(tiff.bytes.end(), picture.begin(), picture.end());

    const size_t segment = 2 + sizeof kExifHeader + tiff.bytes.size();
    if (segment > kMaxSegment)
        return {};
    std::vector<uint8_t> out(jpeg.begin(), jpeg.begin() + static_cast<ptrdiff_t>(segmentStart));
    const uint8_t head[] = {0xFF, 0xE1, static_cast<uint8_t>(segment >> 8), static_cast<uint8_t>(segment & 0xFF)};
    out.insert(out.end(), std::begin(head), std::end(head));
    out.insert(out.end(), std::begin(kExifHeader), std::end(kExifHeader));
    out.insert(out.end(), tiff.bytes.begin(), tiff.bytes.end());
    out.insert(out.end(), jpeg.begin() + static_cast<ptrdiff_t>(segmentEnd), jpeg.end());
    return out;
}

std::vector<uint8_t> withoutApplicationSegments(const std::vector<uint8_t> &jpeg)
{
    if (jpeg.size() < 4 || jpeg[0] != 0xFF || jpeg[1] != 0xD8)
        return {};
    std::vector<uint8_t> out = {0xFF, 0xD8};
    size_t at = 2;
    while (at + 4 <= jpeg.size() && jpeg[at] == 0xFF && jpeg[at + 1] >= 0xE0 && jpeg[at + 1] <= 0xEF) {
        const size_t length = (jpeg[at + 2] << 8) | jpeg[at + 3];
        if (length < 2)
            return {};
        at += 2 + length;
    }
    if (at > jpeg.size())
        return {};
    out.insert(out.end(), jpeg.begin() + static_cast<ptrdiff_t>(at), jpeg.end());
    return out;
}

std::vector<uint8_t> selfContainedThumbnail(const std::vector<uint8_t> &thumbnail)
{
    const std::vector<uint8_t> bare = withoutApplicationSegments(thumbnail);
    std::vector<uint8_t> contained = bare.empty() ? std::vector<uint8_t>{} : withExifThumbnail(thumbnail, bare);
    return contained.empty() ? thumbnail : contained;
}

} // namespace simcam
