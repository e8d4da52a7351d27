#include "dmo/tools.h"

#include "winapi/text.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>

namespace dmo {

std::string FindPgTool(const std::string& name, int major)
{
    std::string versioned = "/usr/lib/postgresql/" + std::to_string(major) + "/bin/" + name;
    std::error_code ec;
    if (std::filesystem::is_regular_file(versioned, ec) && ::access(versioned.c_str(), X_OK) == 0)
        return versioned;
    return name;
}

std::string DbnameArgument(const std::string& database)
{
    std::string value = "dbname='";
    for (char c : database) {
        if (c == '\'' || c == '\\')
            value += '\\';
        value += c;
    }
    return value + "'";
}

namespace {

// The last lines of a tool's complaints are what the user needs.
std::string lastLines(const std::string& text, int lines)
{
    std::string t = text;
    while (!t.empty() && (t.back() == '\n' || t.back() == '\r'))
        t.pop_back();
    std::size_t at = t.size();
    for (int i = 0; i < lines && at != std::string::npos && at > 0; ++i)
        at = t.rfind('\n', at - 1);
    return at == std::string::npos || at == 0 ? t : t.substr(at + 1);
}

// What exec is given: a name without a folder is looked up in PATH here,
// before the fork, where looking up may allocate.
std::string programPath(const std::string& name)
{
    if (name.find('/') != std::string::npos)
        return name;
    const char* path = std::getenv("PATH");
    std::string folders = path ? path : "/usr/local/bin:/usr/bin:/bin";
    std::size_t start = 0;
    for (;;) {
        std::size_t end = folders.find(':', start);
        std::string folder = folders.substr(start, end == std::string::npos ? std::string::npos : end - start);
        std::string candidate = (folder.empty() ? std::string(".") : folder) + "/" + name;
        std::error_code ec;
        if (std::filesystem::is_regular_file(candidate, ec) && ::access(candidate.c_str(), X_OK) == 0)
            return candidate;
        if (end == std::string::npos)
            return name;
        start = end + 1;
    }
}

// Keeps the end of what the tool complains about, however much it writes.
constexpr std::size_t kKeptErrors = 64 * 1024;

// Reads what is waiting in the (non-blocking) pipe; false at its end.
bool drain(int fd, std::string& errors)
{
    char buffer[4096];
    for (;;) {
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n > 0) {
            errors.append(buffer, static_cast<std::size_t>(n));
            if (errors.size() > 2 * kKeptErrors)
                errors.erase(0, errors.size() - kKeptErrors);
        } else if (n == 0) {
            return false;
        } else if (errno != EINTR) {
            return errno == EAGAIN || errno == EWOULDBLOCK;
        }
    }
}

} // namespace

