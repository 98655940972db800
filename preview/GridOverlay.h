// Draws the composition grid into a preview image.
#ifndef QUILLOMAT_PREVIEW_GRIDOVERLAY_H
#define QUILLOMAT_PREVIEW_GRIDOVERLAY_H

#include "GridSettings.h"

#include <QImage>

// Evenly spaced one-pixel lines in settings.gridColour, only when settings.displayGrid is set.
void drawGrid(QImage &bitmap, const GridSettings &settings);

#endif
