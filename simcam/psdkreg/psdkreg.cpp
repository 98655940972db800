#include "psdkreg.h"

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <dlfcn.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const char kRuntimeName[] = "Quillomat simulated camera runtime";
const char kRuntimeVersion[] = "1.0.0";
const char kFolderName[] = "psdk-runtime";
const char kRecordName[] = "registration";

struct InstalledModel {
    uint32_t id;
    const char *name;
};

// The camera models the runtime supports, in the order it lists them.
const InstalledModel kModels[] = {
    {0x01140000, "EOS D30"},
    {0x01168000, "EOS D60"},
    {0x01100000, "EOS-1D"},
    {0x01110000, "PowerShot G2"},
    {0x01090000, "PowerShot Pro90 IS"},
    {0x01030000, "PowerShot 350"},
};

// The user's configuration folder, or an empty text when there is none.
std::string configHome()
{
    const char *xdg = std::getenv("XDG_CONFIG_HOME");
    // A relative XDG_CONFIG_HOME is invalid and ignored.
    if (xdg != nullptr && xdg[0] == '/')
        return xdg;
    const char *home = std::getenv("HOME");
    if (home == nullptr || home[0] != '/') {
        const passwd *entry = getpwuid(getuid());
        home = entry != nullptr ? entry->pw_dir : nullptr;
    }
    if (home == nullptr || home[0] != '/')
        return {};
    return std::string(home) + "/.config";
}

std::string recordFolder()
{
    const std::string config = configHome();
    return config.empty() ? std::string() : config + "/" + kFolderName;
}

// Creates path and its missing parents. Returns 0 or an errno value.
int makeFolders(const std::string &path)
{
    for (size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        const std::string part = path.substr(0, slash);
        if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST)
            return errno;
        if (slash == std::string::npos)
            break;
    }
    struct stat info;
    if (stat(path.c_str(), &info) != 0)
        return errno;
    return S_ISDIR(info.st_mode) ? 0 : ENOTDIR;
}

// The folder this library was loaded from: the runtime's libraries live beside it.
std::string libraryFolder()
{
    Dl_info info{};
    if (dladdr(reinterpret_cast<void *>(&SetPSDKRegRuntime), &info) == 0 || info.dli_fname == nullptr)
        return {};
    char resolved[PATH_MAX];
    if (realpath(info.dli_fname, resolved) == nullptr)
        return {};
    std::string path(resolved);
    const size_t slash = path.rfind('/');
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

std::string recordText(const std::string &libdir)
{
    std::string text = "# camera runtime registration\n";
    text += std::string("name=") + kRuntimeName + "\n";
    text += std::string("version=") + kRuntimeVersion + "\n";
    text += "libdir=" + libdir + "\n";
    for (const InstalledModel &model : kModels) {
        char id[16];
        std::snprintf(id, sizeof id, "0x%08X", static_cast<unsigned>(model.id));
        text += std::string("model=") + id + " " + model.name + "\n";
    }
    return text;
}

int writeAll(int fd, const std::string &text)
{
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t written = write(fd, text.data() + done, text.size() - done);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        done += static_cast<size_t>(written);
    }
    return 0;
}

} // namespace

extern "C" int SetPSDKRegRuntime(void)
{
    const std::string folder = recordFolder();
    if (folder.empty())
        return ENOENT;
    const std::string libdir = libraryFolder();
    // The record is line-based: a folder name that would break a line cannot go in it.
    if (libdir.empty() || libdir.find('\n') != std::string::npos)
        return EINVAL;
    if (int error = makeFolders(folder))
        return error;

    // Write beside the record, then rename over it: a reader sees the old
    // record or the new one, never half of one.
    std::string temporary = folder + "/." + kRecordName + ".XXXXXX";
    const int fd = mkstemp(temporary.data());
    if (fd < 0)
        return errno;
    int error = writeAll(fd, recordText(libdir));
    if (error == 0 && fchmod(fd, 0644) != 0)
        error = errno;
    if (error == 0 && fsync(fd) != 0)
        error = errno;
    if (close(fd) != 0 && error == 0)
        error = errno;
    const std::string record = folder + "/" + kRecordName;
    if (error == 0 && rename(temporary.c_str(), record.c_str()) != 0)
        error = errno;
    if (error != 0)
        unlink(temporary.c_str());
    return error;
}

extern "C" int RemovePSDKRegRuntime(void)
{
    const std::string folder = recordFolder();
    if (folder.empty())
        return 0;
    const std::string record = folder + "/" + kRecordName;
    if (unlink(record.c_str()) != 0 && errno != ENOENT)
        return errno;
    // The folder goes too once nothing else is in it.
    rmdir(folder.c_str());
    return 0;
}
