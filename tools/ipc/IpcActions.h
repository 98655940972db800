// What quillomat-ipc does: one action per kind of command, each over the
// same IPC client. Each returns the exit status (IpcExit).
#ifndef QUILLOMAT_TOOLS_IPC_IPCACTIONS_H
#define QUILLOMAT_TOOLS_IPC_IPCACTIONS_H

#include "IpcOptions.h"

// Prints the usage text.
int actionHelp(IpcOptions &options);
// One command and its answer: state, tv, av, dir, set-dir, comment, raw.
int actionAsk(IpcOptions &options);
// Releases the shutter and waits for the saved file's path.
int actionRelease(IpcOptions &options);
// Prints the progress and each photo's notification until interrupted or
// until Quillomat ends.
int actionWatch(IpcOptions &options);

#endif
