#include "psRuntime.h"

#include "psDebugOutput.h"
#include "psError.h"

#include <dlfcn.h>
#include <limits.h>
#include <stdlib.h>
#include <unistd.h>

#include <mutex>
#include <vector>

namespace {

const char kFile[] = "psRuntime.cpp";

struct ModuleName {
    const char *choice;
    const char *file;
};
constexpr ModuleName kModules[] = {
    {kCameraRuntimeUsb, "libquillomat-usbcam.so"},
    {kCameraRuntimeSimulated, "libquillomat-simcam.so"},
};

// The installed program lives in lib/quillomat beside the modules; the
// console tools live in bin.
constexpr const char *kFoldersBesideProgram[] = {"", "/../lib/quillomat"};

std::string programFolder()
{
    char path[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0)
        return {};
    const std::string program(path, static_cast<size_t>(length));
    return program.substr(0, program.rfind('/'));
}

std::vector<std::string> candidatePaths(const std::string &file)
{
    if (file.find('/') != std::string::npos)
        return {file};
    std::vector<std::string> paths;
    if (const std::string folder = programFolder(); !folder.empty())
        for (const char *relative : kFoldersBesideProgram)
            paths.push_back(folder + relative + "/" + file);
#ifdef QUILLOMAT_RUNTIME_BUILD_DIR
    paths.push_back(std::string(QUILLOMAT_RUNTIME_BUILD_DIR) + "/" + file);
#endif
    return paths;
}

template <typename Call>
bool resolve(void *handle, const char *name, Call &call)
{
    call = reinterpret_cast<Call>(dlsym(handle, name));
    return call != nullptr;
}

bool resolveAll(void *handle, psRuntimeCalls &calls)
{
    return resolve(handle, "PSUGetDevicePort", calls.getDevicePort)
        && resolve(handle, "PSULoadDriver", calls.loadDriver)
        && resolve(handle, "PSUGetInstalledCameraModelsEx2", calls.getInstalledModels)
        && resolve(handle, "PSSetLastModel", calls.setLastModel)
        && resolve(handle, "PSUUnloadDriver", calls.unloadDriver);
}

std::mutex g_sinkMutex;
std::function<void(std::string_view)> g_sink;

void forwardDiagnostic(const char *text, void *)
{
    if (!text)
        return;
    std::function<void(std::string_view)> sink;
    {
        std::lock_guard lock(g_sinkMutex);
        sink = g_sink;
    }
    if (sink)
        sink(text);
    else
        psDebugOutput(std::string(text) + "\n");
}

// Empty origin: nothing could be loaded.
psRuntimeCalls load()
{
    psRuntimeCalls calls;
    auto attachDiagnostics = [](void *handle, psRuntimeCalls &found) {
        resolve(handle, "PSUSetDiagnosticSink", found.setDiagnosticSink);
        if (found.setDiagnosticSink)
            found.setDiagnosticSink(&forwardDiagnostic, nullptr);
    };
    if (resolveAll(RTLD_DEFAULT, calls)) {
        attachDiagnostics(RTLD_DEFAULT, calls);
        calls.origin = "linked into the program";
        return calls;
    }
    const char *chosen = getenv(kCameraRuntimeVariable);
    const std::string choice = chosen && *chosen ? chosen : kCameraRuntimeUsb;
    const std::string file = psRuntimeModuleFile(choice);
    if (file.empty()) {
        psDebugOutput(std::string("Unknown camera runtime ") + kCameraRuntimeVariable + "=" + choice
                      + " (use " + kCameraRuntimeUsb + " or " + kCameraRuntimeSimulated + ")\n");
        return {};
    }
    std::string reasons;
    for (const std::string &path : candidatePaths(file)) {
        // Never unloaded: its threads and callbacks may outlive any one connection.
        void *handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
        if (!handle) {
            const char *why = dlerror();
            reasons += std::string("\n  ") + (why ? why : path.c_str());
            continue;
        }
        if (resolveAll(handle, calls)) {
            attachDiagnostics(handle, calls);
            calls.origin = path;
            return calls;
        }
        reasons += "\n  " + path + ": not a camera runtime";
        calls = {};
    }
    psDebugOutput("Camera runtime \"" + choice + "\" could not be loaded:" + reasons + "\n");
    return {};
}

} // namespace

std::string psRuntimeModuleFile(const std::string &choice)
{
    if (choice.find('/') != std::string::npos)
        return choice;
    for (const ModuleName &module : kModules)
        if (choice == module.choice)
            return module.file;
    return {};
}

void psSetRuntimeDiagnosticSink(std::function<void(std::string_view)> sink)
{
    std::lock_guard lock(g_sinkMutex);
    g_sink = std::move(sink);
}

const psRuntimeCalls &psRuntime()
{
    static std::once_flag once;
    static psRuntimeCalls calls;
    std::call_once(once, [] { calls = load(); });
    if (calls.origin.empty())
        throw psCMiscException(psMakeError(psCOMPONENT_SETUP, psERR_MISSING_SUBCOMPONENT), kFile, __LINE__);
    return calls;
}
