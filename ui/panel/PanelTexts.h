// The settings panel's read-only texts and the Parameter Set entries, made
// from what the camera reports.
#ifndef QUILLOMAT_UI_PANEL_PANELTEXTS_H
#define QUILLOMAT_UI_PANEL_PANELTEXTS_H

#include <QString>

#include <cstddef>
#include <cstdint>
#include <span>

// Fields of the 48-byte release-parameter block, read as the camera writes
// them (16-bit words little-endian). Offsets past the end of the block read 0.
uint8_t releaseBlockByte(std::span<const uint8_t> block, size_t offset);
uint16_t releaseBlockWord(std::span<const uint8_t> block, size_t offset);

// "Lens: 50mm" for a prime, "Lens: 28-135mm @ 50mm" for a zoom, from the
// focal lengths at words 40 (current), 42 and 44 and their divisor at word 46.
// A zero divisor gives "Lens:" with no focal length.
QString lensText(std::span<const uint8_t> block);

// "Mode: " and the exposure-mode name (block byte 8), or for an image-zone
// mode the image-zone name (byte 9).
QString modeText(uint8_t exposureMode, uint8_t imageZoneMode);
QString modeText(std::span<const uint8_t> block);

// The custom-settings warning for the value of camera setting item 3
// (mirror lock-up): empty when it is off.
QString customSettingsText(uint32_t mirrorLockup);

// A defined parameter set in the Parameter Set list: "1: 2,-1,0" with the set
// number and the record's sixth, third and fifth fields (signed). Fields
// missing from a short record count as 0.
QString parameterSetText(int setNumber, std::span<const uint32_t> fields);

#endif
