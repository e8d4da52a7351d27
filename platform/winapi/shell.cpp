#include "winapi/shell.h"

#include "winapi/text.h"

#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <thread>

namespace winapi {

std::vector<std::string> SplitShellWords(const std::string& text)
{
    std::vector<std::string> words;
    std::string word;
    bool inWord = false;
    enum { Plain, Single, Double } quote = Plain;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        switch (quote) {
        case Single:
            if (c == '\'')
                quote = Plain;
            else
                word += c;
            continue;
        case Double:
            if (c == '"')
                quote = Plain;
            else if (c == '\\' && i + 1 < text.size() &&
                     std::strchr("\"\\$`", text[i + 1]) != nullptr)
                word += text[++i];
            else
                word += c;
            continue;
        case Plain:
            break;
        }
        if (c == ' ' || c == '\t' || c == '\n') {
            if (inWord)
                words.push_back(std::move(word));
            word.clear();
            inWord = false;
            continue;
        }
        inWord = true;
        if (c == '\'')
            quote = Single;
        else if (c == '"')
            quote = Double;
        else if (c == '\\' && i + 1 < text.size())
            word += text[++i];
        else
            word += c;
    }
    if (inWord)
        words.push_back(std::move(word));
    return words;
}

bool IsUrl(const std::string& target)
{
    if (target.compare(0, 4, "www.") == 0)
        return true;
    std::size_t colon = target.find(':');
    if (colon == std::string::npos || colon == 0)
        return false;
    auto letter = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); };
    if (!letter(target[0]))
        return false;
    for (std::size_t i = 1; i < colon; ++i) {
        char c = target[i];
        if (!letter(c) && !(c >= '0' && c <= '9') && c != '+' && c != '-' && c != '.')
            return false;
    }
    return true;
}

namespace {

// Starts argv[0] (looked up in PATH when `search`) with only the standard
// descriptors; returns 0 or the errno of the failure. A thread of its own
// reaps the child so no zombie stays behind.
int SpawnDetached(const std::vector<std::string>& args, bool search)
{
    std::vector<char*> argv;
    for (const auto& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addclosefrom_np(&actions, 3);
    pid_t pid = 0;
    ChildEnvironmentBlock environment;
    int rc = search ? posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environment.Get())
                    : posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environment.Get());
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0)
        return rc;
    std::thread([pid] {
        int status = 0;
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    }).detach();
    return 0;
}

int ResultOf(int error, bool viaXdgOpen)
{
    switch (error) {
    case 0:
        return SHELL_OPEN_STARTED;
    case ENOENT:
        return viaXdgOpen ? SE_ERR_NOASSOC : SE_ERR_FNF;
    case EACCES:
    case EPERM:
    case ENOEXEC:
        return SE_ERR_ACCESSDENIED;
    default:
        return SE_ERR_OOM;
    }
}

int XdgOpen(const std::string& what)
{
    return ResultOf(SpawnDetached({"xdg-open", what}, true), true);
}

} // namespace

int ShellOpen(const std::string& target, const std::string& params)
{
    if (target.empty())
        return SE_ERR_FNF;
    if (IsUrl(target))
        return XdgOpen(target);
    struct stat st{};
    bool exists = ::stat(target.c_str(), &st) == 0;
    if (!exists) {
        if (target.find('/') != std::string::npos)
            return SE_ERR_FNF;
        std::vector<std::string> args{target};
        for (auto& w : SplitShellWords(params))
            args.push_back(std::move(w));
        return ResultOf(SpawnDetached(args, true), false);
    }
    if (S_ISREG(st.st_mode) && ::access(target.c_str(), X_OK) == 0) {
        // A bare name of a file here means that file, not one found in PATH.
        std::vector<std::string> args{target.find('/') == std::string::npos ? "./" + target : target};
        for (auto& w : SplitShellWords(params))
            args.push_back(std::move(w));
        return ResultOf(SpawnDetached(args, false), false);
    }
    return XdgOpen(target);
}

bool OpenUrl(const std::string& url)
{
    int error = SpawnDetached({"xdg-open", url}, true);
    if (error != 0)
        std::fprintf(stderr, "cannot start xdg-open for %s: %s\n", url.c_str(), std::strerror(error));
    return error == 0;
}

} // namespace winapi
