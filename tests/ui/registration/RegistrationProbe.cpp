// Registers the running program for camera events the way the window does,
// and prints the resulting message: a moved copy registers its new path.
#include "CameraEventRegistration.h"
#include "LaunchRegistry.h"
#include "SystemctlManager.h"

#include <cstdio>

int main()
{
    SystemctlManager manager;
    CameraEventRegistration registration(manager, LaunchRegistry::defaultUnitFolder());
    const RegistrationMessage message = registration.registerForCameraEvents(ownExecutablePath());
    std::printf("%s\n", message.text.c_str());
    return message.isError ? 1 : 0;
}
