#include "SystemctlManager.h"

#include <cerrno>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace {

// Runs `systemctl --user <arguments>` and waits for it.
int runSystemctl(const std::vector<std::string> &arguments)
{
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
    pid_t child = 0;
    const int error = posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0)
        return error;

    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
        if (errno != EINTR)
            return errno;
    }
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    // Killed: reported the way a shell reports it.
    return WIFSIGNALED(status) ? 128 + WTERMSIG(status) : ECHILD;
}

} // namespace

int SystemctlManager::connect()
{
    // A manager that answers a plain query is reachable; without a session
    // bus or a runtime folder systemctl says so and fails.
    return runSystemctl({"show", "--property=Version"});
}

int SystemctlManager::run(const std::vector<std::string> &arguments)
{
    return runSystemctl(arguments);
}
