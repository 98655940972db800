// "Register for Camera Events" and "Unregister for Camera Events" without the
// window: reach the user's service manager, add the program to (or remove it
// from) the launch list under its application name, and say in one message
// what came of it.
#ifndef QUILLOMAT_UI_REGISTRATION_CAMERAEVENTREGISTRATION_H
#define QUILLOMAT_UI_REGISTRATION_CAMERAEVENTREGISTRATION_H

#include <string>

class ServiceManager;

// The name the program is registered under; both commands use it.
inline constexpr char kLaunchApplicationName[] = "Vantorel Systems Quillomat";

// The one box a command ends in: an error box, or a plain one with OK.
struct RegistrationMessage {
    bool isError = false;
    std::string text;
};

class CameraEventRegistration {
public:
    // unitFolder: where the user's own units live (LaunchRegistry::defaultUnitFolder()).
    CameraEventRegistration(ServiceManager &manager, std::string unitFolder);

    // commandPath: the program's executable (ownExecutablePath()).
    RegistrationMessage registerForCameraEvents(const std::string &commandPath);
    RegistrationMessage unregisterForCameraEvents();

private:
    ServiceManager &m_manager;
    std::string m_unitFolder;
};

// The running program's executable with symbolic links resolved; empty when
// the system does not say.
std::string ownExecutablePath();

#endif
