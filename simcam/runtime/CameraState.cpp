#include "CameraState.h"

#include "ExposureTables.h"

namespace simcam {
namespace {

constexpr uint8_t kFlashCompensationOffset = 24;

uint16_t word(const uint8_t *block, int offset)
{
    return static_cast<uint16_t>(block[offset] | (block[offset + 1] << 8));
}

void putWord(uint8_t *block, int offset, uint16_t value)
{
    block[offset] = static_cast<uint8_t>(value & 0xFF);
    block[offset + 1] = static_cast<uint8_t>(value >> 8);
}

} // namespace

std::array<uint8_t, 48> CameraState::blockBytes() const
{
    std::array<uint8_t, 48> block{};
    block[1] = quality;
    block[2] = imageType;
    block[3] = imageSize;
    block[7] = beep;
    block[8] = exposureMode;
    block[9] = imageZone;
    block[10] = drive;
    block[12] = metering;
    putWord(block.data(), 14, afPoint);
    block[16] = whiteBalance;
    block[18] = afMode;
    putWord(block.data(), 24, parameterSet);
    putWord(block.data(), 26, iso);
    putWord(block.data(), 28, av);
    putWord(block.data(), 30, tv);
    block[32] = exposureCompensation;
    block[33] = flashCompensation;
    putWord(block.data(), 36, apertureMin);
    putWord(block.data(), 38, apertureMax);
    putWord(block.data(), 40, focalLength);
    putWord(block.data(), 42, focalLong);
    putWord(block.data(), 44, focalShort);
    putWord(block.data(), 46, focalUnit);
    return block;
}

void CameraState::applyBlock(const uint8_t *block)
{
    // In an image-zone mode the camera decides everything itself.
    if (isImageZone())
        return;
    setQuality(block[1], block[2], block[3]);
    setBeep(block[7]);
    setDrive(block[10]);
    setMetering(block[12]);
    setAfPoint(word(block, 14));
    setWhiteBalance(block[16]);
    setAfMode(block[18]);
    setParameterSet(word(block, 24));
    setIso(word(block, 26));
    setAv(word(block, 28));
    setTv(word(block, 30));
    setExposureCompensation(block[32]);
    setFlashCompensation(static_cast<uint8_t>(block[33] - kFlashCompensationOffset));
    // Exposure mode, image-zone mode and the lens are the dial's and the lens's.
}

bool CameraState::setTv(uint16_t code)
{
    if (isImageZone() || (exposureMode != ModeTv && exposureMode != ModeManual))
        return code == tv;
    if (code == kShutterBulb && exposureMode != ModeManual)
        return false;
    if (!isShutterCode(code, thirdStops()))
        return false;
    tv = code;
    return true;
}

bool CameraState::setAv(uint16_t code)
{
    if (isImageZone() || (exposureMode != ModeAv && exposureMode != ModeManual))
        return code == av;
    if (!isApertureCode(code, thirdStops()) || code < apertureMin || code > apertureMax)
        return false;
    av = code;
    return true;
}

bool CameraState::setIso(uint16_t code)
{
    if (isImageZone() || isoSpeed(code, model.isD60) == 0)
        return code == iso;
    iso = code;
    return true;
}

bool CameraState::setQuality(uint8_t newQuality, uint8_t type, uint8_t size)
{
    const bool raw = newQuality == 4 && type == 2 && size == 0;
    const bool jpeg = (newQuality == 2 || newQuality == 3) && type == 1 && model.offersSize(size);
    if (!raw && !jpeg)
        return newQuality == quality && type == imageType && size == imageSize;
    // Image-zone modes record JPEG only.
    if (isImageZone() && raw)
        return false;
    quality = newQuality;
    imageType = type;
    imageSize = size;
    return true;
}

bool CameraState::setExposureCompensation(uint8_t code)
{
    if (isImageZone() || exposureMode == ModeManual || !isCompensationCode(code, thirdStops()))
        return code == exposureCompensation;
    exposureCompensation = code;
    return true;
}

bool CameraState::setFlashCompensation(uint8_t code)
{
    if (isImageZone() || !isCompensationCode(code, thirdStops()))
        return code == flashCompensation;
    flashCompensation = code;
    return true;
}

bool CameraState::setWhiteBalance(uint8_t value)
{
    if (isImageZone() || value > 6)
        return value == whiteBalance;
    whiteBalance = value;
    return true;
}

bool CameraState::setMetering(uint8_t value)
{
    if (isImageZone() || value < 3 || value > 5)
        return value == metering;
    metering = value;
    return true;
}

bool CameraState::setDrive(uint8_t value)
{
    if (isImageZone() || value > 2)
        return value == drive;
    drive = value;
    return true;
}

bool CameraState::setAfPoint(uint16_t value)
{
    if (isImageZone() || value < 0x3000 || value > 0x3004)
        return value == afPoint;
    afPoint = value;
    return true;
}

bool CameraState::setAfMode(uint8_t value)
{
    if (isImageZone() || value > 3)
        return value == afMode;
    afMode = value;
    return true;
}

bool CameraState::setParameterSet(uint16_t value)
{
    const uint16_t highest = model.hasParameterSets ? 3 : 0;
    if (isImageZone() || value > highest)
        return value == parameterSet;
    if (value != 0 && !parameterSets[value].defined)
        return false;
    parameterSet = value;
    return true;
}

bool CameraState::setBeep(uint8_t value)
{
    if (isImageZone() || value > 1)
        return value == beep;
    beep = value;
    return true;
}

} // namespace simcam
