#include "ImageNaming.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <dirent.h>
#include <string_view>
#include <sys/stat.h>
#include <sys/vfs.h>

namespace {

// The camera's own numbers have four digits; the program goes on with five
// past 9999. Longer digit runs are dates or the like, copied in by hand.
constexpr std::size_t kCameraDigits = 4;
constexpr std::size_t kContinuationDigits = 5;

void removeTrailingSlashes(std::string &text)
{
    while (!text.empty() && text.back() == '/')
        text.pop_back();
}

bool isDirectory(const std::string &path)
{
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool exists(const std::string &path)
{
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0;
}

// mkdir that also accepts a directory made meanwhile by someone else.
bool makeDirectory(const std::string &path)
{
    if (::mkdir(path.c_str(), 0777) == 0)
        return true;
    return errno == EEXIST && isDirectory(path);
}

// ASCII letters only, whatever the locale: names are compared byte by byte.
char asciiLower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (asciiLower(a[i]) != asciiLower(b[i]))
            return false;
    }
    return true;
}

// The number field of a name: exactly four characters, read as digits up to
// the first non-digit (a camera-style name), or exactly five digits (the
// numbers past 9999). IMG_20240101.JPG has no image number.
std::optional<int64_t> numberField(std::string_view field)
{
    if (field.size() != kCameraDigits && field.size() != kContinuationDigits)
        return std::nullopt;
    int64_t value = 0;
    for (const char c : field) {
        if (c < '0' || c > '9') {
            if (field.size() == kCameraDigits)
                break;
            return std::nullopt;
        }
        value = value * 10 + (c - '0');
    }
    return value;
}

struct NamePattern {
    std::string_view head;  // after the prefix
    std::string_view tail;
};

std::optional<int64_t> matchName(std::string_view name, std::string_view prefix, const NamePattern &pattern)
{
    const std::size_t fixed = prefix.size() + pattern.head.size() + pattern.tail.size();
    if (name.size() < fixed)
        return std::nullopt;
    if (!equalsIgnoringCase(name.substr(0, prefix.size()), prefix)
        || !equalsIgnoringCase(name.substr(prefix.size(), pattern.head.size()), pattern.head)
        || !equalsIgnoringCase(name.substr(name.size() - pattern.tail.size()), pattern.tail))
        return std::nullopt;
    return numberField(name.substr(prefix.size() + pattern.head.size(), name.size() - fixed));
}

} // namespace

LocalDate LocalDate::today()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return LocalDate{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday};
}

std::string imageDirectory(const ImageDirectorySettings &settings, const LocalDate &date)
{
    std::string base = settings.baseDirectory;
    if (base.empty() || base.back() != '/')
        base += '/';

    char level[32];
    std::string datePart;
    if (settings.yearSubDir) {
        std::snprintf(level, sizeof level, "%04d/", date.year);
        datePart += level;
    }
    if (settings.monthSubDir) {
        std::snprintf(level, sizeof level, "%02d/", date.month);
        datePart += level;
    }
    if (settings.daySubDir) {
        std::snprintf(level, sizeof level, "%02d/", date.day);
        datePart += level;
    }
    removeTrailingSlashes(datePart);
    if (settings.flattenDate) {
        for (char &c : datePart) {
            if (c == '/')
                c = '-';
        }
    }

    std::string directory = base + datePart;
    removeTrailingSlashes(directory);
    directory += '/';
    return directory;
}

std::optional<std::string> checkImageDirectory(const ImageDirectorySettings &settings, const LocalDate &date)
{
    std::string directory = imageDirectory(settings, date);
    removeTrailingSlashes(directory);
    directory += '/';
    // Network paths are left to the server.
    if (directory.starts_with("//"))
        return std::nullopt;

    for (std::size_t slash = directory.find('/'); slash != std::string::npos; slash = directory.find('/', slash + 1)) {
        const std::string level = directory.substr(0, slash);
        if (level.empty())  // the root
            continue;
        if (!exists(level)) {
            if (!makeDirectory(level))
                return "Error creating directory for images:\n" + level + "\nPlease check that drive is not read-only.";
        } else if (!isDirectory(level)) {
            return "Invalid directory for images:\n" + level;
        }
    }
    return std::nullopt;
}

