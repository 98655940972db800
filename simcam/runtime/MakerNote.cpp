#include "MakerNote.h"

#include "ExposureTables.h"
#include "TiffDirectory.h"
#include "psImageFormat.h"

#include <cmath>

namespace simcam {
namespace {

constexpr int kCameraSettingsCount = 46;
constexpr int kShotInfoCount = 34;
constexpr int kCustomFunctionCount = 16;

uint16_t signedShort(int value)
{
    return static_cast<uint16_t>(static_cast<int16_t>(value));
}

int clampSign(int32_t value)
{
    return value > 0 ? 1 : (value < 0 ? -1 : 0);
}

uint16_t cameraIso(int speed)
{
    switch (speed) {
    case 100: return 17;
    case 200: return 18;
    case 400: return 19;
    case 800: return 20;
    default: return static_cast<uint16_t>(0x4000 | speed);
    }
}

uint16_t exifMetering(uint8_t metering)
{
    switch (metering) {
    case 3: return 5;   // evaluative: pattern
    case 4: return 6;   // partial
    case 5: return 2;   // centre-weighted average
    default: return 0;
    }
}

uint16_t afPointsInFocus(const CameraState &state)
{
    if (state.afMode == 3)
        return 0x3000;
    switch (state.afPoint) {
    case 0x3002: return 0x3001;   // right
    case 0x3004: return 0x3004;   // left
    case 0x3000: return 0x3000;
    default: return 0x3002;       // centre, also where the automatic selection focuses
    }
}

std::vector<uint8_t> makerNoteDirectory(const ShotPlan &shot, uint32_t base)
{
    TiffDirectory note;
    note.addShorts(0x0001, cameraSettingsArray(shot));
    note.addShorts(0x0004, shotInfoArray(shot));
    note.addAscii(0x0007, firmwareText(shot), 24);
    note.addAscii(0x0009, shot.owner, 32);
    note.addLong(0x000C, shot.state.model.serialNumber);
    note.addShorts(0x000F, customFunctionsArray(shot));
    return note.serialize(base);
}

} // namespace

std::vector<uint16_t> cameraSettingsArray(const ShotPlan &shot)
{
    const CameraState &s = shot.state;
    std::vector<uint16_t> a(kCameraSettingsCount, 0);
    a[0] = static_cast<uint16_t>(kCameraSettingsCount * 2);
    a[1] = 2;                                   // macro mode: normal
    a[2] = s.drive == 2 ? 100 : 0;              // self-timer in tenths of a second
    a[3] = s.quality;
    a[4] = s.flash == FlashOff ? 0 : 2;
    a[5] = s.drive == 1 ? 1 : 0;
    a[7] = s.afMode;
    a[9] = shot.isRaw() ? 2 : 1;
    a[10] = shot.isRaw() ? 0 : s.imageSize;
    a[11] = s.isImageZone() ? s.imageZone : 1;
    const ParameterSet &set = s.parameterSets[s.parameterSet & 3];
    const bool custom = s.parameterSet != 0 && set.defined;
    a[13] = signedShort(custom ? clampSign(set.contrast) : 0);
    a[14] = signedShort(custom ? clampSign(set.saturation) : 0);
    a[15] = signedShort(custom ? clampSign(set.sharpness) : 0);
    a[16] = cameraIso(isoSpeed(s.iso, s.model.isD60));
    a[17] = s.metering;
    a[18] = s.afMode == 3 ? 0 : 1;
    a[19] = s.afPoint;
    a[20] = s.exposureMode;
    a[23] = s.focalLong;
    a[24] = s.focalShort;
    a[25] = s.focalUnit;
    a[26] = signedShort(canonEv32(s.apertureMin - 8));
    a[27] = signedShort(canonEv32(s.apertureMax - 8));
    a[28] = s.flash == FlashOff ? 0 : 1;
    a[29] = s.flash == FlashBuiltIn ? 0x2000 : (s.flash == FlashExternal ? 0x4008 : 0);
    a[32] = s.afMode == 1 ? 1 : 0;
    return a;
}

std::vector<uint16_t> shotInfoArray(const ShotPlan &shot)
{
    const CameraState &s = shot.state;
    std::vector<uint16_t> a(kShotInfoCount, 0);
    a[0] = static_cast<uint16_t>(kShotInfoCount * 2);
    const int iso = isoSpeed(s.iso, s.model.isD60);
    a[2] = static_cast<uint16_t>(std::lround(32.0 * std::log2(iso * 32.0 / 100.0)));
    a[3] = 256;                                 // metered EV 13
    a[4] = signedShort(canonEv32(s.av - 8));
    a[5] = signedShort(canonEv32(s.tv - 0x38));
    a[6] = signedShort(canonEv32(kCompensationZero - s.exposureCompensation));
    a[7] = s.whiteBalance;
    a[8] = 3;                                   // slow shutter: none
    a[14] = afPointsInFocus(s);
    a[15] = signedShort(canonEv32(kCompensationZero - s.flashCompensation));
    a[19] = s.subjectDistanceCm;
    a[21] = signedShort(canonEv32(s.av - 8));
    a[22] = signedShort(canonEv32(s.tv - 0x38));
    a[26] = 252;                                // camera type: EOS mid-range
    return a;
}

std::vector<uint16_t> customFunctionsArray(const ShotPlan &shot)
{
    std::vector<uint16_t> a(kCustomFunctionCount, 0);
    a[0] = static_cast<uint16_t>(kCustomFunctionCount * 2);
    for (int i = 1; i < kCustomFunctionCount; ++i)
        a[i] = static_cast<uint16_t>((i << 8) | shot.state.customFunctions[i]);
    return a;
}

std::string firmwareText(const ShotPlan &shot)
{
    return "Firmware Version " + shot.state.model.firmware;
}

std::vector<uint8_t> exifSegment(const ShotPlan &shot, int width, int height)
{
    const CameraState &s = shot.state;
    const std::string dateTime = shot.dateTime();

    TiffDirectory ifd0;
    ifd0.addAscii(0x010F, "Canon");
    ifd0.addAscii(0x0110, s.model.exifModel(), 32);
    ifd0.addShort(kTiffTagOrientation, 1);
    ifd0.addRational(0x011A, 180, 1);
    ifd0.addRational(0x011B, 180, 1);
    ifd0.addShort(0x0128, 2);
    ifd0.addAscii(0x0132, dateTime);
    ifd0.addShort(0x0213, 1);
    ifd0.addLong(kTiffTagExifIfd, 0);

    TiffDirectory exif;
    const Fraction t = exposureTime(s.tv);
    const Fraction f = fNumber(s.av);
    const Fraction bias = compensationEv(s.exposureCompensation);
    exif.addRational(0x829A, static_cast<uint32_t>(t.num), static_cast<uint32_t>(t.den));
    exif.addRational(0x829D, static_cast<uint32_t>(f.num), static_cast<uint32_t>(f.den));
    exif.addShort(0x8827, static_cast<uint16_t>(isoSpeed(s.iso, s.model.isD60)));
    exif.addUndefined(0x9000, {'0', '2', '1', '0'});
    exif.addAscii(0x9003, dateTime);
    exif.addAscii(0x9004, dateTime);
    exif.addUndefined(0x9101, {1, 2, 3, 0});
    exif.addSRational(0x9201, canonEv32(s.tv - 0x38), 32);
    exif.addRational(0x9202, static_cast<uint32_t>(canonEv32(s.av - 8)), 32);
    exif.addSRational(0x9204, bias.num, bias.den);
    exif.addRational(0x9205, static_cast<uint32_t>(canonEv32(s.apertureMin - 8)), 32);
    exif.addRational(0x9206, s.subjectDistanceCm, 100);
    exif.addShort(0x9207, exifMetering(s.metering));
    exif.addShort(0x9209, s.flash == FlashOff ? 0 : 1);
    exif.addRational(0x920A, s.focalLength, s.focalUnit ? s.focalUnit : 1);
    const uint32_t noteSize = static_cast<uint32_t>(makerNoteDirectory(shot, 0).size());
    exif.addUndefined(kExifTagMakerNote, std::vector<uint8_t>(noteSize, 0));
    exif.addUndefined(kExifTagUserComment, std::vector<uint8_t>(kUserCommentSize, 0));
    exif.addUndefined(0xA000, {'0', '1', '0', '0'});
    exif.addShort(0xA001, 1);
    exif.addShort(0xA002, static_cast<uint16_t>(width));
    exif.addShort(0xA003, static_cast<uint16_t>(height));
    exif.addShort(0xA217, 2);

    constexpr uint32_t kIfd0Offset = 8;
    const uint32_t exifOffset = kIfd0Offset + ifd0.byteSize();
    TiffDirectory ifd0Final = ifd0;
    std::vector<uint8_t> pointer;
    appendLe32(pointer, exifOffset);
    ifd0Final.replaceBytes(kTiffTagExifIfd, pointer);
    exif.replaceBytes(kExifTagMakerNote, makerNoteDirectory(shot, exif.dataOffset(kExifTagMakerNote, exifOffset)));

    std::vector<uint8_t> out = {'E', 'x', 'i', 'f', 0, 0, 'I', 'I', static_cast<uint8_t>(kTiffMagic), 0};
    appendLe32(out, kIfd0Offset);
    const std::vector<uint8_t> first = ifd0Final.serialize(kIfd0Offset);
    out.insert(out.end(), first.begin(), first.end());
    const std::vector<uint8_t> second = exif.serialize(exifOffset);
    out.insert(out.end(), second.begin(), second.end());
    return out;
}

} // namespace simcam
