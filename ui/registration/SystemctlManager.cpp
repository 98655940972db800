#include "SystemctlManager.h"

#include <cerrno>
#include <csignal>
#include <thread>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace {

// How often a running systemctl is looked at.
constexpr std::chrono::milliseconds kPollInterval{10};

// Runs `systemctl --user <arguments>` and waits for it until `deadline`.
int runSystemctl(const std::vector<std::string> &arguments, std::chrono::steady_clock::time_point deadline)
{
    if (std::chrono::steady_clock::now() >= deadline)
        return ServiceManager::kTimedOut;
    std::vector<std::string> words{"systemctl", "--user"};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char *> argv;
    for (std::string &word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    if (int error = posix_spawn_file_actions_init(&actions))
        return error;
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    // A group of its own, so that a time-out ends whatever it started too.
    posix_spawnattr_t attributes;
    if (int error = posix_spawnattr_init(&attributes)) {
        posix_spawn_file_actions_destroy(&actions);
        return error;
    }
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attributes, 0);
    pid_t child = 0;
    const int error = posix_spawnp(&child, argv[0], &actions, &attributes, argv.data(), environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0)
        return error;

    int status = 0;
    for (;;) {
        const pid_t ended = waitpid(child, &status, WNOHANG);
        if (ended == child)
            break;
        if (ended < 0 && errno != EINTR)
            return errno;
        if (std::chrono::steady_clock::now() >= deadline) {
            kill(-child, SIGKILL);
            while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
            }
            return ServiceManager::kTimedOut;
        }
        std::this_thread::sleep_for(kPollInterval);
    }
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    // Killed: reported the way a shell reports it.
    return WIFSIGNALED(status) ? 128 + WTERMSIG(status) : ECHILD;
}

} // namespace

SystemctlManager::SystemctlManager(std::chrono::milliseconds timeLimit)
    : m_deadline(std::chrono::steady_clock::now() + timeLimit)
{
}

int SystemctlManager::connect()
{
    // A manager that answers a plain query is reachable; without a session
    // bus or a runtime folder systemctl says so and fails.
    return runSystemctl({"show", "--property=Version"}, m_deadline);
}

int SystemctlManager::run(const std::vector<std::string> &arguments)
{
    return runSystemctl(arguments, m_deadline);
}
