#include "EditorLauncher.h"

#include <QFile>

#include <cerrno>
#include <csignal>
#include <spawn.h>
#include <sys/wait.h>
#include <system_error>
#include <thread>
#include <vector>

extern char **environ;

namespace {

// Spawn attributes for a program of its own: every signal at its default
// and none blocked, whatever this program's threads have set, and a new session.
class SpawnAttributes {
public:
    SpawnAttributes()
    {
        m_error = posix_spawnattr_init(&m_attributes);
        if (m_error != 0)
            return;
        m_initialised = true;
        sigset_t none;
        sigset_t all;
        sigemptyset(&none);
        sigfillset(&all);
        short flags = POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF;
#ifdef POSIX_SPAWN_SETSID
        flags |= POSIX_SPAWN_SETSID;
#endif
        if ((m_error = posix_spawnattr_setsigmask(&m_attributes, &none)) == 0
            && (m_error = posix_spawnattr_setsigdefault(&m_attributes, &all)) == 0)
            m_error = posix_spawnattr_setflags(&m_attributes, flags);
    }
    ~SpawnAttributes()
    {
        if (m_initialised)
            posix_spawnattr_destroy(&m_attributes);
    }
    SpawnAttributes(const SpawnAttributes &) = delete;
    SpawnAttributes &operator=(const SpawnAttributes &) = delete;

    int error() const { return m_error; }
    const posix_spawnattr_t *get() const { return &m_attributes; }

private:
    posix_spawnattr_t m_attributes{};
    bool m_initialised = false;
    int m_error = 0;
};

}  // namespace

int startDetachedProgram(const QString &program, const QStringList &arguments)
{
    std::vector<QByteArray> bytes;
    bytes.reserve(static_cast<size_t>(arguments.size()));
    for (const QString &argument : arguments)
        bytes.push_back(QFile::encodeName(argument));
    std::vector<char *> argv;
    argv.reserve(bytes.size() + 1);
    for (QByteArray &argument : bytes)
        argv.push_back(argument.data());
    argv.push_back(nullptr);

    const SpawnAttributes attributes;
    if (attributes.error() != 0)
        return attributes.error();
    const QByteArray file = QFile::encodeName(program);
    pid_t pid = 0;
    // glibc reports a failed exec in the child as the result, so an editor
    // that cannot run is never mistaken for one that started.
    const int error = posix_spawnp(&pid, file.constData(), nullptr, attributes.get(), argv.data(), environ);
    if (error != 0)
        return error;
    try {
        std::thread([pid] {
            while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
            }
        }).detach();
    } catch (const std::system_error &) {
        // No thread to spare: the editor runs all the same and stays a
        // zombie after it ends, until this program ends.
    }
    return 0;
}
