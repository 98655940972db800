// A small, reproducible set of the camera's files for tests: JPEG, THM and
// CRW files of both models in a few settings variants.
#ifndef QUILLOMAT_SIMCAM_FIXTURESET_H
#define QUILLOMAT_SIMCAM_FIXTURESET_H

#include "ShotPlan.h"

#include <string>
#include <vector>

namespace simcam {

struct Fixture {
    std::string directory;   // "EOS_D60_manual": one folder per variant
    std::string settings;    // the configuration keys it was made with
    ShotPlan shot;
};

// The variants, each a shot of a fixed date and file number.
std::vector<Fixture> fixtureVariants();

// Writes every variant's files (JPG, or CRW and THM) under dir/<variant>/
// and a manifest.txt listing them with their settings. Returns the paths written.
bool writeFixtureSet(const std::string &dir, std::vector<std::string> *written, std::string *error);

} // namespace simcam

#endif
