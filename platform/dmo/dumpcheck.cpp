// Whether a dump arrived whole before anything is restored from it: the
// tools themselves take a dump cut at a line or a member boundary for a
// shorter dump, and psql follows a dump's \connect out of the database
// being restored.
#include "dmo/restore.h"
#include "winapi/text.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string_view>

namespace dmo {

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kChunk = 1 << 20;

std::ifstream openDump(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw Error(kErrFile, path + ": " + std::strerror(errno));
    return in;
}

bool startsWithNoCase(std::string_view text, std::string_view prefix)
{
    return text.size() >= prefix.size() && winapi::Utf8EqualNoCase(text.substr(0, prefix.size()), prefix);
}

bool endsWithNoCase(std::string_view text, std::string_view suffix)
{
    return text.size() >= suffix.size() && startsWithNoCase(text.substr(text.size() - suffix.size()), suffix);
}

// A statement word followed by a blank or the end of the line.
bool startsWithWords(std::string_view text, std::string_view words)
{
    std::size_t n = words.size();
    return startsWithNoCase(text, words) && (text.size() == n || text[n] == ' ' || text[n] == '\t');
}

// Reads a plain dump line by line, as psql would meet the lines: COPY data
// from its COPY statement to the "\." line, everything else as statements
// and psql commands. Only the start and the end of a line are kept.
class PlainDumpScan {
public:
    explicit PlainDumpScan(std::string path) : m_path(std::move(path)) {}

    bool run(const std::function<bool()>& cancelled)
    {
        std::ifstream in = openDump(m_path);
        std::vector<char> buffer(kChunk);
        for (;;) {
            if (cancelled && cancelled())
                return false;
            in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
            const char* p = buffer.data();
            const char* stop = p + in.gcount();
            if (p == stop)
                break;
            while (p < stop) {
                auto newline = static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(stop - p)));
                append(p, static_cast<std::size_t>((newline ? newline : stop) - p));
                if (!newline)
                    break;
                endLine();
                p = newline + 1;
            }
        }
        if (in.bad())
            throw Error(kErrFile, m_path + ": " + std::strerror(errno));
        if (m_length > 0)
            endLine();
        static const std::array<const char*, 3> closing = {"--", "-- PostgreSQL database dump complete", "--"};
        bool whole = !m_inCopy && m_last.size() == closing.size() &&
                     std::equal(m_last.begin(), m_last.end(), closing.begin());
        if (!whole)
            throw Error(kErrFile, m_path + ": not a whole dump: it does not end with pg_dump's closing comment "
                                           "\"PostgreSQL database dump complete\" (cut short, empty or not made "
                                           "by pg_dump)");
        return true;
    }

