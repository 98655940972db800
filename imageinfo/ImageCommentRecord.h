// ImageCommentRecord: the value of picture property 11, the comment kept in
// an image file. A byte layout, integers little-endian:
//   0   8    character code ("ASCII" and three zero bytes when we write it)
//   8   4    capacity: the text bytes the file's record holds (never changed)
//   12  256  the comment, padded with spaces; no terminating zero when full
// Stored with a length of capacity + 12.
#ifndef QUILLOMAT_IMAGEINFO_IMAGECOMMENTRECORD_H
#define QUILLOMAT_IMAGEINFO_IMAGECOMMENTRECORD_H

#include <cstdint>

struct ImageCommentRecord {
    static constexpr uint32_t CODE_SIZE = 8;
    static constexpr uint32_t HEADER_SIZE = 12;
    static constexpr uint32_t TEXT_SIZE = 256;

    char m_characterCode[CODE_SIZE] = {};
    uint8_t m_capacity[4] = {};
    char m_text[TEXT_SIZE] = {};

    uint32_t capacity() const
    {
        return uint32_t(m_capacity[0]) | (uint32_t(m_capacity[1]) << 8) | (uint32_t(m_capacity[2]) << 16)
               | (uint32_t(m_capacity[3]) << 24);
    }
};

static_assert(sizeof(ImageCommentRecord) == 268, "the comment record is a fixed byte layout");

#endif
