// Recordsets that bind every result column once the statement has run:
// one row at a time into value records, or a rowset at a time into column
// buffers.
#pragma once

#include "odbc/data/core/odbcrecord.h"

#include <vector>

class CDynamicRecord : public CODBCRecord {
    DECLARE_DYNAMIC(CDynamicRecord)

public:
    explicit CDynamicRecord(CDatabase* pDatabase = nullptr);
    ~CDynamicRecord() override;

    void SetSqlQuery(const char* sql) { m_strSqlQuery = sql ? sql : ""; }
    const std::string& GetSqlQuery() const { return m_strSqlQuery; }
    void SetConnectString(const char* connect) { m_strConnectString = connect ? connect : ""; }
    const std::string& GetConnectString() const { return m_strConnectString; }
    std::string GetDefaultSQL() override { return m_strSqlQuery; }
    std::string GetDefaultConnect() override
    {
        return m_strConnectString.empty() ? CODBCRecord::GetDefaultConnect() : m_strConnectString;
    }

    CDBFieldValue& GetField(short i) const { return const_cast<CDBFieldValue&>(m_fields.at(static_cast<std::size_t>(i))); }

    void PreBindFields() override;
    void DoFieldExchange(CFieldExchange* pFX) override;
    void Close() override;
    BOOL IsFieldDataNull(short index) override;

    using CODBCRecord::GetFieldData;
    long GetFieldData(short i, unsigned char& value) override { return Read(i, value); }
    long GetFieldData(short i, short& value) override { return Read(i, value); }
    long GetFieldData(short i, unsigned short& value) override;
    long GetFieldData(short i, int& value) override { return Read(i, value); }
    long GetFieldData(short i, std::uint32_t& value) override;
    long GetFieldData(short i, float& value) override { return Read(i, value); }
    long GetFieldData(short i, double& value) override { return Read(i, value); }
    long GetFieldData(short i, std::int64_t& value) override { return Read(i, value); }
    long GetFieldData(short i, std::uint64_t& value) override;
    long GetFieldData(short i, DATE_STRUCT& value) override { return Read(i, value); }
    long GetFieldData(short i, TIME_STRUCT& value) override { return Read(i, value); }
    long GetFieldData(short i, TIMESTAMP_STRUCT& value) override { return Read(i, value); }
    long GetFieldData(short i, SYSTEMTIME& value) override { return Read(i, value); }
    long GetFieldData(short i, std::vector<std::uint8_t>& value) override { return Read(i, value); }
    long GetFieldData(short i, CFile& value) override;
    long GetFieldData(short i, GUID& value) override { return Read(i, value); }
    long GetFieldData(short i, unsigned char* buffer, DWORD size) override;
    long GetFieldData(short i, std::string& value, int decimals) override;

    virtual bool PutData(short i, const GUID& v) { return Write(i, v); }
    virtual bool PutData(short i, std::uint64_t v) { return Write(i, static_cast<std::int64_t>(v)); }
    virtual bool PutData(short i, std::int64_t v) { return Write(i, v); }
    virtual bool PutData(short i, CFile& v);
    virtual bool PutData(short i, const unsigned char* data, DWORD length);
    virtual bool PutData(short i, const std::vector<std::uint8_t>& v) { return Write(i, v); }
    virtual bool PutData(short i, const char* v) { return Write(i, v); }
    virtual bool PutData(short i, const SYSTEMTIME& v) { return Write(i, v); }
    virtual bool PutData(short i, const TIMESTAMP_STRUCT& v) { return Write(i, v); }
    virtual bool PutData(short i, const TIME_STRUCT& v) { return Write(i, v); }
    virtual bool PutData(short i, const DATE_STRUCT& v) { return Write(i, v); }
    virtual bool PutData(short i, double v) { return Write(i, v); }
    virtual bool PutData(short i, float v) { return Write(i, v); }
    virtual bool PutData(short i, std::uint32_t v) { return Write(i, static_cast<int>(v)); }
    virtual bool PutData(short i, int v) { return Write(i, v); }
    virtual bool PutData(short i, unsigned short v) { return Write(i, static_cast<short>(v)); }
    virtual bool PutData(short i, short v) { return Write(i, v); }
    virtual bool PutData(short i, unsigned char v) { return Write(i, v); }

protected:
    // The member the field exchange binds for field i.
    void* FieldAddress(std::size_t i);
    void CheckEditMode();
    void MarkWritten(std::size_t i);

    template <class T>
    long Read(short i, T& value)
    {
        CheckFieldIndex(i);
        if (IsFieldStatusNull(static_cast<DWORD>(i)))
            return -1;
        return m_fields.at(static_cast<std::size_t>(i)).m_value.GetData(value);
    }
    template <class T>
    bool Write(short i, const T& value)
    {
        return WriteWith(i, [&](CDBVariantEx& field) { return field.PutData(value); });
    }
    // put stores into field i's value; a stored value marks the field written.
    template <class Put>
    bool WriteWith(short i, Put put)
    {
        CheckEditMode();
        CheckFieldIndex(i);
        bool ok = put(m_fields.at(static_cast<std::size_t>(i)).m_value);
        if (ok)
            MarkWritten(static_cast<std::size_t>(i));
        return ok;
    }

    std::vector<CDBFieldValue> m_fields;
    std::string m_strSqlQuery;
    std::string m_strConnectString;
};

class CDynamicBulkRecord : public CODBCRecord {
    DECLARE_DYNAMIC(CDynamicBulkRecord)

public:
    explicit CDynamicBulkRecord(CDatabase* pDatabase = nullptr);
    ~CDynamicBulkRecord() override;

