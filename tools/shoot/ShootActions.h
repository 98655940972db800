// What quillomat-shoot does: one action per mode, each over the camera
// session the main window uses. Each returns the exit status.
#ifndef QUILLOMAT_TOOLS_SHOOT_SHOOTACTIONS_H
#define QUILLOMAT_TOOLS_SHOOT_SHOOTACTIONS_H

#include "ShootOptions.h"

// Prints the usage text.
int actionHelp(Options &options);
// Takes --count shots (Release, or Preview with --preview) from the PC.
int actionShoot(Options &options);
// A time-lapse sequence of --count shots every --interval seconds after
// --delay, on the main window's schedule; it stops at the first error.
int actionTimeLapse(Options &options);
// Saves the shots made with the camera's own button until interrupted (or --count).
int actionFollow(Options &options);

#endif
