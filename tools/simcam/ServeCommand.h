// quillomat-simcam serve: one simulated camera as a process, with its card
// folder and settings on disk, on the emulated USB cable and on the control
// socket, until SIGINT or SIGTERM.
#ifndef QUILLOMAT_TOOLS_SIMCAM_SERVECOMMAND_H
#define QUILLOMAT_TOOLS_SIMCAM_SERVECOMMAND_H

#include <string>

int serveCamera(const std::string &controlSocketPath);

#endif
