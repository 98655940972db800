#include "SettingsLists.h"

#include "BulbMode.h"
#include "StepTable.h"

#include <array>

namespace {

constexpr uint32_t kAuto = 0xFFFF;
constexpr uint32_t kBulb = kBulbTvCode;

// Apertures by whole stop; the last row has no steps above it.
constexpr std::array<StepRow, 14> kApertureRows{{
    {0x08, "1.0", "1.1", "1.2", "1.2"},
    {0x10, "1.4", "1.6", "1.8", "1.8"},
    {0x18, "2.0", "2.2", "2.5", "2.5"},
    {0x20, "2.8", "3.2", "3.5", "3.5"},
    {0x28, "4.0", "4.5", "4.5", "5.0"},
    {0x30, "5.6", "6.3", "6.7", "7.1"},
    {0x38, "8.0", "9.0", "9.5", "10"},
    {0x40, "11", "13", "13", "14"},
    {0x48, "16", "18", "19", "20"},
    {0x50, "22", "25", "27", "29"},
    {0x58, "32", "36", "38", "40"},
    {0x60, "45", "51", "54", "57"},
    {0x68, "64", "72", "76", "81"},
    {0x70, "91", nullptr, nullptr, nullptr},
}};

// Shutter speeds by whole stop, longest first. The camera codes 1/180 in the
// third-stop scale as 0x74, the same as the half-stop 1/180.
constexpr std::array<StepRow, 18> kShutterRows{{
    {0x10, "30 s", "25 s", "20 s", "20 s"},
    {0x18, "15 s", "13 s", "10 s", "10 s"},
    {0x20, "8 s", "6 s", "6 s", "5 s"},
    {0x28, "4 s", "3.2 s", "3 s", "2.5 s"},
    {0x30, "2 s", "1.6 s", "1.5 s", "1.3 s"},
    {0x38, "1 s", "0.8 s", "0.7 s", "0.6 s"},
    {0x40, "0.5 s", "0.4 s", "0.3 s", "0.3 s"},
    {0x48, "1/4", "1/5", "1/6", "1/6"},
    {0x50, "1/8", "1/10", "1/10", "1/13"},
    {0x58, "1/15", "1/20", "1/20", "1/25"},
    {0x60, "1/30", "1/40", "1/45", "1/50"},
    {0x68, "1/60", "1/80", "1/90", "1/100"},
    {0x70, "1/125", "1/160", "1/180", "1/180", 0x74},
    {0x78, "1/250", "1/320", "1/350", "1/400"},
    {0x80, "1/500", "1/640", "1/750", "1/800"},
    {0x88, "1/1000", "1/1250", "1/1500", "1/1600"},
    {0x90, "1/2000", "1/2500", "1/3000", "1/3200"},
    {0x98, "1/4000", nullptr, nullptr, nullptr},
}};

// Compensation: 0x18 is none, each whole stop of more exposure 8 less.
constexpr std::array<StepRow, 7> kCompensationRows{{
    {0x00, "+3", "+2 2/3", "+2 1/2", "+2 1/3"},
    {0x08, "+2", "+1 2/3", "+1 1/2", "+1 1/3"},
    {0x10, "+1", "+2/3", "+1/2", "+1/3"},
    {0x18, "0", "-1/3", "-1/2", "-2/3"},
    {0x20, "-1", "-1 1/3", "-1 1/2", "-1 2/3"},
    {0x28, "-2", "-2 1/3", "-2 1/2", "-2 2/3"},
    {0x30, "-3", nullptr, nullptr, nullptr},
}};

ListEntries withValues(std::initializer_list<std::pair<const char *, uint32_t>> items)
{
    ListEntries entries;
    for (const auto &[text, value] : items)
        entries.push_back({QString::fromLatin1(text), value});
    return entries;
}

ListEntries withoutValues(std::initializer_list<const char *> texts)
{
    ListEntries entries;
    for (const char *text : texts)
        entries.push_back({QString::fromLatin1(text), std::nullopt});
    return entries;
}

}  // namespace

