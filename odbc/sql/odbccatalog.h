// Recordsets over the ODBC catalog functions: tables, columns, keys,
// indexes, procedures, privileges and data types.
#pragma once

#include "afx/dbcore.h"

#include <functional>
#include <string>

// What every catalog recordset shares: the catalog function replaces the
// SQL text, and the recordset is read-only.
class CCatalogRecordset : public CRecordset {
public:
    explicit CCatalogRecordset(CDatabase* pDatabase, UINT fields) : CRecordset(pDatabase) { m_nFields = fields; }

protected:
    BOOL OpenCatalog(UINT nOpenType, SQLUSMALLINT function, const std::function<RETCODE(HSTMT)>& call);
    static SQLCHAR* Arg(const char* text) { return reinterpret_cast<SQLCHAR*>(const_cast<char*>(text)); }
    // A text column of the catalog result.
    static void Text(CFieldExchange* pFX, const char* name, std::string& value);

private:
    std::string GetDefaultConnect() override { return std::string(); }
    std::string GetDefaultSQL() override { return std::string(); }
};

class CTables : public CCatalogRecordset {
public:
    explicit CTables(CDatabase* db = nullptr) : CCatalogRecordset(db, 5) {}
    BOOL Open(const char* qualifier, const char* owner, const char* table, const char* type,
              UINT nOpenType = forwardOnly);
    void DoFieldExchange(CFieldExchange* pFX) override;
    std::string m_strTableQualifier, m_strTableOwner, m_strTableName, m_strTableType, m_strRemarks;
};

class CColumns : public CCatalogRecordset {
public:
    explicit CColumns(CDatabase* db = nullptr) : CCatalogRecordset(db, 12) {}
    BOOL Open(const char* qualifier, const char* owner, const char* table, const char* column,
              UINT nOpenType = forwardOnly);
    void DoFieldExchange(CFieldExchange* pFX) override;
    std::string m_strTableQualifier, m_strTableOwner, m_strTableName, m_strColumnName;
    int m_nDataType = 0;
    std::string m_strTypeName;
    LONG m_lPrecision = 0, m_lLength = 0;
    int m_nScale = 0, m_nRadix = 0, m_nNullable = 0;
    std::string m_strRemarks;
};

class CColumnPrivileges : public CCatalogRecordset {
public:
    explicit CColumnPrivileges(CDatabase* db = nullptr) : CCatalogRecordset(db, 8) {}
    BOOL Open(const char* qualifier, const char* owner, const char* table, const char* column,
              UINT nOpenType = forwardOnly);
    void DoFieldExchange(CFieldExchange* pFX) override;
    std::string m_strTableQualifier, m_strTableOwner, m_strTableName, m_strColumnName, m_strGrantor, m_strGrantee,
        m_strPrivilege, m_strIsGrantable;
};

class CTablePrivileges : public CCatalogRecordset {
public:
    explicit CTablePrivileges(CDatabase* db = nullptr) : CCatalogRecordset(db, 7) {}
    BOOL Open(const char* qualifier, const char* owner, const char* table, UINT nOpenType = forwardOnly);
    void DoFieldExchange(CFieldExchange* pFX) override;
    std::string m_strTableQualifier, m_strTableOwner, m_strTableName, m_strGrantor, m_strGrantee, m_strPrivilege,
        m_strIsGrantable;
};

class CPrimaryKeys : public CCatalogRecordset {
public:
    explicit CPrimaryKeys(CDatabase* db = nullptr) : CCatalogRecordset(db, 6) {}
    BOOL Open(const char* qualifier, const char* owner, const char* table, UINT nOpenType = forwardOnly);
    void DoFieldExchange(CFieldExchange* pFX) override;
    std::string m_strTableQualifier, m_strTableOwner, m_strTableName, m_strColumnName;
    int m_nKeySeq = 0;
    std::string m_strPkName;
};

