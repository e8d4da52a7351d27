#include "installer/packed/crc32.h"
#include "installer/packed/exceptions.h"

#include "tests/common/testsupport.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <fcntl.h>
#include <unistd.h>

#include <random>
#include <string>
#include <vector>

using namespace dorvik;

namespace {

std::uint32_t bytewise(std::uint32_t poly, const std::string& data, std::uint32_t start)
{
    std::uint32_t table[256];
    for (unsigned i = 0; i < 256; ++i) {
        std::uint32_t c = i;
        for (int k = 0; k < 8; ++k)
            c = (c & 1) ? (c >> 1) ^ poly : c >> 1;
        table[i] = c;
    }
    std::uint32_t r = start;
    for (unsigned char b : data)
        r = table[(r ^ b) & 0xFF] ^ (r >> 8);
    return r;
}

// One bit at a time, straight from the definition: no tables.
std::uint32_t bitwise(std::uint32_t poly, const unsigned char* p, std::size_t size, std::uint32_t r)
{
    while (size--) {
        r ^= *p++;
        for (int k = 0; k < 8; ++k)
            r = (r & 1) ? (r >> 1) ^ poly : r >> 1;
    }
    return r;
}

} // namespace

TEST(Crc32, KnownValues)
{
    const std::string digits = "123456789";
    struct Case {
        const char* what;
        std::string data;
        std::uint32_t start;
        std::uint32_t expected;
    } cases[] = {
        // The ISO-HDLC check value, once the register is inverted.
        {"check value", digits, 0xFFFFFFFFu, ~0xCBF43926u},
        {"empty block keeps the start", "", 0x01AFB020u, 0x01AFB020u},
        {"empty block, zero start", "", 0u, 0u},
        {"one byte", "a", 0xFFFFFFFFu, ~0xE8B7BE43u},
    };
    for (const auto& c : cases) {
        COXCRC32 crc;
        EXPECT_EQ(crc.CalculateBlock(c.data.data(), c.data.size(), c.start), c.expected) << c.what;
        EXPECT_EQ(crc.GetCurrent(), c.expected) << c.what;
        EXPECT_EQ(Crc32(c.data.data(), c.data.size(), c.start), c.expected) << c.what;
    }
}

TEST(Crc32, AgreesWithZlibAndTheByteTableAtEveryLengthAndAlignment)
{
    std::mt19937 rng(7);
    std::string data(300, '\0');
    for (auto& ch : data)
        ch = static_cast<char>(rng());
    COXCRC32 crc;
    for (std::size_t off = 0; off < 9; ++off)
        for (std::size_t len = 0; len + off <= data.size(); len += 7) {
            auto* p = reinterpret_cast<const Bytef*>(data.data() + off);
            std::uint32_t z = static_cast<std::uint32_t>(crc32(0, p, static_cast<uInt>(len)));
            ASSERT_EQ(~crc.CalculateBlock(p, len, 0xFFFFFFFFu), z) << off << "+" << len;
        }
    // Another polynomial (reflected CRC-32C) through the same tables.
    COXCRC32 c32c(0x82F63B78u);
    EXPECT_EQ(~c32c.CalculateBlock("123456789", 9, 0xFFFFFFFFu), 0xE3069283u);
    EXPECT_EQ(c32c.CalculateBlock(data.data(), data.size(), 0x20B8),
              bytewise(0x82F63B78u, data, 0x20B8));
}

TEST(Crc32, AnyPolynomialGivesTheBitwiseRegisterAtEveryLengthStartAndValue)
{
    // Blocks of 64 bytes and more take the folding path where the processor
    // has it, shorter ones the tables; both must give the bitwise register,
    // whatever the polynomial (even degenerate ones) and the start value.
    const std::uint32_t polynomials[] = {
        0xEDB88320u, // the usual CRC-32
        0x82F63B78u, // CRC-32C
        0xEB31D82Eu, // Koopman
        0x04C11DB7u, // the usual one unreflected: just another polynomial here
        0x00000001u, 0x80000000u, 0xFFFFFFFFu, 0x00000000u,
    };
    std::mt19937 rng(11);
    std::vector<unsigned char> data(16 + 200);
    for (auto& b : data)
        b = static_cast<unsigned char>(rng());
    for (std::uint32_t poly : polynomials) {
        COXCRC32 crc(poly);
        for (std::size_t off = 0; off < 16; ++off)
            for (std::size_t len = 0; len <= 200; ++len) {
                std::uint32_t start = static_cast<std::uint32_t>(rng());
                const unsigned char* p = data.data() + off;
                ASSERT_EQ(crc.CalculateBlock(p, len, start), bitwise(poly, p, len, start))
                    << std::hex << "polynomial " << poly << std::dec << " at " << off << " length " << len;
            }
    }
}