private:
    static constexpr std::size_t kHead = 256, kTail = 32;

    void append(const char* data, std::size_t size)
    {
        if (m_head.size() < kHead)
            m_head.append(data, std::min(size, kHead - m_head.size()));
        if (size >= kTail) {
            m_tail.assign(data + size - kTail, kTail);
        } else {
            m_tail.append(data, size);
            if (m_tail.size() > kTail)
                m_tail.erase(0, m_tail.size() - kTail);
        }
        m_length += size;
    }

    void endLine()
    {
        ++m_lineNumber;
        std::string head = std::move(m_head), tail = std::move(m_tail);
        std::size_t length = m_length;
        m_head.clear();
        m_tail.clear();
        m_length = 0;
        if (length > 0 && tail.back() == '\r') {
            tail.pop_back();
            if (length <= kHead)
                head.pop_back();
        }
        if (m_inCopy) {
            if (head == "\\.")
                m_inCopy = false;
            if (m_last.size() != 1 || !m_last[0].empty()) {
                m_last.clear();
                m_last.emplace_back(); // a line of data
            }
            return;
        }
        std::size_t start = head.find_first_not_of(" \t");
        if (start == std::string::npos)
            return; // a blank line
        std::string text = head.substr(start);
        if (text[0] == '\\') {
            std::string command = text.substr(0, text.find_first_of(" \t"));
            if (command == "\\c" || command == "\\connect")
                refuseDatabaseCommand();
            if (command == "\\unrestrict")
                return; // what pg_dump writes after its closing comment
        } else if (startsWithWords(text, "CREATE DATABASE") || startsWithWords(text, "DROP DATABASE")) {
            refuseDatabaseCommand();
        } else if (startsWithWords(text, "COPY") && endsWithNoCase(tail, "FROM stdin;")) {
            m_inCopy = true;
        }
        while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
            text.pop_back();
        m_last.push_back(text);
        if (m_last.size() > 3)
            m_last.erase(m_last.begin());
    }

    [[noreturn]] void refuseDatabaseCommand() const
    {
        throw Error(kErrFile, m_path + ", line " + std::to_string(m_lineNumber) +
                                  ": the dump creates, drops or connects to a database of its own (made with "
                                  "pg_dump --create); only a dump made without --create can be restored into "
                                  "another database");
    }

    std::string m_path;
    std::string m_head, m_tail;
    std::size_t m_length = 0;
    std::size_t m_lineNumber = 0;
    bool m_inCopy = false;
    // The last three lines that are not blank; a line of COPY data is "".
    std::vector<std::string> m_last;
};

std::uint64_t tarNumber(const unsigned char* field, std::size_t size)
{
    std::uint64_t value = 0;
    if (field[0] & 0x80) { // base-256, for members of 8 GB and more
        value = field[0] & 0x7F;
        for (std::size_t i = 1; i < size; ++i)
            value = value << 8 | field[i];
        return value;
    }
    for (std::size_t i = 0; i < size && field[i]; ++i)
        if (field[i] >= '0' && field[i] <= '7')
            value = value * 8 + (field[i] - '0');
    return value;
}

bool checkTar(const std::string& path, const std::function<bool()>& cancelled)
{
    std::ifstream in = openDump(path);
    std::error_code ec;
    std::uint64_t size = fs::file_size(path, ec);
    if (ec)
        throw Error(kErrFile, path + ": " + ec.message());
    std::uint64_t offset = 0;
    for (unsigned count = 0;; ++count) {
        if (count % 256 == 0 && cancelled && cancelled())
            return false;
        unsigned char header[512];
        if (offset + sizeof header > size || !in.seekg(static_cast<std::streamoff>(offset)) ||
            !in.read(reinterpret_cast<char*>(header), sizeof header))
            throw Error(kErrFile, path + ": not a whole tar archive: it ends before its end-of-archive marker "
                                         "(cut short)");
        if (std::all_of(std::begin(header), std::end(header), [](unsigned char b) { return b == 0; }))
            return true;
        std::uint64_t sum = 0;
        for (std::size_t i = 0; i < sizeof header; ++i)
            sum += i >= 148 && i < 156 ? ' ' : header[i];
        if (sum != tarNumber(header + 148, 8))
            throw Error(kErrFile, path + ": damaged tar archive: the member header at byte " +
                                      std::to_string(offset) + " is corrupt");
        std::uint64_t length = tarNumber(header + 124, 12);
        std::string name(reinterpret_cast<const char*>(header), strnlen(reinterpret_cast<const char*>(header), 100));
        if (offset + sizeof header + length > size)
            throw Error(kErrFile, path + ": not a whole tar archive: member \"" + name + "\" is cut short");
        offset += sizeof header + (length + 511) / 512 * 512;
    }
}

// How pg_dump ends a table's data: COPY data with its end marker, INSERT
// statements with a blank line, or an empty table's INSERT form.
bool endsLikeTableData(const std::string& end, std::uint64_t length)
{
    auto endsWith = [&](const std::string& suffix) {
        return end.size() >= suffix.size() && end.compare(end.size() - suffix.size(), suffix.size(), suffix) == 0;
    };
    return endsWith("\\.\n\n\n") || endsWith(";\n\n\n") || (length == 2 && end == "\n\n");
}

