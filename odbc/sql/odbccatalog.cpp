#include "odbc/sql/odbccatalog.h"
#include "odbc/data/core/rfx.h"

BOOL CCatalogRecordset::OpenCatalog(UINT nOpenType, SQLUSMALLINT function, const std::function<RETCODE(HSTMT)>& call)
{
    if (m_pDatabase == nullptr || !m_pDatabase->IsOpen())
        return FALSE;
    SQLUSMALLINT exists = SQL_FALSE;
    RETCODE rc = SQLGetFunctions(m_pDatabase->m_hdbc, function, &exists);
    if (!Check(rc) || exists != SQL_TRUE)
        return FALSE;
    SetState(nOpenType, nullptr, readOnly);
    if (!AllocHstmt())
        return FALSE;
    CloseOnFailure([&] {
        OnSetOptions(m_hstmt);
        AllocStatusArrays();
        rc = AfxOdbcRetry([&] { return call(m_hstmt); });
        if (!Check(rc))
            ThrowDBException(rc, m_hstmt);
        m_bOpened = TRUE;
        m_bEOF = m_bBOF = FALSE;
        AllocAndCacheFieldInfo();
        AllocRowset();
        FetchFirst();
    });
    return TRUE;
}

void CCatalogRecordset::Text(CFieldExchange* pFX, const char* name, std::string& value)
{
    RFX_Text_Ntv(pFX, name, value, 255, SQL_VARCHAR, 0);
}

BOOL CTables::Open(const char* qualifier, const char* owner, const char* table, const char* type, UINT nOpenType)
{
    return OpenCatalog(nOpenType, SQL_API_SQLTABLES, [&](HSTMT h) {
        return SQLTables(h, Arg(qualifier), SQL_NTS, Arg(owner), SQL_NTS, Arg(table), SQL_NTS, Arg(type), SQL_NTS);
    });
}

void CTables::DoFieldExchange(CFieldExchange* pFX)
{
    pFX->SetFieldType(CFieldExchange::outputColumn);
    Text(pFX, "TABLE_QUALIFIER", m_strTableQualifier);
    Text(pFX, "TABLE_OWNER", m_strTableOwner);
    Text(pFX, "TABLE_NAME", m_strTableName);
    Text(pFX, "TABLE_TYPE", m_strTableType);
    Text(pFX, "REMARKS", m_strRemarks);
}

BOOL CColumns::Open(const char* qualifier, const char* owner, const char* table, const char* column, UINT nOpenType)
{
    return OpenCatalog(nOpenType, SQL_API_SQLCOLUMNS, [&](HSTMT h) {
        return SQLColumns(h, Arg(qualifier), SQL_NTS, Arg(owner), SQL_NTS, Arg(table), SQL_NTS, Arg(column), SQL_NTS);
    });
}

void CColumns::DoFieldExchange(CFieldExchange* pFX)
{
    pFX->SetFieldType(CFieldExchange::outputColumn);
    Text(pFX, "TABLE_QUALIFIER", m_strTableQualifier);
    Text(pFX, "TABLE_OWNER", m_strTableOwner);
    Text(pFX, "TABLE_NAME", m_strTableName);
    Text(pFX, "COLUMN_NAME", m_strColumnName);
    RFX_Int(pFX, "DATA_TYPE", m_nDataType);
    Text(pFX, "TYPE_NAME", m_strTypeName);
    RFX_Long(pFX, "PRECISION", m_lPrecision);
    RFX_Long(pFX, "LENGTH", m_lLength);
    RFX_Int(pFX, "SCALE", m_nScale);
    RFX_Int(pFX, "RADIX", m_nRadix);
    RFX_Int(pFX, "NULLABLE", m_nNullable);
    Text(pFX, "REMARKS", m_strRemarks);
}

BOOL CColumnPrivileges::Open(const char* qualifier, const char* owner, const char* table, const char* column,
                             UINT nOpenType)
{
    return OpenCatalog(nOpenType, SQL_API_SQLCOLUMNPRIVILEGES, [&](HSTMT h) {
        return SQLColumnPrivileges(h, Arg(qualifier), SQL_NTS, Arg(owner), SQL_NTS, Arg(table), SQL_NTS, Arg(column),
                                   SQL_NTS);
    });
}

