// The user's list of applications started when a camera is plugged in: one
// user service per application name, in the user's own unit folder, enabled
// for the camera target through the user's service manager. The name is the
// key: registering a name again replaces its command.
#ifndef QUILLOMAT_UI_REGISTRATION_LAUNCHREGISTRY_H
#define QUILLOMAT_UI_REGISTRATION_LAUNCHREGISTRY_H

#include <string>

class ServiceManager;

class LaunchRegistry {
public:
    // unitFolder: where the user's own units live (defaultUnitFolder()).
    LaunchRegistry(ServiceManager &manager, std::string unitFolder);

    // $XDG_CONFIG_HOME/systemd/user, else ~/.config/systemd/user; empty when
    // neither is known.
    static std::string defaultUnitFolder();

    // Each returns 0 or the failure's code: an error number for the unit file,
    // the manager's exit status for its command.
    int registerLaunchApplication(const std::string &name, const std::string &commandPath);
    int unregisterLaunchApplication(const std::string &name);

    std::string unitPath(const std::string &name) const;

private:
    ServiceManager &m_manager;
    std::string m_unitFolder;
};

#endif
