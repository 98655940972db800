#include "ExposureTables.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace simcam {
namespace {

enum Column : uint8_t { Whole = 1, Third = 2, Half = 4, Both = Third | Half };

struct ShutterStep {
    uint16_t code;
    int32_t num;
    int32_t den;
    uint8_t columns;
};

// Whole stops, then the +3, +4 and +5 columns; 0x74 serves both the half-stop
// and the third-stop table (1/180).
constexpr ShutterStep kShutter[] = {
    {0x10, 30, 1, Whole}, {0x18, 15, 1, Whole}, {0x20, 8, 1, Whole}, {0x28, 4, 1, Whole},
    {0x30, 2, 1, Whole}, {0x38, 1, 1, Whole}, {0x40, 1, 2, Whole}, {0x48, 1, 4, Whole},
    {0x50, 1, 8, Whole}, {0x58, 1, 15, Whole}, {0x60, 1, 30, Whole}, {0x68, 1, 60, Whole},
    {0x70, 1, 125, Whole}, {0x78, 1, 250, Whole}, {0x80, 1, 500, Whole}, {0x88, 1, 1000, Whole},
    {0x90, 1, 2000, Whole}, {0x98, 1, 4000, Whole},
    {0x13, 25, 1, Third}, {0x1B, 13, 1, Third}, {0x23, 6, 1, Third}, {0x2B, 32, 10, Third},
    {0x33, 16, 10, Third}, {0x3B, 8, 10, Third}, {0x43, 4, 10, Third}, {0x4B, 1, 5, Third},
    {0x53, 1, 10, Third}, {0x5B, 1, 20, Third}, {0x63, 1, 40, Third}, {0x6B, 1, 80, Third},
    {0x73, 1, 160, Third}, {0x7B, 1, 320, Third}, {0x83, 1, 640, Third}, {0x8B, 1, 1250, Third},
    {0x93, 1, 2500, Third},
    {0x14, 20, 1, Half}, {0x1C, 10, 1, Half}, {0x24, 6, 1, Half}, {0x2C, 3, 1, Half},
    {0x34, 15, 10, Half}, {0x3C, 7, 10, Half}, {0x44, 3, 10, Half}, {0x4C, 1, 6, Half},
    {0x54, 1, 10, Half}, {0x5C, 1, 20, Half}, {0x64, 1, 45, Half}, {0x6C, 1, 90, Half},
    {0x74, 1, 180, Both}, {0x7C, 1, 350, Half}, {0x84, 1, 750, Half}, {0x8C, 1, 1500, Half},
    {0x94, 1, 3000, Half},
    {0x15, 20, 1, Third}, {0x1D, 10, 1, Third}, {0x25, 5, 1, Third}, {0x2D, 25, 10, Third},
    {0x35, 13, 10, Third}, {0x3D, 6, 10, Third}, {0x45, 3, 10, Third}, {0x4D, 1, 6, Third},
    {0x55, 1, 13, Third}, {0x5D, 1, 25, Third}, {0x65, 1, 50, Third}, {0x6D, 1, 100, Third},
    {0x7D, 1, 400, Third}, {0x85, 1, 800, Third}, {0x8D, 1, 1600, Third}, {0x95, 1, 3200, Third},
};

struct ApertureStep {
    uint16_t code;
    int32_t tenths;
    uint8_t columns;
};

constexpr ApertureStep kAperture[] = {
    {0x08, 10, Whole}, {0x10, 14, Whole}, {0x18, 20, Whole}, {0x20, 28, Whole},
    {0x28, 40, Whole}, {0x30, 56, Whole}, {0x38, 80, Whole}, {0x40, 110, Whole},
    {0x48, 160, Whole}, {0x50, 220, Whole}, {0x58, 320, Whole}, {0x60, 450, Whole},
    {0x68, 640, Whole}, {0x70, 910, Whole},
    {0x0B, 11, Third}, {0x13, 16, Third}, {0x1B, 22, Third}, {0x23, 32, Third},
    {0x2B, 45, Third}, {0x33, 63, Third}, {0x3B, 90, Third}, {0x43, 130, Third},
    {0x4B, 180, Third}, {0x53, 250, Third}, {0x5B, 360, Third}, {0x63, 510, Third},
    {0x6B, 720, Third},
    {0x0C, 12, Half}, {0x14, 18, Half}, {0x1C, 25, Half}, {0x24, 35, Half},
    {0x2C, 45, Half}, {0x34, 67, Half}, {0x3C, 95, Half}, {0x44, 130, Half},
    {0x4C, 190, Half}, {0x54, 270, Half}, {0x5C, 380, Half}, {0x64, 540, Half},
    {0x6C, 760, Half},
    {0x0D, 12, Third}, {0x15, 18, Third}, {0x1D, 25, Third}, {0x25, 35, Third},
    {0x2D, 50, Third}, {0x35, 71, Third}, {0x3D, 100, Third}, {0x45, 140, Third},
    {0x4D, 200, Third}, {0x55, 290, Third}, {0x5D, 400, Third}, {0x65, 570, Third},
    {0x6D, 810, Third},
};

bool offered(uint8_t columns, bool thirdStops)
{
    return (columns & Whole) || (columns & (thirdStops ? Third : Half));
}

const ShutterStep *findShutter(uint16_t code)
{
    for (const auto &step : kShutter)
        if (step.code == code)
            return &step;
    return nullptr;
}

const ApertureStep *findAperture(uint16_t code)
{
    for (const auto &step : kAperture)
        if (step.code == code)
            return &step;
    return nullptr;
}

// The remainder within a stop (0, 3, 4 or 5 eighths) as a fraction of a stop.
Fraction eighthsToStops(int offset)
{
    const int sign = offset < 0 ? -1 : 1;
    const int magnitude = std::abs(offset);
    const int whole = magnitude / 8;
    switch (magnitude % 8) {
    case 3: return {sign * (3 * whole + 1), 3};
    case 4: return {sign * (2 * whole + 1), 2};
    case 5: return {sign * (3 * whole + 2), 3};
    default: return {sign * whole, 1};
    }
}

std::string trimmed(std::string text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.erase(text.begin());
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.pop_back();
    return text;
}

} // namespace