void CColumnPrivileges::DoFieldExchange(CFieldExchange* pFX)
{
    pFX->SetFieldType(CFieldExchange::outputColumn);
    Text(pFX, "TABLE_QUALIFIER", m_strTableQualifier);
    Text(pFX, "TABLE_OWNER", m_strTableOwner);
    Text(pFX, "TABLE_NAME", m_strTableName);
    Text(pFX, "COLUMN_NAME", m_strColumnName);
    Text(pFX, "GRANTOR", m_strGrantor);
    Text(pFX, "GRANTEE", m_strGrantee);
    Text(pFX, "PRIVILEGE", m_strPrivilege);
    Text(pFX, "IS_GRANTABLE", m_strIsGrantable);
}

BOOL CTablePrivileges::Open(const char* qualifier, const char* owner, const char* table, UINT nOpenType)
{
    return OpenCatalog(nOpenType, SQL_API_SQLTABLEPRIVILEGES, [&](HSTMT h) {
        return SQLTablePrivileges(h, Arg(qualifier), SQL_NTS, Arg(owner), SQL_NTS, Arg(table), SQL_NTS);
    });
}

void CTablePrivileges::DoFieldExchange(CFieldExchange* pFX)
{
    pFX->SetFieldType(CFieldExchange::outputColumn);
    Text(pFX, "TABLE_QUALIFIER", m_strTableQualifier);
    Text(pFX, "TABLE_OWNER", m_strTableOwner);
    Text(pFX, "TABLE_NAME", m_strTableName);
    Text(pFX, "GRANTOR", m_strGrantor);
    Text(pFX, "GRANTEE", m_strGrantee);
    Text(pFX, "PRIVILEGE", m_strPrivilege);
    Text(pFX, "IS_GRANTABLE", m_strIsGrantable);
}

BOOL CPrimaryKeys::Open(const char* qualifier, const char* owner, const char* table, UINT nOpenType)
{
    return OpenCatalog(nOpenType, SQL_API_SQLPRIMARYKEYS, [&](HSTMT h) {
        return SQLPrimaryKeys(h, Arg(qualifier), SQL_NTS, Arg(owner), SQL_NTS, Arg(table), SQL_NTS);
    });
}

void CPrimaryKeys::DoFieldExchange(CFieldExchange* pFX)
{
    pFX->SetFieldType(CFieldExchange::outputColumn);
    Text(pFX, "TABLE_QUALIFIER", m_strTableQualifier);
    Text(pFX, "TABLE_OWNER", m_strTableOwner);
    Text(pFX, "TABLE_NAME", m_strTableName);
    Text(pFX, "COLUMN_NAME", m_strColumnName);
    RFX_Int(pFX, "KEY_SEQ", m_nKeySeq);
    Text(pFX, "PK_NAME", m_strPkName);
}

BOOL CForeignKeys::Open(const char* pkQualifier, const char* pkOwner, const char* pkTable, const char* fkQualifier,
                        const char* fkOwner, const char* fkTable, UINT nOpenType)
{
    return OpenCatalog(nOpenType, SQL_API_SQLFOREIGNKEYS, [&](HSTMT h) {
        return SQLForeignKeys(h, Arg(pkQualifier), SQL_NTS, Arg(pkOwner), SQL_NTS, Arg(pkTable), SQL_NTS,
                              Arg(fkQualifier), SQL_NTS, Arg(fkOwner), SQL_NTS, Arg(fkTable), SQL_NTS);
    });
}

