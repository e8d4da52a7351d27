#include "odbc/dbf/dbffile.h"

#include "winapi/text.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <ctime>
#include <limits>
#include <sqlext.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr std::uint8_t kDescriptorEnd = 0x0D;
constexpr std::uint8_t kEndOfFile = 0x1A;
constexpr std::uint64_t kMaxRecordLength = 0xFFFF;

void PutU16(std::uint8_t* p, std::uint16_t v)
{
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}

void PutU32(std::uint8_t* p, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

std::uint16_t GetU16(const std::uint8_t* p)
{
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

std::uint32_t GetU32(const std::uint8_t* p)
{
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}



// atoi's reading of a number: leading white space, a sign, digits; anything
// after is ignored and no digits at all read as 0. Gives false when the
// digits do not fit.
bool ParseInteger(const std::string& text, std::int64_t& out)
{
    const char* p = text.c_str();
    const char* end = p + text.size();
    while (p < end && (*p == ' ' || (*p >= '\t' && *p <= '\r')))
        ++p;
    if (p < end && *p == '+' && p + 1 < end && p[1] >= '0' && p[1] <= '9')
        ++p;
    std::int64_t value = 0;
    const auto res = std::from_chars(p, end, value);
    if (res.ec == std::errc::result_out_of_range)
        return false;
    out = res.ec == std::errc() ? value : 0;
    return true;
}

double ParseReal(const std::string& text)
{
    const char* p = text.c_str();
    const char* end = p + text.size();
    while (p < end && (*p == ' ' || (*p >= '\t' && *p <= '\r')))
        ++p;
    if (p < end && *p == '+')
        ++p;
    double value = 0;
    const auto res = std::from_chars(p, end, value);
    if (res.ec == std::errc::result_out_of_range)
        return std::strtod(std::string(p, end).c_str(), nullptr);
    return res.ec == std::errc() ? value : 0.0;
}

// atoi of a fixed run of characters.
int AtoiSpan(const char* p, std::size_t n)
{
    std::int64_t v = 0;
    std::string text(p, n);
    text.resize(std::strlen(text.c_str()));
    if (!ParseInteger(text, v) || v > std::numeric_limits<int>::max() ||
        v < std::numeric_limits<int>::min())
        return 0;
    return static_cast<int>(v);
}

bool ParseHex(const char* p, int digits, std::uint64_t& out)
{
    out = 0;
    for (int i = 0; i < digits; ++i) {
        const int d = winapi::HexDigitValue(p[i]);
        if (d < 0)
            return false;
        out = out * 16 + static_cast<unsigned>(d);
    }
    return true;
}

// All `size` bytes at `offset` through pread or pwrite, however many calls
// that takes.
template <class Byte, class Transfer>
bool TransferAt(int fd, Byte* p, std::size_t size, std::uint64_t offset, Transfer transfer)
{
    while (size > 0) {
        const ssize_t n = transfer(fd, p, size, static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        p += n;
        size -= static_cast<std::size_t>(n);
        offset += static_cast<std::uint64_t>(n);
    }
    return true;
}

bool ReadAt(int fd, void* buffer, std::size_t size, std::uint64_t offset)
{
    return TransferAt(fd, static_cast<char*>(buffer), size, offset, ::pread);
}

bool WriteAt(int fd, const void* buffer, std::size_t size, std::uint64_t offset)
{
    return TransferAt(fd, static_cast<const char*>(buffer), size, offset, ::pwrite);
}

} // namespace

CDBFBinaryDate CDBFBinaryDate::Today()
{
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    CDBFBinaryDate d;
    d.m_year = static_cast<std::uint8_t>(tm.tm_year); // tm_year counts from 1900
    d.m_month = static_cast<std::uint8_t>(tm.tm_mon + 1);
    d.m_day = static_cast<std::uint8_t>(tm.tm_mday);
    return d;
}

void CDBFHead::Encode(std::uint8_t (&b)[Size]) const
{
    std::memset(b, 0, Size);
    b[0] = m_version;
    b[1] = m_date.m_year;
    b[2] = m_date.m_month;
    b[3] = m_date.m_day;
    PutU32(b + 4, m_recordCount);
    PutU16(b + 8, m_headerLength);
    PutU16(b + 10, m_recordLength);
    std::memcpy(b + 12, m_reserved, sizeof m_reserved);
}

CDBFHead CDBFHead::Decode(const std::uint8_t (&b)[Size])
{
    CDBFHead h;
    h.m_version = b[0];
    h.m_date = {b[1], b[2], b[3]};
    h.m_recordCount = GetU32(b + 4);
    h.m_headerLength = GetU16(b + 8);
    h.m_recordLength = GetU16(b + 10);
    std::memcpy(h.m_reserved, b + 12, sizeof h.m_reserved);
    return h;
}

void CFieldDBF::Encode(std::uint8_t (&b)[Size]) const
{
    std::memset(b, 0, Size);
    std::memcpy(b, m_name, sizeof m_name);
    b[11] = static_cast<std::uint8_t>(m_type);
    PutU32(b + 12, m_offset);
    b[16] = m_length;
    b[17] = m_decimals;
    std::memcpy(b + 18, m_reserved, sizeof m_reserved);
}

CFieldDBF CFieldDBF::Decode(const std::uint8_t (&b)[Size])
{
    CFieldDBF f;
    std::memcpy(f.m_name, b, sizeof f.m_name);
    f.m_name[10] = 0;
    f.m_type = static_cast<char>(b[11]);
    f.m_offset = GetU32(b + 12);
    f.m_length = b[16];
    f.m_decimals = b[17];
    std::memcpy(f.m_reserved, b + 18, sizeof f.m_reserved);
    return f;
}

CDataBaseFile::CDataBaseFile() = default;

CDataBaseFile::~CDataBaseFile()
{
    Close();
}

int CDataBaseFile::Fail(std::string message)
{
    m_error = m_path + ": " + message;
    return 0;
}

int CDataBaseFile::Open(const char* path, int readOnly)
{
    Close();
    m_error.clear();
    m_path = path ? path : "";
    m_readOnly = readOnly != 0;
    m_file = ::open(m_path.c_str(), (m_readOnly ? O_RDONLY : O_RDWR) | O_CLOEXEC);
    if (m_file < 0)
        return Fail(std::strerror(errno));
    struct stat st {};
    if (fstat(m_file, &st) != 0 || !S_ISREG(st.st_mode)) {
        Close();
        return Fail("not a regular file");
    }
    m_fileSize = static_cast<std::uint64_t>(st.st_size);

    const int recordLength = InitFields();
    if (recordLength <= 0) {
        const std::string why = m_error;
        Close();
        m_error = why;
        return 0;
    }
    m_record = std::make_unique<char[]>(static_cast<std::size_t>(recordLength) + 1);
    if (m_head.m_recordCount == 0)
        return 1;
    if (!Seek(0)) {
        const std::string why = m_error;
        Close();
        m_error = why;
        return 0;
    }
    return 1;
}

int CDataBaseFile::InitFields()
{
    m_fields.clear();
    if (m_file < 0)
        return 0;
    std::uint8_t head[CDBFHead::Size];
    if (!ReadAt(m_file, head, sizeof head, 0))
        return Fail("shorter than a table header");
    m_head = CDBFHead::Decode(head);

    const std::uint32_t headerLength = m_head.m_headerLength;
    const std::uint32_t recordLength = m_head.m_recordLength;
    if (headerLength < CDBFHead::Size + 1)
        return Fail("corrupt header: header length " + std::to_string(headerLength));
    if (headerLength > m_fileSize)
        return Fail("corrupt header: header length " + std::to_string(headerLength) +
                    " beyond the end of the file");
    if (recordLength < 1)
        return Fail("corrupt header: record length 0");
    const std::uint64_t needed =
        headerLength + std::uint64_t{m_head.m_recordCount} * recordLength;
    if (needed > m_fileSize)
        return Fail("truncated: the header counts " + std::to_string(m_head.m_recordCount) +
                    " records, the file holds fewer");

    const std::uint32_t count = (headerLength - (CDBFHead::Size + 1)) / CFieldDBF::Size;
    for (std::uint32_t i = 0; i < count; ++i) {
        std::uint8_t bytes[CFieldDBF::Size];
        if (!ReadAt(m_file, bytes, sizeof bytes, CDBFHead::Size + std::uint64_t{i} * CFieldDBF::Size)) {
            m_fields.clear();
            return Fail("cannot read field descriptor " + std::to_string(i));
        }
        auto field = std::make_unique<CFieldDBF>(CFieldDBF::Decode(bytes));
        if (field->m_offset < 1 ||
            std::uint64_t{field->m_offset} + field->m_length > recordLength) {
            const std::string name = field->m_name;
            m_fields.clear();
            return Fail("corrupt field descriptor " + std::to_string(i) + " (" + name +
                        "): offset " + std::to_string(field->m_offset) + ", length " +
                        std::to_string(field->m_length) + " outside a record of " +
                        std::to_string(recordLength) + " bytes");
        }
        m_fields.push_back(std::move(field));
    }
    return static_cast<int>(recordLength);
}

void CDataBaseFile::Close()
{
    if (m_file < 0)
        return;
    Flush();
    WriteAppended();
    m_record.reset();
    m_fields.clear();
    if (::close(m_file) != 0 && m_error.empty())
        Fail(std::string("closing: ") + std::strerror(errno));
    m_file = -1;
    m_current = -1;
    m_modified = false;
    m_head = CDBFHead{};
    m_appended.clear();
    m_appendedCount = 0;
}

int CDataBaseFile::Seek(long index)
{
    if (m_file < 0 || index < 0 || index >= GetRecordCount())
        return 0;
    if (index == m_current)
        return 1;
    if (m_modified)
        Flush();
    WriteAppended();
    const std::uint64_t pos =
        m_head.m_headerLength + std::uint64_t(index) * m_head.m_recordLength;
    if (!ReadAt(m_file, m_record.get(), m_head.m_recordLength, pos))
        return Fail("cannot read record " + std::to_string(index));
    m_record[m_head.m_recordLength] = 0;
    m_current = index;
    return 1;
}

void CDataBaseFile::AddNew()
{
    if (m_file < 0)
        return;
    if (m_modified)
        Flush();
    m_current = GetRecordCount();
    std::memset(m_record.get(), ' ', m_head.m_recordLength);
    m_record[m_head.m_recordLength] = 0;
}

void CDataBaseFile::Flush()
{
    if (!m_modified || m_readOnly || m_file < 0)
        return;
    m_modified = false;
    WriteRecord();
}

void CDataBaseFile::Discard()
{
    m_modified = false;
    m_current = -1;
}

void CDataBaseFile::WriteRecord()
{
    const bool append = m_current == GetRecordCount();
    if (append) {
        if (m_head.m_recordCount == std::numeric_limits<std::uint32_t>::max()) {
            Fail("the table is full");
            return;
        }
        m_appended.insert(m_appended.end(), m_record.get(), m_record.get() + m_head.m_recordLength);
        ++m_appendedCount;
        ++m_head.m_recordCount;
        if (m_appended.size() >= (std::size_t{1} << 20))
            WriteAppended();
        return;
    }
    // The record may still be among those waiting to be written.
    WriteAppended();
    const std::uint64_t pos =
        m_head.m_headerLength + std::uint64_t(m_current) * m_head.m_recordLength;
    if (!WriteAt(m_file, m_record.get(), m_head.m_recordLength, pos))
        Fail("cannot write record " + std::to_string(m_current) + ": " + std::strerror(errno));
}

void CDataBaseFile::WriteAppended()
{
    if (m_appendedCount == 0 || m_file < 0)
        return;
    const std::uint32_t first = m_head.m_recordCount - m_appendedCount;
    const std::uint64_t pos = m_head.m_headerLength + std::uint64_t(first) * m_head.m_recordLength;
    // The new last record is followed by the end-of-file mark, as at creation.
    m_appended.push_back(static_cast<char>(kEndOfFile));
    const bool written = WriteAt(m_file, m_appended.data(), m_appended.size(), pos);
    m_appended.clear();
    m_appendedCount = 0;
    if (!written) {
        // The header keeps counting only the records that are in the file.
        m_head.m_recordCount = first;
        Fail("cannot write record " + std::to_string(first) + ": " + std::strerror(errno));
        return;
    }
    m_head.m_date = CDBFBinaryDate::Today();
    std::uint8_t head[CDBFHead::Size];
    m_head.Encode(head);
    if (!WriteAt(m_file, head, sizeof head, 0))
        Fail(std::string("cannot write the header: ") + std::strerror(errno));
}

CFieldDBF* CDataBaseFile::GetField(int index) const
{
    return ValidField(index) ? m_fields[static_cast<std::size_t>(index)].get() : nullptr;
}

bool CDataBaseFile::ValidField(int field) const
{
    return field >= 0 && field < GetFieldCount();
}

bool CDataBaseFile::WritableField(int field) const
{
    // Without a current record a write would land on the header.
    return m_file >= 0 && !m_readOnly && ValidField(field) && m_current >= 0;
}

int CDataBaseFile::IsDeleted() const
{
    return m_record && m_record[0] == ' ' ? 0 : 1;
}

std::string CDataBaseFile::FieldText(int field) const
{
    if (!m_record)
        return {};
    const CFieldDBF& f = *m_fields[static_cast<std::size_t>(field)];
    const char* p = m_record.get() + f.m_offset;
    return std::string(p, strnlen(p, f.m_length));
}

int CDataBaseFile::GetValue(int field, std::string& out) const
{
    if (!ValidField(field))
        return 0;
    out = winapi::Trim(FieldText(field), " ");
    return 1;
}

namespace {

template <typename T>
int ReadInteger(const CDataBaseFile& file, int field, T& out)
{
    const CFieldDBF* f = file.GetField(field);
    if (!f || f->m_type != 'N')
        return 0;
    std::string text;
    file.GetValue(field, text);
    std::int64_t v = 0;
    if (!ParseInteger(text, v) || v < std::numeric_limits<T>::min() ||
        v > std::numeric_limits<T>::max())
        return 0;
    out = static_cast<T>(v);
    return 1;
}

} // namespace

int CDataBaseFile::GetValue(int field, short& out) const
{
    return ReadInteger(*this, field, out);
}

int CDataBaseFile::GetValue(int field, std::int32_t& out) const
{
    return ReadInteger(*this, field, out);
}

int CDataBaseFile::GetValue(int field, std::int64_t& out) const
{
    return ReadInteger(*this, field, out);
}

int CDataBaseFile::GetValue(int field, double& out) const
{
    const CFieldDBF* f = GetField(field);
    if (!f || f->m_type != 'N')
        return 0;
    std::string text;
    GetValue(field, text);
    out = ParseReal(text);
    return 1;
}

int CDataBaseFile::GetValue(int field, float& out) const
{
    double v = 0;
    if (!GetValue(field, v))
        return 0;
    out = static_cast<float>(v);
    return 1;
}

int CDataBaseFile::GetValue(int field, SQLGUID& out) const
{
    const CFieldDBF* f = GetField(field);
    if (!f || f->m_type != 'C')
        return 0;
    std::string t;
    GetValue(field, t);
    // {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}
    if (t.size() != 38 || t[0] != '{' || t[37] != '}' || t[9] != '-' || t[14] != '-' ||
        t[19] != '-' || t[24] != '-')
        return 0;
    std::uint64_t d1 = 0, d2 = 0, d3 = 0, b = 0;
    SQLGUID g{};
    if (!ParseHex(&t[1], 8, d1) || !ParseHex(&t[10], 4, d2) || !ParseHex(&t[15], 4, d3))
        return 0;
    static constexpr int kByteAt[8] = {20, 22, 25, 27, 29, 31, 33, 35};
    for (int i = 0; i < 8; ++i) {
        if (!ParseHex(&t[static_cast<std::size_t>(kByteAt[i])], 2, b))
            return 0;
        g.Data4[i] = static_cast<BYTE>(b);
    }
    g.Data1 = static_cast<DWORD>(d1);
    g.Data2 = static_cast<WORD>(d2);
    g.Data3 = static_cast<WORD>(d3);
    out = g;
    return 1;
}

int CDataBaseFile::GetValue(int field, TIMESTAMP_STRUCT& out) const
{
    out = TIMESTAMP_STRUCT{};
    const CFieldDBF* f = GetField(field);
    if (!f || f->m_type != 'D' || !m_record)
        return 0;
    const char* p = m_record.get() + f->m_offset;
    if (f->m_length == 8) {
        out.year = static_cast<SQLSMALLINT>(AtoiSpan(p, 4));
        out.month = static_cast<SQLUSMALLINT>(AtoiSpan(p + 4, 2));
        out.day = static_cast<SQLUSMALLINT>(AtoiSpan(p + 6, 2));
        return 1;
    }
    if (f->m_length == 6) {
        const int yy = AtoiSpan(p, 2);
        out.year = static_cast<SQLSMALLINT>(yy < 50 ? 2000 + yy : 1900 + yy);
        out.month = static_cast<SQLUSMALLINT>(AtoiSpan(p + 2, 2));
        out.day = static_cast<SQLUSMALLINT>(AtoiSpan(p + 4, 2));
        return 1;
    }
    return 0;
}

int CDataBaseFile::SetValue(int field, const char* text)
{
    if (!WritableField(field))
        return 0;
    const CFieldDBF& f = *m_fields[static_cast<std::size_t>(field)];
    char* p = m_record.get() + f.m_offset;
    const std::size_t size = text ? std::strlen(text) : 0;
    const std::size_t n = winapi::Utf8CutBytes(std::string_view(text, size), f.m_length);
    if (n)
        std::memcpy(p, text, n);
    std::memset(p + n, ' ', f.m_length - n);
    m_modified = true;
    return 1;
}

// A number right-aligned in the field; one that does not fit is refused
// rather than cut to a different number.
int CDataBaseFile::SetNumberText(int field, const char* digits, std::size_t size)
{
    if (!WritableField(field))
        return 0;
    const CFieldDBF& f = *m_fields[static_cast<std::size_t>(field)];
    if (size > f.m_length)
        return 0;
    char* p = m_record.get() + f.m_offset;
    std::memset(p, ' ', f.m_length - size);
    std::memcpy(p + (f.m_length - size), digits, size);
    m_modified = true;
    return 1;
}

namespace {

template <class Integer>
int SetInteger(CDataBaseFile& file, int field, Integer value,
               int (CDataBaseFile::*set)(int, const char*, std::size_t))
{
    char buf[24];
    const auto res = std::to_chars(buf, buf + sizeof buf, value);
    return (file.*set)(field, buf, static_cast<std::size_t>(res.ptr - buf));
}

} // namespace

int CDataBaseFile::SetValue(int field, short value)
{
    return SetInteger(*this, field, value, &CDataBaseFile::SetNumberText);
}

int CDataBaseFile::SetValue(int field, std::int32_t value)
{
    return SetInteger(*this, field, value, &CDataBaseFile::SetNumberText);
}

int CDataBaseFile::SetValue(int field, std::int64_t value)
{
    return SetInteger(*this, field, value, &CDataBaseFile::SetNumberText);
}

int CDataBaseFile::SetValue(int field, float value)
{
    return SetValue(field, static_cast<double>(value));
}

int CDataBaseFile::SetValue(int field, double value)
{
    if (!WritableField(field) || !std::isfinite(value))
        return 0;
    // Written without the locale: a host that sets one must not get commas.
    char buf[400];
    const int decimals = m_fields[static_cast<std::size_t>(field)]->m_decimals;
    const auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, decimals);
    if (res.ec != std::errc())
        return 0;
    return SetNumberText(field, buf, static_cast<std::size_t>(res.ptr - buf));
}

int CDataBaseFile::SetValue(int field, const SQLGUID& g)
{
    char buf[40];
    std::snprintf(buf, sizeof buf, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                  static_cast<unsigned>(g.Data1), static_cast<unsigned>(g.Data2),
                  static_cast<unsigned>(g.Data3), g.Data4[0], g.Data4[1], g.Data4[2],
                  g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
    return SetValue(field, buf);
}

int CDataBaseFile::SetValue(int field, const TIMESTAMP_STRUCT& ts)
{
    if (!WritableField(field) || m_fields[static_cast<std::size_t>(field)]->m_length < 8)
        return 0;
    char buf[32];
    if (ts.year >= 0 && ts.year <= 9999 && ts.month <= 99 && ts.day <= 99) {
        // "%4d%02d%02d" without the formatter: a year below 1000 is padded with blanks.
        int y = ts.year;
        for (int i = 3; i >= 0; --i, y /= 10)
            buf[i] = (y > 0 || i == 3) ? static_cast<char>('0' + y % 10) : ' ';
        buf[4] = static_cast<char>('0' + ts.month / 10);
        buf[5] = static_cast<char>('0' + ts.month % 10);
        buf[6] = static_cast<char>('0' + ts.day / 10);
        buf[7] = static_cast<char>('0' + ts.day % 10);
        buf[8] = 0;
        return SetValue(field, buf);
    }
    const int n = std::snprintf(buf, sizeof buf, "%4d%02d%02d", ts.year, ts.month, ts.day);
    // A year or month out of its digits would be cut into another date.
    if (n != 8)
        return 0;
    return SetValue(field, buf);
}

bool CreateDBFile(const char* path, const CFieldDBFArray& fields)
{
    if (!path || fields.empty())
        return false;
    std::uint64_t recordLength = 1;
    for (const auto& f : fields) {
        if (!f)
            return false;
        recordLength += f->m_length;
    }
    const std::uint64_t headerLength = CFieldDBF::Size * fields.size() + CDBFHead::Size + 1;
    if (recordLength > kMaxRecordLength || headerLength > kMaxRecordLength)
        return false;
    for (const auto& f : fields)
        if (f->m_offset < 1 || std::uint64_t{f->m_offset} + f->m_length > recordLength)
            return false;

    std::vector<std::uint8_t> bytes;
    bytes.reserve(headerLength + 1);
    CDBFHead head;
    head.m_version = 3;
    head.m_date = CDBFBinaryDate::Today();
    head.m_headerLength = static_cast<std::uint16_t>(headerLength);
    head.m_recordLength = static_cast<std::uint16_t>(recordLength);
    std::uint8_t block[CDBFHead::Size];
    head.Encode(block);
    bytes.insert(bytes.end(), block, block + sizeof block);
    for (const auto& f : fields) {
        std::uint8_t d[CFieldDBF::Size];
        f->Encode(d);
        bytes.insert(bytes.end(), d, d + sizeof d);
    }
    bytes.push_back(kDescriptorEnd);
    bytes.push_back(kEndOfFile);

    std::FILE* file = std::fopen(path, "wb");
    if (!file)
        return false;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    if (std::fclose(file) != 0 || !written) {
        std::remove(path);
        return false;
    }
    return true;
}

bool DBFFieldFromColumn(const char* name, short sqlType, std::uint64_t precision, short scale,
                        std::uint32_t offset, CFieldDBF& field)
{
    field = CFieldDBF{};
    const std::size_t size = name ? std::strlen(name) : 0;
    const std::size_t n = winapi::Utf8CutBytes(std::string_view(name, size), 9);
    if (n)
        std::memcpy(field.m_name, name, n);
    field.m_offset = offset;

    switch (sqlType) {
    case SQL_GUID:
        field.m_type = 'C';
        field.m_length = 41;
        return true;
    case SQL_BIT:
    case SQL_TINYINT:
    case SQL_SMALLINT:
        field.m_type = 'N';
        field.m_length = 6;
        return true;
    case SQL_BIGINT:
        field.m_type = 'N';
        field.m_length = 21;
        return true;
    case SQL_INTEGER:
        field.m_type = 'N';
        field.m_length = 11;
        return true;
    case SQL_CHAR:
    case SQL_VARCHAR:
    case SQL_WCHAR:
    case SQL_WVARCHAR:
        // The precision counts characters; the file holds their UTF-8 bytes,
        // up to 4 each. Drivers report text columns as wide text too.
        field.m_type = 'C';
        field.m_length = static_cast<std::uint8_t>(
            std::clamp<std::uint64_t>(std::min<std::uint64_t>(precision, 255) * 4, 1, 255));
        return true;
    case SQL_NUMERIC:
    case SQL_DECIMAL:
    case SQL_FLOAT:
    case SQL_REAL:
    case SQL_DOUBLE: {
        unsigned digits = static_cast<unsigned>(std::min<std::uint64_t>(precision, 255)) & 0xFF;
        unsigned decimals = static_cast<unsigned>(scale) & 0xFF;
        if (digits == 0) {
            digits = 18;
            decimals = 4;
        }
        // Floating-point columns report no scale; with 0 decimals every value
        // would be rounded to a whole number.
        // The decimals added take room of their own, so that a value with as
        // many whole digits as the precision still fits.
        const bool approximate = sqlType == SQL_FLOAT || sqlType == SQL_REAL || sqlType == SQL_DOUBLE;
        unsigned added = 0;
        if (approximate && decimals == 0)
            decimals = added = 4;
        const unsigned length = digits + 1 + (decimals > 0 ? 1 : 0) + added;
        field.m_type = 'N';
        // A wider number than the length byte holds would wrap to a tiny field.
        field.m_length = static_cast<std::uint8_t>(std::min(length, 255u));
        field.m_decimals = static_cast<std::uint8_t>(decimals);
        return true;
    }
    case SQL_DATE:
    case SQL_TIME:
    case SQL_TIMESTAMP:
    case SQL_TYPE_DATE:
    case SQL_TYPE_TIME:
    case SQL_TYPE_TIMESTAMP:
        field.m_type = 'D';
        field.m_length = 8;
        return true;
    default:
        return false;
    }
}
