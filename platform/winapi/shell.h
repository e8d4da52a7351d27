// Opening a program, a document or a web address the way a desktop's shell
// does, and splitting a parameter text into words without a shell.
#pragma once

#include <string>
#include <vector>

namespace winapi {

// Results of ShellOpen below 33 are errors, as the Windows shell numbers them.
inline constexpr int SE_ERR_FNF = 2;
inline constexpr int SE_ERR_ACCESSDENIED = 5;
inline constexpr int SE_ERR_OOM = 8;
inline constexpr int SE_ERR_NOASSOC = 31;
inline constexpr int SHELL_OPEN_STARTED = 33;

// Quotes (single and double) and backslashes as a POSIX shell reads them,
// with no expansion of any kind. An unclosed quote runs to the end.
std::vector<std::string> SplitShellWords(const std::string& text);

// True for "scheme:..." (a letter, then letters, digits, '+', '-' or '.')
// and for "www....".
bool IsUrl(const std::string& target);

// Starts `target` and returns without waiting:
// - a web address goes to xdg-open;
// - an existing executable file is started itself with `params` split into
//   words, in the current directory;
// - another existing file or folder goes to xdg-open;
// - a bare name (no '/') that is no file here is looked up in PATH.
// Returns SHELL_OPEN_STARTED, or SE_ERR_FNF for a missing file or program,
// SE_ERR_ACCESSDENIED when it may not be run, SE_ERR_NOASSOC when xdg-open
// itself is missing, SE_ERR_OOM when no process could be made. Only the
// standard descriptors reach the child, which is reaped in the background.
int ShellOpen(const std::string& target, const std::string& params = std::string());

// The user's browser on `url` (xdg-open). False, with a line on stderr,
// when it could not be started.
bool OpenUrl(const std::string& url);

} // namespace winapi
