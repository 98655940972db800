#include "CrwEmbeddedJpeg.h"

#include "psImageFormat.h"

namespace {

bool readU16(std::span<const uint8_t> data, uint64_t offset, uint16_t &value)
{
    if (offset > data.size() || data.size() - offset < 2)
        return false;
    value = static_cast<uint16_t>(data[offset] | (data[offset + 1] << 8));
    return true;
}

bool readU32(std::span<const uint8_t> data, uint64_t offset, uint32_t &value)
{
    if (offset > data.size() || data.size() - offset < 4)
        return false;
    value = static_cast<uint32_t>(data[offset]) | (static_cast<uint32_t>(data[offset + 1]) << 8)
            | (static_cast<uint32_t>(data[offset + 2]) << 16) | (static_cast<uint32_t>(data[offset + 3]) << 24);
    return true;
}

} // namespace

std::vector<std::span<const uint8_t>> crwEmbeddedJpegs(std::span<const uint8_t> data)
{
    std::vector<std::span<const uint8_t>> found;
    // Offsets are 32-bit and added up in 64 bits, so nothing wraps.
    uint32_t heap = 0;
    uint32_t directory = 0;
    if (data.size() < 4 || !readU32(data, kCiffHeaderLengthOffset, heap) || !readU32(data, data.size() - 4, directory))
        return found;
    const uint64_t directoryStart = uint64_t{heap} + directory;
    uint16_t count = 0;
    if (!readU16(data, directoryStart, count))
        return found;
    for (uint32_t i = 0; i < count; ++i) {
        const uint64_t entry = directoryStart + 2 + kCiffRecordSize * uint64_t{i};
        uint16_t tag = 0;
        uint32_t size = 0;
        uint32_t offset = 0;
        if (!readU16(data, entry, tag) || !readU32(data, entry + 2, size) || !readU32(data, entry + 6, offset))
            break;  // the directory runs past the data
        if (tag != kCiffTagJpeg)
            continue;
        const uint64_t start = uint64_t{heap} + offset;
        if (start > data.size() || data.size() - start < size)
            continue;
        found.push_back(data.subspan(static_cast<size_t>(start), size));
    }
    return found;
}
