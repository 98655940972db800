#include "ImageComment.h"

#include "ImageCommentRecord.h"
#include "ImagePath.h"

#include "psError.h"
#include "psLLAPI.h"
#include "psPictureArray.h"

#include <algorithm>
#include <cstring>

namespace {

// The longest comment read back from a record.
constexpr size_t MAX_COMMENT_READ = 255;

} // namespace

std::string readImageComment(const std::string &path)
{
    try {
        psCPictureArray pictures;
        if (!collectFilePictures(path, pictures))
            return {};
        ImageCommentRecord record;
        pictures.at(0).getProperty(PS_PROPERTY_COMMENT, &record, sizeof record);
        const void *zero = std::memchr(record.m_text, 0, MAX_COMMENT_READ);
        const size_t length = zero ? size_t(static_cast<const char *>(zero) - record.m_text) : MAX_COMMENT_READ;
        return trimTrailingWhiteSpace(std::string_view(record.m_text, length));
    } catch (const psCException &) {
        return {};
    }
}

bool writeImageComment(const std::string &path, const std::string &comment)
{
    try {
        psCPictureArray pictures;
        if (!collectFilePictures(path, pictures))
            return false;
        psCPicture &picture = pictures.at(0);
        ImageCommentRecord record;
        picture.getProperty(PS_PROPERTY_COMMENT, &record, sizeof record);
        const uint32_t capacity = record.capacity();
        // A record larger than ours cannot be written back whole.
        if (capacity > ImageCommentRecord::TEXT_SIZE)
            return false;
        std::memset(record.m_characterCode, 0, sizeof record.m_characterCode);
        std::memcpy(record.m_characterCode, "ASCII", 5);
        std::memset(record.m_text, ' ', sizeof record.m_text);
        const size_t length = std::min<size_t>(comment.size(), capacity);
        std::memcpy(record.m_text, comment.data(), length);
        picture.setProperty(PS_PROPERTY_COMMENT, &record, capacity + ImageCommentRecord::HEADER_SIZE);
        return true;
    } catch (const psCException &) {
        return false;
    }
}
