#include "ImageInfo.h"

#include "ExifException.h"
#include "ExifReader.h"
#include "ImageComment.h"
#include "ImagePath.h"

#include <vector>

namespace {

const char *const MODEL_D60 = "Canon EOS D60";

} // namespace

ImageInfo::ImageInfo(const std::string &path)
{
    if (!fileExists(path))
        return;
    std::string imagePath = path;
    if (hasExtension(imagePath, ".crw")) {
        imagePath = companionPath(imagePath, "thm");
        if (!fileExists(imagePath))
            return;
    }
    if (hasExtension(imagePath, ".jpg") || hasExtension(imagePath, ".thm")) {
        std::vector<uint8_t> bytes;
        if (readFileBytes(imagePath, bytes, MAX_IMAGE_FILE_BYTES))
            parseJpeg(bytes.data(), bytes.size());
        // The file's bytes are gone once the record is built.
        m_dataLength = 0;
    }
    if (hasExtension(imagePath, ".thm")) {
        const std::string rawPath = companionPath(imagePath, "crw");
        if (fileExists(rawPath)) {
            const std::string comment = trimTrailingWhiteSpace(readImageComment(rawPath));
            if (!comment.empty())
                m_userComment = comment;
        }
    }
}

ImageInfo::ImageInfo(const uint8_t *data, size_t length)
{
    parseJpeg(data, length);
}

void ImageInfo::parseJpeg(const uint8_t *data, size_t length)
{
    if (!data || length == 0)
        return;
    m_dataLength = length > size_t(INT32_MAX) ? INT32_MAX : int32_t(length);
    try {
        ExifReader reader(*this, data, length);
        reader.walkSegments();
    } catch (ExifException) {
        // A truncated or malformed block keeps what was decoded before the fault.
    }
    if (equalsIgnoringCase(m_quality, "raw")) {
        // The THM's EXIF size is the thumbnail's; the raw image has the sensor's size.
        if (equalsIgnoringCase(m_model, MODEL_D60)) {
            m_imageWidth = RAW_IMAGE_WIDTH_D60;
            m_imageHeight = RAW_IMAGE_HEIGHT_D60;
        } else {
            m_imageWidth = RAW_IMAGE_WIDTH;
            m_imageHeight = RAW_IMAGE_HEIGHT;
        }
    }
}
