// Where Quillomat and its clients find each other: one channel per user.
//
// The block is the POSIX shared-memory object "/Quillomat-<uid>". The socket
// is $XDG_RUNTIME_DIR/Quillomat.ipc, or, without a usable XDG_RUNTIME_DIR,
// /tmp/quillomat-<uid>/Quillomat.ipc in a folder only its user may enter.
#ifndef QUILLOMAT_CAPTURE_IPCENDPOINT_H
#define QUILLOMAT_CAPTURE_IPCENDPOINT_H

#include <optional>
#include <string>

// "/Quillomat-<uid>" for the user running this process.
std::string ipcBlockName();

// The socket's path under `runtimeDirectory` when that is an absolute path,
// else under "<fallbackRoot>/quillomat-<uid>". With `createFolder` (the
// server) the fallback folder is made with mode 0700 when missing; either
// way it is refused, with the reason in `error`, when it is not a directory
// of this user (a link, a file, another user's). Also refused: a path too
// long for a socket address.
std::optional<std::string> ipcSocketPath(const char *runtimeDirectory, const std::string &fallbackRoot,
                                         bool createFolder, std::string &error);

// The same from this process's environment, with /tmp as the fallback root.
std::optional<std::string> ipcSocketPath(bool createFolder, std::string &error);

#endif
