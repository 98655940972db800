// Builds small, deterministic camera files for the tests: TIFF/EXIF blocks
// in either byte order wrapped in a JPEG, and CIFF (CRW) heaps.
#ifndef QUILLOMAT_TESTS_IMAGEINFO_EXIFBUILDER_H
#define QUILLOMAT_TESTS_IMAGEINFO_EXIFBUILDER_H

#include <cstdint>
#include <string>
#include <vector>

class ExifBuilder {
public:
    explicit ExifBuilder(bool littleEndian);

    // Directory 0 is IFD0; others are reached through pointer entries.
    int addDirectory();
    void ascii(int dir, uint16_t tag, const std::string &text);
    void shortValue(int dir, uint16_t tag, uint16_t value);
    void longValue(int dir, uint16_t tag, uint32_t value);
    void rational(int dir, uint16_t tag, uint32_t numerator, uint32_t denominator);
    void srational(int dir, uint16_t tag, int32_t numerator, int32_t denominator);
    // Bytes stored at an offset whatever their size (UserComment, maker-note arrays).
    void undefined(int dir, uint16_t tag, const std::vector<uint8_t> &bytes);
    void shortArray(int dir, uint16_t tag, const std::vector<uint16_t> &values);
    // An entry whose value field is the offset of another directory.
    void pointer(int dir, uint16_t tag, int child);
    // An entry with a value field of the caller's choosing.
    void rawEntry(int dir, uint16_t tag, uint16_t type, uint32_t count, uint32_t value);
    void setNext(int dir, int next);

    std::vector<uint8_t> tiff() const;
    // SOI, APP1 "Exif" with the TIFF block, a comment segment, EOI.
    std::vector<uint8_t> jpeg() const;

    // Offset of the value field of the first entry with this tag in the TIFF block.
    uint32_t fieldOffset(uint16_t tag) const;

private:
    struct Entry {
        uint16_t tag;
        uint16_t type;
        uint32_t count;
        std::vector<uint8_t> data;   // payload in file byte order
        bool outOfLine = false;      // payload at an offset even when it would fit
        int child = -1;              // value = offset of this directory
        bool raw = false;
        uint32_t rawValue = 0;
    };
    struct Directory {
        std::vector<Entry> entries;
        int next = -1;
    };

    void add(int dir, Entry entry);
    void put16(std::vector<uint8_t> &out, uint16_t value) const;
    void put32(std::vector<uint8_t> &out, uint32_t value) const;
    std::vector<uint8_t> layout(std::vector<uint32_t> *fieldOffsets) const;

    bool m_little;
    std::vector<Directory> m_directories;
};

// Wraps a TIFF block (or any bytes) in SOI, APP1 "Exif\0\0", EOI.
std::vector<uint8_t> wrapExifInJpeg(const std::vector<uint8_t> &tiff);

// A CIFF heap tree; heap 0 is the root.
class CiffBuilder {
public:
    explicit CiffBuilder(bool littleEndian = true);
    int addHeap();
    void record(int heap, uint16_t tag, const std::vector<uint8_t> &data);
    void subHeap(int heap, uint16_t tag, int child);
    std::vector<uint8_t> build() const;

private:
    struct Record {
        uint16_t tag;
        std::vector<uint8_t> data;
        int child = -1;
    };
    std::vector<uint8_t> heapBytes(int heap, int depth) const;
    void put16(std::vector<uint8_t> &out, uint16_t value) const;
    void put32(std::vector<uint8_t> &out, uint32_t value) const;

    bool m_little;
    std::vector<std::vector<Record>> m_heaps;
};

// The shooting data of a made-up camera file.
struct TestShot {
    bool littleEndian = true;
    std::string make = "Canon";
    std::string model = "Canon EOS D60";
    std::string dateTime = "2002:05:04 12:34:56";
    std::string artist;
    uint32_t exposureNumerator = 1, exposureDenominator = 125;
    uint32_t fNumberNumerator = 56, fNumberDenominator = 10;
    uint16_t iso = 100;
    int32_t biasNumerator = -1, biasDenominator = 3;
    uint16_t metering = 5;
    uint16_t flash = 0;
    uint32_t focalNumerator = 50, focalDenominator = 1;
    uint16_t width = 3072, height = 2048;
    uint16_t orientation = 1;
    bool withOrientation = true;
    bool withUserComment = true;
    std::vector<uint8_t> userComment = defaultUserComment("");
    bool withMakerNote = true;
    std::vector<uint16_t> cameraSettings = defaultCameraSettings();
    std::vector<uint16_t> shotInfo = defaultShotInfo();
    std::vector<uint16_t> customFunctions = std::vector<uint16_t>(16, 0);
    std::string firmware = "Firmware Version 1.0.0";
    std::string owner = "Test Owner";
    uint32_t serial = 1234567;

    // "ASCII" and three zero bytes, the text, zero padding to 264 bytes.
    static std::vector<uint8_t> defaultUserComment(const std::string &text, size_t capacity = 256);
    static std::vector<uint16_t> defaultCameraSettings();
    static std::vector<uint16_t> defaultShotInfo();
};

ExifBuilder shotBuilder(const TestShot &shot);
std::vector<uint8_t> buildShotTiff(const TestShot &shot);
// Where buildShotJpeg puts the TIFF block.
constexpr size_t JPEG_TIFF_OFFSET = 12;
std::vector<uint8_t> buildShotJpeg(const TestShot &shot);

// A CRW with a comment record of the given capacity and an image-info record.
std::vector<uint8_t> buildCrw(const std::string &comment, uint32_t capacity, int32_t rotation, bool littleEndian = true,
                              const std::vector<uint8_t> &jpeg = {});

// Files for tests.
void writeFile(const std::string &path, const std::vector<uint8_t> &bytes);
std::vector<uint8_t> readFile(const std::string &path);

#endif
