#include "IpcActions.h"

#include "IpcClient.h"
#include "IpcEndpoint.h"

#include <csignal>
#include <cstdio>
#include <memory>
#include <optional>
#include <sys/signalfd.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

// How often the block is looked at while waiting for a photo.
constexpr std::chrono::milliseconds kPollInterval{10};
// While this client holds the turn Quillomat keeps the photo's notification
// (the holder might be filling in a command); an exchange that asks nothing
// lets it in. Sent this often while waiting.
constexpr std::chrono::milliseconds kLetInInterval{100};

void complain(const std::string &text)
{
    std::fprintf(stderr, "quillomat-ipc: %s\n", text.c_str());
}

std::unique_ptr<IpcClient> connectTo(const IpcOptions &options, int &exitStatus)
{
    exitStatus = kExitNotListening;
    std::string error;
    std::string socketPath = options.socketPath;
    if (socketPath.empty()) {
        const std::optional<std::string> path = ipcSocketPath(false, error);
        if (!path) {
            complain("no Quillomat is listening: " + error);
            return nullptr;
        }
        socketPath = *path;
    }
    const std::string blockName = options.blockName.empty() ? ipcBlockName() : options.blockName;
    IpcClient::Failure failure;
    std::unique_ptr<IpcClient> client = IpcClient::connect(socketPath, blockName, failure, error);
    if (!client)
        complain(error);
    return client;
}

// The block's turn, held while this lives: other clients wait for it.
class Turn {
public:
    Turn(IpcClient &client, std::chrono::milliseconds timeout) : m_client(client), m_held(client.beginTurn(timeout))
    {
        if (!m_held)
            complain("another client kept the channel longer than the timeout");
    }
    ~Turn()
    {
        if (m_held)
            m_client.endTurn();
    }
    Turn(const Turn &) = delete;
    Turn &operator=(const Turn &) = delete;
    bool held() const { return m_held; }

private:
    IpcClient &m_client;
    bool m_held;
};

struct Asked {
    IpcAnswer answer;
    bool written = false;  // false: Quillomat wrote nothing (not a command)
};

// One command and what Quillomat wrote for it. Quillomat may write a
// notification at any time, also between its answer and our reading of it:
// a command that may be repeated is asked again (twice at most) when more
// than its answer was written meanwhile.
std::optional<Asked> ask(IpcClient &client, const IpcOptions &options, bool repeatable, int &exitStatus)
{
    for (int attempt = 0;; ++attempt) {
        const uint32_t before = client.answer().sequence;
        if (!client.setCommand(options.code, options.parameter, options.text)) {
            complain("the shared block cannot be written");
            exitStatus = kExitNoAnswer;
            return std::nullopt;
        }
        std::string error;
        if (!client.exchange(options.timeout, error)) {
            complain(error);
            exitStatus = kExitNoAnswer;
            return std::nullopt;
        }
        Asked asked{client.answer(), false};
        asked.written = asked.answer.sequence != before;
        if (asked.answer.sequence - before == 2u || !repeatable || attempt == 2)
            return asked;
    }
}

void printAnswer(const IpcAnswer &answer, bool quiet)
{
    if (quiet) {
        if (!answer.text.empty())
            std::printf("%s\n", answer.text.c_str());
    } else if (answer.status == static_cast<int32_t>(IpcStatus::PhotoSaved) && answer.text.empty()) {
        std::printf("%d %s, no file saved\n", answer.status, ipcStatusMeaning(answer.status));
    } else if (answer.text.empty()) {
        std::printf("%d %s\n", answer.status, ipcStatusMeaning(answer.status));
    } else {
        std::printf("%d %s: %s\n", answer.status, ipcStatusMeaning(answer.status), answer.text.c_str());
    }
    std::fflush(stdout);
}

bool isSuccess(const IpcOptions &options, const IpcAnswer &answer)
{
    switch (static_cast<IpcCommand>(options.code)) {
    case IpcCommand::ReportState: return answer.status == static_cast<int32_t>(IpcStatus::Idle);
    case IpcCommand::Release: return answer.status == static_cast<int32_t>(IpcStatus::ReleaseStarted);
    default: return answer.status == static_cast<int32_t>(IpcStatus::Done);
    }
}

}  // namespace

int actionHelp(IpcOptions &)
{
    std::fputs(ipcUsageText(), stdout);
    return kExitSuccess;
}

