// quillomat-info FILE...: the shooting information of image files, for
// photographers' scripts.
#include "InfoActions.h"

int main(int argc, char **argv)
{
    InfoOptions options;
    bool help = false;
    if (!parseInfoOptions(argc, argv, options, help)) {
        printUsage(stderr);
        return 2;
    }
    if (help) {
        printUsage(stdout);
        return 0;
    }
    return actionInfo(options);
}
