// The INI reader and the in-memory write on any bytes: no crash, and a write
// never disturbs other sections' values.
#include "winapi/settings/ini.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    const winapi::IniDocument doc(text);
    const auto names = doc.SectionNames();
    for (const auto& n : names) {
        (void)doc.SectionLines(n);
        (void)doc.Find(n, "k");
    }
    const std::string sectionCopy = names.empty() ? std::string("S") : names.front();
    // A name with a NUL cannot be passed through the C interface whole.
    if (sectionCopy.size() != std::strlen(sectionCopy.c_str()) ||
        !winapi::IsValidIniWrite(sectionCopy.c_str(), "k", "v"))
        return 0;
    for (const char* value : {"v", static_cast<const char*>(nullptr)}) {
        const auto written = doc.ApplyWrite(sectionCopy.c_str(), "k", value);
        const winapi::IniDocument after(written ? *written : text);
        const auto found = after.Find(sectionCopy, "k");
        if (value != nullptr && (!found || *found != "v"))
            std::abort();
        if (value == nullptr && found)
            std::abort();
        // Sections other than the one written keep their count.
        if (after.SectionNames().size() < names.size())
            std::abort();
    }
    return 0;
}