int actionAsk(IpcOptions &options)
{
    int exitStatus = kExitSuccess;
    std::unique_ptr<IpcClient> client = connectTo(options, exitStatus);
    if (!client)
        return exitStatus;
    const bool repeatable = options.code != static_cast<int32_t>(IpcCommand::Release);
    const Turn turn(*client, options.timeout);
    if (!turn.held())
        return kExitNoAnswer;
    const std::optional<Asked> asked = ask(*client, options, repeatable, exitStatus);
    if (!asked)
        return exitStatus;
    if (!asked->written) {
        if (!options.quiet)
            std::printf("no answer: the command is not one Quillomat knows\n");
        return kExitRefused;
    }
    printAnswer(asked->answer, options.quiet);
    return isSuccess(options, asked->answer) ? kExitSuccess : kExitRefused;
}

int actionRelease(IpcOptions &options)
{
    int exitStatus = kExitSuccess;
    std::unique_ptr<IpcClient> client = connectTo(options, exitStatus);
    if (!client)
        return exitStatus;
    // Held until the photo is in, so that no other client's answer covers its notification.
    const Turn turn(*client, options.timeout);
    if (!turn.held())
        return kExitNoAnswer;
    const uint32_t before = client->answer().sequence;
    const std::optional<Asked> asked = ask(*client, options, false, exitStatus);
    if (!asked)
        return exitStatus;
    IpcAnswer answer = asked->answer;
    const bool photoAlready =
        answer.status == static_cast<int32_t>(IpcStatus::PhotoSaved) && answer.sequence - before >= 4u;
    if (answer.status != static_cast<int32_t>(IpcStatus::ReleaseStarted) && !photoAlready) {
        printAnswer(answer, options.quiet);
        return kExitRefused;
    }
    if (!photoAlready) {
        if (!options.quiet)
            printAnswer(answer, false);
        std::optional<Clock::time_point> deadline;
        if (options.timeout.count() > 0)
            deadline = Clock::now() + options.timeout;
        const uint32_t started = answer.sequence;
        Clock::time_point nextLetIn = Clock::now() + kLetInInterval;
        for (;;) {
            answer = client->answer();
            if (answer.sequence != started && answer.status == static_cast<int32_t>(IpcStatus::PhotoSaved))
                break;
            if (Clock::now() >= nextLetIn) {
                nextLetIn = Clock::now() + kLetInInterval;
                std::string error;
                if (!client->setCommand(0)) {
                    complain("the shared block cannot be written");
                    return kExitNoAnswer;
                }
                if (!client->exchange(options.timeout, error)) {
                    if (client->serverGone(std::chrono::milliseconds(0))) {
                        complain("Quillomat ended before the photo arrived");
                        return kExitNotListening;
                    }
                    complain(error);
                    return kExitNoAnswer;
                }
                continue;
            }
            if (client->serverGone(kPollInterval)) {
                complain("Quillomat ended before the photo arrived");
                return kExitNotListening;
            }
            if (deadline && Clock::now() >= *deadline) {
                complain("no photo arrived in time");
                return kExitNoAnswer;
            }
        }
    }
    printAnswer(answer, options.quiet);
    return answer.text.empty() ? kExitRefused : kExitSuccess;
}

int actionWatch(IpcOptions &options)
{
    // Interruption comes through a descriptor, so that the loop ends cleanly.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGHUP);
    sigprocmask(SIG_BLOCK, &stopSignals, nullptr);
    const int stop = ::signalfd(-1, &stopSignals, SFD_NONBLOCK | SFD_CLOEXEC);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);

    int exitStatus = kExitSuccess;
    std::unique_ptr<IpcClient> client = connectTo(options, exitStatus);
    if (!client)
        return exitStatus;
    // The first exchange also makes Quillomat start writing its notifications.
    std::optional<Asked> asked;
    {
        const Turn turn(*client, options.timeout);
        if (!turn.held())
            return kExitNoAnswer;
        asked = ask(*client, options, true, exitStatus);
    }
    if (!asked)
        return exitStatus;
    exitStatus = kExitSuccess;
    if (!options.quiet)
        printAnswer(asked->answer, false);

    uint32_t seen = asked->answer.sequence;
    int32_t progress = client->progress();
    for (;;) {
        signalfd_siginfo signal;
        if (stop >= 0 && ::read(stop, &signal, sizeof signal) == static_cast<ssize_t>(sizeof signal))
            break;
        const IpcAnswer answer = client->answer();
        if (answer.sequence != seen) {
            seen = answer.sequence;
            if (answer.status == static_cast<int32_t>(IpcStatus::PhotoSaved))
                printAnswer(answer, options.quiet);
        }
        const int32_t now = client->progress();
        if (now != progress) {
            progress = now;
            if (!options.quiet)
                std::printf("progress %d\n", progress);
        }
        if (client->serverGone(kPollInterval)) {
            complain("Quillomat has ended");
            exitStatus = kExitNotListening;
            break;
        }
    }
    if (stop >= 0)
        ::close(stop);
    return exitStatus;
}
