#include "installer/packed/compressfile.h"

#include "installer/packed/crc32.h"
#include "winapi/text.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace dorvik {

namespace {

constexpr std::size_t kBufferSize = 4096;
// Input a large read decodes from per call: each inflate call costs the same
// setup and window copy however little input it is given, so 4 KB calls
// cost a fifth more than one call over the whole entry.
constexpr std::size_t kInputBlock = 64u << 10;
// Output of one inflate call at most, so that its check value is taken
// while the bytes are still in the cache.
constexpr std::size_t kInflateStep = 256u << 10;
constexpr unsigned char kGzipMagic[2] = {0x1F, 0x8B};
// Deflate never expands data by more than this factor the other way round,
// so an entry cannot decode to more than its stored bytes times this.
constexpr std::uint64_t kMaxInflateRatio = 1032;

void putLe32(unsigned char* p, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<unsigned char>(v >> (8 * i));
}

std::uint32_t getLe32(const unsigned char* p)
{
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

} // namespace

struct SECCompressFile::GzStream {
    char mode = 'r';
    z_stream strm{};
    bool zInit = false;
    unsigned char buffer[kBufferSize];
    std::unique_ptr<unsigned char[]> input; // kInputBlock bytes, made on the first large read
    std::uint32_t crc = 0; // as the gzip trailer holds it: inverted
    COXCRC32 check;
    std::uint64_t count = 0;
    int status = Z_OK;
    bool eof = false;
    bool transparent = false;
    bool badHeader = false; // stays, wherever the file is moved to

