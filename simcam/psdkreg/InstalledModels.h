// The camera models a runtime offers: those of the registration record
// (psdkreg.h) when it exists, otherwise the built-in list. Shared by every
// camera runtime, so that Tolvane's record means the same to each.
#ifndef QUILLOMAT_SIMCAM_INSTALLEDMODELS_H
#define QUILLOMAT_SIMCAM_INSTALLEDMODELS_H

#include <cstdint>
#include <string>
#include <vector>

namespace psdkreg {

struct InstalledModel {
    uint32_t modelId;
    std::string name;
};

std::vector<InstalledModel> installedModels();
// ${XDG_CONFIG_HOME:-$HOME/.config}/psdk-runtime/registration; empty without a home.
std::string registrationRecordPath();

} // namespace psdkreg

#endif
