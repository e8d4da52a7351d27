// A 100 MB packed entry read through the packed-file reader beside the same
// deflate data inflated by zlib directly, and CRC-32 of 1 GB beside zlib's
// crc32. The pairs should stay within 1.3x of each other.
#include "installer/compressfile.h"
#include "installer/crc32.h"
#include "installer/packwriter.h"

#include <benchmark/benchmark.h>
#include <unistd.h>
#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr std::size_t kEntrySize = 100u << 20;
constexpr std::size_t kCrcBuffer = 256u << 20;
constexpr int kCrcPasses = 4; // 1 GB in all

// Text much like a kit's scripts: compresses, but not to nothing.
std::vector<std::uint8_t> scriptLikeData(std::size_t size)
{
    static const char* words[] = {"INSERT", "INTO", "VALUES", "SELECT", "FROM", "WHERE", "CREATE", "TABLE",
                                  "(", ")", ",", ";\r\n", "GO\r\n", "'text'", "NULL"};
    std::mt19937 rng(42);
    std::vector<std::uint8_t> out;
    out.reserve(size + 64);
    while (out.size() < size) {
        std::string w = (rng() % 3 == 0) ? std::to_string(rng() % 100000) : words[rng() % std::size(words)];
        out.insert(out.end(), w.begin(), w.end());
        out.push_back(' ');
    }
    out.resize(size);
    return out;
}

struct PackedFixture {
    std::string path;
    std::vector<std::uint8_t> compressed; // the entry's raw deflate bytes
    std::uint32_t offset = 0;

    PackedFixture()
    {
        const char* tmp = std::getenv("TMPDIR");
        path = std::string(tmp && *tmp ? tmp : "/tmp") + "/bench_installer_" + std::to_string(::getpid()) + ".pak";
        dorvik::CPackedFileWriter writer(true);
        writer.AddEntry("data.sql", scriptLikeData(kEntrySize));
        writer.Write(path);
        dorvik::CPackedFile packed;
        packed.Open(path);
        const dorvik::COffsetFile* entry = packed.GetDirectory().Find("data.sql");
        offset = entry->m_nOffset;
        std::ifstream in(path, std::ios::binary);
        in.seekg(offset);
        compressed.resize(entry->m_nExtra);
        in.read(reinterpret_cast<char*>(compressed.data()), static_cast<std::streamsize>(compressed.size()));
    }
    ~PackedFixture() { ::unlink(path.c_str()); }
};

PackedFixture& fixture()
{
    static PackedFixture f;
    return f;
}

void BM_PackedEntry(benchmark::State& state)
{
    auto& f = fixture();
    dorvik::CPackedFile packed;
    packed.Open(f.path);
    std::vector<std::uint8_t> bytes;
    for (auto _ : state) {
        if (!packed.ReadEntry("data.sql", bytes))
            state.SkipWithError("entry not read");
        benchmark::DoNotOptimize(bytes.data());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(kEntrySize));
}

void BM_ZlibInflate(benchmark::State& state)
{
    auto& f = fixture();
    std::vector<std::uint8_t> out(kEntrySize);
    for (auto _ : state) {
        // Read the same bytes from the file, then one inflate call.
        std::ifstream in(f.path, std::ios::binary);
        in.seekg(f.offset);
        std::vector<std::uint8_t> input(f.compressed.size());
        in.read(reinterpret_cast<char*>(input.data()), static_cast<std::streamsize>(input.size()));
        z_stream s{};
        inflateInit2(&s, -15);
        s.next_in = input.data();
        s.avail_in = static_cast<uInt>(input.size());
        s.next_out = out.data();
        s.avail_out = static_cast<uInt>(out.size());
        if (inflate(&s, Z_FINISH) != Z_STREAM_END)
            state.SkipWithError("inflate failed");
        inflateEnd(&s);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(kEntrySize));
}

std::vector<std::uint8_t>& crcData()
{
    static std::vector<std::uint8_t> data = [] {
        std::vector<std::uint8_t> d(kCrcBuffer);
        std::mt19937 rng(7);
        for (auto& b : d)
            b = static_cast<std::uint8_t>(rng());
        return d;
    }();
    return data;
}

void BM_Crc32(benchmark::State& state)
{
    auto& data = crcData();
    dorvik::COXCRC32 crc;
    for (auto _ : state) {
        std::uint32_t r = 0xFFFFFFFFu;
        for (int i = 0; i < kCrcPasses; ++i)
            r = crc.CalculateBlock(data.data(), data.size(), r);
        benchmark::DoNotOptimize(r);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(kCrcBuffer) * kCrcPasses);
}

void BM_ZlibCrc32(benchmark::State& state)
{
    auto& data = crcData();
    for (auto _ : state) {
        uLong r = crc32(0L, Z_NULL, 0);
        for (int i = 0; i < kCrcPasses; ++i)
            r = crc32(r, data.data(), static_cast<uInt>(data.size()));
        benchmark::DoNotOptimize(r);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(kCrcBuffer) * kCrcPasses);
}

} // namespace

BENCHMARK(BM_PackedEntry)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_ZlibInflate)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_Crc32)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_ZlibCrc32)->Unit(benchmark::kMillisecond)->MinTime(2.0);

BENCHMARK_MAIN();
