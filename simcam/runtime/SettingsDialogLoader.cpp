#include "SettingsDialogLoader.h"

#include <dlfcn.h>
#include <limits.h>
#include <stdlib.h>
#include <unistd.h>

namespace simcam {
namespace {

// The folder of the executable or library this code was linked into.
std::string runtimeFolder()
{
    Dl_info info{};
    std::string path;
    char resolved[PATH_MAX];
    if (dladdr(reinterpret_cast<void *>(&runtimeFolder), &info) != 0 && info.dli_fname && *info.dli_fname
        && realpath(info.dli_fname, resolved))
        path = resolved;
    if (path.empty()) {
        // The main program may be known only by the name it was started with.
        const ssize_t length = readlink("/proc/self/exe", resolved, sizeof resolved - 1);
        if (length <= 0)
            return {};
        path.assign(resolved, static_cast<size_t>(length));
    }
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

// Closes the library when done with it; RTLD_NODELETE keeps the toolkit's
// code mapped, since the toolkit may still refer to it.
struct LibraryHandle {
    void *handle = nullptr;
    ~LibraryHandle()
    {
        if (handle)
            dlclose(handle);
    }
};

} // namespace

SettingsDialogLoader::SettingsDialogLoader(std::vector<std::string> candidates)
    : m_candidates(std::move(candidates))
{
}

std::vector<std::string> SettingsDialogLoader::defaultCandidates()
{
    std::vector<std::string> candidates;
    if (const std::string folder = runtimeFolder(); !folder.empty())
        candidates.push_back(folder + "/" + QSIM_SETTINGS_DIALOG_LIBRARY);
#ifdef QUILLOMAT_SIMCAM_SETTINGS_BUILD_PATH
    candidates.push_back(QUILLOMAT_SIMCAM_SETTINGS_BUILD_PATH);
#endif
    return candidates;
}

SettingsDialogLoader::Outcome SettingsDialogLoader::show(QSimCameraSettings &settings, void *window,
                                                         std::string *error) const
{
    auto fail = [error](Outcome outcome, const std::string &why) {
        if (error)
            *error = why;
        return outcome;
    };
    std::string reasons;
    for (const std::string &path : m_candidates) {
        LibraryHandle library{dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE)};
        if (!library.handle) {
            const char *why = dlerror();
            reasons += (reasons.empty() ? "" : "; ") + std::string(why ? why : path + ": cannot be loaded");
            continue;
        }
        dlerror();
        void *symbol = dlsym(library.handle, QSIM_SETTINGS_DIALOG_ENTRY);
        if (!symbol) {
            reasons += (reasons.empty() ? "" : "; ") + path + ": no " + QSIM_SETTINGS_DIALOG_ENTRY;
            continue;
        }
        const auto entry = reinterpret_cast<QSimSettingsDialogFunction>(symbol);
        QSimCameraSettings edited = settings;
        switch (entry(&edited, window)) {
        case QSIM_DIALOG_ACCEPTED:
            settings = edited;
            return Outcome::Accepted;
        case QSIM_DIALOG_CANCELLED:
            return Outcome::Cancelled;
        case QSIM_DIALOG_NO_DISPLAY:
            return fail(Outcome::NoDisplay, "no widget application is running in this process");
        case QSIM_DIALOG_WRONG_THREAD:
            return fail(Outcome::WrongThread, "the dialog was asked for outside the user-interface thread");
        default:
            return fail(Outcome::Failed, path + " refused the settings record");
        }
    }
    return fail(Outcome::Unavailable, reasons.empty() ? std::string("no settings dialog library to try") : reasons);
}

} // namespace simcam
