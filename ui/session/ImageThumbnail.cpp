#include "ImageThumbnail.h"

#include "ImagePath.h"
#include "LoadImageJpeg.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QTransform>

#include <cstdint>
#include <cstring>
#include <vector>

namespace {

// An EXIF block is one APP1 segment near the start of the file: at most
// 64 KiB, after a few small segments.
constexpr qint64 kExifHeadBytes = 128 * 1024;
// A THM is a small JPEG; anything far larger is not one.
constexpr size_t kMaxThmBytes = 1024 * 1024;

constexpr uint16_t kTagCompression = 0x0103;
constexpr uint16_t kTagThumbnailOffset = 0x0201;
constexpr uint16_t kTagThumbnailLength = 0x0202;
constexpr uint32_t kCompressionJpeg = 6;

// Bounded reads from a TIFF block in either byte order.
class TiffBlock {
public:
    TiffBlock(const uint8_t *data, uint64_t size) : m_data(data), m_size(size)
    {
        m_valid = size >= 8 && ((data[0] == 'I' && data[1] == 'I') || (data[0] == 'M' && data[1] == 'M'));
        m_little = m_valid && data[0] == 'I';
        m_valid = m_valid && get16(2) == 42;
    }

    bool valid() const { return m_valid; }
    bool holds(uint64_t offset, uint64_t length) const { return offset <= m_size && length <= m_size - offset; }

    uint32_t get16(uint64_t offset) const
    {
        if (!holds(offset, 2))
            return 0;
        const uint8_t *p = m_data + offset;
        return m_little ? uint32_t(p[0] | (p[1] << 8)) : uint32_t((p[0] << 8) | p[1]);
    }

    uint32_t get32(uint64_t offset) const
    {
        if (!holds(offset, 4))
            return 0;
        return m_little ? get16(offset) | (get16(offset + 2) << 16) : (get16(offset) << 16) | get16(offset + 2);
    }

    const uint8_t *at(uint64_t offset) const { return m_data + offset; }

private:
    const uint8_t *m_data;
    uint64_t m_size;
    bool m_valid = false;
    bool m_little = true;
};

QByteArray thumbnailFromTiff(const TiffBlock &tiff)
{
    if (!tiff.valid())
        return {};
    const uint64_t ifd0 = tiff.get32(4);
    if (!tiff.holds(ifd0, 2))
        return {};
    const uint64_t ifd1 = tiff.get32(ifd0 + 2 + 12 * uint64_t(tiff.get16(ifd0)));
    if (ifd1 == 0 || !tiff.holds(ifd1, 2))
        return {};
    uint64_t offset = 0;
    uint64_t length = 0;
    uint32_t compression = kCompressionJpeg;
    const uint32_t entries = tiff.get16(ifd1);
    for (uint32_t i = 0; i < entries; ++i) {
        const uint64_t entry = ifd1 + 2 + 12 * uint64_t(i);
        if (!tiff.holds(entry, 12))
            return {};
        const uint32_t type = tiff.get16(entry + 2);
        // SHORT values sit in the field's first two bytes, LONG ones fill it.
        const uint32_t value = type == 3 ? tiff.get16(entry + 8) : tiff.get32(entry + 8);
        switch (tiff.get16(entry)) {
        case kTagThumbnailOffset:
            offset = value;
            break;
        case kTagThumbnailLength:
            length = value;
            break;
        case kTagCompression:
            compression = value;
            break;
        default:
            break;
        }
    }
    if (compression != kCompressionJpeg || length < 2 || !tiff.holds(offset, length))
        return {};
    const uint8_t *start = tiff.at(offset);
    if (start[0] != 0xFF || start[1] != 0xD8)
        return {};
    return QByteArray(reinterpret_cast<const char *>(start), static_cast<qsizetype>(length));
}

// Decoded straight at about the size wanted: the JPEG decoder scales by
// powers of two while it decodes, which is far cheaper than a full decode.
QImage decodeReduced(QIODevice &device, QSize box)
{
    QImageReader reader(&device, "jpeg");
    QSize size = reader.size();
    if (size.isValid() && (size.width() > box.width() || size.height() > box.height())) {
        size.scale(box, Qt::KeepAspectRatio);
        reader.setScaledSize(size);
    }
    return reader.read();
}

QImage decodeReduced(const QByteArray &bytes, QSize box)
{
    if (bytes.isEmpty())
        return {};
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    return decodeReduced(buffer, box);
}

QByteArray toByteArray(const std::vector<uint8_t> &bytes)
{
    return QByteArray(reinterpret_cast<const char *>(bytes.data()), static_cast<qsizetype>(bytes.size()));
}

QImage readPicture(const QString &path, QSize box)
{
    const std::string local = QFile::encodeName(path).toStdString();
    if (hasExtension(local, ".crw")) {
        std::vector<uint8_t> thm;
        if (readFileBytes(companionPath(local, "thm"), thm, kMaxThmBytes))
            if (QImage image = decodeReduced(toByteArray(thm), box); !image.isNull())
                return image;
        // No THM beside it: the JPEG the raw file carries.
        return decodeReduced(toByteArray(loadImageJpeg(local)), box);
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    if (QImage image = decodeReduced(exifThumbnail(file.read(kExifHeadBytes)), box); !image.isNull())
        return image;
    file.seek(0);
    return decodeReduced(file, box);
}

}  // namespace

QByteArray exifThumbnail(const QByteArray &jpeg)
{
    const auto *data = reinterpret_cast<const uint8_t *>(jpeg.constData());
    const uint64_t size = static_cast<uint64_t>(jpeg.size());
    if (size < 4 || data[0] != 0xFF || data[1] != 0xD8)
        return {};
    uint64_t pos = 2;
    while (pos + 4 <= size && data[pos] == 0xFF) {
        const uint8_t marker = data[pos + 1];
        // The picture's data starts here; no EXIF block after it.
        if (marker == 0xDA || marker == 0xD9)
            break;
        const uint64_t length = (uint64_t(data[pos + 2]) << 8) | data[pos + 3];
        if (length < 2 || pos + 2 + length > size)
            break;
        static constexpr char kExifHeader[6] = {'E', 'x', 'i', 'f', 0, 0};
        if (marker == 0xE1 && length >= 2 + sizeof kExifHeader
            && std::memcmp(data + pos + 4, kExifHeader, sizeof kExifHeader) == 0)
            return thumbnailFromTiff(TiffBlock(data + pos + 4 + sizeof kExifHeader, length - 2 - sizeof kExifHeader));
        pos += 2 + length;
    }
    return {};
}

QImage readImageThumbnail(const QString &path, QSize box, int rotation)
{
    const bool quarter = rotation == 90 || rotation == 270;
    // Fitted before it turns: a portrait must end up inside the box too.
    const QSize fit = quarter ? box.transposed() : box;
    QImage image = readPicture(path, fit);
    if (image.isNull())
        return {};
    if (image.width() > fit.width() || image.height() > fit.height())
        image = image.scaled(fit, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    if (quarter || rotation == 180)
        image = image.transformed(QTransform().rotate(rotation));
    // Three bytes a pixel: a thousand thumbnails stay within their budget.
    return image.convertToFormat(QImage::Format_RGB888);
}
