// One little-endian TIFF image file directory being built: entries are kept
// in tag order, values longer than four bytes go to a data area after it.
#ifndef QUILLOMAT_SIMCAM_TIFFDIRECTORY_H
#define QUILLOMAT_SIMCAM_TIFFDIRECTORY_H

#include "psImageFormat.h"

#include <cstdint>
#include <string>
#include <vector>

namespace simcam {

enum TiffType : uint16_t {
    TiffByte = kTiffByte,
    TiffAscii = kTiffAscii,
    TiffShort = kTiffShort,
    TiffLong = kTiffLong,
    TiffRational = kTiffRational,
    TiffUndefined = kTiffUndefined,
    TiffSRational = kTiffSRational,
};

class TiffDirectory {
public:
    void addShorts(uint16_t tag, const std::vector<uint16_t> &values);
    void addShort(uint16_t tag, uint16_t value) { addShorts(tag, {value}); }
    void addLong(uint16_t tag, uint32_t value);
    void addRational(uint16_t tag, uint32_t num, uint32_t den);
    void addSRational(uint16_t tag, int32_t num, int32_t den);
    // Zero-terminated; a count larger than the text pads with zero bytes.
    void addAscii(uint16_t tag, const std::string &text, uint32_t count = 0);
    void addUndefined(uint16_t tag, std::vector<uint8_t> bytes);
    // Replaces an entry's bytes with as many new ones (once its place is known).
    void replaceBytes(uint16_t tag, std::vector<uint8_t> bytes);

    // Bytes of the directory with its data area.
    uint32_t byteSize() const;
    // Where the data of a tag's entry will stand when the directory is written at base.
    uint32_t dataOffset(uint16_t tag, uint32_t base) const;
    std::vector<uint8_t> serialize(uint32_t base, uint32_t nextDirectory = 0) const;

private:
    struct Entry {
        uint16_t tag;
        uint16_t type;
        uint32_t count;
        std::vector<uint8_t> bytes;
    };
    void add(Entry entry);

    std::vector<Entry> m_entries;
};

void appendLe16(std::vector<uint8_t> &out, uint16_t value);
void appendLe32(std::vector<uint8_t> &out, uint32_t value);

} // namespace simcam

#endif
