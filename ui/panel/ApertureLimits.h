// The Av list a lens allows in an increment mode. The lens reports its
// aperture limits as camera codes that need not lie on the mode's scale; they
// are snapped to it before the list is cut from the aperture table.
#ifndef QUILLOMAT_UI_PANEL_APERTURELIMITS_H
#define QUILLOMAT_UI_PANEL_APERTURELIMITS_H

#include "SettingsLists.h"

#include <cstdint>

struct ApertureLimits {
    uint32_t low = 0;   // block word 36: the widest aperture's code
    uint32_t high = 0;  // block word 38: the smallest aperture's code

    bool operator==(const ApertureLimits &) const = default;
};

struct ApertureChoice {
    ApertureLimits limits;  // snapped to the mode's scale
    ListEntries entries;    // the apertures from limits.low to limits.high, then "Auto" (0xFFFF)
};

// Half-stop snaps a limit between two steps down to the step below it (to the
// first step when there is none below); third-stop snaps it up to the step
// above. A limit on a step, or beyond the last aperture, stays as it is.
uint32_t snapApertureLimit(uint32_t limit, IncrementMode mode);

ApertureChoice apertureLimitsForMode(ApertureLimits lensLimits, IncrementMode mode);

#endif
