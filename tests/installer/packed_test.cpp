#include "installer/packed/compressfile.h"
#include "installer/packed/crc32.h"
#include "installer/packed/packwriter.h"

#include "tests/common/testsupport.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

using namespace dorvik;
using Bytes = std::vector<std::uint8_t>;

namespace {

Bytes bytes(const std::string& s) { return Bytes(s.begin(), s.end()); }

Bytes randomText(std::size_t n, unsigned seed)
{
    std::mt19937 rng(seed);
    const char alphabet[] = "SELECT INSERT abc;\r\n0123456789";
    Bytes out(n);
    for (auto& b : out)
        b = static_cast<std::uint8_t>(alphabet[rng() % (sizeof alphabet - 1)]);
    return out;
}

void put32(Bytes& out, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

// A plain packed file assembled by hand: any directory bytes, a check value
// computed from `checkStart` (inverted when `invert`), then `data`.
Bytes handMade(const Bytes& directory, const Bytes& data, std::uint32_t checkStart = 0x01AFB020u,
               bool invert = false)
{
    Bytes file(16, 'P');
    put32(file, static_cast<std::uint32_t>(directory.size()));
    file.insert(file.end(), directory.begin(), directory.end());
    std::uint32_t check = Crc32(directory.data(), directory.size(), checkStart);
    put32(file, invert ? ~check : check);
    file.insert(file.end(), data.begin(), data.end());
    return file;
}

std::string str(const Bytes& b) { return std::string(b.begin(), b.end()); }

class PackedFiles : public ::testing::TestWithParam<bool> {
protected:
    kelm::test::TempDir dir;
};

} // namespace

TEST_P(PackedFiles, RoundTripThroughWriterAndReader)
{
    bool compressed = GetParam();
    CPackedFileWriter writer(compressed);
    writer.SetTitle("Patch 3.01");
    writer.SetValues(3, 1, 7);
    Bytes big = randomText(300000, 1);
    writer.AddEntry("ddl\\Create.sql", bytes("CREATE TABLE t (a int);\r\nGO\r\n"));
    writer.AddEntry("empty.sql", {});
    writer.AddEntry("Данные.sql", big);
    auto path = (dir / "patch.pak").string();
    writer.Write(path);

    CPackedFile packed;
    ASSERT_TRUE(packed.Open(path));
    EXPECT_EQ(packed.GetDirectory().m_strTitle, "Patch 3.01");
    EXPECT_EQ(packed.GetDirectory().m_wValues[2], 7);
    EXPECT_TRUE(packed.HasEntry("DDL\\CREATE.SQL"));
    EXPECT_TRUE(packed.HasEntry("данные.SQL")); // Cyrillic folds too
    EXPECT_FALSE(packed.HasEntry("ddl/Create.sql"));

    Bytes got;
    // Two reads in a row, then one back: each read starts afresh.
    ASSERT_TRUE(packed.ReadEntry("Данные.sql", got));
    EXPECT_EQ(got, big);
    ASSERT_TRUE(packed.ReadEntry("ddl\\create.sql", got));
    EXPECT_EQ(str(got), "CREATE TABLE t (a int);\r\nGO\r\n");
    ASSERT_TRUE(packed.ReadEntry("Данные.sql", got));
    EXPECT_EQ(got, big);
    ASSERT_TRUE(packed.ReadEntry("EMPTY.SQL", got));
    EXPECT_TRUE(got.empty());
    EXPECT_FALSE(packed.ReadEntry("missing.sql", got));

    // The plain variant has no gzip magic and holds the bytes as they are.
    std::string file = kelm::test::readFile(path);
    EXPECT_EQ(compressed, file.compare(0, 2, "\x1f\x8b") == 0);
    EXPECT_EQ(!compressed, file.find("CREATE TABLE t") != std::string::npos);

    packed.Close();
    EXPECT_FALSE(packed.HasEntry("empty.sql"));
}

TEST_P(PackedFiles, DamagedFilesFailWithoutCrashing)
{
    bool compressed = GetParam();
    CPackedFileWriter writer(compressed);
    writer.AddEntry("a.sql", randomText(20000, 2));
    writer.AddEntry("b.sql", bytes("SELECT 1"));
    auto good = (dir / "good.pak").string();
    writer.Write(good);
    std::string whole = kelm::test::readFile(good);

    int openFailed = 0, archiveFailures = 0, readFailures = 0;
    std::vector<std::size_t> cuts;
    for (std::size_t cut = 0; cut < whole.size(); cut += (cut < 200 ? 1 : 97))
        cuts.push_back(cut);
    cuts.push_back(whole.size() - 12); // inside the last entry
    for (std::size_t cut : cuts) {
        auto path = dir.write("cut.pak", whole.substr(0, cut)).string();
        CPackedFile packed;
        try {
            if (!packed.Open(path)) {
                ++openFailed;
                continue;
            }
        } catch (const CArchiveException&) {
            ++archiveFailures;
            continue;
        }
        Bytes got;
        bool a = packed.ReadEntry("a.sql", got);
        bool b = packed.ReadEntry("b.sql", got);
        ASSERT_FALSE(a && b) << "a file cut at " << cut << " read whole";
        ++readFailures;
    }
    EXPECT_GT(archiveFailures, 0);
    // Plain entries are checked against the size when the file opens;
    // compressed ones only show their end when they are read.
    EXPECT_EQ(readFailures > 0, compressed);

    // A changed byte anywhere in the directory or its check value is caught.
    std::uint32_t length = static_cast<std::uint8_t>(whole[16]) | (static_cast<std::uint8_t>(whole[17]) << 8);
    for (std::size_t at = 20; at < 24 + length; ++at) {
        std::string bad = whole;
        bad[at] = static_cast<char>(bad[at] ^ 0x20);
        CPackedFile packed;
        try {
            EXPECT_FALSE(packed.Open(dir.write("bad.pak", bad).string())) << "byte " << at;
            ++openFailed;
        } catch (const CArchiveException&) {
        }
    }
    EXPECT_GT(openFailed, 0);
}

INSTANTIATE_TEST_SUITE_P(Variants, PackedFiles, ::testing::Values(true, false),
                         [](const auto& info) { return info.param ? "Compressed" : "Plain"; });

TEST(PackedFile, DirectoryCheckValue)
{
    kelm::test::TempDir dir;
    Bytes directory;
    WriteArchiveString(directory, "t");
    for (int i = 0; i < 3; ++i)
        directory.insert(directory.end(), {0, 0});
    put32(directory, 1);
    WriteArchiveString(directory, "x.sql");
    put32(directory, 0); // offset patched below
    put32(directory, 3);
    put32(directory, 3);
    std::size_t offsetAt = directory.size() - 12;
    std::uint32_t offset = static_cast<std::uint32_t>(24 + directory.size());
    for (int i = 0; i < 4; ++i)
        directory[offsetAt + i] = static_cast<std::uint8_t>(offset >> (8 * i));

    CPackedFile packed;
    ASSERT_TRUE(packed.Open(dir.write("ok.pak", str(handMade(directory, bytes("abc")))).string()));
    Bytes got;
    ASSERT_TRUE(packed.ReadEntry("X.SQL", got));
    EXPECT_EQ(str(got), "abc");

    // The standard CRC-32 (start ~0, final inversion) is not this file's check.
    auto standard = dir.write("std.pak", str(handMade(directory, bytes("abc"), 0xFFFFFFFFu, true)));
    EXPECT_FALSE(packed.Open(standard.string()));
    EXPECT_FALSE(packed.IsOpen());
    EXPECT_FALSE(packed.Open((dir / "none.pak").string()));
}

TEST(PackedFile, BadLengthsAreArchiveFailures)
{
    kelm::test::TempDir dir;
    auto directoryWith = [](std::uint32_t count, std::uint32_t offset, std::uint32_t length) {
        Bytes d;
        WriteArchiveString(d, "t");
        d.insert(d.end(), 6, 0);
        put32(d, count);
        if (count) {
            WriteArchiveString(d, "x.sql");
            put32(d, offset);
            put32(d, length);
            put32(d, 0);
        }
        return d;
    };
    struct Case {
        const char* what;
        Bytes file;
        int cause;
    } cases[] = {
        {"directory length past the end",
         [] { Bytes f(16, 'P'); put32(f, 0x7FFFFFF0u); f.resize(64, 0); return f; }(),
         CArchiveException::endOfFile},
        {"more entries than bytes", handMade(directoryWith(1000000, 0, 0), {}), CArchiveException::endOfFile},
        {"entry count says one, directory holds none", handMade(directoryWith(0, 0, 0), {}), -1},
        {"entry offset past the end", handMade(directoryWith(1, 1u << 30, 1), bytes("abc")),
         CArchiveException::badIndex},
        {"entry length past the end", handMade(directoryWith(1, 40, 0xFFFFFFF0u), bytes("abc")),
         CArchiveException::badIndex},
        {"string length past the end",
         [] { Bytes d{0xFF, 0xFF, 0xFF, 0x10, 0, 0, 0}; return handMade(d, {}); }(),
         CArchiveException::endOfFile},
    };
    for (auto& c : cases) {
        if (c.cause < 0) {
            // A count of 0 is a valid, empty directory.
            CPackedFile packed;
            EXPECT_TRUE(packed.Open(dir.write("case.pak", str(c.file)).string())) << c.what;
            continue;
        }
        CPackedFile packed;
        try {
            packed.Open(dir.write("case.pak", str(c.file)).string());
            ADD_FAILURE() << c.what << ": no archive failure";
        } catch (const CArchiveException& e) {
            EXPECT_EQ(e.m_cause, c.cause) << c.what;
        }
        EXPECT_FALSE(packed.IsOpen()) << c.what;
    }
}

TEST(PackedFile, WideStringNamesAreReadAsUtf8)
{
    kelm::test::TempDir dir;
    Bytes d;
    WriteArchiveString(d, "");
    d.insert(d.end(), 6, 0);
    put32(d, 1);
    std::u16string name = u"Отчёт.sql";
    d.insert(d.end(), {0xFF, 0xFE, 0xFF, static_cast<std::uint8_t>(name.size())});
    for (char16_t c : name)
        d.insert(d.end(), {static_cast<std::uint8_t>(c), static_cast<std::uint8_t>(c >> 8)});
    std::uint32_t offset = static_cast<std::uint32_t>(24 + d.size() + 12);
    put32(d, offset);
    put32(d, 2);
    put32(d, 2);
    CPackedFile packed;
    ASSERT_TRUE(packed.Open(dir.write("w.pak", str(handMade(d, bytes("ok")))).string()));
    Bytes got;
    ASSERT_TRUE(packed.ReadEntry("ОТЧЁТ.SQL", got));
    EXPECT_EQ(str(got), "ok");
}

TEST(CompressFile, WritesGzipThatZlibReadsAndReadsItBack)
{
    kelm::test::TempDir dir;
    auto path = (dir / "x.gz").string();
    Bytes part1 = randomText(10000, 3), part2 = randomText(5000, 4);
    {
        SECCompressFile f;
        ASSERT_TRUE(f.Open(path, SECCompressFile::modeWrite | SECCompressFile::modeCreate, nullptr, 9));
        f.Write(part1.data(), part1.size());
        f.Write(part2.data(), part2.size());
        f.Close();
    }
    std::string file = kelm::test::readFile(path);
    ASSERT_GE(file.size(), 18u);
    EXPECT_EQ(file.substr(0, 10), std::string("\x1f\x8b\x08\0\0\0\0\0\0\x0b", 10));

    // zlib's own gzip decoder accepts the member, trailer included.
    Bytes all = part1;
    all.insert(all.end(), part2.begin(), part2.end());
    z_stream s{};
    ASSERT_EQ(inflateInit2(&s, 16 + 15), Z_OK);
    Bytes out(all.size() + 10);
    s.next_in = reinterpret_cast<Bytef*>(file.data());
    s.avail_in = static_cast<uInt>(file.size());
    s.next_out = out.data();
    s.avail_out = static_cast<uInt>(out.size());
    EXPECT_EQ(inflate(&s, Z_FINISH), Z_STREAM_END);
    out.resize(s.total_out);
    inflateEnd(&s);
    EXPECT_EQ(out, all);

    SECCompressFile r;
    ASSERT_TRUE(r.Open(path, SECCompressFile::modeRead));
    EXPECT_FALSE(r.IsTransparent());
    Bytes back(all.size() + 100);
    EXPECT_EQ(r.Read(back.data(), back.size()), all.size());
    back.resize(all.size());
    EXPECT_EQ(back, all);
    EXPECT_EQ(r.Read(back.data(), 10), 0u); // after the end of the stream
}

TEST(CompressFile, ReadsOfAnySizeInAnyOrderGiveTheStreamInOrder)
{
    // Small reads and large ones take their input in blocks of different
    // sizes; input left over by one kind is used up by the next.
    kelm::test::TempDir dir;
    auto path = (dir / "mixed.gz").string();
    Bytes all = randomText(600000, 11);
    {
        SECCompressFile f;
        ASSERT_TRUE(f.Open(path, SECCompressFile::modeWrite | SECCompressFile::modeCreate));
        f.Write(all.data(), all.size());
        f.Close();
    }
    SECCompressFile r;
    ASSERT_TRUE(r.Open(path, SECCompressFile::modeRead));
    Bytes back(all.size() + 7);
    std::size_t at = 0;
    for (std::size_t ask : {std::size_t(10), std::size_t(100000), std::size_t(5), std::size_t(4096),
                            std::size_t(4097), std::size_t(1), back.size()}) {
        std::size_t want = std::min(ask, back.size() - at);
        std::size_t got = r.Read(back.data() + at, want);
        EXPECT_EQ(got, std::min(want, all.size() - at)) << "reading " << ask;
        at += got;
    }
    ASSERT_EQ(at, all.size());
    back.resize(at);
    EXPECT_EQ(back, all);
}

TEST(CompressFile, PlainBytesAfterSwitchingCompressionOff)
{
    kelm::test::TempDir dir;
    auto path = (dir / "mixed.bin").string();
    {
        SECCompressFile f;
        ASSERT_TRUE(f.Open(path, SECCompressFile::modeWrite | SECCompressFile::modeCreate));
        f.Write("compressed part", 15);
        f.SetCompression(false);
        f.Write("PLAIN", 5);
        f.SetCompression(true);
        f.Close();
    }
    std::string file = kelm::test::readFile(path);
    EXPECT_NE(file.find("PLAIN"), std::string::npos);
    // The sync flush ends on a byte boundary: the bytes before PLAIN decode
    // to the first part.
    z_stream s{};
    ASSERT_EQ(inflateInit2(&s, -15), Z_OK);
    char out[64];
    s.next_in = reinterpret_cast<Bytef*>(file.data() + 10);
    s.avail_in = static_cast<uInt>(file.find("PLAIN") - 10);
    s.next_out = reinterpret_cast<Bytef*>(out);
    s.avail_out = sizeof out;
    inflate(&s, Z_SYNC_FLUSH);
    EXPECT_EQ(std::string(out, s.total_out), "compressed part");
    inflateEnd(&s);
}

TEST(CompressFile, ClosingWithCompressionOffFreesTheStream)
{
    kelm::test::TempDir dir;
    SECCompressFile f;
    ASSERT_TRUE(f.Open((dir / "w.gz").string(), SECCompressFile::modeWrite | SECCompressFile::modeCreate));
    f.Write("abc", 3);
    f.SetCompression(false);
    f.Close(); // LeakSanitizer would see zlib's state otherwise
    EXPECT_FALSE(f.IsOpen());
    f.SetCompression(true);
    ASSERT_TRUE(f.Open((dir / "w.gz").string(), SECCompressFile::modeRead));
    f.SetCompression(false);
    f.Close();
}

TEST(CompressFile, TransparentForFilesWithoutTheMagic)
{
    kelm::test::TempDir dir;
    auto path = dir.write("plain.txt", "just text").string();
    SECCompressFile f;
    ASSERT_TRUE(f.Open(path, SECCompressFile::modeRead));
    EXPECT_TRUE(f.IsTransparent());
    char buf[32];
    EXPECT_EQ(f.Read(buf, sizeof buf), 9u);
    EXPECT_EQ(std::string(buf, 9), "just text");
    f.Seek(5, SECCompressFile::begin);
    EXPECT_EQ(f.Read(buf, sizeof buf), 4u);
    EXPECT_EQ(std::string(buf, 4), "text");

    SECCompressFile none;
    CFileException error(0, 0, "");
    EXPECT_FALSE(none.Open((dir / "none").string(), SECCompressFile::modeRead, &error));
    EXPECT_EQ(error.m_cause, CFileException::fileNotFound);
}

TEST(CompressFile, SeekStartsTheDecoderAfresh)
{
    kelm::test::TempDir dir;
    CPackedFileWriter writer(true);
    Bytes first = randomText(50000, 5), second = randomText(7000, 6);
    writer.AddEntry("first", first);
    writer.AddEntry("second", second);
    auto path = (dir / "two.pak").string();
    writer.Write(path);
    CPackedFile packed;
    ASSERT_TRUE(packed.Open(path));
    const COffsetFile* a = packed.GetDirectory().Find("first");
    const COffsetFile* b = packed.GetDirectory().Find("second");

    // One stream, moved between entries: input read ahead for one entry
    // never leaks into the next.
    SECCompressFile f;
    ASSERT_TRUE(f.Open(path, SECCompressFile::modeRead));
    Bytes got(100);
    f.Seek(a->m_nOffset, SECCompressFile::begin);
    ASSERT_EQ(f.Read(got.data(), got.size()), got.size());
    EXPECT_TRUE(std::equal(got.begin(), got.end(), first.begin()));
    got.assign(second.size(), 0);
    f.Seek(b->m_nOffset, SECCompressFile::begin);
    ASSERT_EQ(f.Read(got.data(), got.size()), second.size());
    EXPECT_EQ(got, second);
    f.Seek(a->m_nOffset, SECCompressFile::begin);
    got.assign(first.size(), 0);
    ASSERT_EQ(f.Read(got.data(), got.size()), first.size());
    EXPECT_EQ(got, first);
}

#ifdef DORVIK_PACK
TEST(PackTool, MakesFilesTheReaderReads)
{
    kelm::test::TempDir dir;
    auto a = dir.write("a.sql", "SELECT 1;\r\nGO\r\n");
    auto b = dir.write("b b.sql", "SELECT 2;");
    for (const char* option : {"", "-p "}) {
        std::string out = (dir / "kit.pak").string();
        std::string command = std::string(DORVIK_PACK) + " " + option + "-t 'Demo kit' '" + out + "' 'ddl\\A.sql=" +
                              a.string() + "' '" + b.string() + "'";
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
        CPackedFile packed;
        ASSERT_TRUE(packed.Open(out));
        EXPECT_EQ(packed.GetDirectory().m_strTitle, "Demo kit");
        Bytes got;
        ASSERT_TRUE(packed.ReadEntry("DDL\\a.sql", got));
        EXPECT_EQ(str(got), "SELECT 1;\r\nGO\r\n");
        ASSERT_TRUE(packed.ReadEntry(b.string(), got));
        EXPECT_EQ(str(got), "SELECT 2;");
    }
    std::string bad = std::string(DORVIK_PACK) + " '" + (dir / "x.pak").string() + "' '" + (dir / "missing").string() + "'";
    EXPECT_NE(std::system((bad + " 2>/dev/null").c_str()), 0);
}
#endif

TEST(PackedFile, ReadsAFileMadeByAnotherEncoder)
{
    // fixtures/make_python_pak.py wrote it with Python's zlib.
    CPackedFile packed;
    ASSERT_TRUE(packed.Open(std::string(KELM_INSTALLER_FIXTURES) + "/python-gzip.pak"));
    std::string create;
    for (int i = 0; i < 40; ++i)
        create += "CREATE TABLE t (a int)\r\nGO\r\nINSERT INTO t VALUES (1)\r\n";
    Bytes all;
    for (int i = 0; i < 3; ++i)
        for (int b = 0; b < 256; ++b)
            all.push_back(static_cast<std::uint8_t>(b));
    Bytes got;
    ASSERT_TRUE(packed.ReadEntry("DDL\\create.sql", got));
    EXPECT_EQ(str(got), create);
    ASSERT_TRUE(packed.ReadEntry("empty.sql", got));
    EXPECT_TRUE(got.empty());
    ASSERT_TRUE(packed.ReadEntry("data/данные.sql", got));
    EXPECT_EQ(got, all);
}

TEST(PackedFile, AnEntryLongerThanItsDataFailsWithoutTakingItsLength)
{
    // A compressed entry that claims 100 MB and holds 400 kB: the
    // reader must not set the claimed size aside before the data is there.
    kelm::test::TempDir dir;
    CPackedFileWriter writer(true);
    Bytes real = randomText(400000, 9);
    writer.AddEntry("big.sql", real);
    auto path = (dir / "big.pak").string();
    writer.Write(path);
    std::string whole = kelm::test::readFile(path);
    CPackedFile probe;
    ASSERT_TRUE(probe.Open(path));
    const COffsetFile* e = probe.GetDirectory().Find("big.sql");
    ASSERT_NE(e, nullptr);
    probe.Close();

    // Rewrite the entry's length in the directory and its check value.
    std::uint32_t length = static_cast<std::uint8_t>(whole[16]) | (static_cast<std::uint8_t>(whole[17]) << 8);
    Bytes directory(whole.begin() + 20, whole.begin() + 20 + length);
    std::size_t at = std::search(directory.begin(), directory.end(), std::begin("big.sql"),
                                 std::end("big.sql") - 1) - directory.begin() + 7 + 4;
    std::uint32_t claimed = 100u << 20;
    for (int i = 0; i < 4; ++i)
        directory[at + i] = static_cast<std::uint8_t>(claimed >> (8 * i));
    std::uint32_t check = Crc32(directory.data(), directory.size(), 0x01AFB020u);
    std::string bad = whole.substr(0, 20) + str(directory);
    for (int i = 0; i < 4; ++i)
        bad.push_back(static_cast<char>(check >> (8 * i)));
    bad += whole.substr(24 + length);
    CPackedFile packed;
    ASSERT_TRUE(packed.Open(dir.write("claims.pak", bad).string()));
    ASSERT_EQ(packed.GetDirectory().Find("big.sql")->m_nLength, claimed);
    Bytes got;
    EXPECT_FALSE(packed.ReadEntry("big.sql", got));
    EXPECT_LT(got.capacity(), std::size_t(16) << 20);

    // A buffer with room for the claim is decoded into as it is: it ends
    // with what the entry really holds and nothing of its old content.
    Bytes roomy(claimed + 10, 0xAA);
    EXPECT_FALSE(packed.ReadEntry("big.sql", roomy));
    EXPECT_EQ(roomy, real);
}

TEST(CompressFile, ABadGzipHeaderStaysAnErrorAfterASeek)
{
    kelm::test::TempDir dir;
    CPackedFileWriter writer(true);
    writer.AddEntry("a.sql", bytes("SELECT 1"));
    auto path = (dir / "a.pak").string();
    writer.Write(path);
    std::string whole = kelm::test::readFile(path);
    struct Damage {
        std::size_t at;
        char value;
    } damages[] = {{2, 7}, {3, 0x20}, {3, char(0x80)}};
    for (const auto& d : damages) {
        SCOPED_TRACE(d.at);
        std::string bad = whole;
        bad[d.at] = d.value;
        CPackedFile packed;
        ASSERT_TRUE(packed.Open(dir.write("bad.pak", bad).string())); // the directory is plain
        Bytes got;
        EXPECT_FALSE(packed.ReadEntry("a.sql", got));
    }
}
