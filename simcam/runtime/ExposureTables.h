// The camera's step codes for shutter speeds, apertures, compensation and
// ISO speeds, and what they mean in seconds, f-numbers and EV.
//
// Codes rise by 8 per whole stop; half stops add 4, third stops 3 and 5.
#ifndef QUILLOMAT_SIMCAM_EXPOSURETABLES_H
#define QUILLOMAT_SIMCAM_EXPOSURETABLES_H

#include <cstdint>
#include <optional>
#include <string>

namespace simcam {

// An exact fraction, for EXIF rationals.
struct Fraction {
    int32_t num = 0;
    int32_t den = 1;
    double value() const { return den == 0 ? 0.0 : static_cast<double>(num) / den; }
};

constexpr uint16_t kCodeAuto = 0xFFFF;
constexpr uint16_t kShutterBulb = 0x04;
constexpr uint8_t kCompensationZero = 0x18;

// Whether the code is one the camera offers in the given increment mode.
bool isShutterCode(uint16_t code, bool thirdStops);
bool isApertureCode(uint16_t code, bool thirdStops);
bool isCompensationCode(uint8_t code, bool thirdStops);

// Exposure time of a shutter code (bulb counts as 30 s); 0/1 for an unknown code.
Fraction exposureTime(uint16_t code);
// f-number of an aperture code, in tenths (f/8 is 80/10); 0/1 for an unknown code.
Fraction fNumber(uint16_t code);
// EV of a compensation code (0x18 is 0, each 8 below is one stop more).
Fraction compensationEv(uint8_t code);

// The camera's 1/32-EV representation of a step offset in the 8-per-stop
// scale, with thirds as 0x0C and 0x14 the way the maker note stores them.
int16_t canonEv32(int offsetInEighths);

// Text as the camera's display shows it ("1/125", "2\"5", "8.0", "+1/3").
std::string shutterText(uint16_t code);
std::string apertureText(uint16_t code);
std::string compensationText(uint8_t code);

// Parsing the texts people type ("1/250", "0.3", "2\"5", "30"; "5.6", "f/8";
// "+2/3", "-1", "0"). Any code of either increment mode is found.
std::optional<uint16_t> parseShutter(const std::string &text);
std::optional<uint16_t> parseAperture(const std::string &text);
std::optional<uint8_t> parseCompensation(const std::string &text);

// ISO speed of an ISO code for a model (the top code is 1600 on the D30, 1000 on the D60).
int isoSpeed(uint16_t code, bool isD60);
std::optional<uint16_t> isoCode(int speed, bool isD60);

} // namespace simcam

#endif