bool isShutterCode(uint16_t code, bool thirdStops)
{
    if (code == kShutterBulb)
        return true;
    const ShutterStep *step = findShutter(code);
    return step && offered(step->columns, thirdStops);
}

bool isApertureCode(uint16_t code, bool thirdStops)
{
    const ApertureStep *step = findAperture(code);
    return step && offered(step->columns, thirdStops);
}

bool isCompensationCode(uint8_t code, bool thirdStops)
{
    if (code > 0x30)
        return false;
    const int remainder = code % 8;
    if (remainder == 0)
        return true;
    return thirdStops ? (remainder == 3 || remainder == 5) : remainder == 4;
}

Fraction exposureTime(uint16_t code)
{
    if (code == kShutterBulb)
        return {30, 1};
    const ShutterStep *step = findShutter(code);
    return step ? Fraction{step->num, step->den} : Fraction{0, 1};
}

Fraction fNumber(uint16_t code)
{
    const ApertureStep *step = findAperture(code);
    return step ? Fraction{step->tenths, 10} : Fraction{0, 1};
}

Fraction compensationEv(uint8_t code)
{
    return eighthsToStops(static_cast<int>(kCompensationZero) - code);
}

int16_t canonEv32(int offsetInEighths)
{
    static constexpr int kFraction[8] = {0, 4, 8, 0x0C, 0x10, 0x14, 24, 28};
    const int sign = offsetInEighths < 0 ? -1 : 1;
    const int magnitude = std::abs(offsetInEighths);
    return static_cast<int16_t>(sign * ((magnitude / 8) * 32 + kFraction[magnitude % 8]));
}