    void SetSqlQuery(const char* sql) { m_strSqlQuery = sql ? sql : ""; }
    const std::string& GetSqlQuery() const { return m_strSqlQuery; }
    void SetConnectString(const char* connect) { m_strConnectString = connect ? connect : ""; }
    const std::string& GetConnectString() const { return m_strConnectString; }
    std::string GetDefaultSQL() override { return m_strSqlQuery; }
    std::string GetDefaultConnect() override
    {
        return m_strConnectString.empty() ? CODBCRecord::GetDefaultConnect() : m_strConnectString;
    }

    BOOL Open(UINT nOpenType = AFX_DB_USE_DEFAULT_TYPE, LPCTSTR lpszSQL = nullptr, DWORD dwOptions = none) override;
    void Close() override;
    void Move(long nRows, WORD wFetchType = SQL_FETCH_RELATIVE) override;
    void PreBindFields() override;
    void DoBulkFieldExchange(CFieldExchange* pFX) override;

    CDBBulkFieldValue& GetField(short i) const
    {
        return const_cast<CDBBulkFieldValue&>(m_fields.at(static_cast<std::size_t>(i)));
    }
    WORD GetRowsetPos() const { return m_wRowsetPos; }
    long GetRowAbsolutePos();
    virtual BOOL RowsetPos(WORD row, WORD lock = SQL_LOCK_NO_CHANGE);
    virtual BOOL RowsetUpdate(WORD row, WORD lock = SQL_LOCK_NO_CHANGE);
    virtual BOOL RowsetAdd(WORD row, WORD lock = SQL_LOCK_NO_CHANGE);
    virtual BOOL RowsetDelete(WORD row, WORD lock = SQL_LOCK_NO_CHANGE);
    static void CreateDataBuffer(CDBBulkVariant& value, short cType);

    BOOL IsFieldDataNull(short index) override;
    using CODBCRecord::GetFieldData;
    long GetFieldData(short i, unsigned char& value) override { return Read(i, value); }
    long GetFieldData(short i, short& value) override { return Read(i, value); }
    long GetFieldData(short i, unsigned short& value) override;
    long GetFieldData(short i, int& value) override { return Read(i, value); }
    long GetFieldData(short i, std::uint32_t& value) override;
    long GetFieldData(short i, float& value) override { return Read(i, value); }
    long GetFieldData(short i, double& value) override { return Read(i, value); }
    long GetFieldData(short i, std::int64_t& value) override { return Read(i, value); }
    long GetFieldData(short i, std::uint64_t& value) override;
    long GetFieldData(short i, DATE_STRUCT& value) override { return Read(i, value); }
    long GetFieldData(short i, TIME_STRUCT& value) override { return Read(i, value); }
    long GetFieldData(short i, TIMESTAMP_STRUCT& value) override { return Read(i, value); }
    long GetFieldData(short i, SYSTEMTIME& value) override { return Read(i, value); }
    long GetFieldData(short i, std::vector<std::uint8_t>& value) override { return Read(i, value); }
    long GetFieldData(short i, GUID& value) override { return Read(i, value); }
    long GetFieldData(short i, CFile& value) override;
    long GetFieldData(short i, unsigned char* buffer, DWORD size) override;
    long GetFieldData(short i, std::string& value, int decimals) override;

    virtual bool PutData(short i, const GUID& v) { return Write(i, v); }
    virtual bool PutData(short i, std::uint64_t v) { return Write(i, static_cast<std::int64_t>(v)); }
    virtual bool PutData(short i, std::int64_t v) { return Write(i, v); }
    virtual bool PutData(short i, CFile& v);
    virtual bool PutData(short i, const unsigned char* data, DWORD length);
    virtual bool PutData(short i, const std::vector<std::uint8_t>& v) { return Write(i, v); }
    virtual bool PutData(short i, const char* v) { return Write(i, v); }
    virtual bool PutData(short i, const SYSTEMTIME& v) { return Write(i, v); }
    virtual bool PutData(short i, const TIMESTAMP_STRUCT& v) { return Write(i, v); }
    virtual bool PutData(short i, const TIME_STRUCT& v) { return Write(i, v); }
    virtual bool PutData(short i, const DATE_STRUCT& v) { return Write(i, v); }
    virtual bool PutData(short i, double v) { return Write(i, v); }
    virtual bool PutData(short i, float v) { return Write(i, v); }
    virtual bool PutData(short i, std::uint32_t v) { return Write(i, static_cast<int>(v)); }
    virtual bool PutData(short i, int v) { return Write(i, v); }
    virtual bool PutData(short i, unsigned short v) { return Write(i, static_cast<short>(v)); }
    virtual bool PutData(short i, short v) { return Write(i, v); }
    virtual bool PutData(short i, unsigned char v) { return Write(i, v); }

protected:
    BOOL ValidateMod(WORD row, WORD status);
    BOOL SetPosOperation(WORD row, WORD operation, WORD lock, WORD status);
    int CurrentRow();

    template <class T>
    long Read(short i, T& value)
    {
        int row = CurrentRow();
        CheckFieldIndex(i);
        return m_fields.at(static_cast<std::size_t>(i)).m_value.GetData(row, value);
    }
    template <class T>
    bool Write(short i, const T& value)
    {
        int row = CurrentRow();
        CheckFieldIndex(i);
        return m_fields.at(static_cast<std::size_t>(i)).m_value.PutData(row, value);
    }

    std::vector<CDBBulkFieldValue> m_fields;
    std::string m_strSqlQuery;
    std::string m_strConnectString;
    WORD m_wRowsetPos = 0;
};

// The bytes a text column needs in a buffer: UTF-8 takes up to four bytes
// a character, and NUMERIC and DECIMAL need room for the sign and the point.
int TextBufferBytes(SWORD sqlType, SQLULEN precision);
