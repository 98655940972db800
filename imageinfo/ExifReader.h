// The walk over a JPEG's markers that fills an ImageInfo from its APP1
// "Exif" segment: the TIFF directories, the EXIF directory and the Canon
// maker note. Every read checks its bound and throws ExifException past it;
// the caller catches it and keeps what was decoded.
#ifndef QUILLOMAT_IMAGEINFO_EXIFREADER_H
#define QUILLOMAT_IMAGEINFO_EXIFREADER_H

#include <cstddef>
#include <cstdint>
#include <string>

class ImageInfo;

class ExifReader {
public:
    ExifReader(ImageInfo &info, const uint8_t *data, size_t length);
    ExifReader(const ExifReader &) = delete;
    ExifReader &operator=(const ExifReader &) = delete;

    // Walks every marker segment; throws ExifException on a read past the end.
    void walkSegments();

private:
    struct Entry {
        uint16_t tag;
        uint16_t type;
        uint32_t count;
        uint32_t value;        // the value field read as a 32-bit number
        uint64_t fieldOffset;  // offset of the value field from the TIFF header
    };
    struct Array {
        uint64_t offset = 0;
        uint32_t count = 0;
    };

    uint8_t readByte();
    void parseExifSegment(size_t lengthPos, uint32_t segmentLength);

    // TIFF reads, offsets relative to the TIFF header, bounded by the TIFF length.
    void checkRange(uint64_t offset, uint64_t size) const;
    uint16_t get16(uint64_t offset) const;
    uint32_t get32(uint64_t offset) const;
    Entry readEntry(uint64_t directory, uint32_t index);
    uint16_t entryCount(uint64_t directory);

    void walkIfd0(uint64_t offset);
    void walkExifDirectory(uint64_t offset);
    void walkMakerNote(uint64_t offset);

    std::string asciiValue(const Entry &entry) const;
    double rationalValue(const Entry &entry) const;
    uint32_t shortValue(const Entry &entry) const;
    std::string userCommentValue(const Entry &entry) const;
    Array arrayValue(const Entry &entry) const;
    uint32_t element(const Array &array, uint32_t index) const;

    void decodeCameraSettings(const Array &settings);
    void decodeShotInfo(const Array &shot);
    void decodeCustomFunctions(const Array &functions);
    void decodeSerialNumber(uint32_t value);

    ImageInfo &m_info;
    const uint8_t *m_start;
    size_t m_current = 0;
    size_t m_end;
    // The TIFF block of the segment being parsed.
    const uint8_t *m_tiff = nullptr;
    uint64_t m_tiffLength = 0;
    // Directory entries visited over the whole walk; a file that asks for
    // more (directories pointing at each other, huge counts) is malformed.
    uint32_t m_entryBudget;
};

#endif
