#include "PanelTexts.h"

#include "SettingsLists.h"

namespace {

constexpr size_t kExposureMode = 8;
constexpr size_t kImageZoneMode = 9;
constexpr size_t kFocalCurrent = 40;
constexpr size_t kFocalLong = 42;
constexpr size_t kFocalShort = 44;
constexpr size_t kFocalDivisor = 46;

int32_t signedField(std::span<const uint32_t> fields, size_t index)
{
    return index < fields.size() ? static_cast<int32_t>(fields[index]) : 0;
}

}  // namespace

uint8_t releaseBlockByte(std::span<const uint8_t> block, size_t offset)
{
    return offset < block.size() ? block[offset] : 0;
}

uint16_t releaseBlockWord(std::span<const uint8_t> block, size_t offset)
{
    return static_cast<uint16_t>(releaseBlockByte(block, offset) | (releaseBlockByte(block, offset + 1) << 8));
}

QString lensText(std::span<const uint8_t> block)
{
    const int divisor = releaseBlockWord(block, kFocalDivisor);
    if (divisor == 0)
        return QStringLiteral("Lens:");
    const int current = releaseBlockWord(block, kFocalCurrent) / divisor;
    const uint16_t longEnd = releaseBlockWord(block, kFocalLong);
    const uint16_t shortEnd = releaseBlockWord(block, kFocalShort);
    if (longEnd == shortEnd)
        return QStringLiteral("Lens: %1mm").arg(current);
    return QStringLiteral("Lens: %1-%2mm @ %3mm").arg(shortEnd / divisor).arg(longEnd / divisor).arg(current);
}

QString modeText(uint8_t exposureMode, uint8_t imageZoneMode)
{
    return QStringLiteral("Mode: ") + SettingsLists::exposureModeName(exposureMode, imageZoneMode);
}

QString modeText(std::span<const uint8_t> block)
{
    return modeText(releaseBlockByte(block, kExposureMode), releaseBlockByte(block, kImageZoneMode));
}

QString customSettingsText(uint32_t mirrorLockup)
{
    return mirrorLockup != 0 ? QStringLiteral("CFn 2: Mirror lockup selected") : QString();
}

QString parameterSetText(int setNumber, std::span<const uint32_t> fields)
{
    return QStringLiteral("%1: %2,%3,%4")
        .arg(setNumber)
        .arg(signedField(fields, 5))
        .arg(signedField(fields, 2))
        .arg(signedField(fields, 4));
}
