#include "psPictureArray.h"

#include "psError.h"

#include <sys/stat.h>

namespace {

const char *const kFile = "PSPICARY";

bool isRegularFile(const std::string &path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool endsWithIgnoringCase(const std::string &path, const char *suffix)
{
    const std::string_view tail(suffix);
    if (path.size() < tail.size())
        return false;
    for (size_t i = 0; i < tail.size(); ++i) {
        char c = path[path.size() - tail.size() + i];
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
        if (c != tail[i])
            return false;
    }
    return true;
}

} // namespace

psCPicture &psCPictureArray::at(size_t index)
{
    if (index >= m_pictures.size())
        throw psCParamException(psHLSDK_INVALID_INDEX, kFile, __LINE__);
    return *m_pictures[index];
}

bool collectFilePictures(const std::string &path, psCPictureArray &pictures)
{
    pictures.clear();
    if (!isRegularFile(path))
        return false;
    std::vector<std::string> others;
    if (endsWithIgnoringCase(path, ".crw")) {
        // A raw picture's thumbnail file carries the same properties.
        const std::string thumbnail = path.substr(0, path.size() - 3) + "THM";
        const std::string thumbnailLower = path.substr(0, path.size() - 3) + "thm";
        const bool upper = path.compare(path.size() - 3, 3, "CRW") == 0;
        const std::string &preferred = upper ? thumbnail : thumbnailLower;
        const std::string &other = upper ? thumbnailLower : thumbnail;
        if (isRegularFile(preferred))
            others.push_back(preferred);
        else if (isRegularFile(other))
            others.push_back(other);
    }
    pictures.add(std::make_unique<psCPicture>(path, std::move(others)));
    return pictures.at(0).loadProperties();
}
