// 10,000 keys read from a file of 1,000 sections: the profile functions
// (which check the file for changes on every call, as a running program's
// settings may be rewritten by another) beside wxFileConfig, once with the
// file parsed ahead and once parsing it for each pass. The cost of the
// stat() each read makes is shown on its own beside them, and under it the
// cost of any system call at all.
#include "bench/benchstats.h"
#include "winapi/settings/ini.h"

#include <benchmark/benchmark.h>
#include <wx/fileconf.h>
#include <wx/init.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kSections = 1000;
constexpr int kKeysPerSection = 10;

struct Fixture {
    std::string folder;
    std::string file;
    std::vector<std::pair<std::string, std::string>> keys; // section, key
    std::vector<wxString> wxPaths;

    Fixture()
    {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/bench-ini-XXXXXX";
        std::vector<char> buf(pattern.begin(), pattern.end());
        buf.push_back('\0');
        if (::mkdtemp(buf.data()) == nullptr)
            std::abort();
        folder = buf.data();
        file = folder + "/bench.ini";
        std::ofstream out(file);
        for (int s = 0; s < kSections; ++s) {
            out << "; section " << s << "\n[Section" << s << "]\n";
            for (int k = 0; k < kKeysPerSection; ++k) {
                const std::string section = "Section" + std::to_string(s);
                const std::string key = "Key" + std::to_string(k);
                out << key << " = value " << s << "." << k << "\n";
                keys.emplace_back(section, key);
                wxPaths.push_back(wxString::FromUTF8("/" + section + "/" + key));
            }
            out << "\n";
        }
    }
    ~Fixture()
    {
        std::remove(file.c_str());
        std::remove((file + ".lock").c_str());
        ::rmdir(folder.c_str());
    }
};

Fixture& fixture()
{
    static Fixture f;
    return f;
}

void BM_GetPrivateProfileString(benchmark::State& state)
{
    auto& f = fixture();
    std::string out;
    for (auto _ : state) {
        for (const auto& [section, key] : f.keys) {
            winapi::GetPrivateProfileString(section.c_str(), key.c_str(), "", out, 4095, f.file);
            benchmark::DoNotOptimize(out.data());
        }
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(f.keys.size()));
}
BENCHMARK(BM_GetPrivateProfileString)->Unit(benchmark::kMillisecond)->Apply(kelm::bench::WithSpread<7>);

// The floor under a read that must see another process's change at once:
// one stat() of the file per read, and nothing else.
void BM_stat_OnePerRead(benchmark::State& state)
{
    auto& f = fixture();
    struct stat st {};
    for (auto _ : state) {
        for (std::size_t i = 0; i < f.keys.size(); ++i) {
            ::stat(f.file.c_str(), &st);
            benchmark::DoNotOptimize(st.st_ino);
        }
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(f.keys.size()));
}
BENCHMARK(BM_stat_OnePerRead)->Unit(benchmark::kMillisecond)->Apply(kelm::bench::WithSpread<7>);

// Under that floor, the cost of entering the kernel at all: the cheapest
// system call there is, once per read. Any check of the file that another
// process's change cannot slip past costs at least this much.
void BM_syscall_OnePerRead(benchmark::State& state)
{
    auto& f = fixture();
    for (auto _ : state) {
        for (std::size_t i = 0; i < f.keys.size(); ++i)
            benchmark::DoNotOptimize(::getppid());
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(f.keys.size()));
}
BENCHMARK(BM_syscall_OnePerRead)->Unit(benchmark::kMillisecond)->Apply(kelm::bench::WithSpread<7>);

void BM_wxFileConfig_ParsedAhead(benchmark::State& state)
{
    auto& f = fixture();
    wxFileConfig config(wxEmptyString, wxEmptyString, wxString::FromUTF8(f.file), wxEmptyString,
                        wxCONFIG_USE_LOCAL_FILE);
    wxString out;
    for (auto _ : state) {
        for (const auto& path : f.wxPaths) {
            config.Read(path, &out);
            benchmark::DoNotOptimize(out.wx_str());
        }
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(f.keys.size()));
}
BENCHMARK(BM_wxFileConfig_ParsedAhead)->Unit(benchmark::kMillisecond)->Apply(kelm::bench::WithSpread<7>);

void BM_wxFileConfig_ParsedEachPass(benchmark::State& state)
{
    auto& f = fixture();
    wxString out;
    for (auto _ : state) {
        wxFileConfig config(wxEmptyString, wxEmptyString, wxString::FromUTF8(f.file), wxEmptyString,
                            wxCONFIG_USE_LOCAL_FILE);
        for (const auto& path : f.wxPaths) {
            config.Read(path, &out);
            benchmark::DoNotOptimize(out.wx_str());
        }
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(f.keys.size()));
}
BENCHMARK(BM_wxFileConfig_ParsedEachPass)->Unit(benchmark::kMillisecond)->Apply(kelm::bench::WithSpread<7>);

} // namespace

int main(int argc, char** argv)
{
    wxInitializer wx;
    if (!wx.IsOk())
        return 1;
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