class CForeignKeys : public CCatalogRecordset {
public:
    explicit CForeignKeys(CDatabase* db = nullptr) : CCatalogRecordset(db, 13) {}
    BOOL Open(const char* pkQualifier, const char* pkOwner, const char* pkTable, const char* fkQualifier,
              const char* fkOwner, const char* fkTable, UINT nOpenType = forwardOnly);
    void DoFieldExchange(CFieldExchange* pFX) override;
    std::string m_strPkTableQualifier, m_strPkTableOwner, m_strPkTableName, m_strPkColumnName, m_strFkTableQualifier,
        m_strFkTableOwner, m_strFkTableName, m_strFkColumnName;
    int m_nKeySeq = 0, m_nUpdateRule = 0, m_nDeleteRule = 0;
    std::string m_strFkName, m_strPkName;
};

class CStatistics : public CCatalogRecordset {
public:
    explicit CStatistics(CDatabase* db = nullptr) : CCatalogRecordset(db, 13) {}
    BOOL Open(const char* qualifier, const char* owner, const char* table, short fUnique, short fAccuracy,
              UINT nOpenType = forwardOnly);
    void DoFieldExchange(CFieldExchange* pFX) override;
    std::string m_strTableQualifier, m_strTableOwner, m_strTableName;
    int m_nNonUnique = 0;
    std::string m_strIndexQualifier, m_strIndexName;
    int m_nType = 0, m_nSeqInIndex = 0;
    std::string m_strColumnName, m_strCollation;
    LONG m_lCardinality = 0, m_lPages = 0;
    std::string m_strFilterCondition;
};

class CSpecialColumns : public CCatalogRecordset {
public:
    explicit CSpecialColumns(CDatabase* db = nullptr) : CCatalogRecordset(db, 8) {}
    BOOL Open(short fColType, const char* qualifier, const char* owner, const char* table, short fScope,
              short fNullable, UINT nOpenType = forwardOnly);
    void DoFieldExchange(CFieldExchange* pFX) override;
    int m_nScope = 0;
    std::string m_strColumnName;
    int m_nDataType = 0;
    std::string m_strTypeName;
    LONG m_lPrecision = 0, m_lLength = 0;
    int m_nScale = 0, m_nPseudoColumn = 0;
};

class CProcedures : public CCatalogRecordset {
public:
    explicit CProcedures(CDatabase* db = nullptr) : CCatalogRecordset(db, 8) {}
    BOOL Open(const char* qualifier, const char* owner, const char* procedure, UINT nOpenType = forwardOnly);
    void DoFieldExchange(CFieldExchange* pFX) override;
    std::string m_strProcedureQualifier, m_strProcedureOwner, m_strProcedureName, m_strRemarks;
    int m_nProcedureType = 0;

private:
    // The driver's result has the parameter and result-set counts between
    // the name and the remarks; they are read to keep the columns in place.
    int m_nInputParams = 0, m_nOutputParams = 0, m_nResultSets = 0;
};

class CProcedureColumns : public CCatalogRecordset {
public:
    explicit CProcedureColumns(CDatabase* db = nullptr) : CCatalogRecordset(db, 13) {}
    BOOL Open(const char* qualifier, const char* owner, const char* procedure, const char* column,
              UINT nOpenType = forwardOnly);
    void DoFieldExchange(CFieldExchange* pFX) override;
    std::string m_strProcedureQualifier, m_strProcedureOwner, m_strProcedureName, m_strColumnName;
    int m_nColumnType = 0, m_nDataType = 0;
    std::string m_strTypeName;
    LONG m_lPrecision = 0, m_lLength = 0;
    int m_nScale = 0, m_nRadix = 0, m_nNullable = 0;
    std::string m_strRemarks;
};

class CGetTypeInfo : public CCatalogRecordset {
public:
    explicit CGetTypeInfo(CDatabase* db = nullptr) : CCatalogRecordset(db, 15) {}
    BOOL Open(short fSqlType = SQL_ALL_TYPES, UINT nOpenType = forwardOnly);
    void DoFieldExchange(CFieldExchange* pFX) override;
    std::string m_strTypeName;
    int m_nDataType = 0;
    LONG m_lPrecision = 0;
    std::string m_strLiteralPrefix, m_strLiteralSuffix, m_strCreateParams;
    int m_nNullable = 0;
    BOOL m_bCaseSensitive = FALSE;
    int m_nSearchable = 0, m_nUnsignedAttribute = 0;
    BOOL m_bMoney = FALSE;
    int m_nAutoIncrement = 0;
    std::string m_strLocalTypeName;
    int m_nMinimumScale = 0, m_nMaximumScale = 0;
};
