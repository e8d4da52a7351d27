#include "installer/packed/crc32.h"

#include "installer/packed/exceptions.h"

#include <sys/file.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <bit>
#include <cstring>
#include <limits>
#include <vector>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

namespace dorvik {

std::uint32_t COXCheckBase::CalculateBlock(const void* data, std::size_t size)
{
    return CalculateBlock(data, size, m_nCurrent);
}

std::uint32_t COXCheckBase::CalculateFile(int fd, std::uint64_t length, std::size_t bufferSize)
{
    if (bufferSize == 0)
        return m_nCurrent;
    std::vector<unsigned char> buffer(bufferSize);
    while (length > 0) {
        std::size_t ask = length < bufferSize ? static_cast<std::size_t>(length) : bufferSize;
        ssize_t got;
        do
            got = ::read(fd, buffer.data(), ask);
        while (got < 0 && errno == EINTR);
        if (got < 0)
            CFileException::ThrowErrno(errno, {});
        CalculateBlock(buffer.data(), static_cast<std::size_t>(got));
        length -= static_cast<std::uint64_t>(got);
        if (static_cast<std::size_t>(got) < ask)
            break;
    }
    return m_nCurrent;
}

std::uint32_t COXCheckBase::CalculateFile(const std::string& path)
{
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        CFileException::ThrowErrno(errno, path);
    // Others may read meanwhile, not write (advisory on Linux).
    ::flock(fd, LOCK_SH);
    try {
        CalculateFile(fd, std::numeric_limits<std::uint64_t>::max(), 2048);
    } catch (...) {
        ::close(fd);
        throw;
    }
    ::close(fd);
    return m_nCurrent;
}

COXCRC32::COXCRC32(std::uint32_t polynomial) : m_pTable(GetTableList().GetTable(polynomial)) {}

COXCRC32::CTableList& COXCRC32::GetTableList()
{
    static CTableList list;
    return list;
}

namespace {

using Table = COXCRC32::CTableList::Table;

// Sixteen bytes a step through the extended tables, then one at a time; the
// same register as the byte table alone.
std::uint32_t tableBlock(const Table& table, const unsigned char* p, std::size_t size, std::uint32_t c)
{
    const auto& t = table.entries;
    while (size >= 16) {
        std::uint32_t w[4];
        std::memcpy(w, p, 16);
        if constexpr (std::endian::native == std::endian::big)
            for (auto& x : w)
                x = __builtin_bswap32(x);
        w[0] ^= c;
        c = t[15][w[0] & 0xFF] ^ t[14][(w[0] >> 8) & 0xFF] ^ t[13][(w[0] >> 16) & 0xFF] ^ t[12][w[0] >> 24] ^
            t[11][w[1] & 0xFF] ^ t[10][(w[1] >> 8) & 0xFF] ^ t[9][(w[1] >> 16) & 0xFF] ^ t[8][w[1] >> 24] ^
            t[7][w[2] & 0xFF] ^ t[6][(w[2] >> 8) & 0xFF] ^ t[5][(w[2] >> 16) & 0xFF] ^ t[4][w[2] >> 24] ^
            t[3][w[3] & 0xFF] ^ t[2][(w[3] >> 8) & 0xFF] ^ t[1][(w[3] >> 16) & 0xFF] ^ t[0][w[3] >> 24];
        p += 16;
        size -= 16;
    }
    while (size--)
        c = t[0][(c ^ *p++) & 0xFF] ^ (c >> 8);
    return c;
}

#if defined(__x86_64__) || defined(__i386__)

// Below this many bytes the tables are as quick as folding.
constexpr std::size_t kFoldMinimum = 64;

bool haveCarrylessMultiply()
{
    static const bool have = __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse4.1");
    return have;
}

// The message is folded 128 bits at a time onto four running pieces with
// carry-less multiplication: a piece P followed by n more bits leaves the
// same remainder as P's upper half times x^(n+64) plus its lower half times
// x^n, both taken mod the polynomial. The register goes into the first
// 32 bits of the message, and the one piece left at the end is run through
// the tables with a zero register. Needs at least 64 bytes.
#define KELM_CLMUL __attribute__((target("pclmul,sse4.1")))

KELM_CLMUL inline __m128i fold(__m128i piece, __m128i k, __m128i next)
{
    return _mm_xor_si128(
        _mm_xor_si128(_mm_clmulepi64_si128(piece, k, 0x00), _mm_clmulepi64_si128(piece, k, 0x11)), next);
}

KELM_CLMUL inline __m128i load(const unsigned char* at)
{
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
}

KELM_CLMUL inline __m128i factors(const Table& table, int k)
{
    return _mm_set_epi64x(static_cast<long long>(table.folds[k][1]), static_cast<long long>(table.folds[k][0]));
}

KELM_CLMUL std::uint32_t foldBlock(const Table& table, const unsigned char* p, std::size_t size, std::uint32_t c)
{
    const __m128i k512 = factors(table, 0);
    __m128i x0 = _mm_xor_si128(load(p), _mm_cvtsi32_si128(static_cast<int>(c)));
    __m128i x1 = load(p + 16);
    __m128i x2 = load(p + 32);
    __m128i x3 = load(p + 48);
    p += 64;
    size -= 64;
    while (size >= 64) {
        x0 = fold(x0, k512, load(p));
        x1 = fold(x1, k512, load(p + 16));
        x2 = fold(x2, k512, load(p + 32));
        x3 = fold(x3, k512, load(p + 48));
        p += 64;
        size -= 64;
    }
    const __m128i k128 = factors(table, 3);
    __m128i x = fold(x0, factors(table, 1), fold(x1, factors(table, 2), fold(x2, k128, x3)));
    while (size >= 16) {
        x = fold(x, k128, load(p));
        p += 16;
        size -= 16;
    }
    unsigned char last[16];
    _mm_storeu_si128(reinterpret_cast<__m128i*>(last), x);
    c = tableBlock(table, last, sizeof last, 0);
    return tableBlock(table, p, size, c);
}

#undef KELM_CLMUL

#endif

} // namespace

std::uint32_t COXCRC32::CalculateBlock(const void* data, std::size_t size, std::uint32_t start)
{
    const auto* p = static_cast<const unsigned char*>(data);
    std::uint32_t c;
#if defined(__x86_64__) || defined(__i386__)
    if (size >= kFoldMinimum && haveCarrylessMultiply())
        c = foldBlock(*m_pTable, p, size, start);
    else
#endif
        c = tableBlock(*m_pTable, p, size, start);
    m_nCurrent = c;
    return c;
}

std::uint32_t Crc32(const void* data, std::size_t size, std::uint32_t start)
{
    COXCRC32 crc(COXCRC32::kDefaultPolynomial);
    return crc.CalculateBlock(data, size, start);
}

} // namespace dorvik
