// Where the picture properties live in the bytes of an image file, and how
// a property's record data maps onto the file's field.
//
//   JPEG / THM: comment = the EXIF UserComment (8-byte character code, then
//               the text), rotation = the EXIF Orientation of IFD0 (SHORT);
//   CRW (CIFF): comment = the user-comment record 0x0805 (text only),
//               rotation = bytes 12 to 15 of the image-info record 0x1810.
#ifndef QUILLOMAT_SIMCAM_PARSE_PROPERTYFIELDS_H
#define QUILLOMAT_SIMCAM_PARSE_PROPERTYFIELDS_H

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

enum class FieldKind { ExifComment, CiffComment, ExifOrientation, CiffRotation };

struct PropertyField {
    FieldKind kind;
    uint64_t offset;       // first byte of the field in the file
    uint32_t size;         // the field's bytes in the file
    bool littleEndian;     // byte order of the file's numbers
};

struct PropertyFields {
    bool recognised = false;   // a JPEG or a CIFF file
    std::optional<PropertyField> comment;
    std::optional<PropertyField> rotation;
};

// The largest comment text a comment record holds.
constexpr uint32_t COMMENT_TEXT_CAPACITY = 256;
constexpr uint32_t COMMENT_CODE_SIZE = 8;
constexpr uint32_t COMMENT_HEADER_SIZE = 12;    // character code, capacity

PropertyFields locatePropertyFields(const uint8_t *file, size_t size);

// The property's record data as the file holds it.
std::vector<uint8_t> fieldPropertyData(const PropertyField &field, const uint8_t *file);

enum class FieldWrite { Ok, LengthMismatch, BadValue };
// The bytes that replace the field for the given record data.
FieldWrite fieldBytesFor(const PropertyField &field, const uint8_t *data, uint32_t length,
                         std::vector<uint8_t> &bytes);

#endif
