// Files for the archive: a file on disk and a file in memory, with the class
// library's open modes and its file exception.
#pragma once

#include "afx/object.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

class CFileException : public CException {
public:
    enum Cause { none, generic, fileNotFound, accessDenied, endOfFile, diskFull, badSeek };
    CFileException(Cause cause, const std::string& fileName, const std::string& what)
        : CException(what), m_cause(cause), m_strFileName(fileName) {}
    Cause m_cause;
    std::string m_strFileName;
};

class CFile {
public:
    enum OpenFlags : unsigned {
        modeRead = 0x0000,
        modeWrite = 0x0001,
        modeReadWrite = 0x0002,
        modeCreate = 0x1000,
        modeNoTruncate = 0x2000,
    };
    enum SeekPosition { begin = 0, current = 1, end = 2 };

    CFile() = default;
    CFile(const std::string& path, unsigned flags); // throws CFileException
    virtual ~CFile();
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;

    bool Open(const std::string& path, unsigned flags, CFileException* error = nullptr);
    virtual void Close();
    // Reads up to count bytes and returns how many it read; 0 at the end.
    virtual std::size_t Read(void* buffer, std::size_t count);
    virtual void Write(const void* buffer, std::size_t count);
    virtual std::uint64_t Seek(std::int64_t offset, SeekPosition from);
    virtual std::uint64_t GetLength() const;
    virtual std::uint64_t GetPosition() const;
    virtual void Flush();
    const std::string& GetFilePath() const { return m_path; }

private:
    std::FILE* m_file = nullptr;
    std::string m_path;
};

// A growable file in memory; the archive over it gives the bytes of a blob
// column or of the clipboard.
class CMemFile : public CFile {
public:
    CMemFile() = default;
    explicit CMemFile(std::vector<std::uint8_t> bytes) : m_data(std::move(bytes)) {}
    CMemFile(const std::uint8_t* data, std::size_t size) : m_data(data, data + size) {}

    void Close() override {}
    std::size_t Read(void* buffer, std::size_t count) override;
    void Write(const void* buffer, std::size_t count) override;
    std::uint64_t Seek(std::int64_t offset, SeekPosition from) override;
    std::uint64_t GetLength() const override { return m_data.size(); }
    std::uint64_t GetPosition() const override { return m_pos; }
    void Flush() override {}
    void SetLength(std::uint64_t length);

    const std::vector<std::uint8_t>& Data() const { return m_data; }
    // Hands the bytes over and leaves the file empty.
    std::vector<std::uint8_t> Detach();

private:
    std::vector<std::uint8_t> m_data;
    std::size_t m_pos = 0;
};
