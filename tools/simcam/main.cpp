// quillomat-simcam: operates the simulated camera of a running program (the
// buttons, dial, covers and cable a real camera has) through the program's
// control socket, and writes the camera's sample files.
#include "FixtureSet.h"
#include "ServeCommand.h"
#include "SimConfig.h"
#include "SimControl.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

struct Options {
    std::string socketPath = simcam::defaultControlSocketPath();
    std::vector<std::string> words;
};

void printUsage(FILE *out)
{
    std::fprintf(out,
                 "usage: quillomat-simcam [--socket PATH] <command> [arguments]\n"
                 "       quillomat-simcam generate --out DIR\n"
                 "       quillomat-simcam serve   (a camera on the emulated USB cable until stopped)\n\n"
                 "Commands for the camera of a running program (started with QUILLOMAT_SIMCAM=control=1):\n%s",
                 simcam::controlCommandHelp());
}

int actionGenerate(const Options &options)
{
    std::string dir;
    for (size_t i = 1; i < options.words.size(); ++i)
        if (options.words[i] == "--out" && i + 1 < options.words.size())
            dir = options.words[++i];
    if (dir.empty()) {
        std::fprintf(stderr, "quillomat-simcam: generate needs --out DIR\n");
        return 2;
    }
    std::vector<std::string> written;
    std::string error;
    if (!simcam::writeFixtureSet(dir, &written, &error)) {
        std::fprintf(stderr, "quillomat-simcam: %s\n", error.c_str());
        return 1;
    }
    for (const std::string &path : written)
        std::printf("%s\n", path.c_str());
    return 0;
}

// Sends one command line and prints the answer; the exit status says whether
// the camera did it.
int actionSend(const Options &options)
{
    std::string line;
    for (const std::string &word : options.words)
        line += (line.empty() ? "" : " ") + word;
    sockaddr_un address{};
    if (options.socketPath.size() >= sizeof address.sun_path) {
        std::fprintf(stderr, "quillomat-simcam: socket path too long\n");
        return 2;
    }
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, options.socketPath.c_str(), sizeof address.sun_path - 1);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0 || ::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0) {
        std::fprintf(stderr,
                     "quillomat-simcam: no program with the simulated camera listens on %s\n"
                     "(start it with QUILLOMAT_SIMCAM=control=1)\n",
                     options.socketPath.c_str());
        if (fd >= 0)
            ::close(fd);
        return 1;
    }
    line += "\n";
    if (::send(fd, line.data(), line.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(line.size())) {
        ::close(fd);
        std::fprintf(stderr, "quillomat-simcam: the program did not take the command\n");
        return 1;
    }
    std::string answer;
    char buffer[256];
    for (;;) {
        pollfd readable{fd, POLLIN, 0};
        if (::poll(&readable, 1, 30000) <= 0)
            break;
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got <= 0)
            break;
        answer.append(buffer, static_cast<size_t>(got));
    }
    ::close(fd);
    std::fputs(answer.c_str(), stdout);
    return answer.rfind("ok", 0) == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char **argv)
{
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string word = argv[i];
        if (word == "--socket" && i + 1 < argc && options.words.empty())
            options.socketPath = argv[++i];
        else
            options.words.push_back(word);
    }
    if (options.words.empty() || options.words[0] == "help" || options.words[0] == "--help") {
        printUsage(options.words.empty() ? stderr : stdout);
        return options.words.empty() ? 2 : 0;
    }
    if (options.words[0] == "generate")
        return actionGenerate(options);
    if (options.words[0] == "serve" && options.words.size() == 1)
        return serveCamera(options.socketPath);
    return actionSend(options);
}
