// Any bytes as a permissions file: a result code or a file failure, never a
// crash; a list that loads saves and loads again to the same records.
#include "installer/commands/scriptlist.h"
#include "installer/packed/exceptions.h"

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

std::string tempPath(const char* suffix)
{
    const char* tmp = std::getenv("TMPDIR");
    return std::string(tmp && *tmp ? tmp : "/tmp") + "/permissions_fuzz_" + std::to_string(::getpid()) + suffix;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const std::string in = tempPath(".in"), again = tempPath(".again");
    static const bool cleanup = [] {
        std::atexit([] {
            ::unlink(in.c_str());
            ::unlink(again.c_str());
        });
        return true;
    }();
    (void)cleanup;
    if (FILE* f = std::fopen(in.c_str(), "wb")) {
        std::fwrite(data, 1, size, f);
        std::fclose(f);
    } else {
        return 0;
    }
    try {
        dorvik::CScriptList list;
        int result = list.Load(in);
        if (result < 0 || result > 3)
            std::abort();
        if (result != 0) {
            if (list.GetCount() != 0)
                std::abort();
            return 0;
        }
        list.Save(again);
        dorvik::CScriptList reread;
        if (reread.Load(again) != 0 || reread.GetCount() != list.GetCount())
            std::abort();
        // Loading reverses the file's order, saving keeps the list's: the
        // second list is the first one second.
        std::vector<const dorvik::TScriptListItem*> second;
        for (auto* p = reread.GetHead(); p; p = p->m_pNext)
            second.push_back(static_cast<const dorvik::TScriptListItem*>(p));
        auto* p = list.GetHead();
        for (auto it = second.rbegin(); it != second.rend(); ++it) {
            const auto* b = *it;
            const auto* a = static_cast<const dorvik::TScriptListItem*>(p);
            if (a->m_nKind != b->m_nKind || a->m_strName != b->m_strName || a->m_strText != b->m_strText)
                std::abort();
            p = p->m_pNext;
        }
    } catch (const dorvik::CFileException&) {
    }
    return 0;
}
