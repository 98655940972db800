// The user's service manager reached through `systemctl --user`, found on the
// search path. Each call runs the program and waits for it; its standard
// output is dropped, its error output goes where the program's goes.
#ifndef QUILLOMAT_UI_REGISTRATION_SYSTEMCTLMANAGER_H
#define QUILLOMAT_UI_REGISTRATION_SYSTEMCTLMANAGER_H

#include "ServiceManager.h"

class SystemctlManager : public ServiceManager {
public:
    int connect() override;
    int run(const std::vector<std::string> &arguments) override;
};

#endif
