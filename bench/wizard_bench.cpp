// The folder chooser lists one level when an item is first expanded: on a
// tree of 10,000 folders opening the root costs a listing of its 100
// folders, beside a recursive walk of the whole tree (what a chooser that
// filled itself at once would pay); and expanding one folder of 10,000
// subfolders beside std::filesystem's own directory listing of it. Each is
// repeated, its median and spread printed.
#include "bench/benchstats.h"
#include "installer/core/wizardpages.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

struct Trees {
    fs::path root;
    fs::path tree; // 100 folders of 100 folders
    fs::path flat; // 10,000 folders side by side
    Trees()
    {
        std::string pattern = (fs::temp_directory_path() / "kelm-wizard-bench-XXXXXX").string();
        root = ::mkdtemp(pattern.data());
        tree = root / "tree";
        flat = root / "flat";
        char name[16];
        for (int i = 0; i < 100; ++i)
            for (int j = 0; j < 100; ++j) {
                std::snprintf(name, sizeof name, "d%03d", i);
                fs::path upper = tree / name;
                std::snprintf(name, sizeof name, "e%03d", j);
                fs::create_directories(upper / name);
            }
        fs::create_directory(flat);
        for (int i = 0; i < 10000; ++i) {
            std::snprintf(name, sizeof name, "f%05d", i);
            fs::create_directory(flat / name);
        }
    }
    ~Trees() { fs::remove_all(root); }
};

Trees& trees()
{
    static Trees t;
    return t;
}

void BM_ChooserOpensTreeRoot(benchmark::State& state)
{
    std::string root = trees().tree.string();
    for (auto _ : state)
        benchmark::DoNotOptimize(dorvik::ListSubfolders(root));
}
BENCHMARK(BM_ChooserOpensTreeRoot)->Unit(benchmark::kMillisecond)->Apply(kelm::bench::WithSpread<5>);

void BM_RecursiveWalkOfTree(benchmark::State& state)
{
    for (auto _ : state) {
        std::size_t folders = 0;
        for (const auto& entry : fs::recursive_directory_iterator(trees().tree))
            folders += entry.is_directory();
        benchmark::DoNotOptimize(folders);
    }
}
BENCHMARK(BM_RecursiveWalkOfTree)->Unit(benchmark::kMillisecond)->Apply(kelm::bench::WithSpread<5>);

void BM_ChooserExpandsFolderOf10000(benchmark::State& state)
{
    std::string flat = trees().flat.string();
    for (auto _ : state)
        benchmark::DoNotOptimize(dorvik::ListSubfolders(flat));
}
BENCHMARK(BM_ChooserExpandsFolderOf10000)->Unit(benchmark::kMillisecond)->Apply(kelm::bench::WithSpread<5>);

void BM_FilesystemListsFolderOf10000(benchmark::State& state)
{
    for (auto _ : state) {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(trees().flat))
            if (entry.is_directory() && entry.path().filename().string()[0] != '.')
                names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        benchmark::DoNotOptimize(names);
    }
}
BENCHMARK(BM_FilesystemListsFolderOf10000)->Unit(benchmark::kMillisecond)->Apply(kelm::bench::WithSpread<5>);

} // namespace

BENCHMARK_MAIN();
