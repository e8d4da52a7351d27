// Any bytes as the user's user-dirs.dirs: the documents folder is always an
// absolute path without a trailing '/'.
#include "winapi/folders.h"

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const std::string config = [] {
        const char* tmp = std::getenv("TMPDIR");
        std::string path = std::string(tmp && *tmp ? tmp : "/tmp") + "/fuzz_user_dirs_" + std::to_string(::getpid());
        std::filesystem::create_directories(path);
        ::setenv("XDG_CONFIG_HOME", path.c_str(), 1);
        ::setenv("HOME", "/home/fuzz", 1);
        ::unsetenv("XDG_DOCUMENTS_DIR");
        ::unsetenv("SUDO_UID");
        ::unsetenv("PKEXEC_UID");
        std::atexit([] {
            std::error_code ec;
            std::filesystem::remove_all(std::getenv("XDG_CONFIG_HOME"), ec);
        });
        return path;
    }();
    if (FILE* f = std::fopen((config + "/user-dirs.dirs").c_str(), "wb")) {
        std::fwrite(data, 1, size, f);
        std::fclose(f);
    } else {
        return 0;
    }
    auto documents = winapi::GetSpecialFolderLocation(winapi::CSIDL_PERSONAL);
    if (!documents || documents->empty() || documents->front() != '/' ||
        (documents->size() > 1 && documents->back() == '/'))
        std::abort();
    return 0;
}