bool isNetworkPath(const std::string &path)
{
    if (path.starts_with("//"))
        return true;
    // Magic numbers of the network file systems (statfs(2)).
    static constexpr unsigned long kNetworkTypes[] = {
        0x6969,      // NFS
        0x517B,      // SMB
        0xFF534D42,  // CIFS
        0xFE534D42,  // SMB2
        0x564C,      // NCP
        0x5346414F,  // AFS
        0x73757245,  // Coda
        0x01021997,  // 9P
        0x00C36400,  // Ceph
    };
    std::string level = path;
    for (;;) {
        struct statfs info {};
        if (::statfs(level.empty() ? "." : level.c_str(), &info) == 0) {
            for (const unsigned long type : kNetworkTypes) {
                if (static_cast<unsigned long>(info.f_type) == type)
                    return true;
            }
            return false;
        }
        removeTrailingSlashes(level);
        const std::size_t slash = level.rfind('/');
        if (level.empty() || slash == std::string::npos)
            return false;
        level.erase(slash == 0 ? 1 : slash);
    }
}

bool ensureDirectory(const std::string &path)
{
    if (exists(path))
        return isDirectory(path);

    // Where the levels to create begin: after //server/share/ for a network
    // path, after the root for an absolute one. Relative paths are refused.
    std::size_t begin = 0;
    if (path.starts_with("//")) {
        const std::size_t serverEnd = path.find('/', 2);
        if (serverEnd == std::string::npos)
            return false;
        const std::size_t shareEnd = path.find('/', serverEnd + 1);
        if (shareEnd == std::string::npos)
            return false;
        begin = shareEnd + 1;
    } else if (path.starts_with("/")) {
        begin = 1;
    } else {
        return false;
    }
    std::string rest = path.substr(begin);
    removeTrailingSlashes(rest);
    if (rest.empty())
        return false;

    if (exists(path.substr(0, begin))) {
        for (std::size_t slash = path.find('/', begin); slash != std::string::npos; slash = path.find('/', slash + 1)) {
            const std::string level = path.substr(0, slash);
            if (level.size() <= begin || level.back() == '/')
                continue;
            if (!exists(level)) {
                if (!makeDirectory(level))
                    return false;
            } else if (!isDirectory(level)) {
                return false;
            }
        }
    }
    if (!exists(path))
        return makeDirectory(path);
    return isDirectory(path);
}

ImageNumbers scanImageNumbers(const std::string &fileBase)
{
    static constexpr NamePattern kThm{"CRW_", ".thm"};
    static constexpr NamePattern kCrw{"CRW_", ".crw"};
    static constexpr NamePattern kJpg{"IMG_", ".jpg"};

    const std::size_t slash = fileBase.rfind('/');
    const std::string directory = slash == std::string::npos ? std::string(".") : fileBase.substr(0, slash + 1);
    const std::string_view prefix = slash == std::string::npos ? std::string_view(fileBase)
                                                               : std::string_view(fileBase).substr(slash + 1);

    ImageNumbers highest;
    DIR *dir = ::opendir(directory.c_str());
    if (dir == nullptr)
        return highest;
    while (const dirent *entry = ::readdir(dir)) {
        const std::string_view name(entry->d_name);
        if (auto n = matchName(name, prefix, kThm); n && *n > highest.thm)
            highest.thm = *n;
        if (auto n = matchName(name, prefix, kCrw); n && *n > highest.crw)
            highest.crw = *n;
        if (auto n = matchName(name, prefix, kJpg); n && *n > highest.jpg)
            highest.jpg = *n;
    }
    ::closedir(dir);
    return highest;
}

int64_t nextImageNumber(ImageKind kind, const ImageNumbers &highest)
{
    switch (kind) {
    case ImageKind::Raw: {
        const int64_t m = std::max(highest.crw, highest.jpg);
        return highest.thm > m ? highest.thm : m + 1;
    }
    case ImageKind::Jpeg:
        return std::max(highest.jpg, highest.crw) + 1;
    case ImageKind::RawThumbnail:
        return std::max({highest.thm, highest.crw, highest.jpg}) + 1;
    }
    return 1;
}

std::string imageFileName(ImageKind kind, int64_t number)
{
    const char *format = kind == ImageKind::Jpeg  ? "IMG_%04lld.JPG"
                         : kind == ImageKind::Raw ? "CRW_%04lld.CRW"
                                                  : "CRW_%04lld.THM";
    char name[48];
    std::snprintf(name, sizeof name, format, static_cast<long long>(number));
    return name;
}

std::string imageFileBase(const ImageDirectorySettings &settings, const LocalDate &date)
{
    std::string base = imageDirectory(settings, date);
    removeTrailingSlashes(base);
    return base + '/' + settings.filenamePrefix;
}

std::string makeImagePath(ImageKind kind, const ImageDirectorySettings &settings, const LocalDate &date)
{
    ensureDirectory(imageDirectory(settings, date));
    const std::string fileBase = imageFileBase(settings, date);
    return fileBase + imageFileName(kind, nextImageNumber(kind, scanImageNumbers(fileBase)));
}