    void addCheck(const void* data, std::size_t size)
    {
        if (size)
            crc = ~check.CalculateBlock(data, size, ~crc);
    }
};

SECCompressFile::SECCompressFile() = default;

SECCompressFile::~SECCompressFile()
{
    try {
        Close();
    } catch (...) {
        // A destructor cannot report; Close() is where callers see failures.
    }
}

bool SECCompressFile::Open(const std::string& path, unsigned openFlags, CFileException* error, int level)
{
    Close();
    bool writing = (openFlags & (modeWrite | modeReadWrite)) != 0;
    int flags = O_CLOEXEC;
    if (openFlags & modeReadWrite)
        flags |= O_RDWR;
    else if (openFlags & modeWrite)
        flags |= O_WRONLY;
    else
        flags |= O_RDONLY;
    if ((openFlags & modeCreate) || (writing && m_bCompress))
        flags |= O_CREAT | O_TRUNC;
    int fd = ::open(path.c_str(), flags, 0666);
    if (fd < 0) {
        if (error) {
            try {
                CFileException::ThrowErrno(errno, path);
            } catch (const CFileException& e) {
                *error = e;
            }
        }
        return false;
    }
    m_fd = fd;
    m_strPath = path;
    m_comp.level = (level >= 0 && level <= 9) ? level : Z_DEFAULT_COMPRESSION;
    if (m_bCompress) {
        try {
            gzOpen(writing ? 'w' : 'r');
        } catch (const CFileException& e) {
            if (error)
                *error = e;
            m_gz.reset();
            ::close(m_fd);
            m_fd = -1;
            return false;
        }
        if (!m_gz) {
            ::close(m_fd);
            m_fd = -1;
            return false;
        }
    }
    return true;
}

void SECCompressFile::Close()
{
    if (m_fd < 0)
        return;
    try {
        if (m_bCompress)
            gzClose();
    } catch (...) {
        releaseStream();
        ::close(m_fd);
        m_fd = -1;
        throw;
    }
    releaseStream();
    ::close(m_fd);
    m_fd = -1;
}

void SECCompressFile::releaseStream()
{
    // A stream left while compression was off is freed without finishing.
    if (m_gz && m_gz->zInit) {
        if (m_gz->mode == 'w')
            deflateEnd(&m_gz->strm);
        else
            inflateEnd(&m_gz->strm);
        m_gz->zInit = false;
    }
    m_gz.reset();
}

std::size_t SECCompressFile::Read(void* buffer, std::size_t count)
{
    if (m_bCompress)
        return m_gz ? gzRead(buffer, count) : 0;
    if (m_fd < 0)
        return 0;
    return readSome(buffer, count);
}

void SECCompressFile::Write(const void* buffer, std::size_t count)
{
    if (m_bCompress) {
        if (!m_gz || m_gz->mode != 'w')
            return;
        const auto* p = static_cast<const unsigned char*>(buffer);
        constexpr std::size_t kPiece = 1u << 30; // zlib counts in 32 bits
        do {
            std::size_t n = std::min(count, kPiece);
            gzWrite(p, n, Z_NO_FLUSH);
            p += n;
            count -= n;
        } while (count > 0);
        return;
    }
    if (m_fd >= 0)
        writeAll(buffer, count);
}

void SECCompressFile::SetCompression(bool on)
{
    if (!on && m_bCompress && m_gz && m_gz->mode == 'w' && m_gz->zInit)
        gzWrite(nullptr, 0, Z_SYNC_FLUSH); // so that plain bytes can follow
    m_bCompress = on;
}

std::uint64_t SECCompressFile::Seek(std::int64_t offset, SeekPosition from)
{
    if (m_fd < 0)
        throw CFileException(CFileException::invalidFile, 6, m_strPath);
    int whence = from == begin ? SEEK_SET : from == current ? SEEK_CUR : SEEK_END;
    off_t pos = ::lseek(m_fd, offset, whence);
    if (pos < 0)
        throw CFileException(CFileException::badSeek, 25, m_strPath);
    if (m_gz && m_gz->mode == 'r') {
        m_gz->strm.avail_in = 0;
        m_gz->strm.next_in = m_gz->buffer;
        m_gz->eof = false;
        m_gz->crc = 0;
        m_gz->count = 0;
        if (m_gz->zInit) {
            inflateReset(&m_gz->strm);
            m_gz->status = m_gz->badHeader ? Z_DATA_ERROR : Z_OK;
        }
    }
    return static_cast<std::uint64_t>(pos);
}

std::uint64_t SECCompressFile::GetLength() const
{
    struct stat st {};
    if (m_fd < 0 || ::fstat(m_fd, &st) != 0)
        return 0;
    return static_cast<std::uint64_t>(st.st_size);
}

bool SECCompressFile::IsTransparent() const { return m_gz && m_gz->transparent; }

std::size_t SECCompressFile::readSome(void* data, std::size_t size)
{
    auto* p = static_cast<unsigned char*>(data);
    std::size_t done = 0;
    while (done < size) {
        ssize_t n = ::read(m_fd, p + done, size - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            CFileException::ThrowErrno(errno, m_strPath);
        }
        if (n == 0)
            break;
        done += static_cast<std::size_t>(n);
    }
    return done;
}

void SECCompressFile::writeAll(const void* data, std::size_t size)
{
    auto* p = static_cast<const unsigned char*>(data);
    while (size > 0) {
        ssize_t n = ::write(m_fd, p, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            CFileException::ThrowErrno(errno, m_strPath);
        }
        p += n;
        size -= static_cast<std::size_t>(n);
    }
}

void SECCompressFile::gzOpen(char mode)
{
    auto gz = std::make_unique<GzStream>();
    gz->mode = mode;
    gz->crc = 0;
    if (mode == 'w') {
        if (deflateInit2(&gz->strm, m_comp.level, Z_DEFLATED, -m_comp.windowBits, m_comp.memLevel,
                         Z_DEFAULT_STRATEGY) != Z_OK)
            return;
        gz->zInit = true;
        gz->strm.next_out = gz->buffer;
        gz->strm.avail_out = kBufferSize;
        m_gz = std::move(gz);
        const unsigned char header[10] = {0x1F, 0x8B, 8, 0, 0, 0, 0, 0, 0, 11};
        writeAll(header, sizeof header);
        return;
    }

    if (inflateInit2(&gz->strm, -m_comp.windowBits) != Z_OK)
        return;
    gz->zInit = true;
    m_gz = std::move(gz);
    GzStream& s = *m_gz;
    // The header is read from the stream's own buffer, byte by byte.
    auto getByte = [&]() -> int {
        if (s.strm.avail_in == 0) {
            if (s.eof)
                return -1;
            std::size_t n = readSome(s.buffer, kBufferSize);
            if (n == 0) {
                s.eof = true;
                return -1;
            }
            s.strm.next_in = s.buffer;
            s.strm.avail_in = static_cast<uInt>(n);
        }
        --s.strm.avail_in;
        return *s.strm.next_in++;
    };
    int b0 = getByte();
    int b1 = b0 < 0 ? -1 : getByte();
    if (b0 != kGzipMagic[0] || b1 != kGzipMagic[1]) {
        s.transparent = true;
        ::lseek(m_fd, 0, SEEK_SET);
        s.strm.avail_in = 0;
        s.eof = false;
        return;
    }
    int method = getByte();
    int flags = getByte();
    if (method != Z_DEFLATED || flags < 0 || (flags & 0xE0)) {
        s.status = Z_DATA_ERROR;
        s.badHeader = true;
        return;
    }
    for (int i = 0; i < 6; ++i)
        getByte();
    if (flags & 4) {
        int lo = getByte();
        int hi = getByte();
        int len = lo < 0 || hi < 0 ? 0 : lo | (hi << 8);
        while (len-- > 0 && getByte() >= 0) {
        }
    }
    if (flags & 8)
        for (int c = getByte(); c > 0; c = getByte()) {
        }
    if (flags & 16)
        for (int c = getByte(); c > 0; c = getByte()) {
        }
    if (flags & 2) {
        getByte();
        getByte();
    }
    if (s.eof) {
        s.status = Z_DATA_ERROR;
        s.badHeader = true;
    }
}

std::size_t SECCompressFile::gzRead(void* buffer, std::size_t count)
{
    GzStream& s = *m_gz;
    if (s.mode != 'r' || s.status == Z_DATA_ERROR || s.status == Z_ERRNO || s.status == Z_STREAM_END)
        return 0;
    if (count == 0)
        return 0;
    auto* out = static_cast<unsigned char*>(buffer);
    if (s.transparent) {
        std::size_t done = 0;
        if (s.strm.avail_in) {
            done = std::min<std::size_t>(s.strm.avail_in, count);
            std::memcpy(out, s.strm.next_in, done);
            s.strm.next_in += done;
            s.strm.avail_in -= static_cast<uInt>(done);
        }
        if (done < count)
            done += readSome(out + done, count - done);
        s.count += done;
        return done;
    }

    std::size_t produced = 0;
    while (produced < count && s.status == Z_OK) {
        if (s.strm.avail_in == 0 && !s.eof) {
            // A small read keeps to the 4 KB block; a large one reads no more
            // input than the output it still wants, as deflate data is rarely
            // larger than what it decodes to.
            unsigned char* in = s.buffer;
            std::size_t ask = kBufferSize;
            std::size_t wanted = count - produced;
            if (wanted > kBufferSize) {
                if (!s.input)
                    s.input = std::make_unique_for_overwrite<unsigned char[]>(kInputBlock);
                in = s.input.get();
                ask = std::min(wanted, kInputBlock);
            }
            ssize_t n;
            do
                n = ::read(m_fd, in, ask);
            while (n < 0 && errno == EINTR);
            if (n < 0) {
                s.status = Z_ERRNO;
                break;
            }
            if (n == 0)
                s.eof = true;
            s.strm.next_in = in;
            s.strm.avail_in = static_cast<uInt>(n);
        }
        std::size_t ask = std::min(count - produced, kInflateStep);
        s.strm.next_out = out + produced;
        s.strm.avail_out = static_cast<uInt>(ask);
        int rc = inflate(&s.strm, Z_NO_FLUSH);
        std::size_t got = ask - s.strm.avail_out;
        s.addCheck(out + produced, got);
        produced += got;
        if (rc == Z_STREAM_END) {
            s.status = Z_STREAM_END;
        } else if (rc == Z_BUF_ERROR) {
            // No progress possible: the input has run out before the end.
            if (s.eof && s.strm.avail_in == 0)
                s.status = Z_DATA_ERROR;
        } else if (rc != Z_OK) {
            s.status = Z_DATA_ERROR;
        }
    }
    s.count += produced;
    return produced;
}

void SECCompressFile::gzWrite(const void* buffer, std::size_t count, int flush)
{
    GzStream& s = *m_gz;
    if (!s.zInit)
        return;
    s.addCheck(buffer, count);
    s.count += count;
    s.strm.next_in = const_cast<Bytef*>(static_cast<const Bytef*>(buffer));
    s.strm.avail_in = static_cast<uInt>(count);
    for (;;) {
        int rc = deflate(&s.strm, flush);
        if (rc == Z_STREAM_ERROR)
            break;
        bool full = s.strm.avail_out == 0;
        if (full || (flush != Z_NO_FLUSH && s.strm.avail_out < kBufferSize)) {
            writeAll(s.buffer, kBufferSize - s.strm.avail_out);
            s.strm.next_out = s.buffer;
            s.strm.avail_out = kBufferSize;
        }
        if (flush == Z_NO_FLUSH) {
            if (s.strm.avail_in == 0 && !full)
                break;
            continue;
        }
        // A flush is complete once deflate leaves room in the buffer.
        if (rc == Z_STREAM_END || !full)
            break;
    }
}

void SECCompressFile::gzClose()
{
    if (!m_gz)
        return;
    GzStream& s = *m_gz;
    if (s.mode == 'w' && s.zInit) {
        gzWrite(nullptr, 0, Z_FINISH);
        unsigned char trailer[8];
        putLe32(trailer, s.crc);
        putLe32(trailer + 4, static_cast<std::uint32_t>(s.count));
        writeAll(trailer, sizeof trailer);
        ::fsync(m_fd);
        deflateEnd(&s.strm);
    } else if (s.zInit) {
        if (s.status == Z_STREAM_END) {
            unsigned char trailer[8];
            std::size_t have = std::min<std::size_t>(s.strm.avail_in, 8);
            std::memcpy(trailer, s.strm.next_in, have);
            try {
                have += readSome(trailer + have, 8 - have);
            } catch (const CFileException&) {
            }
            // Found at close and not reported, as the stream has been read.
            if (have < 8 || getLe32(trailer) != s.crc ||
                getLe32(trailer + 4) != static_cast<std::uint32_t>(s.count))
                s.status = Z_DATA_ERROR;
        }
        inflateEnd(&s.strm);
    }
    s.zInit = false;
}

// ---------------------------------------------------------------------------

namespace {

class ArchiveReader {
public:
    ArchiveReader(const std::uint8_t* data, std::size_t size) : m_p(data), m_end(data + size) {}

