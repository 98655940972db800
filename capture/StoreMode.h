// Where the camera keeps the images of a release: the "Store images on:"
// choice, saved as the Store setting.
#ifndef QUILLOMAT_CAPTURE_STOREMODE_H
#define QUILLOMAT_CAPTURE_STOREMODE_H

#include "psRels.h"

#include <cstdint>

enum class StoreMode : uint32_t {
    PcOnly = 0,
    PcAndCard = 1,
    CardOnly = 2,
};

// The transfer flags the camera needs for a mode; any other value means the PC only.
constexpr ReleaseTransferFlags transferFlagsFor(StoreMode mode)
{
    switch (mode) {
    case StoreMode::PcAndCard:
        return PS_TRANSFER_PC_AND_CARD;
    case StoreMode::CardOnly:
        return PS_TRANSFER_CARD_ONLY;
    default:
        return PS_TRANSFER_PC_ONLY;
    }
}

#endif
