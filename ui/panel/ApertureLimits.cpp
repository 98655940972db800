#include "ApertureLimits.h"

namespace {

constexpr uint32_t kAuto = 0xFFFF;

// The mode's apertures without the closing "Auto": a limit is compared with
// real apertures only, so that no limit becomes "Auto" itself.
ListEntries stepsOnly(IncrementMode mode)
{
    ListEntries table = SettingsLists::apertures(mode);
    std::erase_if(table, [](const ListEntry &entry) { return entry.value == kAuto; });
    return table;
}

uint32_t snap(uint32_t limit, IncrementMode mode, const ListEntries &steps)
{
    for (size_t i = 0; i < steps.size(); ++i) {
        const uint32_t code = *steps[i].value;
        if (code == limit)
            return limit;
        if (code > limit) {
            if (mode == IncrementMode::ThirdStop)
                return code;
            return i == 0 ? code : *steps[i - 1].value;
        }
    }
    return limit;
}

}  // namespace

uint32_t snapApertureLimit(uint32_t limit, IncrementMode mode)
{
    return snap(limit, mode, stepsOnly(mode));
}

ApertureChoice apertureLimitsForMode(ApertureLimits lensLimits, IncrementMode mode)
{
    const ListEntries steps = stepsOnly(mode);
    ApertureChoice choice;
    choice.limits = {snap(lensLimits.low, mode, steps), snap(lensLimits.high, mode, steps)};
    for (const ListEntry &entry : steps)
        if (*entry.value >= choice.limits.low && *entry.value <= choice.limits.high)
            choice.entries.push_back(entry);
    choice.entries.push_back({QStringLiteral("Auto"), kAuto});
    return choice;
}
