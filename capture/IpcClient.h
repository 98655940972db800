// A client of Quillomat's IPC channel: the connection to its socket and the
// shared block. quillomat-ipc, the tests and the benchmark use it; a client
// in another language does the same from the README's description.
//
// An exchange: take the turn, write the command (and its parameter or text)
// into the block, call exchange(), read the answer from the block, and give
// the turn back.
#ifndef QUILLOMAT_CAPTURE_IPCCLIENT_H
#define QUILLOMAT_CAPTURE_IPCCLIENT_H

#include "IpcBlock.h"
#include "IpcSharedBlock.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

class IpcClient {
public:
    enum class Failure {
        NotListening,  // no Quillomat of this user at the socket
        NoBlock,       // the shared block cannot be used
    };

    // Connects to the socket at `socketPath` (only a server of this user is
    // accepted) and opens the block `blockName`, creating it when needed.
    // Null with `failure` and a reason in `error` otherwise.
    static std::unique_ptr<IpcClient> connect(const std::string &socketPath, const std::string &blockName,
                                              Failure &failure, std::string &error);

    ~IpcClient();
    IpcClient(const IpcClient &) = delete;
    IpcClient &operator=(const IpcClient &) = delete;

    IpcBlockView block() const { return IpcBlockView(m_block->bytes()); }

    // Clients take turns: one holds the block from filling in a command
    // until it has read all it waits for (see IpcSharedBlock::lock). False
    // when another client kept the block longer than `timeout` (zero: no limit).
    bool beginTurn(std::chrono::milliseconds timeout) { return m_block->lock(timeout); }
    void endTurn() { m_block->unlock(); }

    // Fills in command, parameter and text (false when the text is longer
    // than 767 bytes; the block is then left as it was).
    bool setCommand(int32_t command, int32_t parameter = 0, const std::string &text = {});

    // One exchange: sends the word and waits up to `timeout` (zero: for
    // ever) for Quillomat's result. None, with the reason in `error`, when
    // the connection closed or the time ran out.
    std::optional<int32_t> exchange(std::chrono::milliseconds timeout, std::string &error);

    // What Quillomat last wrote.
    IpcAnswer answer() const { return block().readAnswer(); }
    int32_t progress() const { return block().signedWord(IpcBlock::kProgress); }

    // True once Quillomat has closed the connection (it ended); waits up to
    // `timeout` for that.
    bool serverGone(std::chrono::milliseconds timeout);

private:
    IpcClient(int socket, std::unique_ptr<IpcSharedBlock> block);

    int m_socket;
    std::unique_ptr<IpcSharedBlock> m_block;
};

#endif
