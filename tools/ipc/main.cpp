// quillomat-ipc: drives a running Quillomat from shells and scripts.
#include "IpcActions.h"

#include <cstdio>

int main(int argc, char **argv)
{
    IpcOptions options;
    std::string error;
    if (!parseIpcOptions(argc - 1, argv + 1, options, error)) {
        std::fprintf(stderr, "quillomat-ipc: %s\nTry quillomat-ipc --help.\n", error.c_str());
        return kExitUsage;
    }
    if (options.help)
        return actionHelp(options);
    if (options.command == "release")
        return actionRelease(options);
    if (options.command == "watch")
        return actionWatch(options);
    return actionAsk(options);
}
