#include "LoadImageJpeg.h"

#include "ImagePath.h"
#include "psImageFormat.h"

#include <cstdio>
#include <sys/stat.h>

namespace {

// The CIFF heap of a CRW file: byte order mark, then the header length H,
// the file offset of the root heap. The last four bytes of the file give the
// offset of the root's record table from H: a 16-bit count and 10-byte
// records (tag, data size, data offset from H).
uint32_t little32(const uint8_t *p)
{
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

class CiffFile {
public:
    explicit CiffFile(const std::string &path) : m_file(std::fopen(path.c_str(), "rb")) {}
    ~CiffFile()
    {
        if (m_file)
            std::fclose(m_file);
    }
    CiffFile(const CiffFile &) = delete;
    CiffFile &operator=(const CiffFile &) = delete;

    // Every read is checked against the file's size before it is made.
    bool read(uint64_t offset, void *buffer, uint64_t size)
    {
        if (!m_file || offset > m_size || size > m_size - offset)
            return false;
        if (fseeko(m_file, off_t(offset), SEEK_SET) != 0)
            return false;
        return std::fread(buffer, 1, size_t(size), m_file) == size;
    }

    bool open()
    {
        struct stat st {};
        if (!m_file || fstat(fileno(m_file), &st) != 0 || !S_ISREG(st.st_mode))
            return false;
        m_size = uint64_t(st.st_size);
        return true;
    }

    uint64_t size() const { return m_size; }

private:
    std::FILE *m_file;
    uint64_t m_size = 0;
};

std::vector<uint8_t> loadCrwJpeg(const std::string &path)
{
    CiffFile file(path);
    if (!file.open() || file.size() < 10)
        return {};
    uint8_t word[4];
    if (!file.read(kCiffHeaderLengthOffset, word, 4))
        return {};
    const uint64_t heap = little32(word);
    if (!file.read(file.size() - 4, word, 4))
        return {};
    const uint64_t table = heap + little32(word);
    uint8_t countBytes[2];
    if (!file.read(table, countBytes, 2))
        return {};
    const uint32_t count = uint32_t(countBytes[0]) | (uint32_t(countBytes[1]) << 8);
    std::vector<uint8_t> records(size_t(count * kCiffRecordSize));
    if (!file.read(table + 2, records.data(), records.size()))
        return {};
    for (uint32_t i = 0; i < count; ++i) {
        const uint8_t *record = records.data() + i * kCiffRecordSize;
        const uint16_t tag = uint16_t(record[0] | (record[1] << 8));
        if (tag != kCiffTagJpeg)
            continue;
        const uint64_t size = little32(record + 2);
        const uint64_t offset = heap + little32(record + 6);
        if (size == 0 || size > MAX_IMAGE_FILE_BYTES || offset > file.size() || size > file.size() - offset)
            return {};
        std::vector<uint8_t> jpeg(static_cast<size_t>(size));
        if (!file.read(offset, jpeg.data(), size))
            return {};
        return jpeg;
    }
    return {};
}

} // namespace

std::vector<uint8_t> loadImageJpeg(const std::string &path)
{
    if (!fileExists(path))
        return {};
    if (hasExtension(path, ".jpg")) {
        // One byte more than the limit tells a file that is too large from one that fits.
        std::vector<uint8_t> bytes;
        if (!readFileBytes(path, bytes, MAX_IMAGE_FILE_BYTES + 1) || bytes.size() > MAX_IMAGE_FILE_BYTES)
            return {};
        return bytes;
    }
    if (hasExtension(path, ".crw"))
        return loadCrwJpeg(path);
    return {};
}
