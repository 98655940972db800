// Quillomat's side of the IPC block: the command a client left there, and
// the answers and notifications Quillomat writes back.
//
// The window makes it on the first exchange, so nothing is written into the
// block before a client has spoken. The shared memory is opened and mapped on
// first use; when that fails commands read as 0 and nothing is written, and
// the reason goes to the diagnostic log once.
#ifndef QUILLOMAT_CAPTURE_IPCCHANNEL_H
#define QUILLOMAT_CAPTURE_IPCCHANNEL_H

#include "IpcBlock.h"
#include "IpcSharedBlock.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

class IpcChannel {
public:
    using Log = std::function<void(const std::string &)>;

    // On the named shared-memory block ("/Quillomat-<uid>").
    explicit IpcChannel(std::string blockName, Log log = {});
    // On a block the caller owns and keeps alive (tests, fuzzing).
    explicit IpcChannel(std::span<unsigned char, IpcBlock::kSize> block);
    ~IpcChannel();
    IpcChannel(const IpcChannel &) = delete;
    IpcChannel &operator=(const IpcChannel &) = delete;

    struct CommandWords {
        int32_t command = 0;
        int32_t parameter = 0;
    };
    // The command and parameter words; command 0 when the block cannot be mapped.
    CommandWords readCommand();

    // Status, window and text (empty: no text) as one answer. False, with
    // nothing written, when the block cannot be mapped or the text does not
    // fit (more than 767 bytes): a shortened path would name another file.
    bool writeStatus(uint32_t window, int32_t status, std::string_view text = {});

    // A notification written without a command (status 4 after a photo).
    // A client that holds the block's turn may be filling in a command, and
    // the notification's text would overwrite the command's: it is then
    // kept, and written by the dispatcher as soon as that client's command
    // has been read (writeKeptNotifications) or by retryKeptNotifications
    // once the turn is free, whichever comes first. False when it can never
    // be written: the block cannot be mapped or the text does not fit.
    bool notify(uint32_t window, int32_t status, std::string_view text = {});
    // Writes the kept notifications, in order, without looking at the turn:
    // only while the client that holds it waits for its answer.
    void writeKeptNotifications();
    // Writes the kept notifications if no client holds the turn now, never
    // waiting for it; true when nothing is kept any more.
    bool retryKeptNotifications();
    bool hasKeptNotifications() const { return !m_kept.empty(); }

    // The client's text (at most 767 bytes); none when the block is not mapped yet.
    std::optional<std::string> commandText();

    // The progress field; only on a block that is already mapped.
    void setProgressField(int32_t value);

    bool isMapped() const { return m_bytes != nullptr; }

private:
    // Maps the block if that has not been done; the block, or null.
    unsigned char *mapped();
    // The mapped block when it may be touched now, else null.
    unsigned char *touchable();

    std::string m_blockName;
    Log m_log;
    std::unique_ptr<IpcSharedBlock> m_shared;
    unsigned char *m_bytes = nullptr;
    bool m_failureLogged = false;
    uint32_t m_sequence = 0;

    struct Notification {
        uint32_t window;
        int32_t status;
        std::string text;
    };
    std::vector<Notification> m_kept;
};

#endif
