// The Unix socket through which quillomat-simcam reaches the camera of a
// running program: one command line per connection, one answer line back.
#include "SimControl.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace simcam {
namespace {

constexpr int kPollMilliseconds = 100;
constexpr size_t kMaxCommand = 512;

class ControlServer {
public:
    ~ControlServer() { stop(); }

    bool start(const std::string &path, std::string *error)
    {
        std::lock_guard lock(m_mutex);
        if (m_thread.joinable())
            return fail(error, "already running");
        sockaddr_un address{};
        if (path.empty() || path.size() >= sizeof address.sun_path)
            return fail(error, "socket path too long: " + path);
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);

        // A live socket belongs to another program: leave it alone.
        const int probe = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (probe >= 0) {
            const bool live = ::connect(probe, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0;
            ::close(probe);
            if (live)
                return fail(error, "another program listens on " + path);
        }
        ::unlink(path.c_str());

        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        if (fd < 0)
            return fail(error, std::strerror(errno));
        const mode_t oldMask = ::umask(0077);
        const int bound = ::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address);
        ::umask(oldMask);
        if (bound != 0 || ::chmod(path.c_str(), 0600) != 0 || ::listen(fd, 4) != 0) {
            const std::string why = std::strerror(errno);
            ::close(fd);
            return fail(error, why);
        }
        m_fd = fd;
        m_path = path;
        m_stop = false;
        m_thread = std::thread([this] { serve(); });
        return true;
    }

    void stop()
    {
        std::thread thread;
        {
            std::lock_guard lock(m_mutex);
            if (!m_thread.joinable())
                return;
            m_stop = true;
            thread = std::move(m_thread);
        }
        thread.join();
        std::lock_guard lock(m_mutex);
        ::close(m_fd);
        m_fd = -1;
        ::unlink(m_path.c_str());
    }

    bool running()
    {
        std::lock_guard lock(m_mutex);
        return m_thread.joinable();
    }

private:
    static bool fail(std::string *error, const std::string &text)
    {
        if (error)
            *error = text;
        return false;
    }

    void serve()
    {
        while (!m_stop) {
            pollfd waiting{m_fd, POLLIN, 0};
            if (::poll(&waiting, 1, kPollMilliseconds) <= 0)
                continue;
            const int client = ::accept4(m_fd, nullptr, nullptr, SOCK_CLOEXEC);
            if (client < 0)
                continue;
            handle(client);
            ::close(client);
        }
    }

    // Reads one line (a slow or silent client is given up after a second).
    void handle(int client)
    {
        std::string line;
        char buffer[128];
        for (int waited = 0; waited < 10 && !m_stop && line.find('\n') == std::string::npos;) {
            pollfd readable{client, POLLIN, 0};
            const int ready = ::poll(&readable, 1, kPollMilliseconds);
            if (ready == 0) {
                ++waited;
                continue;
            }
            const ssize_t got = ready > 0 ? ::read(client, buffer, sizeof buffer) : -1;
            if (got <= 0)
                break;
            line.append(buffer, static_cast<size_t>(got));
            if (line.size() > kMaxCommand)
                break;
        }
        const auto end = line.find('\n');
        if (end == std::string::npos && line.empty())
            return;
        line = line.substr(0, end);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        const std::string answer = runControlCommand(line) + "\n";
        size_t sent = 0;
        while (sent < answer.size()) {
            const ssize_t put = ::send(client, answer.data() + sent, answer.size() - sent, MSG_NOSIGNAL);
            if (put <= 0)
                break;
            sent += static_cast<size_t>(put);
        }
    }

    std::mutex m_mutex;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    int m_fd = -1;
    std::string m_path;
};

ControlServer &server()
{
    static ControlServer instance;
    return instance;
}

} // namespace

bool startControlServer(const std::string &path, std::string *error)
{
    return server().start(path, error);
}

void stopControlServer()
{
    server().stop();
}

bool controlServerRunning()
{
    return server().running();
}

} // namespace simcam
