// The user's service manager, as the camera-event registration needs it:
// whether it can be reached at all, and one command run against it. The
// program's implementation is SystemctlManager; tests put a recording
// stand-in for systemctl on the search path.
#ifndef QUILLOMAT_UI_REGISTRATION_SERVICEMANAGER_H
#define QUILLOMAT_UI_REGISTRATION_SERVICEMANAGER_H

#include <string>
#include <vector>

class ServiceManager {
public:
    // What connect() and run() answer when the manager did not answer in
    // time (the status timeout(1) reports).
    static constexpr int kTimedOut = 124;

    virtual ~ServiceManager() = default;

    // 0 when the manager answers; otherwise an error number (ENOENT: no
    // manager program), the manager's exit status (no session bus) or
    // kTimedOut.
    virtual int connect() = 0;
    // Runs one command ("enable", "x.service"); 0, the manager's exit status,
    // or an error number when the command could not be run.
    virtual int run(const std::vector<std::string> &arguments) = 0;
};

#endif
