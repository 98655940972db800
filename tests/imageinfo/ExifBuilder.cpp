#include "ExifBuilder.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <stdexcept>

ExifBuilder::ExifBuilder(bool littleEndian) : m_little(littleEndian), m_directories(1) {}

int ExifBuilder::addDirectory()
{
    m_directories.emplace_back();
    return int(m_directories.size()) - 1;
}

void ExifBuilder::put16(std::vector<uint8_t> &out, uint16_t value) const
{
    if (m_little) {
        out.push_back(uint8_t(value));
        out.push_back(uint8_t(value >> 8));
    } else {
        out.push_back(uint8_t(value >> 8));
        out.push_back(uint8_t(value));
    }
}

void ExifBuilder::put32(std::vector<uint8_t> &out, uint32_t value) const
{
    for (int i = 0; i < 4; ++i)
        out.push_back(uint8_t(value >> (m_little ? 8 * i : 8 * (3 - i))));
}

void ExifBuilder::add(int dir, Entry entry)
{
    m_directories.at(size_t(dir)).entries.push_back(std::move(entry));
}

void ExifBuilder::ascii(int dir, uint16_t tag, const std::string &text)
{
    Entry e{tag, 2, uint32_t(text.size() + 1), {text.begin(), text.end()}};
    e.data.push_back(0);
    add(dir, std::move(e));
}

void ExifBuilder::shortValue(int dir, uint16_t tag, uint16_t value)
{
    Entry e{tag, 3, 1, {}};
    put16(e.data, value);
    add(dir, std::move(e));
}

void ExifBuilder::longValue(int dir, uint16_t tag, uint32_t value)
{
    Entry e{tag, 4, 1, {}};
    put32(e.data, value);
    add(dir, std::move(e));
}

void ExifBuilder::rational(int dir, uint16_t tag, uint32_t numerator, uint32_t denominator)
{
    Entry e{tag, 5, 1, {}};
    put32(e.data, numerator);
    put32(e.data, denominator);
    add(dir, std::move(e));
}

void ExifBuilder::srational(int dir, uint16_t tag, int32_t numerator, int32_t denominator)
{
    Entry e{tag, 10, 1, {}};
    put32(e.data, uint32_t(numerator));
    put32(e.data, uint32_t(denominator));
    add(dir, std::move(e));
}

void ExifBuilder::undefined(int dir, uint16_t tag, const std::vector<uint8_t> &bytes)
{
    Entry e{tag, 7, uint32_t(bytes.size()), bytes};
    e.outOfLine = true;
    add(dir, std::move(e));
}

void ExifBuilder::shortArray(int dir, uint16_t tag, const std::vector<uint16_t> &values)
{
    Entry e{tag, 3, uint32_t(values.size()), {}};
    for (uint16_t v : values)
        put16(e.data, v);
    e.outOfLine = true;
    add(dir, std::move(e));
}

void ExifBuilder::pointer(int dir, uint16_t tag, int child)
{
    Entry e{tag, 4, 1, {}};
    e.child = child;
    add(dir, std::move(e));
}

void ExifBuilder::rawEntry(int dir, uint16_t tag, uint16_t type, uint32_t count, uint32_t value)
{
    Entry e{tag, type, count, {}};
    e.raw = true;
    e.rawValue = value;
    add(dir, std::move(e));
}

void ExifBuilder::setNext(int dir, int next)
{
    m_directories.at(size_t(dir)).next = next;
}

std::vector<uint8_t> ExifBuilder::layout(std::vector<uint32_t> *fieldOffsets) const
{
    // Header, then every directory, then every out-of-line payload.
    std::vector<uint32_t> dirOffsets;
    uint32_t at = 8;
    for (const Directory &d : m_directories) {
        dirOffsets.push_back(at);
        at += 2 + 12 * uint32_t(d.entries.size()) + 4;
    }
    std::vector<uint8_t> out;
    out.push_back(m_little ? 'I' : 'M');
    out.push_back(m_little ? 'I' : 'M');
    put16(out, 42);
    put32(out, 8);
    std::vector<uint8_t> payload;
    for (const Directory &d : m_directories) {
        put16(out, uint16_t(d.entries.size()));
        for (const Entry &e : d.entries) {
            put16(out, e.tag);
            put16(out, e.type);
            put32(out, e.count);
            if (fieldOffsets)
                fieldOffsets->push_back(uint32_t(out.size()));
            if (e.raw) {
                put32(out, e.rawValue);
            } else if (e.child >= 0) {
                put32(out, dirOffsets.at(size_t(e.child)));
            } else if (e.data.size() <= 4 && !e.outOfLine) {
                std::vector<uint8_t> field = e.data;
                field.resize(4, 0);
                out.insert(out.end(), field.begin(), field.end());
            } else {
                put32(out, at + uint32_t(payload.size()));
                payload.insert(payload.end(), e.data.begin(), e.data.end());
                if (payload.size() % 2)
                    payload.push_back(0);
            }
        }
        put32(out, d.next >= 0 ? dirOffsets.at(size_t(d.next)) : 0);
    }
    out.insert(out.end(), payload.begin(), payload.end());
    return out;
}

