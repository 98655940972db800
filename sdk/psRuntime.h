// The camera runtime behind psLLAPI.h, found when the program runs.
//
// Each runtime is a shared module exporting the setup calls of psLLAPI.h:
// libquillomat-simcam.so (the simulated camera) and libquillomat-usbcam.so
// (a real camera through libgphoto2). QUILLOMAT_CAMERA chooses one: "usb",
// "simulated", or the path of a module; without it, "usb".
//
// A program that links a runtime itself (the tests do, to drive the simulated
// camera or their scriptable driver in-process) uses that one: calls already
// in the process come first, so loading the same module again changes nothing.
#ifndef QUILLOMAT_SDK_PSRUNTIME_H
#define QUILLOMAT_SDK_PSRUNTIME_H

#include "psLLAPI.h"

#include <functional>
#include <string>
#include <string_view>

struct psRuntimeCalls {
    decltype(&PSUGetDevicePort) getDevicePort = nullptr;
    decltype(&PSULoadDriver) loadDriver = nullptr;
    decltype(&PSUGetInstalledCameraModelsEx2) getInstalledModels = nullptr;
    decltype(&PSSetLastModel) setLastModel = nullptr;
    decltype(&PSUUnloadDriver) unloadDriver = nullptr;
    decltype(&PSUSetDiagnosticSink) setDiagnosticSink = nullptr;   // optional
    std::string origin;   // the module the calls came from, for the log
};

// The environment variable and its two names.
inline constexpr const char *kCameraRuntimeVariable = "QUILLOMAT_CAMERA";
inline constexpr const char *kCameraRuntimeUsb = "usb";
inline constexpr const char *kCameraRuntimeSimulated = "simulated";

// The module file for a QUILLOMAT_CAMERA value: a name, or the value itself
// when it is a path. Empty for an unknown name.
std::string psRuntimeModuleFile(const std::string &choice);

// The runtime's calls, loaded on first use and kept for the life of the
// process. Throws a psException (SETUP MISSING_SUBCOMPONENT) when the chosen
// module cannot be loaded; the reason goes to the debug output.
const psRuntimeCalls &psRuntime();

// Where the runtime's diagnostic lines go (the program's log); the debug
// output until a sink is set. Lines may come from any thread.
void psSetRuntimeDiagnosticSink(std::function<void(std::string_view)> sink);

#endif
