#include "ThmOrientation.h"

#include "psImageFormat.h"

#include <cstdio>
#include <cstring>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Directories chained further than this, or back onto themselves, are malformed.
constexpr int MAX_DIRECTORIES = 64;

class ThmFile {
public:
    explicit ThmFile(const std::string &path) : m_file(std::fopen(path.c_str(), "r+b")) {}
    ~ThmFile()
    {
        if (m_file)
            std::fclose(m_file);
    }
    ThmFile(const ThmFile &) = delete;
    ThmFile &operator=(const ThmFile &) = delete;

    // Open, and a regular file: anything else could block a read forever.
    bool isOpen() const
    {
        struct stat st {};
        return m_file != nullptr && ::fstat(fileno(m_file), &st) == 0 && S_ISREG(st.st_mode);
    }
    bool seek(long offset) { return offset >= 0 && std::fseek(m_file, offset, SEEK_SET) == 0; }
    long tell() const { return std::ftell(m_file); }
    bool readByte(int &value)
    {
        value = std::fgetc(m_file);
        return value != EOF;
    }
    bool read(uint8_t *buffer, size_t size) { return std::fread(buffer, 1, size, m_file) == size; }
    bool read16(uint16_t &value)
    {
        uint8_t b[2];
        if (!read(b, 2))
            return false;
        value = m_little ? uint16_t(b[0] | (b[1] << 8)) : uint16_t((b[0] << 8) | b[1]);
        return true;
    }
    bool read32(uint32_t &value)
    {
        uint8_t b[4];
        if (!read(b, 4))
            return false;
        value = m_little ? (uint32_t(b[0]) | (uint32_t(b[1]) << 8) | (uint32_t(b[2]) << 16) | (uint32_t(b[3]) << 24))
                         : ((uint32_t(b[0]) << 24) | (uint32_t(b[1]) << 16) | (uint32_t(b[2]) << 8) | uint32_t(b[3]));
        return true;
    }
    // Writes the 32-bit field just read, in the file's byte order, and makes it durable.
    bool rewriteLast32(uint32_t value)
    {
        uint8_t b[4];
        for (int i = 0; i < 4; ++i)
            b[i] = uint8_t(value >> (m_little ? 8 * i : 8 * (3 - i)));
        if (std::fseek(m_file, -4, SEEK_CUR) != 0)
            return false;
        if (std::fwrite(b, 1, 4, m_file) != 4 || std::fflush(m_file) != 0)
            return false;
        return ::fsync(fileno(m_file)) == 0;
    }
    void setLittleEndian(bool little) { m_little = little; }
    bool littleEndian() const { return m_little; }

private:
    std::FILE *m_file;
    bool m_little = true;
};

enum class TiffWalk { Patched, NoOrientation, Stop };

// Walks the TIFF block of an APP1 "Exif" segment (T = its start, end = the
// segment's end) and patches the first Orientation entry found. Every
// directory must lie inside the segment.
TiffWalk patchTiff(ThmFile &file, long tiffStart, long segmentEnd, uint16_t orientation)
{
    uint8_t order[2];
    if (!file.read(order, 2))
        return TiffWalk::Stop;
    if (order[0] == 'I' && order[1] == 'I')
        file.setLittleEndian(true);
    else if (order[0] == 'M' && order[1] == 'M')
        file.setLittleEndian(false);
    else
        return TiffWalk::Stop;
    uint16_t magic = 0;
    uint32_t directory = 0;
    if (!file.read16(magic) || magic != kTiffMagic || !file.read32(directory))
        return TiffWalk::Stop;
    const long tiffLength = segmentEnd - tiffStart;
    std::set<uint32_t> visited;
    while (directory != 0) {
        if (!visited.insert(directory).second || visited.size() > MAX_DIRECTORIES)
            return TiffWalk::Stop;
        if (long(directory) > tiffLength - 2 || !file.seek(tiffStart + long(directory)))
            return TiffWalk::Stop;
        uint16_t count = 0;
        if (!file.read16(count))
            return TiffWalk::Stop;
        if (long(directory) + 2 + long(count) * long(kTiffEntrySize) > tiffLength)
            return TiffWalk::Stop;
        for (uint32_t i = 0; i < count; ++i) {
            uint16_t tag = 0, type = 0;
            uint32_t n = 0, value = 0;
            if (!file.read16(tag) || !file.read16(type) || !file.read32(n) || !file.read32(value))
                return TiffWalk::Stop;
            if (tag != kTiffTagOrientation)
                continue;
            uint32_t field = orientation;
            // A big-endian SHORT sits in the first two bytes of the field.
            if (!file.littleEndian() && (type == kTiffShort || type == kTiffSShort))
                field = uint32_t(orientation) << 16;
            return file.rewriteLast32(field) ? TiffWalk::Patched : TiffWalk::Stop;
        }
        if (long(directory) + 2 + long(count) * long(kTiffEntrySize) + 4 > tiffLength)
            return TiffWalk::Stop;
        if (!file.read32(directory))
            return TiffWalk::Stop;
    }
    return TiffWalk::NoOrientation;
}

} // namespace

uint16_t orientationForAngle(int32_t angle)
{
    switch (angle) {
    case 90: return 6;
    case 180: return 3;
    case 270: return 8;
    default: return 1;
    }
}

bool patchThmOrientation(const std::string &path, int32_t angle)
{
    ThmFile file(path);
    if (!file.isOpen())
        return false;
    const uint16_t orientation = orientationForAngle(angle);
    long next = 0;
    while (file.seek(next)) {
        int prefix = 0, marker = 0;
        if (!file.readByte(prefix) || prefix != kJpegMarkerPrefix || !file.readByte(marker))
            return false;
        if (marker == kJpegSoi || marker == kJpegEoi) {
            next = file.tell();
            continue;
        }
        const long lengthPos = file.tell();
        int high = 0, low = 0;
        if (!file.readByte(high) || !file.readByte(low))
            return false;
        const long length = (long(high) << 8) | low;
        if (length < 2)
            return false;
        next = lengthPos + length;
        if (marker == kJpegApp1) {
            uint8_t signature[6];
            if (!file.read(signature, sizeof signature))
                return false;
            if (std::memcmp(signature, "Exif", 4) == 0) {
                const long tiffStart = file.tell();
                const TiffWalk walk = patchTiff(file, tiffStart, next, orientation);
                if (walk != TiffWalk::NoOrientation)
                    return walk == TiffWalk::Patched;
            }
        }
    }
    return false;
}
