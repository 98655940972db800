// The parse library's entry points: reading a file's picture properties and
// replacing one of them in place.
#include "PropertyFields.h"

#include "psError.h"
#include "psLLAPI.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Image files larger than this are not parsed; camera files are a few megabytes.
constexpr uint64_t MAX_FILE_BYTES = uint64_t(256) * 1024 * 1024;

psResult parseError(uint32_t code)
{
    return psMakeError(psCOMPONENT_PARSE, code);
}

psResult openError(int error)
{
    switch (error) {
    case ENOENT:
    case ENOTDIR:
        return parseError(psERR_FILE_NOT_FOUND);
    case EACCES:
    case EPERM:
    case EROFS:
        return parseError(psERR_FILE_PERMISSION_ERROR);
    default:
        return parseError(psERR_FILE_OPEN_ERROR);
    }
}

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : m_fd(fd) {}
    ~FileDescriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    FileDescriptor(const FileDescriptor &) = delete;
    FileDescriptor &operator=(const FileDescriptor &) = delete;
    int get() const { return m_fd; }
    // Closes now and reports whether the close succeeded.
    bool close()
    {
        const int fd = m_fd;
        m_fd = -1;
        return ::close(fd) == 0;
    }

private:
    int m_fd;
};

// Reads the whole regular file behind fd. (Files are opened without
// blocking, so that a FIFO or device given as an image is refused here
// instead of waiting for a writer.)
psResult readAll(int fd, std::vector<uint8_t> &bytes)
{
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
        return parseError(psERR_FILE_FORMAT_UNRECOGNIZED);
    if (uint64_t(st.st_size) > MAX_FILE_BYTES)
        return parseError(psERR_FILE_FORMAT_UNRECOGNIZED);
    bytes.resize(size_t(st.st_size));
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t got = ::pread(fd, bytes.data() + done, bytes.size() - done, off_t(done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return parseError(psERR_FILE_READ_ERROR);
        done += size_t(got);
    }
    return 0;
}

void appendRecord(std::vector<uint8_t> &out, uint16_t number, const std::vector<uint8_t> &data)
{
    const uint32_t length = uint32_t(data.size());
    out.push_back(uint8_t(number));
    out.push_back(uint8_t(number >> 8));
    for (int i = 0; i < 4; ++i)
        out.push_back(uint8_t(length >> (8 * i)));
    out.insert(out.end(), data.begin(), data.end());
}

} // namespace

extern "C" psResult PSParseReadProperties(const char *path, void *buffer, uint32_t size, uint32_t *length)
{
    if (!path || !length)
        return parseError(psERR_INVALID_POINTER);
    FileDescriptor fd(::open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (fd.get() < 0)
        return openError(errno);
    std::vector<uint8_t> file;
    if (const psResult result = readAll(fd.get(), file))
        return result;
    const PropertyFields fields = locatePropertyFields(file.data(), file.size());
    if (!fields.recognised)
        return parseError(psERR_FILE_FORMAT_UNRECOGNIZED);
    std::vector<uint8_t> records;
    if (fields.rotation)
        appendRecord(records, PS_PROPERTY_ROTATION, fieldPropertyData(*fields.rotation, file.data()));
    if (fields.comment)
        appendRecord(records, PS_PROPERTY_COMMENT, fieldPropertyData(*fields.comment, file.data()));
    *length = uint32_t(records.size());
    if (records.empty())
        return 0;
    if (!buffer || size < records.size())
        return parseError(psERR_INVALID_LENGTH);
    std::memcpy(buffer, records.data(), records.size());
    return 0;
}

extern "C" psResult PSParseReplaceProperties(const char *path, uint32_t reserved1, uint32_t reserved2,
                                             uint32_t reserved3, const void **record)
{
    if (!path || !record || !*record)
        return parseError(psERR_INVALID_POINTER);
    if (reserved1 != 0 || reserved2 != 0 || reserved3 != 0)
        return parseError(psERR_INVALID_PARAMETER);
    const uint8_t *header = static_cast<const uint8_t *>(*record);
    const uint16_t number = uint16_t(header[0] | (header[1] << 8));
    const uint32_t length = uint32_t(header[2]) | (uint32_t(header[3]) << 8) | (uint32_t(header[4]) << 16)
                            | (uint32_t(header[5]) << 24);
    const uint8_t *data = header + PS_PROPERTY_RECORD_HEADER_SIZE;

    FileDescriptor fd(::open(path, O_RDWR | O_CLOEXEC | O_NONBLOCK));
    if (fd.get() < 0)
        return openError(errno);
    std::vector<uint8_t> file;
    if (const psResult result = readAll(fd.get(), file))
        return result;
    const PropertyFields fields = locatePropertyFields(file.data(), file.size());
    if (!fields.recognised)
        return parseError(psERR_FILE_FORMAT_UNRECOGNIZED);
    const std::optional<PropertyField> &field = number == PS_PROPERTY_COMMENT    ? fields.comment
                                                : number == PS_PROPERTY_ROTATION ? fields.rotation
                                                                                 : std::optional<PropertyField>();
    if (!field)
        return parseError(psERR_PROPERTIES_UNAVAILABLE);

    // Everything is checked before the first byte is written.
    std::vector<uint8_t> bytes;
    switch (fieldBytesFor(*field, data, length, bytes)) {
    case FieldWrite::Ok:
        break;
    case FieldWrite::LengthMismatch:
        return parseError(psERR_PROPERTIES_MISMATCH);
    case FieldWrite::BadValue:
        return parseError(psERR_INVALID_PARAMETER);
    }
    if (bytes.size() != field->size)
        return parseError(psERR_INTERNAL_ERROR);

    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t put = ::pwrite(fd.get(), bytes.data() + done, bytes.size() - done, off_t(field->offset + done));
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            return parseError(errno == ENOSPC ? psERR_FILE_DISK_FULL_ERROR : psERR_FILE_WRITE_ERROR);
        done += size_t(put);
    }
    if (::fsync(fd.get()) != 0 || !fd.close())
        return parseError(psERR_FILE_WRITE_ERROR);
    return 0;
}
