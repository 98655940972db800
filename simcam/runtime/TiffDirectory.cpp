#include "TiffDirectory.h"

#include <algorithm>

namespace simcam {

void appendLe16(std::vector<uint8_t> &out, uint16_t value)
{
    out.push_back(static_cast<uint8_t>(value & 0xFF));
    out.push_back(static_cast<uint8_t>(value >> 8));
}

void appendLe32(std::vector<uint8_t> &out, uint32_t value)
{
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(static_cast<uint8_t>((value >> shift) & 0xFF));
}

void TiffDirectory::add(Entry entry)
{
    auto place = std::lower_bound(m_entries.begin(), m_entries.end(), entry.tag,
                                  [](const Entry &e, uint16_t tag) { return e.tag < tag; });
    m_entries.insert(place, std::move(entry));
}

void TiffDirectory::addShorts(uint16_t tag, const std::vector<uint16_t> &values)
{
    Entry entry{tag, TiffShort, static_cast<uint32_t>(values.size()), {}};
    for (uint16_t value : values)
        appendLe16(entry.bytes, value);
    add(std::move(entry));
}

void TiffDirectory::addLong(uint16_t tag, uint32_t value)
{
    Entry entry{tag, TiffLong, 1, {}};
    appendLe32(entry.bytes, value);
    add(std::move(entry));
}

void TiffDirectory::addRational(uint16_t tag, uint32_t num, uint32_t den)
{
    Entry entry{tag, TiffRational, 1, {}};
    appendLe32(entry.bytes, num);
    appendLe32(entry.bytes, den);
    add(std::move(entry));
}

void TiffDirectory::addSRational(uint16_t tag, int32_t num, int32_t den)
{
    Entry entry{tag, TiffSRational, 1, {}};
    appendLe32(entry.bytes, static_cast<uint32_t>(num));
    appendLe32(entry.bytes, static_cast<uint32_t>(den));
    add(std::move(entry));
}

void TiffDirectory::addAscii(uint16_t tag, const std::string &text, uint32_t count)
{
    const uint32_t size = std::max<uint32_t>(count, static_cast<uint32_t>(text.size()) + 1);
    Entry entry{tag, TiffAscii, size, std::vector<uint8_t>(size, 0)};
    std::copy(text.begin(), text.end(), entry.bytes.begin());
    add(std::move(entry));
}

void TiffDirectory::addUndefined(uint16_t tag, std::vector<uint8_t> bytes)
{
    const auto count = static_cast<uint32_t>(bytes.size());
    add(Entry{tag, TiffUndefined, count, std::move(bytes)});
}

void TiffDirectory::replaceBytes(uint16_t tag, std::vector<uint8_t> bytes)
{
    for (Entry &entry : m_entries)
        if (entry.tag == tag && entry.bytes.size() == bytes.size())
            entry.bytes = std::move(bytes);
}

uint32_t TiffDirectory::byteSize() const
{
    uint32_t size = 2 + 12 * static_cast<uint32_t>(m_entries.size()) + 4;
    for (const Entry &entry : m_entries)
        if (entry.bytes.size() > 4)
            size += static_cast<uint32_t>((entry.bytes.size() + 1) & ~size_t{1});
    return size;
}

uint32_t TiffDirectory::dataOffset(uint16_t tag, uint32_t base) const
{
    uint32_t offset = base + 2 + 12 * static_cast<uint32_t>(m_entries.size()) + 4;
    for (const Entry &entry : m_entries) {
        if (entry.bytes.size() <= 4)
            continue;
        if (entry.tag == tag)
            return offset;
        offset += static_cast<uint32_t>((entry.bytes.size() + 1) & ~size_t{1});
    }
    return 0;
}

std::vector<uint8_t> TiffDirectory::serialize(uint32_t base, uint32_t nextDirectory) const
{
    std::vector<uint8_t> out;
    std::vector<uint8_t> data;
    const uint32_t dataStart = base + 2 + 12 * static_cast<uint32_t>(m_entries.size()) + 4;
    appendLe16(out, static_cast<uint16_t>(m_entries.size()));
    for (const Entry &entry : m_entries) {
        appendLe16(out, entry.tag);
        appendLe16(out, entry.type);
        appendLe32(out, entry.count);
        if (entry.bytes.size() <= 4) {
            std::vector<uint8_t> field = entry.bytes;
            field.resize(4, 0);
            out.insert(out.end(), field.begin(), field.end());
        } else {
            appendLe32(out, dataStart + static_cast<uint32_t>(data.size()));
            data.insert(data.end(), entry.bytes.begin(), entry.bytes.end());
            if (data.size() % 2)
                data.push_back(0);
        }
    }
    appendLe32(out, nextDirectory);
    out.insert(out.end(), data.begin(), data.end());
    return out;
}

} // namespace simcam
