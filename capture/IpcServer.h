// The socket clients knock on: a Unix stream socket on which each exchange
// is one 4-byte word from the client and one 4-byte little-endian result
// from Quillomat, written once the command has been handled and the block
// holds the answer. A connection may carry any number of exchanges.
//
// Everything is non-blocking and driven from outside: the window watches
// listeningSocket() and each client's socket and calls acceptClients() and
// serviceClient() when they are readable; tests and benchmarks without an
// event loop call runOnce(). A client that connects and says nothing, stops
// half-way through a word, or leaves before its answer costs only its own
// connection; writing to a closed connection never raises SIGPIPE.
#ifndef QUILLOMAT_CAPTURE_IPCSERVER_H
#define QUILLOMAT_CAPTURE_IPCSERVER_H

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <sys/types.h>

class IpcServer {
public:
    using Log = std::function<void(const std::string &)>;
    // Handles one exchange's command and returns its result word.
    using Handler = std::function<int32_t()>;

    // More connections than this at once are closed as they arrive.
    static constexpr std::size_t kMaxClients = 32;

    // Listens at `path`. Refused, with the reason in `error`, when another
    // Quillomat listens there (a lock file beside the socket says so, or the
    // socket answers) or the path is something other than a socket. A socket
    // file nobody answers on, left by a crash, is replaced.
    static std::unique_ptr<IpcServer> listen(const std::string &path, std::string &error, Log log = {});

    // Closes every connection and removes the socket file (when it is still ours).
    ~IpcServer();
    IpcServer(const IpcServer &) = delete;
    IpcServer &operator=(const IpcServer &) = delete;

    const std::string &path() const { return m_path; }
    int listeningSocket() const { return m_listener; }

    // Accepts the waiting connections of this user; the new clients' sockets.
    std::vector<int> acceptClients();

    // Reads what `client` sent and runs `handler` for each complete word,
    // answering each with its result. False when the client has gone (or
    // misbehaved) and its connection is closed.
    bool serviceClient(int client, const Handler &handler);

    // Drops a connection.
    void closeClient(int client);

    std::size_t clientCount() const { return m_clients.size(); }

    // Waits up to `timeout` for the listening socket or a client and serves
    // what arrived: for drivers without an event loop.
    void runOnce(std::chrono::milliseconds timeout, const Handler &handler);

private:
    IpcServer(std::string path, int lockFile, int listener, dev_t device, ino_t inode, Log log);

    struct Client {
        unsigned char partial[4] = {};
        std::size_t received = 0;  // bytes of the word being read
    };

    std::string m_path;
    int m_lockFile;
    int m_listener;
    dev_t m_device;
    ino_t m_inode;
    Log m_log;
    std::map<int, Client> m_clients;
};

#endif
