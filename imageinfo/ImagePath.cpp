#include "ImagePath.h"

#include <algorithm>
#include <cstdio>
#include <sys/stat.h>

bool equalsIgnoringCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]);
        unsigned char y = static_cast<unsigned char>(b[i]);
        if (x >= 'A' && x <= 'Z')
            x = static_cast<unsigned char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = static_cast<unsigned char>(y - 'A' + 'a');
        if (x != y)
            return false;
    }
    return true;
}

std::string toLowerAscii(std::string_view text)
{
    std::string lower(text);
    for (char &c : lower)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return lower;
}

std::string trimTrailingWhiteSpace(std::string_view text)
{
    size_t end = text.size();
    while (end > 0) {
        char c = text[end - 1];
        if (c != ' ' && c != '\t' && c != '\r' && c != '\n' && c != '\v' && c != '\f')
            break;
        --end;
    }
    return std::string(text.substr(0, end));
}

bool hasExtension(std::string_view path, std::string_view extension)
{
    if (path.size() < extension.size())
        return false;
    return equalsIgnoringCase(path.substr(path.size() - extension.size()), extension);
}

std::string replaceExtension(std::string_view path, std::string_view extension)
{
    if (path.size() < extension.size())
        return std::string(extension);
    std::string result(path.substr(0, path.size() - extension.size()));
    result += extension;
    return result;
}

std::string companionPath(std::string_view path, std::string_view extension)
{
    const std::string lower = replaceExtension(path, toLowerAscii(extension));
    std::string upper(extension);
    for (char &c : upper)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    const std::string upperPath = replaceExtension(path, upper);
    const bool upperCase = path.size() >= 3 && path[path.size() - 3] >= 'A' && path[path.size() - 3] <= 'Z';
    const std::string &preferred = upperCase ? upperPath : lower;
    const std::string &other = upperCase ? lower : upperPath;
    if (!fileExists(preferred) && fileExists(other))
        return other;
    return preferred;
}

bool fileExists(const std::string &path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool readFileBytes(const std::string &path, std::vector<uint8_t> &bytes, size_t maxBytes)
{
    bytes.clear();
    std::FILE *file = std::fopen(path.c_str(), "rb");
    if (!file)
        return false;
    struct stat st {};
    if (::fstat(fileno(file), &st) != 0 || !S_ISREG(st.st_mode)) {
        std::fclose(file);
        return false;
    }
    bool ok = true;
    uint8_t chunk[65536];
    while (bytes.size() < maxBytes) {
        size_t want = std::min(sizeof chunk, maxBytes - bytes.size());
        size_t got = std::fread(chunk, 1, want, file);
        bytes.insert(bytes.end(), chunk, chunk + got);
        if (got < want) {
            ok = !std::ferror(file);
            break;
        }
    }
    std::fclose(file);
    if (!ok)
        bytes.clear();
    return ok;
}
