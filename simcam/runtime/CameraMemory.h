// What the camera remembers while it is off: its settings, owner name and
// clock, kept as a small key=value file beside its card.
#ifndef QUILLOMAT_SIMCAM_CAMERAMEMORY_H
#define QUILLOMAT_SIMCAM_CAMERAMEMORY_H

#include "SimConfig.h"

#include <cstdint>
#include <string>

namespace simcam {

struct CameraMemory {
    CameraState state;
    std::string owner;
    int64_t clockOffset = 0;

    // "<card>.settings".
    static std::string pathBeside(const std::string &cardRoot);
    // Replaces the file atomically; false with the reason.
    bool save(const std::string &path, std::string *error) const;
    // Overlays what the file holds on config (the model stays config's);
    // a missing file changes nothing.
    static void restore(const std::string &path, SimConfig &config);

    bool operator==(const CameraMemory &other) const;
};

} // namespace simcam

#endif
