#include "installer/crc32.h"

#include "installer/exceptions.h"

#include <sys/file.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <bit>
#include <cstring>
#include <limits>
#include <vector>

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

std::uint32_t COXCRC32::CalculateBlock(const void* data, std::size_t size, std::uint32_t start)
{
    const auto& t = m_pTable->entries;
    const auto* p = static_cast<const unsigned char*>(data);
    std::uint32_t c = start;
    // Sixteen bytes a step; the same register as one byte at a time.
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
    m_nCurrent = c;
    return c;
}

std::uint32_t Crc32(const void* data, std::size_t size, std::uint32_t start)
{
    COXCRC32 crc(COXCRC32::kDefaultPolynomial);
    return crc.CalculateBlock(data, size, start);
}

} // namespace dorvik
