#include "IpcSharedBlock.h"

#include "IpcBlock.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

std::string why(const std::string &name, const char *what)
{
    return "shared memory " + name + ": " + what + ": " + std::strerror(errno);
}

}  // namespace

std::unique_ptr<IpcSharedBlock> IpcSharedBlock::open(const std::string &name, std::string &error)
{
    // shm_open does not follow a link at the name.
    const int fd = ::shm_open(name.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0600);
    if (fd < 0) {
        error = why(name, "cannot open");
        return nullptr;
    }
    auto refuse = [&](std::string text) {
        ::close(fd);
        error = std::move(text);
        return nullptr;
    };
    struct stat info {};
    if (::fstat(fd, &info) != 0)
        return refuse(why(name, "cannot examine"));
    if (!S_ISREG(info.st_mode))
        return refuse("shared memory " + name + " is not a shared-memory object");
    if (info.st_uid != ::geteuid())
        return refuse("shared memory " + name + " belongs to another user");
    if ((info.st_mode & 0077) != 0 && ::fchmod(fd, 0600) != 0)
        return refuse(why(name, "is open to other users and cannot be closed"));
    if (info.st_size < static_cast<off_t>(IpcBlock::kSize) && ::ftruncate(fd, IpcBlock::kSize) != 0)
        return refuse(why(name, "cannot be grown"));
    void *mapping = ::mmap(nullptr, IpcBlock::kSize, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (mapping == MAP_FAILED)
        return refuse(why(name, "cannot be mapped"));
    return std::unique_ptr<IpcSharedBlock>(new IpcSharedBlock(fd, static_cast<unsigned char *>(mapping)));
}

IpcSharedBlock::~IpcSharedBlock()
{
    ::munmap(m_bytes, IpcBlock::kSize);
    ::close(m_fd);
}

bool IpcSharedBlock::ensureWhole()
{
    struct stat info {};
    if (::fstat(m_fd, &info) != 0)
        return false;
    if (info.st_size >= static_cast<off_t>(IpcBlock::kSize))
        return true;
    return ::ftruncate(m_fd, IpcBlock::kSize) == 0;
}

bool IpcSharedBlock::lock(std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (::flock(m_fd, LOCK_EX | LOCK_NB) == 0)
            return true;
        if (errno != EWOULDBLOCK && errno != EINTR)
            return false;
        if (timeout.count() > 0 && std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

bool IpcSharedBlock::tryLock()
{
    return ::flock(m_fd, LOCK_EX | LOCK_NB) == 0;
}

void IpcSharedBlock::unlock()
{
    ::flock(m_fd, LOCK_UN);
}
