// The user's service manager reached through `systemctl --user`, found on the
// search path. Each call runs the program and waits for it; its standard
// output is dropped, its error output goes where the program's goes.
//
// A manager that hangs (a session bus that does not answer, a polkit agent
// waiting) must not hold the command up: all calls of one manager share a
// time limit, counted from its construction. A call still running when it
// has passed is killed with everything it started and answers kTimedOut, as
// does every call after it.
#ifndef QUILLOMAT_UI_REGISTRATION_SYSTEMCTLMANAGER_H
#define QUILLOMAT_UI_REGISTRATION_SYSTEMCTLMANAGER_H

#include "ServiceManager.h"

#include <chrono>

class SystemctlManager : public ServiceManager {
public:
    static constexpr std::chrono::milliseconds kTimeLimit{5000};

    explicit SystemctlManager(std::chrono::milliseconds timeLimit = kTimeLimit);

    int connect() override;
    int run(const std::vector<std::string> &arguments) override;

private:
    std::chrono::steady_clock::time_point m_deadline;
};

#endif