namespace SettingsLists {

ListEntries whiteBalance()
{
    return withValues({{"Auto", 0}, {"Daylight", 1}, {"Cloudy", 2}, {"Tungsten", 3},
                       {"Fluorescent", 4}, {"Flash", 5}, {"Custom", 6}});
}

ListEntries meteringMode()
{
    return withValues({{"Evaluative", 3}, {"Partial", 4}, {"Center-weighted", 5}});
}

ListEntries driveMode()
{
    return withValues({{"Single", 0}, {"Continuous", 1}, {"Self-timer", 2}});
}

ListEntries afPoint()
{
    return withValues({{"None", 0x3000}, {"Auto", 0x3001}, {"Left", 0x3004}, {"Center", 0x3003},
                       {"Right", 0x3002}});
}

ListEntries afMode()
{
    return withValues({{"One Shot", 0}, {"AI Servo", 1}, {"AI Focus", 2}, {"Manual", 3}});
}

ListEntries storeImagesOn()
{
    return withoutValues({"PC only", "PC + CF", "CF only"});
}

ListEntries iso(CameraModelKind model)
{
    return withValues({{"100", 0x48}, {"200", 0x50}, {"400", 0x58}, {"800", 0x60},
                       {model == CameraModelKind::D60 ? "1000" : "1600", 0x68}});
}

ListEntries sizeQuality(CameraModelKind model)
{
    if (model == CameraModelKind::D60)
        return withValues({{"Raw", 0}, {"Large/Fine", 1}, {"Large/Normal", 2}, {"Medium/Fine", 3},
                           {"Medium/Normal", 4}, {"Small/Fine", 5}, {"Small/Normal", 6}});
    return withValues({{"Raw", 0}, {"Large/Fine", 1}, {"Large/Normal", 2}, {"Small/Fine", 3},
                       {"Small/Normal", 4}});
}

ListEntries startupCompensation()
{
    return withoutValues({"-2", "-1 2/3", "-1 1/3", "-1", "-2/3", "-1/3", "0", "+1/3", "+2/3", "+1",
                          "+1 1/3", "+1 2/3", "+2"});
}

ListEntries startupAperture()
{
    return withoutValues({"Auto", "2.0", "2.2", "2.5", "2.8", "3.2", "3.5", "4.0", "4.5", "5.0", "5.6",
                          "6.3", "7.1", "8.0"});
}

ListEntries apertures(IncrementMode mode)
{
    ListEntries entries = stepEntries(kApertureRows, mode);
    entries.push_back({QStringLiteral("Auto"), kAuto});
    return entries;
}

ListEntries shutterSpeeds(IncrementMode mode)
{
    ListEntries entries{{QStringLiteral("Bulb"), kBulb}};
    const ListEntries steps = stepEntries(kShutterRows, mode, cameraDurationText);
    entries.insert(entries.end(), steps.begin(), steps.end());
    entries.push_back({QStringLiteral("Auto"), kAuto});
    return entries;
}

ListEntries compensation(IncrementMode mode)
{
    return stepEntries(kCompensationRows, mode);
}

QString exposureModeName(uint8_t exposureMode, uint8_t imageZoneMode)
{
    static constexpr std::array<const char *, 6> kModes{
        nullptr, "Program", "Tv", "Av", "Manual", "A-DEP"};
    static constexpr std::array<const char *, 13> kZones{
        "Auto", "Manual", "Landscape", "Fast Shutter", "Slow Shutter", "Night Scene", "BW",
        "Sepia", "Portrait", "Sport", "Macro", "BW", "Pan Focus"};
    if (exposureMode == 0)
        return QString::fromLatin1(imageZoneMode < kZones.size() ? kZones[imageZoneMode] : "???");
    return QString::fromLatin1(exposureMode < kModes.size() ? kModes[exposureMode] : "???");
}

}  // namespace SettingsLists