ToolRun RunTool(const std::vector<std::string>& argv,
                const std::vector<std::pair<std::string, std::string>>& environment, int stdoutFd,
                const std::function<bool()>& cancelled)
{
    ToolRun run;
    std::map<std::string, std::string> env;
    for (const std::string& entry : winapi::ChildEnvironment()) {
        auto eq = entry.find('=');
        if (eq != std::string::npos)
            env[entry.substr(0, eq)] = entry.substr(eq + 1);
    }
    for (const auto& [key, value] : environment)
        env[key] = value;
    std::vector<std::string> envText;
    for (const auto& [key, value] : env)
        envText.push_back(key + "=" + value);
    std::vector<char*> envp, args;
    for (auto& e : envText)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    std::vector<std::string> argCopy = argv;
    for (auto& a : argCopy)
        args.push_back(a.data());
    args.push_back(nullptr);
    std::string program = programPath(argv[0]);

    // The tool's stderr, and a pipe through which the child reports a
    // failed exec (it closes unread when the exec succeeds).
    int errPipe[2], execPipe[2];
    if (::pipe2(errPipe, O_CLOEXEC) != 0) {
        run.errorText = std::strerror(errno);
        return run;
    }
    if (::pipe2(execPipe, O_CLOEXEC) != 0) {
        run.errorText = std::strerror(errno);
        ::close(errPipe[0]);
        ::close(errPipe[1]);
        return run;
    }
    // No signal handler of this process may run in the child before exec.
    sigset_t all, old;
    sigfillset(&all);
    ::pthread_sigmask(SIG_SETMASK, &all, &old);
    pid_t parent = ::getpid();
    pid_t pid = ::fork();
    if (pid == 0) {
        // Only async-signal-safe calls from here to exec.
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent)
            ::_exit(127);
        for (int sig = 1; sig < NSIG; ++sig) {
            struct sigaction action;
            if (::sigaction(sig, nullptr, &action) == 0 && action.sa_handler != SIG_IGN &&
                action.sa_handler != SIG_DFL) {
                action.sa_handler = SIG_DFL;
                action.sa_flags = 0;
                ::sigaction(sig, &action, nullptr);
            }
        }
        ::dup2(errPipe[1], 2);
        if (stdoutFd >= 0)
            ::dup2(stdoutFd, 1);
        ::sigprocmask(SIG_SETMASK, &old, nullptr);
        ::execve(program.c_str(), args.data(), envp.data());
        int error = errno;
        [[maybe_unused]] ssize_t written = ::write(execPipe[1], &error, sizeof error);
        ::_exit(127);
    }
    int forkError = errno;
    ::pthread_sigmask(SIG_SETMASK, &old, nullptr);
    ::close(errPipe[1]);
    ::close(execPipe[1]);
    if (pid < 0) {
        ::close(errPipe[0]);
        ::close(execPipe[0]);
        run.errorText = argv[0] + ": " + std::strerror(forkError);
        return run;
    }
    int execError = 0;
    ssize_t got;
    while ((got = ::read(execPipe[0], &execError, sizeof execError)) < 0 && errno == EINTR) {
    }
    ::close(execPipe[0]);
    int status = 0;
    auto reap = [&](int flags) {
        pid_t r;
        while ((r = ::waitpid(pid, &status, flags)) < 0 && errno == EINTR) {
        }
        return r == pid;
    };
    if (got == static_cast<ssize_t>(sizeof execError)) {
        reap(0);
        ::close(errPipe[0]);
        run.errorText = argv[0] + ": " + std::strerror(execError);
        return run;
    }

    // Wait for the end of the tool, reading its stderr as it comes and
    // asking about Cancel in between.
    int pidfd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
    ::fcntl(errPipe[0], F_SETFL, ::fcntl(errPipe[0], F_GETFL) | O_NONBLOCK);
    std::string errors;
    bool pipeOpen = true;
    std::chrono::steady_clock::time_point killAt;
    for (;;) {
        pollfd fds[2];
        nfds_t count = 0;
        if (pipeOpen)
            fds[count++] = {errPipe[0], POLLIN, 0};
        if (pidfd >= 0)
            fds[count++] = {pidfd, POLLIN, 0};
        ::poll(fds, count, pidfd >= 0 || pipeOpen ? 100 : 20);
        if (pipeOpen)
            pipeOpen = drain(errPipe[0], errors);
        if (reap(WNOHANG)) {
            if (pipeOpen)
                drain(errPipe[0], errors);
            break;
        }
        if (!run.cancelled && cancelled && cancelled()) {
            run.cancelled = true;
            ::kill(pid, SIGTERM);
            killAt = std::chrono::steady_clock::now() + std::chrono::seconds(3);
        } else if (run.cancelled && std::chrono::steady_clock::now() >= killAt) {
            ::kill(pid, SIGKILL);
        }
    }
    if (pidfd >= 0)
        ::close(pidfd);
    ::close(errPipe[0]);
    run.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    run.errorText = lastLines(errors, 5);
    return run;
}

} // namespace dmo
