// Files whose reads and writes can pass through a gzip stream (RFC 1952
// framing around raw deflate), and the packed data files built on them: a
// directory of named entries that a patch section's scripts are read from.
#pragma once

#include "installer/packed/exceptions.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace dorvik {

// The zlib settings the stream is made with.
struct SECComp {
    int level = -1; // Z_DEFAULT_COMPRESSION
    int memLevel = 8;
    int windowBits = 15;
};

class SECCompressFile {
public:
    enum OpenFlags : unsigned {
        modeRead = 0x0000,
        modeWrite = 0x0001,
        modeReadWrite = 0x0002,
        modeCreate = 0x1000,
    };
    enum SeekPosition { begin = 0, current = 1, end = 2 };

    SECCompressFile();
    SECCompressFile(const SECCompressFile&) = delete;
    SECCompressFile& operator=(const SECCompressFile&) = delete;
    virtual ~SECCompressFile();

    // `level` 0..9; -1 or anything outside -1..9 is the default level.
    virtual bool Open(const std::string& path, unsigned openFlags, CFileException* error = nullptr,
                      int level = -1);
    // Bytes produced: through the stream with compression on (0 when no
    // stream is open), plain otherwise. Plain reads and writes throw
    // CFileException on failure.
    virtual std::size_t Read(void* buffer, std::size_t count);
    virtual void Write(const void* buffer, std::size_t count);
    virtual void Close();

    void SetCompression(bool on);
    bool GetCompression() const { return m_bCompress; }
    // The plain file position. Input buffered by the stream is dropped and
    // the decoder starts afresh at the new position.
    std::uint64_t Seek(std::int64_t offset, SeekPosition from);
    std::uint64_t GetLength() const;
    const std::string& GetFilePath() const { return m_strPath; }
    bool IsOpen() const { return m_fd >= 0; }
    // A file opened for reading that does not start with the gzip magic.
    bool IsTransparent() const;

private:
    struct GzStream;
    void gzOpen(char mode);
    void gzClose();
    void releaseStream();
    std::size_t gzRead(void* buffer, std::size_t count);
    void gzWrite(const void* buffer, std::size_t count, int flush);
    void writeAll(const void* data, std::size_t size);
    std::size_t readSome(void* data, std::size_t size);

    SECComp m_comp;
    std::unique_ptr<GzStream> m_gz;
    bool m_bCompress = true;
    int m_fd = -1;
    std::string m_strPath;
};

// One entry of a packed file's directory.
struct COffsetFile {
    std::string m_strName;
    std::uint32_t m_nOffset = 0;
    std::uint32_t m_nLength = 0;
    std::uint32_t m_nExtra = 0; // the writer stores the entry's size in the file
};

class CPackedDirectory {
public:
    // Loads the archive form; throws CArchiveException when it is cut short
    // or malformed. Entries are keyed by their upper-cased names.
    void Load(const std::uint8_t* data, std::size_t size);
    std::vector<std::uint8_t> Store() const;
    void Clear();

    const COffsetFile* Find(const std::string& name) const;
    void Add(const COffsetFile& entry);

    std::string m_strTitle;
    std::uint16_t m_wValues[3] = {0, 0, 0};
    std::map<std::string, std::unique_ptr<COffsetFile>> m_entries;
};

class CPackedFile {
public:
    // The directory's check value starts the register here.
    static constexpr std::uint32_t kCheckStart = 0x01AFB020u;

    // False for a missing file or a bad check value; a broken directory
    // throws CArchiveException.
    bool Open(const std::string& path);
    void Close();
    bool IsOpen() const { return m_file.IsOpen(); }
    bool HasEntry(const std::string& name) const;
    bool ReadEntry(const std::string& name, std::vector<std::uint8_t>& bytes);
    const CPackedDirectory& GetDirectory() const { return m_directory; }

private:
    void checkEntries(std::uint64_t fileSize, bool compressed) const;

    SECCompressFile m_file;
    CPackedDirectory m_directory;
};

// Archive strings: a length prefix (1 byte, 0xFF + 2 bytes, 0xFF 0xFFFF + 4
// bytes; 0xFF 0xFFFE first for 16-bit characters), then the characters.
void WriteArchiveString(std::vector<std::uint8_t>& out, const std::string& text);

} // namespace dorvik
