#include "installer/packed/packwriter.h"

#include "installer/packed/compressfile.h"
#include "installer/packed/crc32.h"

#include <fcntl.h>
#include <unistd.h>
#include <zlib.h>

#include <cerrno>
#include <cstring>

namespace dorvik {

namespace {

void putU32(std::uint8_t* p, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

class OutFile {
public:
    explicit OutFile(const std::string& path) : m_path(path)
    {
        m_fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
        if (m_fd < 0)
            CFileException::ThrowErrno(errno, path);
    }
    ~OutFile()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    void write(const void* data, std::size_t size)
    {
        auto* p = static_cast<const std::uint8_t*>(data);
        while (size > 0) {
            ssize_t n = ::write(m_fd, p, size);
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                CFileException::ThrowErrno(errno, m_path);
            }
            p += n;
            size -= static_cast<std::size_t>(n);
        }
    }
    void close()
    {
        int fd = m_fd;
        m_fd = -1;
        if (::close(fd) != 0)
            CFileException::ThrowErrno(errno, m_path);
    }

private:
    std::string m_path;
    int m_fd = -1;
};

} // namespace

CPackedFileWriter::CPackedFileWriter(bool compressed, int level)
    : m_compressed(compressed), m_level(level >= 0 && level <= 9 ? level : Z_DEFAULT_COMPRESSION)
{
}

void CPackedFileWriter::SetValues(std::uint16_t a, std::uint16_t b, std::uint16_t c)
{
    m_values[0] = a;
    m_values[1] = b;
    m_values[2] = c;
}

void CPackedFileWriter::AddEntry(std::string name, std::vector<std::uint8_t> data)
{
    m_entries.push_back({std::move(name), std::move(data)});
}

std::vector<std::uint8_t> CPackedFileWriter::encode(const std::vector<std::uint8_t>& data) const
{
    if (!m_compressed)
        return data;
    z_stream strm{};
    if (deflateInit2(&strm, m_level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        throw std::bad_alloc();
    std::vector<std::uint8_t> out(deflateBound(&strm, data.size()) + 8);
    strm.next_in = const_cast<Bytef*>(data.data());
    strm.avail_in = static_cast<uInt>(data.size());
    strm.next_out = out.data();
    strm.avail_out = static_cast<uInt>(out.size() - 8);
    int rc = deflate(&strm, Z_FINISH);
    std::size_t used = out.size() - 8 - strm.avail_out;
    deflateEnd(&strm);
    if (rc != Z_STREAM_END)
        throw CArchiveException(CArchiveException::genericException);
    putU32(out.data() + used, static_cast<std::uint32_t>(crc32(0, data.data(), static_cast<uInt>(data.size()))));
    putU32(out.data() + used + 4, static_cast<std::uint32_t>(data.size()));
    out.resize(used + 8);
    return out;
}

void CPackedFileWriter::Write(const std::string& path) const
{
    constexpr std::uint64_t kLimit = 0xFFFFFFFFu;
    std::vector<std::vector<std::uint8_t>> encoded;
    encoded.reserve(m_entries.size());
    CPackedDirectory directory;
    directory.m_strTitle = m_title;
    std::memcpy(directory.m_wValues, m_values, sizeof m_values);
    for (const auto& e : m_entries) {
        if (e.data.size() > kLimit)
            throw CArchiveException(CArchiveException::badIndex, path);
        if (directory.Find(e.name))
            throw CArchiveException(CArchiveException::badIndex, path); // two entries of one name
        encoded.push_back(encode(e.data));
        directory.Add(COffsetFile{e.name, 0, 0, 0});
    }
    // Offsets are fixed-width, so the directory's size is known before them.
    std::uint64_t offset = 24 + directory.Store().size();
    for (std::size_t i = 0; i < m_entries.size(); ++i) {
        if (offset > kLimit)
            throw CArchiveException(CArchiveException::badIndex, path);
        directory.Add(COffsetFile{m_entries[i].name, static_cast<std::uint32_t>(offset),
                                  static_cast<std::uint32_t>(m_entries[i].data.size()),
                                  static_cast<std::uint32_t>(encoded[i].size())});
        offset += encoded[i].size();
    }
    std::vector<std::uint8_t> stored = directory.Store();

    std::uint8_t head[20] = {};
    if (m_compressed) {
        const std::uint8_t gzip[10] = {0x1F, 0x8B, 8, 0, 0, 0, 0, 0, 0, 11};
        std::memcpy(head, gzip, sizeof gzip);
    } else {
        std::memcpy(head, "KELM PACKED FILE", 16);
    }
    putU32(head + 16, static_cast<std::uint32_t>(stored.size()));
    std::uint8_t check[4];
    putU32(check, COXCRC32().CalculateBlock(stored.data(), stored.size(), CPackedFile::kCheckStart));

    OutFile out(path);
    out.write(head, sizeof head);
    out.write(stored.data(), stored.size());
    out.write(check, sizeof check);
    for (const auto& data : encoded)
        out.write(data.data(), data.size());
    out.close();
}

} // namespace dorvik