    void need(std::size_t n) const
    {
        if (static_cast<std::size_t>(m_end - m_p) < n)
            throw CArchiveException(CArchiveException::endOfFile);
    }
    std::uint8_t u8()
    {
        need(1);
        return *m_p++;
    }
    std::uint16_t u16()
    {
        need(2);
        std::uint16_t v = static_cast<std::uint16_t>(m_p[0] | (m_p[1] << 8));
        m_p += 2;
        return v;
    }
    std::uint32_t u32()
    {
        need(4);
        std::uint32_t v = getLe32(m_p);
        m_p += 4;
        return v;
    }
    std::uint32_t length()
    {
        std::uint8_t b = u8();
        if (b < 0xFF)
            return b;
        std::uint16_t w = u16();
        if (w < 0xFFFE)
            return w;
        if (w == 0xFFFF)
            return u32();
        return kWide;
    }
    std::string string()
    {
        std::uint32_t n = length();
        if (n != kWide) {
            need(n);
            std::string s(reinterpret_cast<const char*>(m_p), n);
            m_p += n;
            return s;
        }
        n = length();
        if (n == kWide)
            throw CArchiveException(CArchiveException::badIndex);
        need(static_cast<std::size_t>(n) * 2);
        std::u16string wide(n, u'\0');
        for (std::uint32_t i = 0; i < n; ++i)
            wide[i] = u16();
        return winapi::Utf16ToUtf8(wide);
    }
    std::size_t remaining() const { return static_cast<std::size_t>(m_end - m_p); }

