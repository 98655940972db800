// Bulb: the one shutter speed a release from the PC cannot use (the exposure
// lasts as long as the camera's own shutter button is held). The window and
// quillomat-shoot refuse it alike.
#ifndef QUILLOMAT_UI_PANEL_BULBMODE_H
#define QUILLOMAT_UI_PANEL_BULBMODE_H

#include <QString>

#include <cstddef>
#include <cstdint>
#include <span>

// The camera's Tv code for Bulb, and where the release-parameter block keeps Tv.
constexpr uint32_t kBulbTvCode = 0x04;
constexpr size_t kTvWordOffset = 30;

// True when the release-parameter block's Tv is Bulb.
bool isBulbSelected(std::span<const uint8_t> releaseBlock);

// The refusal shown when Release or Preview is asked for on Bulb.
QString bulbRefusalText();

#endif