std::string shutterText(uint16_t code)
{
    if (code == kShutterBulb)
        return "Bulb";
    if (code == kCodeAuto)
        return "Auto";
    const Fraction t = exposureTime(code);
    if (t.num == 0)
        return "?";
    if (t.num == 1 && t.den > 2)
        return "1/" + std::to_string(t.den);
    const int tenths = t.num * 10 / t.den;
    std::string text = std::to_string(tenths / 10) + "\"";
    if (tenths % 10)
        text += std::to_string(tenths % 10);
    return text;
}

std::string apertureText(uint16_t code)
{
    if (code == kCodeAuto)
        return "Auto";
    const Fraction f = fNumber(code);
    if (f.num == 0)
        return "?";
    char buffer[16];
    if (f.num < 100)
        std::snprintf(buffer, sizeof buffer, "%d.%d", f.num / 10, f.num % 10);
    else
        std::snprintf(buffer, sizeof buffer, "%d", f.num / 10);
    return buffer;
}

std::string compensationText(uint8_t code)
{
    const int offset = static_cast<int>(kCompensationZero) - code;
    if (offset == 0)
        return "0";
    const int magnitude = std::abs(offset);
    std::string text = offset < 0 ? "-" : "+";
    const int whole = magnitude / 8;
    const char *fraction = nullptr;
    switch (magnitude % 8) {
    case 3: fraction = "1/3"; break;
    case 4: fraction = "1/2"; break;
    case 5: fraction = "2/3"; break;
    default: break;
    }
    if (whole)
        text += std::to_string(whole);
    if (fraction)
        text += std::string(whole ? " " : "") + fraction;
    return text;
}

std::optional<uint16_t> parseShutter(const std::string &input)
{
    std::string text = trimmed(input);
    if (text == "bulb" || text == "Bulb")
        return kShutterBulb;
    for (const auto &step : kShutter)
        if (shutterText(step.code) == text)
            return step.code;
    // Seconds as a decimal number ("0.3", "2.5", "30").
    std::string decimal = text;
    for (char &c : decimal)
        if (c == '"')
            c = '.';
    char *end = nullptr;
    const double seconds = std::strtod(decimal.c_str(), &end);
    if (end == decimal.c_str() || *end != '\0' || seconds <= 0)
        return std::nullopt;
    for (const auto &step : kShutter)
        if (std::fabs(static_cast<double>(step.num) / step.den - seconds) < 1e-6)
            return step.code;
    return std::nullopt;
}

std::optional<uint16_t> parseAperture(const std::string &input)
{
    std::string text = trimmed(input);
    if (text.rfind("f/", 0) == 0)
        text = text.substr(2);
    char *end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (end == text.c_str() || *end != '\0' || value <= 0)
        return std::nullopt;
    const int tenths = static_cast<int>(std::lround(value * 10));
    for (const auto &step : kAperture)
        if (step.tenths == tenths)
            return step.code;
    return std::nullopt;
}

std::optional<uint8_t> parseCompensation(const std::string &input)
{
    const std::string text = trimmed(input);
    for (int code = 0; code <= 0x30; ++code) {
        if (!isCompensationCode(static_cast<uint8_t>(code), true) &&
            !isCompensationCode(static_cast<uint8_t>(code), false))
            continue;
        const std::string canonical = compensationText(static_cast<uint8_t>(code));
        if (canonical == text || (canonical.size() > 1 && canonical.substr(1) == text && canonical[0] == '+'))
            return static_cast<uint8_t>(code);
    }
    return std::nullopt;
}

int isoSpeed(uint16_t code, bool isD60)
{
    switch (code) {
    case 0x48: return 100;
    case 0x50: return 200;
    case 0x58: return 400;
    case 0x60: return 800;
    case 0x68: return isD60 ? 1000 : 1600;
    default: return 0;
    }
}

std::optional<uint16_t> isoCode(int speed, bool isD60)
{
    for (uint16_t code = 0x48; code <= 0x68; code += 8)
        if (isoSpeed(code, isD60) == speed)
            return code;
    return std::nullopt;
}

} // namespace simcam
