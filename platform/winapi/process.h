// Child processes: started with an argument vector (never a shell line),
// the environment passed on unchanged, and only the descriptors the caller
// lists handed over.
#pragma once

#include "winapi/types.h"

#include <sys/types.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace winapi {

struct SpawnOptions {
    // (descriptor in this process, number it gets in the child); nothing
    // else reaches the child.
    std::vector<std::pair<int, int>> inherit;
};

// posix_spawn of argv[0] (a path); when it returns the child has exec'd.
// nullopt with the last error set when it could not be started.
std::optional<pid_t> Spawn(const std::vector<std::string>& argv, const SpawnOptions& options = {});

// Waits for a child of this process; the exit code (128 + signal for a
// child killed by a signal), or nullopt with the last error.
std::optional<int> WaitProcess(pid_t pid);

// A descriptor that becomes readable when this process ends (pidfd),
// close-on-exec; -1 with the last error when the system has none.
int OpenSelfHandle();

// Waits without limit until the process behind a pidfd ends, then closes
// the descriptor. Returns at once for a descriptor that is not open.
void WaitForProcessHandle(int fd);

} // namespace winapi
