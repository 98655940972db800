// Everything the camera is set to: its release parameters, custom functions,
// parameter sets and the lens. The 48-byte release-parameter block is a view
// of it (blockBytes / applyBlock).
#ifndef QUILLOMAT_SIMCAM_CAMERASTATE_H
#define QUILLOMAT_SIMCAM_CAMERASTATE_H

#include "CameraModel.h"

#include <array>
#include <cstdint>

namespace simcam {

// Exposure modes of block byte 8; 0 is an image-zone mode named by byte 9.
enum ExposureMode : uint8_t {
    ModeImageZone = 0,
    ModeProgram = 1,
    ModeTv = 2,
    ModeAv = 3,
    ModeManual = 4,
    ModeDepth = 5,
};

enum FlashUse : uint8_t { FlashOff = 0, FlashBuiltIn = 1, FlashExternal = 2 };

struct ParameterSet {
    bool defined = false;
    int32_t contrast = 0;
    int32_t sharpness = 0;
    int32_t saturation = 0;
    int32_t colorTone = 0;
};

struct CameraState {
    CameraModel model = CameraModel::byName("EOS D60");

    uint8_t quality = 3;           // 2 normal, 3 fine, 4 raw
    uint8_t imageType = 1;         // 1 JPEG, 2 raw
    uint8_t imageSize = 0;         // 0 large, 1 medium, 2 small
    uint8_t beep = 1;
    uint8_t exposureMode = ModeManual;
    uint8_t imageZone = 0;
    uint8_t drive = 0;             // 0 single, 1 continuous, 2 self-timer
    uint8_t metering = 3;          // 3 evaluative, 4 partial, 5 centre-weighted
    uint16_t afPoint = 0x3001;     // 0x3000 none ... 0x3004 left
    uint8_t whiteBalance = 0;
    uint8_t afMode = 0;            // 0 one shot, 1 AI servo, 2 AI focus, 3 manual
    uint16_t parameterSet = 0;     // 0 standard, 1 to 3 (D30)
    uint16_t iso = 0x48;
    uint16_t av = 0x38;            // f/8
    uint16_t tv = 0x70;            // 1/125
    uint8_t exposureCompensation = 0x18;
    uint8_t flashCompensation = 0x18;   // the camera's own code; the block carries it +24 when written
    uint16_t apertureMin = 0x24;   // f/3.5
    uint16_t apertureMax = 0x58;   // f/32
    uint16_t focalLength = 50;
    uint16_t focalLong = 135;
    uint16_t focalShort = 28;
    uint16_t focalUnit = 1;

    // Custom functions 1 to 15 (index 0 unused); 3 is mirror lock-up, 4 the
    // exposure level increments (0 half-stop, 1 third-stop).
    std::array<uint8_t, 16> customFunctions{};
    std::array<ParameterSet, 4> parameterSets{};  // 1 to 3 used

    FlashUse flash = FlashOff;
    uint16_t subjectDistanceCm = 250;

    bool thirdStops() const { return customFunctions[4] != 0; }

    // The block the camera answers with (flash compensation in its own code).
    std::array<uint8_t, 48> blockBytes() const;
    // A block written by the PC: values the camera offers in its current
    // state are taken, every other field keeps its old value. Flash
    // compensation arrives as its code plus 24.
    void applyBlock(const uint8_t *block);

    // Single values, with the same checks as a block (false: refused).
    bool setTv(uint16_t code);
    bool setAv(uint16_t code);
    bool setIso(uint16_t code);
    bool setQuality(uint8_t quality, uint8_t type, uint8_t size);
    bool setExposureCompensation(uint8_t code);
    bool setFlashCompensation(uint8_t code);
    bool setWhiteBalance(uint8_t value);
    bool setMetering(uint8_t value);
    bool setDrive(uint8_t value);
    bool setAfPoint(uint16_t value);
    bool setAfMode(uint8_t value);
    bool setParameterSet(uint16_t value);
    bool setBeep(uint8_t value);

    bool isImageZone() const { return exposureMode == ModeImageZone; }
};

} // namespace simcam

#endif
