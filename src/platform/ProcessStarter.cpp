#include "platform/ProcessStarter.h"

#include <cerrno>
#include <csignal>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace calvane {
namespace {

/// Spawn attributes: a session of its own, no blocked signals, and every signal
/// back to its default action (ignoring SIGPIPE, say, is ours, not the player's).
class SpawnAttributes
{
public:
    SpawnAttributes()
    {
        posix_spawnattr_init(&m_attr);
        sigset_t none;
        sigemptyset(&none);
        posix_spawnattr_setsigmask(&m_attr, &none);
        sigset_t all;
        sigfillset(&all);
        sigdelset(&all, SIGKILL);
        sigdelset(&all, SIGSTOP);
        posix_spawnattr_setsigdefault(&m_attr, &all);
        posix_spawnattr_setflags(&m_attr,
                                 POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    }
    ~SpawnAttributes() { posix_spawnattr_destroy(&m_attr); }
    SpawnAttributes(const SpawnAttributes&) = delete;
    SpawnAttributes& operator=(const SpawnAttributes&) = delete;
    const posix_spawnattr_t* get() const { return &m_attr; }

private:
    posix_spawnattr_t m_attr;
};

/// File actions: the player gets standard input, output and error, and none of our
/// other descriptors (sockets, locks, the sound device).
class SpawnFileActions
{
public:
    SpawnFileActions()
    {
        posix_spawn_file_actions_init(&m_actions);
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 34))
        posix_spawn_file_actions_addclosefrom_np(&m_actions, 3);
#endif
    }
    ~SpawnFileActions()
    {
        posix_spawn_file_actions_destroy(&m_actions);
    }
    SpawnFileActions(const SpawnFileActions&) = delete;
    SpawnFileActions& operator=(const SpawnFileActions&) = delete;
    const posix_spawn_file_actions_t* get() const
    {
        return &m_actions;
    }

private:
    posix_spawn_file_actions_t m_actions;
};

} // namespace

int PosixProcessStarter::startDetached(const QByteArray& program, const QList<QByteArray>& arguments)
{
    if (program.isEmpty() || program.contains('\0')) {
        return ENOENT;
    }
    std::vector<QByteArray> owned;
    owned.reserve(static_cast<size_t>(arguments.size()) + 1);
    owned.push_back(program);
    for (const QByteArray& a : arguments) {
        owned.push_back(a);
    }
    std::vector<char*> argv;
    for (QByteArray& a : owned) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);

    const SpawnAttributes attributes;
    const SpawnFileActions actions;
    pid_t pid = 0;
    // The C library reports a failed exec (missing, not executable, not a program) as
    // the result, like a failure to create the process.
    const int err = ::posix_spawnp(&pid, argv[0], actions.get(), attributes.get(), argv.data(), environ);
    if (err != 0) {
        return err;
    }
    // The player is our child: when it ends, this thread collects it, so that no
    // zombie stays behind. It waits for nothing else and holds nothing of ours.
    std::thread([pid] {
        while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
        }
    }).detach();
    return 0;
}

} // namespace calvane
