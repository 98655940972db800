// quillomat-shoot: tethered shooting for scripts, photo booths and headless
// machines.
#include "ShootActions.h"

#include <cstdio>

int main(int argc, char **argv)
{
    Options options;
    std::string error;
    if (!parseOptions(argc - 1, argv + 1, options, error)) {
        std::fprintf(stderr, "quillomat-shoot: %s\nTry quillomat-shoot --help.\n", error.c_str());
        return 2;
    }
    if (options.help)
        return actionHelp(options);
    if (options.follow)
        return actionFollow(options);
    if (options.timeLapse)
        return actionTimeLapse(options);
    return actionShoot(options);
}