TEST(Crc32, LongBlocksAgreeWithZlibAndTheBitwiseRegister)
{
    std::mt19937 rng(5);
    std::vector<unsigned char> data((1u << 20) + 64);
    for (auto& b : data)
        b = static_cast<unsigned char>(rng());
    COXCRC32 standard;
    COXCRC32 other(0xEB31D82Eu);
    for (std::size_t off : {0u, 1u, 7u, 13u})
        for (std::size_t len : {std::size_t(4096), std::size_t(65536 + 48), std::size_t(1u << 20)}) {
            const unsigned char* p = data.data() + off;
            // zlib's crc32 starts from all ones and inverts at the end.
            EXPECT_EQ(~standard.CalculateBlock(p, len, 0xFFFFFFFFu),
                      static_cast<std::uint32_t>(crc32(0, p, static_cast<uInt>(len))))
                << off << "+" << len;
            EXPECT_EQ(other.CalculateBlock(p, len, 0x01AFB020u), bitwise(0xEB31D82Eu, p, len, 0x01AFB020u))
                << off << "+" << len;
        }
    // A block split anywhere continues to the same register.
    std::uint32_t whole = standard.CalculateBlock(data.data(), 1000, 0x20B8);
    for (std::size_t cut : {1u, 63u, 64u, 65u, 500u, 999u}) {
        standard.CalculateBlock(data.data(), cut, 0x20B8);
        EXPECT_EQ(standard.CalculateBlock(data.data() + cut, 1000 - cut), whole) << cut;
    }
}

TEST(Crc32, ContinuesFromTheCurrentValue)
{
    COXCRC32 crc;
    crc.CalculateBlock("12345", 5, 0xFFFFFFFFu);
    EXPECT_EQ(crc.CalculateBlock("6789", 4), ~0xCBF43926u);
}

TEST(Crc32, TablesAreSharedPerPolynomial)
{
    auto& list = COXCRC32::GetTableList();
    COXCRC32 a;
    int before = list.GetCount();
    COXCRC32 b;
    EXPECT_EQ(list.GetCount(), before);
    COXCRC32 other(0xA833982Bu); // a polynomial no other test uses
    EXPECT_EQ(list.GetCount(), before + 1);
    COXCRC32 again(0xA833982Bu);
    EXPECT_EQ(list.GetCount(), before + 1);
}

TEST(Crc32, Files)
{
    kelm::test::TempDir dir;
    std::string data(5000, 'x');
    for (std::size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<char>(i * 31);
    auto path = dir.write("data.bin", data);

    COXCRC32 crc;
    crc.CalculateBlock(nullptr, 0, 0xFFFFFFFFu);
    EXPECT_EQ(crc.CalculateFile(path.string()), Crc32(data.data(), data.size(), 0xFFFFFFFFu));

    // A limited length and odd buffer size see exactly the first bytes.
    int fd = ::open(path.c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    COXCRC32 part;
    part.CalculateBlock(nullptr, 0, 0x20B8);
    EXPECT_EQ(part.CalculateFile(fd, 1000, 333), Crc32(data.data(), 1000, 0x20B8));
    ::close(fd);

    try {
        crc.CalculateFile((dir / "missing.bin").string());
        FAIL() << "no exception";
    } catch (const CFileException& e) {
        EXPECT_EQ(e.m_cause, CFileException::fileNotFound);
        EXPECT_EQ(e.m_lOsError, 2u);
    }
}
