// quillomat-shoot: tethered shooting for scripts, photo booths and headless
// machines.
#include "ShootActions.h"

#include "psRuntime.h"

#include <cstdio>
#include <cstdlib>

int main(int argc, char **argv)
{
    Options options;
    std::string error;
    if (!parseOptions(argc - 1, argv + 1, options, error)) {
        std::fprintf(stderr, "quillomat-shoot: %s\nTry quillomat-shoot --help.\n", error.c_str());
        return 2;
    }
    // Chosen before anything loads the runtime.
    if (options.camera)
        setenv(kCameraRuntimeVariable, options.camera->c_str(), 1);
    if (options.help)
        return actionHelp(options);
    if (options.follow)
        return actionFollow(options);
    if (options.timeLapse)
        return actionTimeLapse(options);
    return actionShoot(options);
}
