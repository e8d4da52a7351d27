#include "winapi/process.h"

#include "winapi/errors.h"
#include "winapi/text.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace winapi {

std::optional<pid_t> Spawn(const std::vector<std::string>& argv, const SpawnOptions& options)
{
    if (argv.empty() || argv[0].empty()) {
        SetLastError(kErrorInvalidParameter);
        return std::nullopt;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    // Descriptors that are not close-on-exec would otherwise leak into the
    // child; close everything above the standard three except the targets.
    int highest = 2;
    for (const auto& [from, to] : options.inherit)
        highest = std::max(highest, to);
    for (const auto& [from, to] : options.inherit) {
        if (from == to) {
            // dup2 onto itself keeps close-on-exec; go through a spare number.
            posix_spawn_file_actions_adddup2(&actions, from, highest + 1);
            posix_spawn_file_actions_adddup2(&actions, highest + 1, to);
            posix_spawn_file_actions_addclose(&actions, highest + 1);
        } else {
            posix_spawn_file_actions_adddup2(&actions, from, to);
        }
    }
    // Any descriptor not listed and not close-on-exec stays behind.
    if (DIR* dir = ::opendir("/proc/self/fd")) {
        int own = ::dirfd(dir);
        while (dirent* entry = ::readdir(dir)) {
            char* end = nullptr;
            long fd = std::strtol(entry->d_name, &end, 10);
            if (*end || end == entry->d_name || fd <= 2 || fd == own)
                continue;
            bool listed = false;
            for (const auto& [from, to] : options.inherit)
                listed = listed || to == fd;
            int flags = ::fcntl(static_cast<int>(fd), F_GETFD);
            if (!listed && flags >= 0 && !(flags & FD_CLOEXEC))
                posix_spawn_file_actions_addclose(&actions, static_cast<int>(fd));
        }
        ::closedir(dir);
    }
    std::vector<char*> args;
    for (const auto& arg : argv)
        args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    pid_t pid = 0;
    ChildEnvironmentBlock environment;
    int rc = ::posix_spawn(&pid, argv[0].c_str(), &actions, nullptr, args.data(), environment.Get());
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        FailWithErrno(rc, argv[0]);
        return std::nullopt;
    }
    SetLastError(kErrorSuccess);
    return pid;
}

std::optional<int> WaitProcess(pid_t pid)
{
    int status = 0;
    for (;;) {
        pid_t rc = ::waitpid(pid, &status, 0);
        if (rc == pid)
            break;
        if (rc < 0 && errno == EINTR)
            continue;
        FailWithErrno(errno);
        return std::nullopt;
    }
    SetLastError(kErrorSuccess);
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    return 128 + WTERMSIG(status);
}

int OpenSelfHandle()
{
    int fd = static_cast<int>(::syscall(SYS_pidfd_open, ::getpid(), 0));
    if (fd < 0) {
        FailWithErrno(errno);
        return -1;
    }
    // pidfds are close-on-exec from birth; Spawn hands it over explicitly.
    SetLastError(kErrorSuccess);
    return fd;
}

void WaitForProcessHandle(int fd)
{
    if (fd < 0 || ::fcntl(fd, F_GETFD) < 0)
        return;
    pollfd p{fd, POLLIN, 0};
    while (::poll(&p, 1, -1) < 0 && errno == EINTR) {
    }
    ::close(fd);
}

} // namespace winapi
