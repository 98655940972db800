#include "CameraEventRegistration.h"

#include "LaunchRegistry.h"
#include "ServiceManager.h"

#include <cerrno>
#include <climits>
#include <string_view>
#include <utility>

#include <unistd.h>

namespace {

const char kAccessError[] = "Error accessing the Still Camera Interface";
const char kRegistered[] = "Quillomat registered with Still Camera Interface";
const char kRegisterFailed[] =
    "Error registering Quillomat with Still Camera Interface\n"
    "If you are running Windows 2000 try registering when running as Administrator.\n"
    "Error code: ";
const char kUnregistered[] = "Unregistered Quillomat with Still Camera Interface";
const char kUnregisterFailed[] =
    "Error unregistering Quillomat with Still Camera Interface\n"
    "If you are running Windows 2000 try unregistering when running as Administrator.\n"
    "Error code: ";

} // namespace

CameraEventRegistration::CameraEventRegistration(ServiceManager &manager, std::string unitFolder)
    : m_manager(manager), m_unitFolder(std::move(unitFolder))
{
}

RegistrationMessage CameraEventRegistration::registerForCameraEvents(const std::string &commandPath)
{
    // A manager that does not answer in time may be there: it is a failure
    // of the command, not a missing service.
    if (const int status = m_manager.connect())
        return {true, status == ServiceManager::kTimedOut ? kRegisterFailed + std::to_string(status) : kAccessError};
    LaunchRegistry registry(m_manager, m_unitFolder);
    if (const int code = registry.registerLaunchApplication(kLaunchApplicationName, commandPath))
        return {true, kRegisterFailed + std::to_string(code)};
    return {false, kRegistered};
}

RegistrationMessage CameraEventRegistration::unregisterForCameraEvents()
{
    if (const int status = m_manager.connect())
        return {true, status == ServiceManager::kTimedOut ? kUnregisterFailed + std::to_string(status) : kAccessError};
    LaunchRegistry registry(m_manager, m_unitFolder);
    if (const int code = registry.unregisterLaunchApplication(kLaunchApplicationName))
        return {true, kUnregisterFailed + std::to_string(code)};
    return {false, kUnregistered};
}

std::string ownExecutablePath()
{
    char link[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", link, sizeof link - 1);
    if (length <= 0)
        return {};
    std::string path(link, static_cast<size_t>(length));
    // A program replaced while it runs (a package upgrade) shows its old file
    // as deleted; the new one at the same place is the program to start.
    constexpr std::string_view deleted = " (deleted)";
    if (access(path.c_str(), F_OK) != 0 && path.size() > deleted.size()
        && std::string_view(path).substr(path.size() - deleted.size()) == deleted)
        path.resize(path.size() - deleted.size());
    return path;
}
