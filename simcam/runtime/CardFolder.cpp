#include "CardFolder.h"

#include "ThumbnailExif.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace simcam {
namespace {

constexpr const char *kImageFolder = "DCIM/100CANON";
constexpr const char *kThumbnailSuffix = ".thumbnails";

// The camera's file number of IMG_nnnn.JPG / CRW_nnnn.CRW / CRW_nnnn.THM, else 0.
uint32_t fileNumber(const std::string &name)
{
    if (name.size() != 12 || name[3] != '_' || name[8] != '.')
        return 0;
    const std::string prefix = name.substr(0, 3);
    if (prefix != "IMG" && prefix != "CRW")
        return 0;
    uint32_t number = 0;
    for (int i = 4; i < 8; ++i) {
        if (!std::isdigit(static_cast<unsigned char>(name[i])))
            return 0;
        number = number * 10 + static_cast<uint32_t>(name[i] - '0');
    }
    return number;
}

bool writeNew(const std::string &path, const std::vector<uint8_t> &bytes, std::string *error)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) {
        if (error)
            *error = path + ": " + std::strerror(errno);
        return false;
    }
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t wrote = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (wrote < 0 && errno == EINTR)
            continue;
        if (wrote <= 0) {
            if (error)
                *error = path + ": " + std::strerror(errno);
            ::close(fd);
            ::unlink(path.c_str());
            return false;
        }
        done += static_cast<size_t>(wrote);
    }
    ::close(fd);
    return true;
}

std::optional<std::vector<uint8_t>> readAll(const std::string &path)
{
    std::error_code ec;
    if (!fs::is_regular_file(path, ec))
        return std::nullopt;
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

} // namespace

CardFolder::CardFolder(std::string root) : m_root(std::move(root))
{
    while (m_root.size() > 1 && m_root.back() == '/')
        m_root.pop_back();
}

std::string CardFolder::defaultRoot()
{
    const char *dataHome = std::getenv("XDG_DATA_HOME");
    if (dataHome && *dataHome == '/')
        return std::string(dataHome) + "/quillomat-simcam/card";
    const char *home = std::getenv("HOME");
    return std::string(home ? home : "/tmp") + "/.local/share/quillomat-simcam/card";
}

bool CardFolder::prepare(std::string *error)
{
    std::error_code ec;
    fs::create_directories(absolute(kImageFolder), ec);
    if (!ec)
        fs::create_directories(m_root + kThumbnailSuffix, ec);
    if (ec && error)
        *error = m_root + ": " + ec.message();
    return !ec;
}

std::string CardFolder::absolute(const std::string &relative) const
{
    return relative.empty() ? m_root : m_root + "/" + relative;
}

std::string CardFolder::thumbnailPath(const std::string &file) const
{
    std::string flat = file;
    std::replace(flat.begin(), flat.end(), '/', '_');
    return m_root + kThumbnailSuffix + "/" + flat;
}

uint32_t CardFolder::nextFileNumber() const
{
    uint32_t highest = 0;
    std::error_code ec;
    for (fs::directory_iterator it(absolute(kImageFolder), ec), end; !ec && it != end; it.increment(ec))
        highest = std::max(highest, fileNumber(it->path().filename().string()));
    return highest >= 9999 ? 1 : highest + 1;
}

bool CardFolder::store(const ShotPlan &plan, const ShotImages &images, std::vector<std::string> *written,
                       std::string *error)
{
    if (!prepare(error))
        return false;
    const std::string folder = std::string(kImageFolder) + "/";
    auto put = [&](const std::string &relative, const std::vector<uint8_t> &bytes) {
        if (!writeNew(absolute(relative), bytes, error))
            return false;
        if (written)
            written->push_back(relative);
        return true;
    };
    // Thumbnails carry a smaller copy of themselves, as the camera's do.
    const std::vector<uint8_t> thumbnail = selfContainedThumbnail(images.thumbnail);
    if (plan.isRaw())
        return put(folder + plan.thumbnailFileName(), thumbnail) &&
               put(folder + plan.fileName(), images.fullView);
    if (!put(folder + plan.fileName(), images.fullView))
        return false;
    // The kept thumbnail is the camera's own business: losing it loses no picture.
    std::string ignored;
    const std::string kept = thumbnailPath(folder + plan.fileName());
    ::unlink(kept.c_str());
    writeNew(kept, thumbnail, &ignored);
    return true;
}

std::optional<std::vector<CardFolder::Entry>> CardFolder::list(const std::string &folder) const
{
    std::error_code ec;
    const std::string path = absolute(folder);
    if (!fs::is_directory(path, ec))
        return std::nullopt;
    std::vector<Entry> entries;
    for (fs::directory_iterator it(path, ec), end; !ec && it != end; it.increment(ec)) {
        Entry entry;
        entry.name = it->path().filename().string();
        // A FAT card knows upper-case 8.3 names only; anything else is not the camera's.
        if (entry.name.empty() || entry.name[0] == '.' || entry.name.size() > 12)
            continue;
        struct stat info {};
        if (::stat(it->path().c_str(), &info) != 0)
            continue;
        entry.isFolder = S_ISDIR(info.st_mode);
        if (!entry.isFolder && !S_ISREG(info.st_mode))
            continue;
        entry.size = entry.isFolder ? 0 : static_cast<uint64_t>(info.st_size);
        entry.modified = static_cast<int64_t>(info.st_mtime);
        entries.push_back(entry);
    }
    std::sort(entries.begin(), entries.end(), [](const Entry &a, const Entry &b) { return a.name < b.name; });
    return entries;
}

std::optional<std::vector<uint8_t>> CardFolder::read(const std::string &file) const
{
    return readAll(absolute(file));
}

std::optional<std::vector<uint8_t>> CardFolder::thumbnailOf(const std::string &file) const
{
    return readAll(thumbnailPath(file));
}

bool CardFolder::remove(const std::string &file)
{
    std::error_code ec;
    if (!fs::is_regular_file(absolute(file), ec))
        return false;
    if (::unlink(absolute(file).c_str()) != 0)
        return false;
    ::unlink(thumbnailPath(file).c_str());
    return true;
}

uint64_t CardFolder::bytesUsed() const
{
    uint64_t used = 0;
    std::error_code ec;
    for (fs::recursive_directory_iterator it(m_root, ec), end; !ec && it != end; it.increment(ec))
        if (it->is_regular_file(ec))
            used += it->file_size(ec);
    return used;
}

std::optional<std::string> CardFolder::fromCameraPath(const std::string &cameraPath)
{
    static const std::string kDrive = "D:";
    if (cameraPath.compare(0, kDrive.size(), kDrive) != 0)
        return std::nullopt;
    std::string rest = cameraPath.substr(kDrive.size());
    std::string relative;
    size_t start = 0;
    while (start <= rest.size()) {
        size_t end = rest.find('\\', start);
        if (end == std::string::npos)
            end = rest.size();
        const std::string part = rest.substr(start, end - start);
        if (!part.empty()) {
            if (part == "." || part == ".." || part.find('/') != std::string::npos ||
                part.find('\0') != std::string::npos)
                return std::nullopt;
            relative += (relative.empty() ? "" : "/") + part;
        }
        start = end + 1;
    }
    return relative;
}

} // namespace simcam
