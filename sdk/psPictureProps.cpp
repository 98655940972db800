#include "psPictureProps.h"

#include "psError.h"
#include "psLLAPI.h"

#include <algorithm>
#include <cstring>

namespace {

const char *const kFile = "PSPROPS";

} // namespace

psCPictureProperties::psCPictureProperties(std::vector<uint8_t> records) : m_records(std::move(records)) {}

bool psCPictureProperties::locate(uint16_t number, size_t &dataOffset, uint32_t &length) const
{
    size_t pos = 0;
    while (m_records.size() - pos >= PS_PROPERTY_RECORD_HEADER_SIZE) {
        const uint8_t *p = m_records.data() + pos;
        const uint16_t recordNumber = uint16_t(p[0] | (p[1] << 8));
        const uint32_t recordLength = uint32_t(p[2]) | (uint32_t(p[3]) << 8) | (uint32_t(p[4]) << 16)
                                      | (uint32_t(p[5]) << 24);
        pos += PS_PROPERTY_RECORD_HEADER_SIZE;
        if (recordLength > m_records.size() - pos)
            return false;
        if (recordNumber == number) {
            dataOffset = pos;
            length = recordLength;
            return true;
        }
        pos += recordLength;
    }
    return false;
}

bool psCPictureProperties::find(uint16_t number, uint32_t &length) const
{
    size_t offset = 0;
    return locate(number, offset, length);
}

uint32_t psCPictureProperties::get(uint16_t number, void *buffer, uint32_t size) const
{
    size_t offset = 0;
    uint32_t length = 0;
    if (!locate(number, offset, length))
        throw psCPropException(psMakeError(psCOMPONENT_HLSDK, psERR_PROPERTIES_UNAVAILABLE), kFile, __LINE__);
    if (buffer)
        std::memcpy(buffer, m_records.data() + offset, std::min(length, size));
    return length;
}

std::vector<uint8_t> psCPictureProperties::makeRecord(uint16_t number, const void *data, uint32_t length)
{
    std::vector<uint8_t> record(PS_PROPERTY_RECORD_HEADER_SIZE + size_t(length));
    record[0] = uint8_t(number);
    record[1] = uint8_t(number >> 8);
    for (int i = 0; i < 4; ++i)
        record[2 + i] = uint8_t(length >> (8 * i));
    if (length > 0)
        std::memcpy(record.data() + PS_PROPERTY_RECORD_HEADER_SIZE, data, length);
    return record;
}
