// The named shared-memory object behind the IPC block, mapped for reading
// and writing. Whichever side comes first creates it (mode 0600); the other
// opens the same object.
#ifndef QUILLOMAT_CAPTURE_IPCSHAREDBLOCK_H
#define QUILLOMAT_CAPTURE_IPCSHAREDBLOCK_H

#include <chrono>
#include <memory>
#include <string>

class IpcSharedBlock {
public:
    // Opens or creates `name` ("/Quillomat-<uid>"), grows it to the block's
    // size when it is smaller (never shrinks it) and maps the block. Null,
    // with the reason in `error`, when the object belongs to another user,
    // is not a plain shared-memory object (a link, a FIFO), or cannot be
    // opened, grown or mapped.
    static std::unique_ptr<IpcSharedBlock> open(const std::string &name, std::string &error);

    ~IpcSharedBlock();
    IpcSharedBlock(const IpcSharedBlock &) = delete;
    IpcSharedBlock &operator=(const IpcSharedBlock &) = delete;

    unsigned char *bytes() const { return m_bytes; }

    // Another process of the same user may shrink the object, after which
    // touching the mapping would kill this process. Grows it back first;
    // false when the block must not be touched now.
    bool ensureWhole();

    // Clients take turns on the block with an exclusive flock(2) on the
    // object. Tries until `timeout` has passed (zero: for ever); false when
    // another client kept it longer.
    bool lock(std::chrono::milliseconds timeout);
    // Takes the turn only if nobody holds it, without waiting: Quillomat's
    // way of knowing that no client is filling in a command just now.
    bool tryLock();
    void unlock();

private:
    IpcSharedBlock(int fd, unsigned char *bytes) : m_fd(fd), m_bytes(bytes) {}

    int m_fd;
    unsigned char *m_bytes;
};

#endif
