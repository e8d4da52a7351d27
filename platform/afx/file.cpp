#include "afx/file.h"

#include <cerrno>
#include <cstring>

namespace {

CFileException::Cause causeOf(int err)
{
    switch (err) {
    case ENOENT:
    case ENOTDIR:
        return CFileException::fileNotFound;
    case EACCES:
    case EPERM:
    case EROFS:
        return CFileException::accessDenied;
    case ENOSPC:
        return CFileException::diskFull;
    default:
        return CFileException::generic;
    }
}

} // namespace

CFile::CFile(const std::string& path, unsigned flags)
{
    CFileException error(CFileException::none, path, "");
    if (!Open(path, flags, &error))
        throw error;
}

CFile::~CFile()
{
    if (m_file)
        std::fclose(m_file);
}

bool CFile::Open(const std::string& path, unsigned flags, CFileException* error)
{
    Close();
    const char* mode = "rb";
    if (flags & modeCreate)
        mode = (flags & modeNoTruncate) ? "a+b" : ((flags & modeReadWrite) ? "w+b" : "wb");
    else if (flags & (modeWrite | modeReadWrite))
        mode = "r+b";
    m_file = std::fopen(path.c_str(), mode);
    if (!m_file) {
        int err = errno;
        if (error)
            *error = CFileException(causeOf(err), path, path + ": " + std::strerror(err));
        return false;
    }
    if ((flags & modeCreate) && (flags & modeNoTruncate))
        std::fseek(m_file, 0, SEEK_SET);
    m_path = path;
    return true;
}

void CFile::Close()
{
    if (m_file) {
        std::FILE* f = m_file;
        m_file = nullptr;
        if (std::fclose(f) != 0) {
            int err = errno;
            throw CFileException(causeOf(err), m_path, m_path + ": " + std::strerror(err));
        }
    }
}

std::size_t CFile::Read(void* buffer, std::size_t count)
{
    if (!m_file)
        throw CFileException(CFileException::generic, m_path, "file is not open");
    std::size_t n = std::fread(buffer, 1, count, m_file);
    if (n < count && std::ferror(m_file)) {
        int err = errno;
        throw CFileException(causeOf(err), m_path, m_path + ": " + std::strerror(err));
    }
    return n;
}

void CFile::Write(const void* buffer, std::size_t count)
{
    if (!m_file)
        throw CFileException(CFileException::generic, m_path, "file is not open");
    if (count && std::fwrite(buffer, 1, count, m_file) != count) {
        int err = errno;
        throw CFileException(causeOf(err), m_path, m_path + ": " + std::strerror(err));
    }
}

std::uint64_t CFile::Seek(std::int64_t offset, SeekPosition from)
{
    if (!m_file || std::fseek(m_file, static_cast<long>(offset), static_cast<int>(from)) != 0)
        throw CFileException(CFileException::badSeek, m_path, m_path + ": seek failed");
    return GetPosition();
}

std::uint64_t CFile::GetLength() const
{
    if (!m_file)
        return 0;
    long pos = std::ftell(m_file);
    std::fseek(m_file, 0, SEEK_END);
    long len = std::ftell(m_file);
    std::fseek(m_file, pos, SEEK_SET);
    return len < 0 ? 0 : static_cast<std::uint64_t>(len);
}

std::uint64_t CFile::GetPosition() const
{
    long pos = m_file ? std::ftell(m_file) : 0;
    return pos < 0 ? 0 : static_cast<std::uint64_t>(pos);
}

void CFile::Flush()
{
    if (m_file && std::fflush(m_file) != 0) {
        int err = errno;
        throw CFileException(causeOf(err), m_path, m_path + ": " + std::strerror(err));
    }
}

std::size_t CMemFile::Read(void* buffer, std::size_t count)
{
    std::size_t n = m_pos < m_data.size() ? std::min(count, m_data.size() - m_pos) : 0;
    if (n)
        std::memcpy(buffer, m_data.data() + m_pos, n);
    m_pos += n;
    return n;
}

void CMemFile::Write(const void* buffer, std::size_t count)
{
    if (!count)
        return;
    if (m_pos + count > m_data.size())
        m_data.resize(m_pos + count);
    std::memcpy(m_data.data() + m_pos, buffer, count);
    m_pos += count;
}

std::uint64_t CMemFile::Seek(std::int64_t offset, SeekPosition from)
{
    std::int64_t base = from == begin ? 0 : from == current ? static_cast<std::int64_t>(m_pos)
                                                             : static_cast<std::int64_t>(m_data.size());
    std::int64_t pos = base + offset;
    if (pos < 0)
        throw CFileException(CFileException::badSeek, "", "seek before the start of a memory file");
    m_pos = static_cast<std::size_t>(pos);
    return m_pos;
}

void CMemFile::SetLength(std::uint64_t length)
{
    m_data.resize(length);
    if (m_pos > m_data.size())
        m_pos = m_data.size();
}

std::vector<std::uint8_t> CMemFile::Detach()
{
    std::vector<std::uint8_t> out = std::move(m_data);
    m_data.clear();
    m_pos = 0;
    return out;
}
