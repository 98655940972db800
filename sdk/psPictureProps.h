// psCPictureProperties: the property list of one picture, as its file holds
// it: a sequence of records, each a 16-bit property number, a 32-bit length
// and that many data bytes (integers little-endian).
#ifndef QUILLOMAT_SDK_PSPICTUREPROPS_H
#define QUILLOMAT_SDK_PSPICTUREPROPS_H

#include <cstddef>
#include <cstdint>
#include <vector>

class psCPictureProperties {
public:
    psCPictureProperties() = default;
    explicit psCPictureProperties(std::vector<uint8_t> records);

    // Copies the data of the first record numbered `number` into buffer (at
    // most size bytes) and returns the record's length. Raises
    // psCPropException(hlsdk PROPERTIES_UNAVAILABLE) when no record has that
    // number. A record whose length runs past the data ends the list.
    uint32_t get(uint16_t number, void *buffer, uint32_t size) const;
    // Whether a record numbered `number` exists, and its length.
    bool find(uint16_t number, uint32_t &length) const;

    // One record of (number, length, data), as the parse library takes it.
    static std::vector<uint8_t> makeRecord(uint16_t number, const void *data, uint32_t length);

private:
    // Offset of the data of the first record numbered `number`, or false.
    bool locate(uint16_t number, size_t &dataOffset, uint32_t &length) const;

    std::vector<uint8_t> m_records;
};

#endif