    static constexpr std::uint32_t kWide = 0xFFFFFFFFu;

private:
    const std::uint8_t* m_p;
    const std::uint8_t* m_end;
};

void putU16(std::vector<std::uint8_t>& out, std::uint16_t v)
{
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}

void putU32(std::vector<std::uint8_t>& out, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

} // namespace

void WriteArchiveString(std::vector<std::uint8_t>& out, const std::string& text)
{
    std::size_t n = text.size();
    if (n < 0xFF) {
        out.push_back(static_cast<std::uint8_t>(n));
    } else if (n < 0xFFFE) {
        out.push_back(0xFF);
        putU16(out, static_cast<std::uint16_t>(n));
    } else {
        if (n > 0xFFFFFFFEu)
            throw CArchiveException(CArchiveException::badIndex);
        out.push_back(0xFF);
        putU16(out, 0xFFFF);
        putU32(out, static_cast<std::uint32_t>(n));
    }
    out.insert(out.end(), text.begin(), text.end());
}

void CPackedDirectory::Clear()
{
    m_strTitle.clear();
    m_wValues[0] = m_wValues[1] = m_wValues[2] = 0;
    m_entries.clear();
}

void CPackedDirectory::Load(const std::uint8_t* data, std::size_t size)
{
    Clear();
    ArchiveReader in(data, size);
    m_strTitle = in.string();
    for (auto& w : m_wValues)
        w = in.u16();
    std::uint32_t count = in.u32();
    // Each entry takes at least 13 bytes: no count beyond what is there.
    if (count > in.remaining() / 13)
        throw CArchiveException(CArchiveException::endOfFile);
    for (std::uint32_t i = 0; i < count; ++i) {
        COffsetFile entry;
        entry.m_strName = in.string();
        entry.m_nOffset = in.u32();
        entry.m_nLength = in.u32();
        entry.m_nExtra = in.u32();
        Add(entry);
    }
}

std::vector<std::uint8_t> CPackedDirectory::Store() const
{
    std::vector<std::uint8_t> out;
    WriteArchiveString(out, m_strTitle);
    for (auto w : m_wValues)
        putU16(out, w);
    putU32(out, static_cast<std::uint32_t>(m_entries.size()));
    for (const auto& [key, entry] : m_entries) {
        WriteArchiveString(out, entry->m_strName);
        putU32(out, entry->m_nOffset);
        putU32(out, entry->m_nLength);
        putU32(out, entry->m_nExtra);
    }
    return out;
}

const COffsetFile* CPackedDirectory::Find(const std::string& name) const
{
    auto it = m_entries.find(winapi::Utf8Upper(name));
    return it == m_entries.end() ? nullptr : it->second.get();
}

void CPackedDirectory::Add(const COffsetFile& entry)
{
    m_entries[winapi::Utf8Upper(entry.m_strName)] = std::make_unique<COffsetFile>(entry);
}

bool CPackedFile::Open(const std::string& path)
{
    Close();
    if (!m_file.Open(path, SECCompressFile::modeRead))
        return false;
    try {
        m_file.SetCompression(false);
        std::uint64_t fileSize = m_file.GetLength();
        m_file.Seek(16, SECCompressFile::begin);
        unsigned char word[4];
        if (m_file.Read(word, 4) != 4)
            throw CArchiveException(CArchiveException::endOfFile, path);
        std::uint32_t length = getLe32(word);
        if (static_cast<std::uint64_t>(length) + 24 > fileSize)
            throw CArchiveException(CArchiveException::endOfFile, path);
        std::vector<std::uint8_t> directory(length);
        if (m_file.Read(directory.data(), length) != length)
            throw CArchiveException(CArchiveException::endOfFile, path);
        COXCRC32 crc;
        std::uint32_t computed = crc.CalculateBlock(directory.data(), directory.size(), kCheckStart);
        try {
            m_directory.Load(directory.data(), directory.size());
        } catch (CArchiveException& e) {
            e.m_strFileName = path;
            throw;
        }
        if (m_file.Read(word, 4) != 4)
            throw CArchiveException(CArchiveException::endOfFile, path);
        m_file.SetCompression(true);
        if (computed != getLe32(word)) {
            Close();
            return false;
        }
        checkEntries(fileSize, !m_file.IsTransparent());
    } catch (...) {
        m_directory.Clear();
        m_file.SetCompression(true);
        m_file.Close();
        throw;
    }
    return true;
}

void CPackedFile::checkEntries(std::uint64_t fileSize, bool compressed) const
{
    for (const auto& [key, e] : m_directory.m_entries) {
        bool bad = e->m_nOffset > fileSize;
        if (!bad && !compressed)
            bad = static_cast<std::uint64_t>(e->m_nOffset) + e->m_nLength > fileSize;
        if (!bad && compressed && e->m_nLength > 0)
            bad = e->m_nLength > (fileSize - e->m_nOffset) * kMaxInflateRatio;
        if (bad)
            throw CArchiveException(CArchiveException::badIndex, m_file.GetFilePath());
    }
}

void CPackedFile::Close()
{
    m_file.SetCompression(true);
    m_file.Close();
    m_directory.Clear();
}

bool CPackedFile::HasEntry(const std::string& name) const { return m_directory.Find(name) != nullptr; }

bool CPackedFile::ReadEntry(const std::string& name, std::vector<std::uint8_t>& bytes)
{
    const COffsetFile* entry = m_directory.Find(name);
    if (!entry)
        return false;
    std::string path = m_file.GetFilePath();
    m_file.Close();
    if (!m_file.Open(path, SECCompressFile::modeRead))
        return false;
    std::size_t length = entry->m_nLength;
    if (length == 0) {
        bytes.clear();
        return true;
    }
    try {
        m_file.Seek(entry->m_nOffset, SECCompressFile::begin);
        if (bytes.capacity() >= length) {
            // Room the caller's buffer has already costs nothing more: the
            // entry is decoded straight into it, with no clearing ahead.
            bytes.resize(length);
            std::size_t got = m_file.Read(bytes.data(), length);
            bytes.resize(got);
            return got == length;
        }
        // Otherwise the declared length is only a claim: the buffer grows
        // (doubling) as the data arrives, so a short entry never costs more
        // than it holds. It is sized and filled a step at a time, so that
        // each step is still in the cache when the decoder writes it.
        bytes.clear();
        while (bytes.size() < length) {
            std::size_t at = bytes.size();
            std::size_t piece = std::min(length - at, kInflateStep);
            if (bytes.capacity() < at + piece)
                bytes.reserve(std::min(length, std::max(2 * at, at + std::max(piece, std::size_t(1) << 16))));
            bytes.resize(at + piece);
            std::size_t got = m_file.Read(bytes.data() + at, piece);
            bytes.resize(at + got);
            if (got < piece)
                return false;
        }
        return true;
    } catch (const CFileException&) {
        bytes.clear();
        return false;
    }
}

} // namespace dorvik
