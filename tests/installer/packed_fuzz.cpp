// Any bytes as a packed data file: opening and reading every entry must end
// in a result or an archive failure, never in a crash or a huge allocation.
#include "installer/packed/compressfile.h"

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static char path[4096];
    if (!path[0]) {
        const char* tmp = std::getenv("TMPDIR");
        std::snprintf(path, sizeof path, "%s/packed_fuzz_%d.pak", tmp && *tmp ? tmp : "/tmp", static_cast<int>(::getpid()));
        std::atexit([] { ::unlink(path); });
    }
    if (FILE* f = std::fopen(path, "wb")) {
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
