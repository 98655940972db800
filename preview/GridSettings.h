// The composition grid drawn over the preview.
#ifndef QUILLOMAT_PREVIEW_GRIDSETTINGS_H
#define QUILLOMAT_PREVIEW_GRIDSETTINGS_H

#include <cstdint>

struct GridSettings
{
    bool displayGrid = false;       // DisplayGrid
    int numHorzGridDivisions = 2;   // columns across the width: vertical lines
    int numVertGridDivisions = 2;   // rows down the height: horizontal lines
    std::uint32_t gridColour = 0;   // 0x00BBGGRR
};

#endif
