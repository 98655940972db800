// The command line of quillomat-ipc.
#ifndef QUILLOMAT_TOOLS_IPC_IPCOPTIONS_H
#define QUILLOMAT_TOOLS_IPC_IPCOPTIONS_H

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

// The exit statuses, for scripts.
enum IpcExit : int {
    kExitSuccess = 0,      // the command's success
    kExitRefused = 1,      // Quillomat answered, but not with success
    kExitUsage = 2,        // the command line is not understood
    kExitNotListening = 3, // no Quillomat of this user, or it went away
    kExitNoAnswer = 4,     // no answer or photo in time, or the connection broke
};

struct IpcOptions {
    bool help = false;
    bool quiet = false;                     // only the answer's text (the path, the model)
    std::chrono::milliseconds timeout{60000}; // for each answer and for the photo; 0: no limit
    std::string socketPath;                 // empty: the user's own
    std::string blockName;                  // empty: the user's own
    std::string command;                    // state, release, tv, ...
    int32_t code = 0;                       // the protocol's command code
    int32_t parameter = 0;                  // tv, av, raw
    std::string text;                       // set-dir, comment, raw
};

// Fills options from the arguments (without the program name); false with
// a text for the user when they are not understood. Options come before the
// command; everything after it is its arguments.
bool parseIpcOptions(int argc, const char *const *argv, IpcOptions &options, std::string &error);

const char *ipcUsageText();

#endif
