// Writes packed data files in the layout the installer reads: a 16-byte
// lead-in (a gzip member header when compressed), the directory's length,
// the directory, its check value, then the entries' data.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace dorvik {

class CPackedFileWriter {
public:
    // Compressed: each entry is a raw deflate stream followed by its CRC-32
    // and length, as a gzip member ends. Plain: each entry is its bytes.
    explicit CPackedFileWriter(bool compressed = true, int level = -1);

    void SetTitle(std::string title) { m_title = std::move(title); }
    void SetValues(std::uint16_t a, std::uint16_t b, std::uint16_t c);
    void AddEntry(std::string name, std::vector<std::uint8_t> data);

    // Throws CFileException on a write failure, CArchiveException when the
    // contents do not fit the 32-bit offsets and lengths.
    void Write(const std::string& path) const;

private:
    struct Entry {
        std::string name;
        std::vector<std::uint8_t> data;
    };
    std::vector<std::uint8_t> encode(const std::vector<std::uint8_t>& data) const;

    bool m_compressed;
    int m_level;
    std::string m_title;
    std::uint16_t m_values[3] = {1, 0, 0};
    std::vector<Entry> m_entries;
};

} // namespace dorvik
