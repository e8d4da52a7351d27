// Feeds arbitrary bytes to the DBF reader as a table file: it must refuse or
// read them, never read or write outside its buffers. Each accepted file is
// then appended to, which rewrites its header.
#include "odbc/dbf/dbffile.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

const std::string& ScratchPath()
{
    static const std::string path = [] {
        const char* tmp = std::getenv("TMPDIR");
        std::string p = std::string(tmp && *tmp ? tmp : "/tmp") + "/dbf_fuzz_XXXXXX";
        const int fd = mkstemp(p.data());
        if (fd < 0)
            std::abort();
        close(fd);
        std::atexit([] { std::remove(ScratchPath().c_str()); });
        return p;
    }();
    return path;
}

void ReadAll(CDataBaseFile& file)
{
    const long records = std::min(file.GetRecordCount(), 64L);
    for (long r = 0; r < records; ++r) {
        if (!file.Seek(r))
            return;
        file.IsDeleted();
        for (int f = 0; f < file.GetFieldCount(); ++f) {
            std::string s;
            std::int64_t i = 0;
            double d = 0;
            SQLGUID g{};
            TIMESTAMP_STRUCT ts{};
            file.GetValue(f, s);
            file.GetValue(f, i);
            file.GetValue(f, d);
            file.GetValue(f, g);
            file.GetValue(f, ts);
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string& path = ScratchPath();
    std::FILE* out = std::fopen(path.c_str(), "wb");
    if (!out)
        return 0;
    std::fwrite(data, 1, size, out);
    std::fclose(out);

    CDataBaseFile file;
    if (file.Open(path.c_str(), 1)) {
        ReadAll(file);
        file.Close();
    }
    if (file.Open(path.c_str(), 0)) {
        file.AddNew();
        for (int f = 0; f < file.GetFieldCount(); ++f) {
            file.SetValue(f, "1234567890");
            file.SetValue(f, -1.25);
        }
        file.Close();
        if (file.Open(path.c_str(), 1))
            ReadAll(file);
    }
    return 0;
}
