#include "dmo/tools.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <map>

extern char** environ;

namespace dmo {

std::string FindPgTool(const std::string& name, int major)
{
    std::string versioned = "/usr/lib/postgresql/" + std::to_string(major) + "/bin/" + name;
    std::error_code ec;
    if (std::filesystem::is_regular_file(versioned, ec) && ::access(versioned.c_str(), X_OK) == 0)
        return versioned;
    return name;
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

} // namespace

ToolRun RunTool(const std::vector<std::string>& argv,
                const std::vector<std::pair<std::string, std::string>>& environment, int stdoutFd)
{
    ToolRun run;
    std::map<std::string, std::string> env;
    for (char** e = environ; *e; ++e) {
        std::string entry = *e;
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

    int errPipe[2];
    if (::pipe2(errPipe, O_CLOEXEC) != 0) {
        run.errorText = std::strerror(errno);
        return run;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, errPipe[1], 2);
    if (stdoutFd >= 0)
        posix_spawn_file_actions_adddup2(&actions, stdoutFd, 1);
    pid_t pid = 0;
    int rc = ::posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    ::close(errPipe[1]);
    if (rc != 0) {
        ::close(errPipe[0]);
        run.errorText = argv[0] + ": " + std::strerror(rc);
        return run;
    }
    std::string errors;
    char buffer[4096];
    for (;;) {
        ssize_t n = ::read(errPipe[0], buffer, sizeof buffer);
        if (n > 0)
            errors.append(buffer, static_cast<std::size_t>(n));
        else if (n == 0 || errno != EINTR)
            break;
    }
    ::close(errPipe[0]);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    run.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    run.errorText = lastLines(errors, 5);
    return run;
}

} // namespace dmo
