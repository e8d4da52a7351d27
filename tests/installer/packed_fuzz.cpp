// Any bytes as a packed data file: opening and reading every entry must end
// in a result or an archive failure, never in a crash or a huge allocation.
#include "installer/compressfile.h"

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const std::string path = [] {
        const char* tmp = std::getenv("TMPDIR");
        return std::string(tmp && *tmp ? tmp : "/tmp") + "/packed_fuzz_" + std::to_string(::getpid()) + ".pak";
    }();
    if (FILE* f = std::fopen(path.c_str(), "wb")) {
        std::fwrite(data, 1, size, f);
        std::fclose(f);
    } else {
        return 0;
    }
    dorvik::CPackedFile packed;
    try {
        if (packed.Open(path)) {
            std::vector<std::string> names;
            for (const auto& [key, entry] : packed.GetDirectory().m_entries)
                names.push_back(entry->m_strName);
            std::vector<std::uint8_t> bytes;
            for (const auto& name : names)
                packed.ReadEntry(name, bytes);
        }
    } catch (const dorvik::CArchiveException&) {
    } catch (const dorvik::CFileException&) {
    }
    packed.Close();
    return 0;
}