std::vector<uint8_t> ExifBuilder::tiff() const
{
    return layout(nullptr);
}

uint32_t ExifBuilder::fieldOffset(uint16_t tag) const
{
    std::vector<uint32_t> offsets;
    layout(&offsets);
    size_t index = 0;
    for (const Directory &d : m_directories)
        for (const Entry &e : d.entries) {
            if (e.tag == tag)
                return offsets.at(index);
            ++index;
        }
    throw std::runtime_error("no such tag");
}

std::vector<uint8_t> ExifBuilder::jpeg() const
{
    return wrapExifInJpeg(tiff());
}

std::vector<uint8_t> wrapExifInJpeg(const std::vector<uint8_t> &tiff)
{
    std::vector<uint8_t> out = {0xFF, 0xD8, 0xFF, 0xE1};
    const size_t length = tiff.size() + 8;
    if (length > 0xFFFF)
        throw std::runtime_error("EXIF block too large");
    out.push_back(uint8_t(length >> 8));
    out.push_back(uint8_t(length));
    const char exif[6] = {'E', 'x', 'i', 'f', 0, 0};
    out.insert(out.end(), exif, exif + 6);
    out.insert(out.end(), tiff.begin(), tiff.end());
    const char comment[] = "test body";
    out.push_back(0xFF);
    out.push_back(0xFE);
    out.push_back(0);
    out.push_back(uint8_t(sizeof comment - 1 + 2));
    out.insert(out.end(), comment, comment + sizeof comment - 1);
    out.push_back(0xFF);
    out.push_back(0xD9);
    return out;
}

CiffBuilder::CiffBuilder(bool littleEndian) : m_little(littleEndian), m_heaps(1) {}

int CiffBuilder::addHeap()
{
    m_heaps.emplace_back();
    return int(m_heaps.size()) - 1;
}

void CiffBuilder::record(int heap, uint16_t tag, const std::vector<uint8_t> &data)
{
    m_heaps.at(size_t(heap)).push_back(Record{tag, data, -1});
}

void CiffBuilder::subHeap(int heap, uint16_t tag, int child)
{
    m_heaps.at(size_t(heap)).push_back(Record{tag, {}, child});
}

void CiffBuilder::put16(std::vector<uint8_t> &out, uint16_t value) const
{
    if (m_little) {
        out.push_back(uint8_t(value));
        out.push_back(uint8_t(value >> 8));
    } else {
        out.push_back(uint8_t(value >> 8));
        out.push_back(uint8_t(value));
    }
}

void CiffBuilder::put32(std::vector<uint8_t> &out, uint32_t value) const
{
    for (int i = 0; i < 4; ++i)
        out.push_back(uint8_t(value >> (m_little ? 8 * i : 8 * (3 - i))));
}

std::vector<uint8_t> CiffBuilder::heapBytes(int heap, int depth) const
{
    if (depth > 8)
        throw std::runtime_error("heap tree too deep");
    std::vector<uint8_t> out;
    std::vector<uint8_t> table;
    const auto &records = m_heaps.at(size_t(heap));
    put16(table, uint16_t(records.size()));
    for (const Record &r : records) {
        const std::vector<uint8_t> data = r.child >= 0 ? heapBytes(r.child, depth + 1) : r.data;
        put16(table, r.tag);
        put32(table, uint32_t(data.size()));
        put32(table, uint32_t(out.size()));
        out.insert(out.end(), data.begin(), data.end());
    }
    const uint32_t tableOffset = uint32_t(out.size());
    out.insert(out.end(), table.begin(), table.end());
    put32(out, tableOffset);
    return out;
}

std::vector<uint8_t> CiffBuilder::build() const
{
    std::vector<uint8_t> out;
    out.push_back(m_little ? 'I' : 'M');
    out.push_back(m_little ? 'I' : 'M');
    put32(out, 26);
    const char signature[] = "HEAPCCDR";
    out.insert(out.end(), signature, signature + 8);
    put32(out, 0x00010002);
    put32(out, 0);
    put32(out, 0);
    const std::vector<uint8_t> root = heapBytes(0, 0);
    out.insert(out.end(), root.begin(), root.end());
    return out;
}

std::vector<uint8_t> TestShot::defaultUserComment(const std::string &text, size_t capacity)
{
    // Sized first and filled in place: GCC 12 misreads an insert into a
    // freshly initialised vector as an overflow at -O2.
    static constexpr char kCharacterCode[8] = {'A', 'S', 'C', 'I', 'I', 0, 0, 0};
    std::vector<uint8_t> bytes(8 + std::max(capacity, text.size()), 0);
    std::copy(std::begin(kCharacterCode), std::end(kCharacterCode), bytes.begin());
    std::copy(text.begin(), text.end(), bytes.begin() + 8);
    bytes.resize(8 + capacity);
    return bytes;
}

