// A step table written the way the camera's manuals lay it out: one row per
// whole stop with the codes in between as columns. Codes rise by 8 per whole
// stop; the half-stop table takes the column at +4, the third-stop table the
// columns at +3 and +5.
#ifndef QUILLOMAT_UI_PANEL_STEPTABLE_H
#define QUILLOMAT_UI_PANEL_STEPTABLE_H

#include "SettingsLists.h"

#include <cstdint>
#include <span>

struct StepRow {
    uint32_t code;       // the whole stop's code
    const char *whole;   // text of the whole stop
    const char *plus3;   // third stop above; null when the row has none
    const char *plus4;   // half stop above; null when the row has none
    const char *plus5;   // two thirds above; null when the row has none
    uint32_t plus5Code = 0;  // when non-zero, the code of the +5 column in place of code + 5
};

// The entries of the rows for the mode in ascending code order, each text
// passed through `format`.
ListEntries stepEntries(std::span<const StepRow> rows, IncrementMode mode,
                        QString (*format)(const char *) = nullptr);

// A duration as the camera shows it: "30 s" -> 30", "1.5 s" -> 1"5,
// "0.3 s" -> 0"3; fractions such as "1/125" stay as they are.
QString cameraDurationText(const char *duration);

#endif
