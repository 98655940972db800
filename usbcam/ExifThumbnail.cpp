#include "ExifThumbnail.h"

namespace usbcam {
namespace {

constexpr uint16_t kThumbnailOffsetTag = 0x0201;   // JPEGInterchangeFormat
constexpr uint16_t kThumbnailLengthTag = 0x0202;   // JPEGInterchangeFormatLength
constexpr size_t kIfdEntrySize = 12;

struct Tiff {
    const uint8_t *data;
    size_t size;
    bool little;

    bool has(size_t offset, size_t count) const { return offset <= size && count <= size - offset; }
    uint16_t u16(size_t at) const
    {
        return little ? static_cast<uint16_t>(data[at] | data[at + 1] << 8)
                      : static_cast<uint16_t>(data[at] << 8 | data[at + 1]);
    }
    uint32_t u32(size_t at) const
    {
        return little ? static_cast<uint32_t>(u16(at) | static_cast<uint32_t>(u16(at + 2)) << 16)
                      : static_cast<uint32_t>(static_cast<uint32_t>(u16(at)) << 16 | u16(at + 2));
    }
};

} // namespace

std::pair<size_t, size_t> exifThumbnail(const uint8_t *jpeg, size_t size)
{
    if (size < 4 || jpeg[0] != 0xFF || jpeg[1] != 0xD8)
        return {0, 0};
    // The segments before the image data; EXIF is an APP1 starting "Exif\0\0".
    for (size_t at = 2; at + 4 <= size && jpeg[at] == 0xFF;) {
        const uint8_t marker = jpeg[at + 1];
        const size_t length = static_cast<size_t>(jpeg[at + 2] << 8 | jpeg[at + 3]);
        if (marker == 0xDA || length < 2 || at + 2 + length > size)
            break;
        const uint8_t *body = jpeg + at + 4;
        const size_t bodySize = length - 2;
        if (marker == 0xE1 && bodySize > 14 && body[0] == 'E' && body[1] == 'x' && body[2] == 'i' && body[3] == 'f') {
            const Tiff tiff{body + 6, bodySize - 6, body[6] == 'I'};
            if (!tiff.has(0, 8))
                return {0, 0};
            const size_t ifd0 = tiff.u32(4);
            if (!tiff.has(ifd0, 2))
                return {0, 0};
            const size_t next = ifd0 + 2 + tiff.u16(ifd0) * kIfdEntrySize;
            if (!tiff.has(next, 4))
                return {0, 0};
            const size_t ifd1 = tiff.u32(next);
            if (ifd1 == 0 || !tiff.has(ifd1, 2))
                return {0, 0};
            const size_t entries = tiff.u16(ifd1);
            if (!tiff.has(ifd1 + 2, entries * kIfdEntrySize))
                return {0, 0};
            size_t offset = 0;
            size_t count = 0;
            for (size_t i = 0; i < entries; ++i) {
                const size_t entry = ifd1 + 2 + i * kIfdEntrySize;
                if (tiff.u16(entry) == kThumbnailOffsetTag)
                    offset = tiff.u32(entry + 8);
                else if (tiff.u16(entry) == kThumbnailLengthTag)
                    count = tiff.u32(entry + 8);
            }
            if (count == 0 || !tiff.has(offset, count))
                return {0, 0};
            return {static_cast<size_t>(tiff.data - jpeg) + offset, count};
        }
        at += 2 + length;
    }
    return {0, 0};
}

} // namespace usbcam
