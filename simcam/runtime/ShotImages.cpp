#include "ShotImages.h"

#include "ExposureTables.h"
#include "JpegPicture.h"
#include "MakerNote.h"
#include "TiffDirectory.h"
#include "psImageFormat.h"

#include <cstring>

namespace simcam {
namespace {

// CIFF tags only this writer uses, built from the record types.
constexpr uint16_t kCiffMakeModel = kCiffAscii | 0x000A;        // 0x080A
constexpr uint16_t kCiffFirmware = kCiffAscii | 0x000B;         // 0x080B
constexpr uint16_t kCiffOwner = kCiffAscii | 0x0010;            // 0x0810
constexpr uint16_t kCiffOriginalName = kCiffAscii | 0x0016;     // 0x0816
constexpr uint16_t kCiffShotInfo = kCiffShorts | 0x002A;        // 0x102A
constexpr uint16_t kCiffCameraSettings = kCiffShorts | 0x002D;  // 0x102D
constexpr uint16_t kCiffCustomFunctions = kCiffShorts | 0x0033; // 0x1033
constexpr uint16_t kCiffSerialNumber = kCiffLongs | 0x000B;     // 0x180B
constexpr uint16_t kCiffTimeStamp = kCiffLongs | 0x000E;        // 0x180E
constexpr uint16_t kCiffFileNumber = kCiffLongs | 0x0017;       // 0x1817
constexpr uint16_t kCiffExposureInfo = kCiffLongs | 0x0018;     // 0x1818
constexpr uint32_t kCiffHeaderLength = 26;

void appendFloat(std::vector<uint8_t> &out, float value)
{
    uint32_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    appendLe32(out, bits);
}

std::vector<uint8_t> shortsBytes(const std::vector<uint16_t> &values)
{
    std::vector<uint8_t> out;
    for (uint16_t value : values)
        appendLe16(out, value);
    return out;
}

std::vector<uint8_t> paddedText(const std::string &text, size_t size)
{
    std::vector<uint8_t> out(size, 0);
    std::memcpy(out.data(), text.data(), std::min(text.size(), size - 1));
    return out;
}

// Sensor data: about 9 bits a pixel, as the cameras' lossless compression
// gives; pseudo-random but the same for the same shot.
std::vector<uint8_t> rawData(const ShotPlan &shot, ImageSize size)
{
    const size_t length = static_cast<size_t>(size.width) * size.height * 9 / 8;
    std::vector<uint8_t> out(length);
    uint64_t state = shot.seed() | 1;
    size_t i = 0;
    for (; i + 8 <= length; i += 8) {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        std::memcpy(out.data() + i, &state, 8);
    }
    for (; i < length; ++i)
        out[i] = static_cast<uint8_t>(i);
    return out;
}

struct CiffRecord {
    uint16_t tag;
    std::vector<uint8_t> data;
};

// A heap: the records' data, then the record table, then the table's offset;
// offsets count from the heap's first byte.
std::vector<uint8_t> ciffHeap(const std::vector<CiffRecord> &records)
{
    std::vector<uint8_t> heap;
    std::vector<uint8_t> table;
    appendLe16(table, static_cast<uint16_t>(records.size()));
    for (const CiffRecord &record : records) {
        const auto offset = static_cast<uint32_t>(heap.size());
        heap.insert(heap.end(), record.data.begin(), record.data.end());
        if (heap.size() % 2)
            heap.push_back(0);
        appendLe16(table, record.tag);
        appendLe32(table, static_cast<uint32_t>(record.data.size()));
        appendLe32(table, offset);
    }
    const auto tableOffset = static_cast<uint32_t>(heap.size());
    heap.insert(heap.end(), table.begin(), table.end());
    appendLe32(heap, tableOffset);
    return heap;
}

} // namespace

std::vector<uint8_t> makeThumbnail(const ShotPlan &shot)
{
    const std::vector<uint8_t> exif = exifSegment(shot, kThumbnailWidth, kThumbnailHeight);
    JpegOptions options;
    options.width = kThumbnailWidth;
    options.height = kThumbnailHeight;
    options.quality = kJpegQualityThumbnail;
    options.letterbox = true;
    options.app1 = &exif;
    return renderJpeg(shot, options);
}

std::vector<uint8_t> makeJpeg(const ShotPlan &shot)
{
    const ImageSize size = shot.state.model.sizeFor(shot.state.imageSize);
    const std::vector<uint8_t> exif = exifSegment(shot, size.width, size.height);
    JpegOptions options;
    options.width = size.width;
    options.height = size.height;
    options.quality = shot.state.quality == 2 ? kJpegQualityNormal : kJpegQualityFine;
    options.app1 = &exif;
    return renderJpeg(shot, options);
}

std::vector<uint8_t> makeCrw(const ShotPlan &shot)
{
    const CameraState &s = shot.state;
    const ImageSize size = s.model.large;
    JpegOptions options;
    options.width = size.width;
    options.height = size.height;
    options.quality = kJpegQualityNormal;
    const std::vector<uint8_t> embedded = renderJpeg(shot, options);

    // The shooting records sit in an image-properties heap, as the cameras
    // write them; the raw data and the JPEG in the root heap.
    std::vector<CiffRecord> records;
    // Make and model first: readers pick the custom-function layout by model.
    std::vector<uint8_t> makeModel = {'C', 'a', 'n', 'o', 'n', 0};
    const std::string model = s.model.exifModel();
    makeModel.insert(makeModel.end(), model.begin(), model.end());
    makeModel.push_back(0);
    records.push_back({kCiffMakeModel, makeModel});
    records.push_back({kCiffFirmware, paddedText(firmwareText(shot), 32)});
    records.push_back({kCiffOwner, paddedText(shot.owner, 32)});
    records.push_back({kCiffOriginalName, paddedText(shot.fileName(), 32)});
    records.push_back({kCiffTagUserComment, std::vector<uint8_t>(256, 0)});
    records.push_back({kCiffCameraSettings, shortsBytes(cameraSettingsArray(shot))});
    records.push_back({kCiffShotInfo, shortsBytes(shotInfoArray(shot))});
    records.push_back({kCiffCustomFunctions, shortsBytes(customFunctionsArray(shot))});
    std::vector<uint8_t> serial;
    appendLe32(serial, s.model.serialNumber);
    records.push_back({kCiffSerialNumber, serial});
    std::vector<uint8_t> timeStamp;
    appendLe32(timeStamp, static_cast<uint32_t>(shot.unixTime));
    appendLe32(timeStamp, 0);
    appendLe32(timeStamp, 0);
    records.push_back({kCiffTimeStamp, timeStamp});
    std::vector<uint8_t> fileNumber;
    appendLe32(fileNumber, shot.folderNumber * 10000 + shot.fileNumber % 10000);
    records.push_back({kCiffFileNumber, fileNumber});
    std::vector<uint8_t> exposure;
    appendFloat(exposure, static_cast<float>(compensationEv(s.exposureCompensation).value()));
    appendFloat(exposure, static_cast<float>(canonEv32(s.tv - 0x38) / 32.0));
    appendFloat(exposure, static_cast<float>(canonEv32(s.av - 8) / 32.0));
    records.push_back({kCiffExposureInfo, exposure});
    std::vector<uint8_t> imageInfo;
    appendLe32(imageInfo, static_cast<uint32_t>(size.width));
    appendLe32(imageInfo, static_cast<uint32_t>(size.height));
    appendFloat(imageInfo, 1.0f);   // pixel aspect ratio
    appendLe32(imageInfo, 0);       // rotation
    appendLe32(imageInfo, 12);      // bits per component
    appendLe32(imageInfo, 48);      // bits per colour
    appendLe32(imageInfo, 0);       // colour, not black and white
    records.push_back({kCiffTagImageInfo, imageInfo});
    std::vector<CiffRecord> root;
    root.push_back({kCiffTagImageProps, ciffHeap(records)});
    root.push_back({kCiffTagRawData, rawData(shot, size)});
    root.push_back({kCiffTagJpeg, embedded});

    std::vector<uint8_t> out = {'I', 'I'};
    appendLe32(out, kCiffHeaderLength);
    for (char c : std::string("HEAPCCDR"))
        out.push_back(static_cast<uint8_t>(c));
    appendLe16(out, 2);   // version 1.2
    appendLe16(out, 1);
    out.resize(kCiffHeaderLength, 0);
    const std::vector<uint8_t> heap = ciffHeap(root);
    out.insert(out.end(), heap.begin(), heap.end());
    return out;
}

ShotImages makeShotImages(const ShotPlan &shot)
{
    ShotImages images;
    images.format = shot.isRaw() ? 2 : 1;
    images.thumbnail = makeThumbnail(shot);
    images.fullView = shot.isRaw() ? makeCrw(shot) : makeJpeg(shot);
    return images;
}

} // namespace simcam