void CForeignKeys::DoFieldExchange(CFieldExchange* pFX)
{
    pFX->SetFieldType(CFieldExchange::outputColumn);
    Text(pFX, "PKTABLE_QUALIFIER", m_strPkTableQualifier);
    Text(pFX, "PKTABLE_OWNER", m_strPkTableOwner);
    Text(pFX, "PKTABLE_NAME", m_strPkTableName);
    Text(pFX, "PKCOLUMN_NAME", m_strPkColumnName);
    Text(pFX, "FKTABLE_QUALIFIER", m_strFkTableQualifier);
    Text(pFX, "FKTABLE_OWNER", m_strFkTableOwner);
    Text(pFX, "FKTABLE_NAME", m_strFkTableName);
    Text(pFX, "FKCOLUMN_NAME", m_strFkColumnName);
    RFX_Int(pFX, "KEY_SEQ", m_nKeySeq);
    RFX_Int(pFX, "UPDATE_RULE", m_nUpdateRule);
    RFX_Int(pFX, "DELETE_RULE", m_nDeleteRule);
    Text(pFX, "FK_NAME", m_strFkName);
    Text(pFX, "PK_NAME", m_strPkName);
}

BOOL CStatistics::Open(const char* qualifier, const char* owner, const char* table, short fUnique, short fAccuracy,
                       UINT nOpenType)
{
    return OpenCatalog(nOpenType, SQL_API_SQLSTATISTICS, [&](HSTMT h) {
        return SQLStatistics(h, Arg(qualifier), SQL_NTS, Arg(owner), SQL_NTS, Arg(table), SQL_NTS,
                             static_cast<SQLUSMALLINT>(fUnique), static_cast<SQLUSMALLINT>(fAccuracy));
    });
}

void CStatistics::DoFieldExchange(CFieldExchange* pFX)
{
    pFX->SetFieldType(CFieldExchange::outputColumn);
    Text(pFX, "TABLE_QUALIFIER", m_strTableQualifier);
    Text(pFX, "TABLE_OWNER", m_strTableOwner);
    Text(pFX, "TABLE_NAME", m_strTableName);
    RFX_Int(pFX, "NON_UNIQUE", m_nNonUnique);
    Text(pFX, "INDEX_QUALIFIER", m_strIndexQualifier);
    Text(pFX, "INDEX_NAME", m_strIndexName);
    RFX_Int(pFX, "TYPE", m_nType);
    RFX_Int(pFX, "SEQ_IN_INDEX", m_nSeqInIndex);
    Text(pFX, "COLUMN_NAME", m_strColumnName);
    Text(pFX, "COLLATION", m_strCollation);
    RFX_Long(pFX, "CARDINALITY", m_lCardinality);
    RFX_Long(pFX, "PAGES", m_lPages);
    Text(pFX, "FILTER_CONDITION", m_strFilterCondition);
}

BOOL CSpecialColumns::Open(short fColType, const char* qualifier, const char* owner, const char* table, short fScope,
                           short fNullable, UINT nOpenType)
{
    return OpenCatalog(nOpenType, SQL_API_SQLSPECIALCOLUMNS, [&](HSTMT h) {
        return SQLSpecialColumns(h, static_cast<SQLUSMALLINT>(fColType), Arg(qualifier), SQL_NTS, Arg(owner), SQL_NTS,
                                 Arg(table), SQL_NTS, static_cast<SQLUSMALLINT>(fScope),
                                 static_cast<SQLUSMALLINT>(fNullable));
    });
}

void CSpecialColumns::DoFieldExchange(CFieldExchange* pFX)
{
    pFX->SetFieldType(CFieldExchange::outputColumn);
    RFX_Int(pFX, "SCOPE", m_nScope);
    Text(pFX, "COLUMN_NAME", m_strColumnName);
    RFX_Int(pFX, "DATA_TYPE", m_nDataType);
    Text(pFX, "TYPE_NAME", m_strTypeName);
    RFX_Long(pFX, "PRECISION", m_lPrecision);
    RFX_Long(pFX, "LENGTH", m_lLength);
    RFX_Int(pFX, "SCALE", m_nScale);
    RFX_Int(pFX, "PSEUDO_COLUMN", m_nPseudoColumn);
}

BOOL CProcedures::Open(const char* qualifier, const char* owner, const char* procedure, UINT nOpenType)
{
    return OpenCatalog(nOpenType, SQL_API_SQLPROCEDURES, [&](HSTMT h) {
        return SQLProcedures(h, Arg(qualifier), SQL_NTS, Arg(owner), SQL_NTS, Arg(procedure), SQL_NTS);
    });
}

