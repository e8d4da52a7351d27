// setup -s of a kit of 5,000 files beside `cp -r` of the same folder, and
// uninstall -s of the installation beside `rm -r`; each pair should stay
// within 2x of each other. Every case runs child processes and is timed by
// the clock; the pairs timed side by side decide, repeated, their median
// and spread printed.
#include "bench/benchstats.h"
#include "winapi/process.h"
#include "winapi/settings/registry.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace fs = std::filesystem;

namespace {

constexpr int kFolders = 50;
constexpr int kFilesPerFolder = 100;

struct Sandbox {
    fs::path root;
    fs::path kit;
    fs::path folder; // the installation folder

    Sandbox()
    {
        const char* tmp = std::getenv("TMPDIR");
        root = fs::path(tmp && *tmp ? tmp : "/tmp") / ("kelm-setup-bench-" + std::to_string(::getpid()));
        fs::remove_all(root);
        kit = root / "kit";
        for (const char* name : {"WINAPI_REGISTRY_MACHINE", "WINAPI_REGISTRY_USER", "WINAPI_PROGRAM_FILES",
                                 "WINAPI_COMMON_PROGRAMS", "XDG_DOCUMENTS_DIR", "ODBCSYSINI"})
            ::setenv(name, (root / name).c_str(), 1);
        ::setenv("ODBCINI", (root / "ODBCSYSINI" / "user.ini").c_str(), 1);
        fs::create_directories(root / "ODBCSYSINI");
        fs::create_directories(root / "XDG_DOCUMENTS_DIR");
        fs::create_directories(kit / "app");
        std::ofstream(kit / "App.ini") << "[INSTALL_INFO]\nDevID=Bench\nDevName=Bench\nAppName=Bench\nAppVer=1\n"
                                          "AppGUID=BE0C\nClientVer=1\nCopyPath=app\n"
                                          "[SEC1]\nDSN=None\nSHORTCUT1=-x\nSHORTCUT_NAME1=Run\n";
        std::string data(4096, 'k');
        for (int f = 0; f < kFolders; ++f) {
            fs::path sub = kit / "app" / ("folder" + std::to_string(f));
            fs::create_directories(sub);
            for (int i = 0; i < kFilesPerFolder; ++i)
                std::ofstream(sub / ("file" + std::to_string(i) + ".dat")) << data;
        }
        winapi::RegKey key;
        winapi::RegCreateKeyEx(winapi::HKEY_LOCAL_MACHINE, "SOFTWARE\\Varnholt Inc\\Orvo Server\\ClientVersions\\1",
                               winapi::KEY_SET_VALUE, key);
        winapi::RegSetString(key, "Path_Ver", (root / "client").string());
        folder = root / "WINAPI_PROGRAM_FILES" / "Varnholt Inc/Orvo Server/CommonFiles/Bench/Bench/1";
    }
    ~Sandbox() { fs::remove_all(root); }
};

Sandbox& sandbox()
{
    static Sandbox box;
    return box;
}

void run(const std::vector<std::string>& argv, benchmark::State& state)
{
    auto pid = winapi::Spawn(argv);
    if (!pid || winapi::WaitProcess(*pid) != 0)
        state.SkipWithError((argv[0] + " failed").c_str());
}

void BM_CopyTree(benchmark::State& state)
{
    Sandbox& box = sandbox();
    for (auto _ : state) {
        run({"/bin/cp", "-r", (box.kit / "app").string(), (box.root / "copy").string()}, state);
        state.PauseTiming();
        fs::remove_all(box.root / "copy");
        state.ResumeTiming();
    }
}

void BM_SetupSilent(benchmark::State& state)
{
    Sandbox& box = sandbox();
    for (auto _ : state) {
        run({SETUP_BIN, "-s", box.kit.string()}, state);
        state.PauseTiming();
        run({(box.folder / "uninstall").string(), "-s"}, state);
        state.ResumeTiming();
    }
}

void BM_RemoveTree(benchmark::State& state)
{
    Sandbox& box = sandbox();
    for (auto _ : state) {
        state.PauseTiming();
        run({"/bin/cp", "-r", (box.kit / "app").string(), (box.root / "copy").string()}, state);
        state.ResumeTiming();
        run({"/bin/rm", "-r", (box.root / "copy").string()}, state);
    }
}

void BM_UninstallSilent(benchmark::State& state)
{
    Sandbox& box = sandbox();
    for (auto _ : state) {
        state.PauseTiming();
        run({SETUP_BIN, "-s", box.kit.string()}, state);
        state.ResumeTiming();
        run({(box.folder / "uninstall").string(), "-s"}, state);
    }
}

// The pairs again, each iteration timing both sides one after the other on
// the same file system: the time ext4 takes to create files depends on what
// was deleted just before, which differs between the separate runs above
// by as much as ten times. x_cp and x_rm are the ratios summed over the run.
double seconds(const std::vector<std::string>& argv, benchmark::State& state)
{
    const auto start = std::chrono::steady_clock::now();
    run(argv, state);
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void BM_SetupBesideCopy(benchmark::State& state)
{
    Sandbox& box = sandbox();
    double copy = 0, setup = 0;
    for (auto _ : state) {
        copy += seconds({"/bin/cp", "-r", (box.kit / "app").string(), (box.root / "copy").string()}, state);
        fs::remove_all(box.root / "copy");
        const double s = seconds({SETUP_BIN, "-s", box.kit.string()}, state);
        setup += s;
        state.SetIterationTime(s);
        run({(box.folder / "uninstall").string(), "-s"}, state);
    }
    state.counters["cp_ms"] = 1000 * copy / state.iterations();
    state.counters["x_cp"] = copy > 0 ? setup / copy : 0;
}

void BM_UninstallBesideRemove(benchmark::State& state)
{
    Sandbox& box = sandbox();
    double remove = 0, uninstall = 0;
    for (auto _ : state) {
        run({"/bin/cp", "-r", (box.kit / "app").string(), (box.root / "copy").string()}, state);
        remove += seconds({"/bin/rm", "-r", (box.root / "copy").string()}, state);
        run({SETUP_BIN, "-s", box.kit.string()}, state);
        const double u = seconds({(box.folder / "uninstall").string(), "-s"}, state);
        uninstall += u;
        state.SetIterationTime(u);
    }
    state.counters["rm_ms"] = 1000 * remove / state.iterations();
    state.counters["x_rm"] = remove > 0 ? uninstall / remove : 0;
}

} // namespace

BENCHMARK(BM_CopyTree)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();
BENCHMARK(BM_SetupSilent)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();
BENCHMARK(BM_RemoveTree)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();
BENCHMARK(BM_UninstallSilent)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();

BENCHMARK(BM_SetupBesideCopy)->Unit(benchmark::kMillisecond)->Iterations(3)->UseManualTime()->Apply(kelm::bench::WithSpread<5>);
BENCHMARK(BM_UninstallBesideRemove)->Unit(benchmark::kMillisecond)->Iterations(3)->UseManualTime()->Apply(kelm::bench::WithSpread<5>);

BENCHMARK_MAIN();