// Keeps the last bytes of a stream for endsLikeTableData.
void keepEnd(std::string& end, const char* data, std::size_t size)
{
    end.append(data, size);
    if (end.size() > 8)
        end.erase(0, end.size() - 8);
}

bool checkDirectoryFile(const fs::path& file, const std::function<bool()>& cancelled)
{
    std::string name = file.filename().string();
    bool compressed = name.size() > 3 && name.compare(name.size() - 3, 3, ".gz") == 0;
    std::string plainName = compressed ? name.substr(0, name.size() - 3) : name;
    // A table's data is <number>.dat; large objects and their list are
    // named otherwise.
    std::size_t digits = plainName.size() > 4 ? plainName.size() - 4 : 0;
    bool isTableData = digits > 0 && plainName.compare(digits, 4, ".dat") == 0 &&
                       std::all_of(plainName.begin(), plainName.begin() + static_cast<std::ptrdiff_t>(digits),
                                   [](char c) { return c >= '0' && c <= '9'; });
    if (!compressed && !isTableData)
        return true;

    std::ifstream in = openDump(file.string());
    std::string end;
    std::uint64_t length = 0;
    if (!compressed) {
        std::error_code ec;
        length = fs::file_size(file, ec);
        char last[8] = {};
        std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(length, sizeof last));
        in.seekg(-static_cast<std::streamoff>(n), std::ios::end);
        in.read(last, static_cast<std::streamsize>(n));
        keepEnd(end, last, static_cast<std::size_t>(in.gcount()));
    } else {
        z_stream z{};
        if (inflateInit2(&z, 15 + 16) != Z_OK)
            throw Error(kErrFile, file.string() + ": the decompressor cannot start");
        std::vector<unsigned char> input(kChunk), output(kChunk);
        int status = Z_OK;
        bool ok = true;
        while (ok) {
            if (cancelled && cancelled()) {
                inflateEnd(&z);
                return false;
            }
            in.read(reinterpret_cast<char*>(input.data()), static_cast<std::streamsize>(input.size()));
            z.next_in = input.data();
            z.avail_in = static_cast<uInt>(in.gcount());
            if (z.avail_in == 0)
                break;
            while (z.avail_in > 0) {
                if (status == Z_STREAM_END) // a further gzip member
                    inflateReset(&z);
                z.next_out = output.data();
                z.avail_out = static_cast<uInt>(output.size());
                status = inflate(&z, Z_NO_FLUSH);
                std::size_t produced = output.size() - z.avail_out;
                length += produced;
                keepEnd(end, reinterpret_cast<const char*>(output.data()), produced);
                if (status != Z_OK && status != Z_STREAM_END) {
                    ok = false;
                    break;
                }
            }
        }
        inflateEnd(&z);
        if (!ok || status != Z_STREAM_END)
            throw Error(kErrFile, file.string() + ": cut short or damaged (its compressed data does not end whole)");
    }
    if (isTableData && !endsLikeTableData(end, length))
        throw Error(kErrFile, file.string() + ": cut short (the table data does not end as pg_dump ends it)");
    return true;
}

bool checkDirectory(const std::string& path, const std::function<bool()>& cancelled)
{
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(path, ec)) {
        std::error_code typeError;
        if (entry.is_regular_file(typeError) && !checkDirectoryFile(entry.path(), cancelled))
            return false;
    }
    if (ec)
        throw Error(kErrFile, path + ": " + ec.message());
    return true;
}

} // namespace

bool Restore::CheckWhole(const std::string& path, Format format, const std::function<bool()>& cancelled)
{
    switch (format) {
    case Format::Plain:
        return PlainDumpScan(path).run(cancelled);
    case Format::Tar:
        return checkTar(path, cancelled);
    case Format::Directory:
        return checkDirectory(path, cancelled);
    case Format::Custom:
        break;
    }
    return !(cancelled && cancelled());
}

} // namespace dmo
