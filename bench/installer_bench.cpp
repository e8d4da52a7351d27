// A 100 MB packed entry read through the packed-file reader beside the same
// deflate data inflated by zlib directly (goal: within 1.15x), CRC-32 of 1 GB
// in memory beside zlib's crc32, with another polynomial too, and the CRC-32
// of a 256 MB file read 2 KB at a time beside zlib's crc32 over the same
// reads (goals: within 1.1x).
#include "bench/benchstats.h"
#include "installer/packed/compressfile.h"
#include "installer/packed/crc32.h"
#include "installer/packed/packwriter.h"

#include <benchmark/benchmark.h>
#include <fcntl.h>
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
constexpr std::size_t kCrcFileSize = 256u << 20;
constexpr std::size_t kFileBlock = 2048; // what CalculateFile(path) reads at a time

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
    // The output buffer is made and touched before timing, as zlib's is
    // below: both measure decoding, not the first faults of 100 MB.
    std::vector<std::uint8_t> bytes;
    if (!packed.ReadEntry("data.sql", bytes))
        state.SkipWithError("entry not read");
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
    std::vector<std::uint8_t> input(f.compressed.size());
    for (auto _ : state) {
        // Read the same bytes from the file, then one inflate call.
        std::ifstream in(f.path, std::ios::binary);
        in.seekg(f.offset);
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

// The same 1 GB with CRC-32C's polynomial: as fast as the usual one.
void BM_Crc32OtherPolynomial(benchmark::State& state)
{
    auto& data = crcData();
    dorvik::COXCRC32 crc(0x82F63B78u);
    for (auto _ : state) {
        std::uint32_t r = 0xFFFFFFFFu;
        for (int i = 0; i < kCrcPasses; ++i)
            r = crc.CalculateBlock(data.data(), data.size(), r);
        benchmark::DoNotOptimize(r);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(kCrcBuffer) * kCrcPasses);
}

// A 256 MB file, read through once so that it sits in the page cache.
struct CrcFile {
    std::string path;
    CrcFile()
    {
        const char* tmp = std::getenv("TMPDIR");
        path = std::string(tmp && *tmp ? tmp : "/tmp") + "/bench_crcfile_" + std::to_string(::getpid()) + ".bin";
        auto& data = crcData();
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(kCrcFileSize));
        out.close();
        std::ifstream in(path, std::ios::binary);
        std::vector<char> sink(1u << 20);
        while (in.read(sink.data(), static_cast<std::streamsize>(sink.size())) || in.gcount() > 0) {
        }
    }
    ~CrcFile() { ::unlink(path.c_str()); }
};

CrcFile& crcFile()
{
    static CrcFile f;
    return f;
}

void BM_Crc32File(benchmark::State& state)
{
    auto& f = crcFile();
    dorvik::COXCRC32 crc;
    for (auto _ : state) {
        crc.CalculateBlock(nullptr, 0, 0xFFFFFFFFu);
        benchmark::DoNotOptimize(crc.CalculateFile(f.path));
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(kCrcFileSize));
}

// zlib's crc32 over the same file read with plain read() in 2 KB blocks.
void BM_ZlibCrc32File(benchmark::State& state)
{
    auto& f = crcFile();
    std::vector<unsigned char> buffer(kFileBlock);
    for (auto _ : state) {
        int fd = ::open(f.path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            state.SkipWithError("cannot open");
            break;
        }
        uLong r = crc32(0L, Z_NULL, 0);
        ssize_t got;
        while ((got = ::read(fd, buffer.data(), buffer.size())) > 0)
            r = crc32(r, buffer.data(), static_cast<uInt>(got));
        ::close(fd);
        benchmark::DoNotOptimize(r);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(kCrcFileSize));
}

} // namespace

BENCHMARK(BM_PackedEntry)->Unit(benchmark::kMillisecond)->MinTime(1.0)->Apply(kelm::bench::WithSpread<7>);
BENCHMARK(BM_ZlibInflate)->Unit(benchmark::kMillisecond)->MinTime(1.0)->Apply(kelm::bench::WithSpread<7>);
BENCHMARK(BM_Crc32)->Unit(benchmark::kMillisecond)->MinTime(1.0)->Apply(kelm::bench::WithSpread<7>);
BENCHMARK(BM_ZlibCrc32)->Unit(benchmark::kMillisecond)->MinTime(1.0)->Apply(kelm::bench::WithSpread<7>);
BENCHMARK(BM_Crc32OtherPolynomial)->Unit(benchmark::kMillisecond)->MinTime(1.0)->Apply(kelm::bench::WithSpread<7>);
BENCHMARK(BM_Crc32File)->Unit(benchmark::kMillisecond)->MinTime(1.0)->Apply(kelm::bench::WithSpread<7>);
BENCHMARK(BM_ZlibCrc32File)->Unit(benchmark::kMillisecond)->MinTime(1.0)->Apply(kelm::bench::WithSpread<7>);

BENCHMARK_MAIN();
