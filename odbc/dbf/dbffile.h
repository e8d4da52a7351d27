// dBASE III table files (version byte 3, no memo file): a record cursor over
// one file, and the creation of an empty file from field descriptors.
// Kept free of the database classes so that it builds on its own.
#pragma once

#include <sqltypes.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// Date of the last update, as stored in the header.
struct CDBFBinaryDate {
    std::uint8_t m_year = 0; // year - 1900
    std::uint8_t m_month = 0;
    std::uint8_t m_day = 0;

    static CDBFBinaryDate Today();
};

// The 32-byte header at offset 0.
struct CDBFHead {
    static constexpr std::size_t Size = 32;

    std::uint8_t m_version = 0;
    CDBFBinaryDate m_date;
    std::uint32_t m_recordCount = 0;
    std::uint16_t m_headerLength = 0;
    std::uint16_t m_recordLength = 0;
    std::uint8_t m_reserved[20] = {}; // kept as read, so a rewrite loses nothing

    void Encode(std::uint8_t (&bytes)[Size]) const;
    static CDBFHead Decode(const std::uint8_t (&bytes)[Size]);
};

// One 32-byte field descriptor.
struct CFieldDBF {
    static constexpr std::size_t Size = 32;

    char m_name[11] = {};   // zero-terminated, at most 10 characters
    char m_type = 0;        // 'C' text, 'N' number, 'D' date
    std::uint32_t m_offset = 0; // within the record; the deletion flag is at 0
    std::uint8_t m_length = 0;
    std::uint8_t m_decimals = 0;
    std::uint8_t m_reserved[14] = {};

    void Encode(std::uint8_t (&bytes)[Size]) const;
    static CFieldDBF Decode(const std::uint8_t (&bytes)[Size]);
};

// The owning array of descriptors.
using CFieldDBFArray = std::vector<std::unique_ptr<CFieldDBF>>;

class CDataBaseFile {
public:
    CDataBaseFile();
    ~CDataBaseFile();
    CDataBaseFile(const CDataBaseFile&) = delete;
    CDataBaseFile& operator=(const CDataBaseFile&) = delete;

    int Open(const char* path, int readOnly);
    int InitFields();
    void Close();

    int Seek(long index);
    void AddNew();
    void Flush();
    // Forgets the current record's unflushed changes: a new record that was
    // not completed is not added. No record is current afterwards.
    void Discard();

    long GetFieldCount() const { return static_cast<long>(m_fields.size()); }
    long GetRecordCount() const { return static_cast<long>(m_head.m_recordCount); }
    CFieldDBF* GetField(int index) const;
    long GetCurrentIndex() const { return m_current; }
    bool IsOpen() const { return m_file >= 0; }
    const std::string& GetPath() const { return m_path; }

    int IsDeleted() const;

    int GetValue(int field, std::string& out) const;
    int GetValue(int field, short& out) const;
    int GetValue(int field, std::int32_t& out) const;
    int GetValue(int field, std::int64_t& out) const;
    int GetValue(int field, float& out) const;
    int GetValue(int field, double& out) const;
    int GetValue(int field, SQLGUID& out) const;
    int GetValue(int field, TIMESTAMP_STRUCT& out) const;

    int SetValue(int field, const char* text);
    int SetValue(int field, short value);
    int SetValue(int field, std::int32_t value);
    int SetValue(int field, std::int64_t value);
    int SetValue(int field, float value);
    int SetValue(int field, double value);
    int SetValue(int field, const SQLGUID& value);
    int SetValue(int field, const TIMESTAMP_STRUCT& value);

    // Why the file was refused, or a record could not be read or written;
    // Open starts it empty.
    const std::string& GetError() const { return m_error; }

private:
    bool ValidField(int field) const;
    bool WritableField(int field) const;
    int Fail(std::string message);
    std::string FieldText(int field) const;
    int SetNumberText(int field, const char* digits, std::size_t size);
    void WriteRecord();
    void WriteAppended();

    std::string m_path;
    int m_file = -1; // descriptor of the open file
    long m_current = -1;
    CFieldDBFArray m_fields;
    std::unique_ptr<char[]> m_record;
    bool m_readOnly = false;
    bool m_modified = false;
    CDBFHead m_head;
    std::uint64_t m_fileSize = 0;
    std::string m_error;
    // New records not yet in the file, in order; they are written in one
    // go with the header when this grows large, and before any read, any
    // rewrite of a record and the close.
    std::vector<char> m_appended;
    std::uint32_t m_appendedCount = 0;
};

// Writes an empty table with these descriptors (offsets as given). Gives
// false with no fields, with descriptors that do not fit a record of at most
// 65,535 bytes, or when the file cannot be created.
bool CreateDBFile(const char* path, const CFieldDBFArray& fields);

// The descriptor for a result column of this SQL type, precision and scale,
// named after the column (cut to 9 characters), at this record offset.
// Gives false for a type that has no DBF field.
bool DBFFieldFromColumn(const char* name, short sqlType, std::uint64_t precision, short scale,
                        std::uint32_t offset, CFieldDBF& field);