std::vector<uint16_t> TestShot::defaultCameraSettings()
{
    std::vector<uint16_t> cs(46, 0);
    cs[0] = uint16_t(cs.size() * 2);
    cs[2] = 0;      // no self-timer
    cs[3] = 3;      // Fine
    cs[4] = 0;      // flash off
    cs[5] = 0;      // single frame
    cs[7] = 0;      // one-shot
    cs[13] = 0;     // normal contrast
    cs[14] = 1;     // high saturation
    cs[15] = 0xFFFF; // low sharpness
    cs[16] = 17;    // ISO 100
    cs[17] = 3;     // evaluative
    cs[20] = 3;     // Av
    cs[23] = 135;   // 28-135 lens
    cs[24] = 28;
    cs[25] = 1;
    cs[29] = 0;
    cs[42] = 0;     // normal tone
    return cs;
}

std::vector<uint16_t> TestShot::defaultShotInfo()
{
    std::vector<uint16_t> si(30, 0);
    si[0] = uint16_t(si.size() * 2);
    si[7] = 1;      // daylight
    si[9] = 0;
    si[14] = 2;     // centre point
    si[15] = 0;
    return si;
}

std::vector<uint8_t> buildShotTiff(const TestShot &shot)
{
    return shotBuilder(shot).tiff();
}

ExifBuilder shotBuilder(const TestShot &shot)
{
    ExifBuilder b(shot.littleEndian);
    const int exif = b.addDirectory();
    const int maker = shot.withMakerNote ? b.addDirectory() : -1;
    b.ascii(0, 0x010F, shot.make);
    b.ascii(0, 0x0110, shot.model);
    if (shot.withOrientation)
        b.shortValue(0, 0x0112, shot.orientation);
    b.ascii(0, 0x0132, shot.dateTime);
    if (!shot.artist.empty())
        b.ascii(0, 0x013B, shot.artist);
    b.pointer(0, 0x8769, exif);
    b.rational(exif, 0x829A, shot.exposureNumerator, shot.exposureDenominator);
    b.rational(exif, 0x829D, shot.fNumberNumerator, shot.fNumberDenominator);
    b.shortValue(exif, 0x8827, shot.iso);
    b.srational(exif, 0x9204, shot.biasNumerator, shot.biasDenominator);
    b.shortValue(exif, 0x9207, shot.metering);
    b.shortValue(exif, 0x9209, shot.flash);
    b.rational(exif, 0x920A, shot.focalNumerator, shot.focalDenominator);
    if (maker >= 0)
        b.pointer(exif, 0x927C, maker);
    if (shot.withUserComment)
        b.undefined(exif, 0x9286, shot.userComment);
    b.shortValue(exif, 0xA002, shot.width);
    b.shortValue(exif, 0xA003, shot.height);
    if (maker >= 0) {
        b.shortArray(maker, 0x0001, shot.cameraSettings);
        b.shortArray(maker, 0x0004, shot.shotInfo);
        b.ascii(maker, 0x0007, shot.firmware);
        b.ascii(maker, 0x0009, shot.owner);
        b.longValue(maker, 0x000C, shot.serial);
        b.shortArray(maker, 0x000F, shot.customFunctions);
    }
    return b;
}

std::vector<uint8_t> buildShotJpeg(const TestShot &shot)
{
    return wrapExifInJpeg(buildShotTiff(shot));
}

std::vector<uint8_t> buildCrw(const std::string &comment, uint32_t capacity, int32_t rotation, bool littleEndian,
                              const std::vector<uint8_t> &jpeg)
{
    CiffBuilder c(littleEndian);
    const int props = c.addHeap();
    const int description = c.addHeap();
    std::vector<uint8_t> raw = {'r', 'a', 'w', ' ', 'd', 'a', 't', 'a'};
    c.record(0, 0x2005, raw);
    c.record(0, 0x2007, jpeg.empty() ? std::vector<uint8_t>{0xFF, 0xD8, 0xFF, 0xD9} : jpeg);
    c.subHeap(0, 0x300A, props);
    std::vector<uint8_t> info;
    auto put = [&](uint32_t v) {
        for (int i = 0; i < 4; ++i)
            info.push_back(uint8_t(v >> (littleEndian ? 8 * i : 8 * (3 - i))));
    };
    put(3072);
    put(2048);
    put(0x3F800000);
    put(uint32_t(rotation));
    put(8);
    put(24);
    put(0x101);
    c.record(props, 0x1810, info);
    std::vector<uint8_t> text(comment.begin(), comment.end());
    text.resize(capacity, 0);
    c.record(props, 0x0805, text);
    c.subHeap(props, 0x2804, description);
    std::vector<uint8_t> fileDescription(32, 0);
    const std::string name = "EOS D60 RAW";
    std::copy(name.begin(), name.end(), fileDescription.begin());
    c.record(description, 0x0805, fileDescription);
    return c.build();
}

void writeFile(const std::string &path, const std::vector<uint8_t> &bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char *>(bytes.data()), std::streamsize(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + path);
}

std::vector<uint8_t> readFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}
