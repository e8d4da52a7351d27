// The general recordset over any SQL text: parameters added at run time,
// statements executed as written, columns read by index and C type, and the
// identity of an inserted row read back.
#pragma once

#include "afx/dbcore.h"
#include "odbc/data/core/bulkvariant.h"
#include "odbc/data/core/paramarray.h"
#include "odbc/data/core/values.h"

#include <cstdint>
#include <string>
#include <vector>

class CFile;

bool IsMS_SQL_Server(CDatabase* db);

class CODBCRecord : public CRecordset {
    DECLARE_DYNAMIC(CODBCRecord)

public:
    explicit CODBCRecord(CDatabase* pDatabase = nullptr);
    ~CODBCRecord() override;

    int GetDynParamCount() const { return m_params.GetSize(); }
    CDBParamValue& GetParam(short i) const { return *m_params.GetAt(i); }
    void SetSizeLONGVAR(DWORD size) { m_dwSizeLONGVAR = size; }
    DWORD GetSizeLONGVAR() const { return m_dwSizeLONGVAR; }
    void SetFormatDateTime(const char* format) { m_pszFormatDateTime = format; }
    void SetFormatDate(const char* format) { m_pszFormatDate = format; }
    const char* GetIdentity() const { return m_strIdentity.c_str(); }
    short GetIdentityTypeSQL() const { return m_nIdentityTypeSQL; }

    short AddParam(short cType, short paramType, int size, short sqlType = 99, short scale = 0);
    short AddParamValue(unsigned char value, short paramType);
    short AddParamValue(short value, short paramType);
    short AddParamValue(unsigned short value, short paramType);
    short AddParamValue(LONG value, short paramType);
    short AddParamValue(std::uint32_t value, short paramType);
    short AddParamValue(float value, short paramType);
    short AddParamValue(double value, short paramType);
    short AddParamValue(std::int64_t value, short paramType);
    short AddParamValue(const GUID& value, short paramType);
    short AddParamValue(const TIMESTAMP_STRUCT& value, short paramType);
    short AddParamValue(const char* value, short paramType, int size, short sqlType, short scale);
    short AddParamValue(const unsigned char* value, DWORD length, short paramType, int size);
    short AddParamValue(const std::vector<std::uint8_t>& value, short paramType, int size);
    short AddParamValue(const CDBVariantEx& value, short paramType, int size);
    void AddParamPoint(CArrayPointParam& params);

    static void CreateDataBuffer(CDBVariantEx& value, short cType);
    static short GetDefaultFieldTypeEx(short sqlType);

    BOOL Open(UINT nOpenType = AFX_DB_USE_DEFAULT_TYPE, LPCTSTR lpszSQL = nullptr, DWORD dwOptions = none) override;
    virtual BOOL OpenNew(UINT nOpenType, LPCTSTR lpszSQL, DWORD dwOptions);
    void Close() override;
    BOOL Update() override;
    void DoFieldExchange(CFieldExchange* pFX) override;

    // Column reading; index counts from 0.
    virtual BOOL IsFieldDataNull(short index);
    bool IsFieldAutoIncrement(short index);
    bool IsFieldCaseSensitive(short index);
    bool IsFieldUpdatable(short index);
    short IsFieldSearchable(short index);

    virtual long GetFieldData(short index, GUID& value);
    virtual long GetFieldData(short index, CFile& value);
    virtual long GetFieldData(short index, unsigned char* buffer, DWORD size);
    virtual long GetFieldData(short index, std::vector<std::uint8_t>& value);
    virtual long GetFieldData(short index, std::string& value, int decimals);
    virtual long GetFieldData(short index, SYSTEMTIME& value);
    virtual long GetFieldData(short index, TIMESTAMP_STRUCT& value);
    virtual long GetFieldData(short index, TIME_STRUCT& value);
    virtual long GetFieldData(short index, DATE_STRUCT& value);
    virtual long GetFieldData(short index, std::uint64_t& value);
    virtual long GetFieldData(short index, std::int64_t& value);
    virtual long GetFieldData(short index, double& value);
    virtual long GetFieldData(short index, float& value);
    virtual long GetFieldData(short index, std::uint32_t& value);
    virtual long GetFieldData(short index, int& value);
    virtual long GetFieldData(short index, unsigned short& value);
    virtual long GetFieldData(short index, short& value);
    virtual long GetFieldData(short index, unsigned char& value);

protected:
    virtual long GetFieldData(short index, short cType, void* buffer, SQLLEN length);
    virtual void FreeDataCacheEx();
    virtual bool GetIdentityScript(std::string& sql);
    void ReadIdentity(HSTMT hstmt);
    void CorrectSQLType();
    void CheckFieldIndex(short index) const;
    SQLLEN ColAttribute(short index, SQLUSMALLINT field);
    BOOL OpenStatement(UINT nOpenType, LPCTSTR lpszSQL, DWORD dwOptions, bool asWritten);
    // The parameter markers of the recordset's SQL text.
    SQLSMALLINT CountMarkers();
    // The text form of a double with the decimal rule of the text readers.
    static int DecimalsFor(int decimals, SQLULEN precision);
    // Exchanges the value at `at` when its variant type is a number kept in
    // place (BOOL, UCHAR, SHORT, LONG, SINGLE, DOUBLE, BIGINT); false for
    // any other type, which the caller exchanges itself.
    static bool ExchangeNumber(CFieldExchange* pFX, const char* name, DWORD type, void* at);

    CDBTypedPtrArrayEx<CDBParamValue*> m_params;
    DWORD m_dwSizeLONGVAR = 2048;
    std::string m_strIdentity;
    short m_nIdentityTypeSQL = 0;
    const char* m_pszFormatDateTime = nullptr;
    const char* m_pszFormatDate = nullptr;
    bool m_bServer = false;
};

// Formats a date-time with a strftime pattern; the fields are taken as local time.
std::string FormatDateTimePattern(const char* pattern, int year, int month, int day, int hour, int minute,
                                  int second);
