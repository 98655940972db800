#include "BulbMode.h"

#include "PanelTexts.h"

bool isBulbSelected(std::span<const uint8_t> releaseBlock)
{
    return releaseBlockWord(releaseBlock, kTvWordOffset) == kBulbTvCode;
}

QString bulbRefusalText()
{
    return QStringLiteral(
        "Sorry, bulb mode is not available from the PC.\nIt can be used if you use the camera's shutter release");
}