void CProcedures::DoFieldExchange(CFieldExchange* pFX)
{
    pFX->SetFieldType(CFieldExchange::outputColumn);
    Text(pFX, "PROCEDURE_QUALIFIER", m_strProcedureQualifier);
    Text(pFX, "PROCEDURE_OWNER", m_strProcedureOwner);
    Text(pFX, "PROCEDURE_NAME", m_strProcedureName);
    RFX_Int(pFX, "NUM_INPUT_PARAMS", m_nInputParams);
    RFX_Int(pFX, "NUM_OUTPUT_PARAMS", m_nOutputParams);
    RFX_Int(pFX, "NUM_RESULT_SETS", m_nResultSets);
    Text(pFX, "REMARKS", m_strRemarks);
    RFX_Int(pFX, "PROCEDURE_TYPE", m_nProcedureType);
}

BOOL CProcedureColumns::Open(const char* qualifier, const char* owner, const char* procedure, const char* column,
                             UINT nOpenType)
{
    return OpenCatalog(nOpenType, SQL_API_SQLPROCEDURECOLUMNS, [&](HSTMT h) {
        return SQLProcedureColumns(h, Arg(qualifier), SQL_NTS, Arg(owner), SQL_NTS, Arg(procedure), SQL_NTS,
                                   Arg(column), SQL_NTS);
    });
}

void CProcedureColumns::DoFieldExchange(CFieldExchange* pFX)
{
    pFX->SetFieldType(CFieldExchange::outputColumn);
    Text(pFX, "PROCEDURE_QUALIFIER", m_strProcedureQualifier);
    Text(pFX, "PROCEDURE_OWNER", m_strProcedureOwner);
    Text(pFX, "PROCEDURE_NAME", m_strProcedureName);
    Text(pFX, "COLUMN_NAME", m_strColumnName);
    RFX_Int(pFX, "COLUMN_TYPE", m_nColumnType);
    RFX_Int(pFX, "DATA_TYPE", m_nDataType);
    Text(pFX, "TYPE_NAME", m_strTypeName);
    RFX_Long(pFX, "PRECISION", m_lPrecision);
    RFX_Long(pFX, "LENGTH", m_lLength);
    RFX_Int(pFX, "SCALE", m_nScale);
    RFX_Int(pFX, "RADIX", m_nRadix);
    RFX_Int(pFX, "NULLABLE", m_nNullable);
    Text(pFX, "REMARKS", m_strRemarks);
}

BOOL CGetTypeInfo::Open(short fSqlType, UINT nOpenType)
{
    return OpenCatalog(nOpenType, SQL_API_SQLGETTYPEINFO, [&](HSTMT h) { return SQLGetTypeInfo(h, fSqlType); });
}

void CGetTypeInfo::DoFieldExchange(CFieldExchange* pFX)
{
    pFX->SetFieldType(CFieldExchange::outputColumn);
    Text(pFX, "TYPE_NAME", m_strTypeName);
    RFX_Int(pFX, "DATA_TYPE", m_nDataType);
    RFX_Long(pFX, "PRECISION", m_lPrecision);
    Text(pFX, "LITERAL_PREFIX", m_strLiteralPrefix);
    Text(pFX, "LITERAL_SUFFIX", m_strLiteralSuffix);
    Text(pFX, "CREATE_PARAMS", m_strCreateParams);
    RFX_Int(pFX, "NULLABLE", m_nNullable);
    RFX_Bool(pFX, "CASE_SENSITIVE", m_bCaseSensitive);
    RFX_Int(pFX, "SEARCHABLE", m_nSearchable);
    RFX_Int(pFX, "UNSIGNED_ATTRIBUTE", m_nUnsignedAttribute);
    RFX_Bool(pFX, "MONEY", m_bMoney);
    RFX_Int(pFX, "AUTO_INCREMENT", m_nAutoIncrement);
    Text(pFX, "LOCAL_TYPE_NAME", m_strLocalTypeName);
    RFX_Int(pFX, "MINIMUM_SCALE", m_nMinimumScale);
    RFX_Int(pFX, "MAXIMUM_SCALE", m_nMaximumScale);
}
