// Any bytes as an INI file on disk, through the profile functions the
// programs call: reads end in a value or the default, a write lands and
// reads back, and nothing else of the file is lost.
#include "winapi/settings/ini.h"

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

std::string g_file;

void removeFile()
{
    ::unlink(g_file.c_str());
    ::unlink((g_file + ".lock").c_str());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (g_file.empty()) {
        const char* tmp = std::getenv("TMPDIR");
        g_file = std::string(tmp && *tmp ? tmp : "/tmp") + "/fuzz_ini_file_" + std::to_string(::getpid()) + ".ini";
        std::atexit(removeFile);
    }
    const std::string& file = g_file;
    if (FILE* f = std::fopen(file.c_str(), "wb")) {
        std::fwrite(data, 1, size, f);
        std::fclose(f);
    } else {
        return 0;
    }
    auto names = winapi::GetPrivateProfileSectionNames(file, 2048);
    std::size_t valid = 0;
    for (const auto& name : names) {
        if (name.size() != std::strlen(name.c_str()) || ++valid > 8)
            continue;
        for (const auto& line : winapi::GetPrivateProfileSection(name.c_str(), 2048, file)) {
            std::string key = line.substr(0, line.find('='));
            if (key.size() != std::strlen(key.c_str()))
                continue;
            std::string value;
            DWORD n = winapi::GetPrivateProfileString(name.c_str(), key.c_str(), "\n", value, 260, file);
            // n counts characters, so a value of multi-byte ones is longer.
            if (n > 259 || n > value.size() || value.size() > 4 * 259)
                std::abort();
            (void)winapi::GetPrivateProfileInt(name.c_str(), key.c_str(), -1, file);
            std::uint8_t bytes[8];
            (void)winapi::GetPrivateProfileStruct(name.c_str(), key.c_str(), bytes, sizeof bytes, file);
        }
    }
    const std::string section = valid ? names.front() : std::string("Fuzz");
    if (section.size() != std::strlen(section.c_str()) || !winapi::IsValidIniWrite(section.c_str(), "FuzzKey", "v"))
        return 0;
    if (!winapi::WritePrivateProfileString(section.c_str(), "FuzzKey", "v", file))
        std::abort();
    std::string back;
    winapi::GetPrivateProfileString(section.c_str(), "FuzzKey", "", back, 260, file);
    if (back != "v" || winapi::GetPrivateProfileSectionNames(file, 1 << 20).size() < names.size())
        std::abort();
    return 0;
}
