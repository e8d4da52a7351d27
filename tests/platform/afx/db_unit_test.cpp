// The database classes' rules that need no driver.
#include "afx/dbcore.h"

#include <gtest/gtest.h>

namespace {

TEST(DbCheck, ReturnCodesByCheckVariant)
{
    struct Case {
        RETCODE rc;
        bool database;  // CDatabase::Check and CheckHstmt
        bool recordset; // CRecordset::Check
    };
    const Case cases[] = {
        {SQL_SUCCESS, true, true},          {SQL_SUCCESS_WITH_INFO, true, true},
        {SQL_NO_DATA, true, true},          {SQL_NEED_DATA, false, true},
        {SQL_ERROR, false, false},          {SQL_INVALID_HANDLE, false, false},
        {SQL_STILL_EXECUTING, false, false},
    };
    CDatabase db;
    CRecordset rs(&db);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rc);
        EXPECT_EQ(db.Check(c.rc) != 0, c.database);
        EXPECT_EQ(db.CheckHstmt(c.rc, SQL_NULL_HSTMT) != 0, c.database);
        EXPECT_EQ(rs.Check(c.rc) != 0, c.recordset);
    }
}

TEST(DbException, AfxCodesCarryFixedTextAndNoState)
{
    for (RETCODE code : {RETCODE(AFX_SQL_ERROR_ILLEGAL_MODE), RETCODE(AFX_SQL_ERROR_NO_CURRENT_RECORD),
                         RETCODE(AFX_SQL_ERROR_FIELD_NOT_FOUND), RETCODE(AFX_SQL_ERROR_NO_DATA_FOUND)}) {
        try {
            AfxThrowDBException(code, nullptr, SQL_NULL_HSTMT);
            FAIL();
        } catch (const CException& e) {
            const auto& db = dynamic_cast<const CDBException&>(e);
            EXPECT_EQ(db.m_nRetCode, code);
            EXPECT_FALSE(db.m_strError.empty());
            EXPECT_STREQ(db.what(), db.m_strError.c_str());
            EXPECT_TRUE(db.m_strStateNativeOrigin.empty());
        }
    }
}

TEST(DbException, MemoryAndArgumentErrorsAreLibraryExceptions)
{
    EXPECT_THROW(AfxThrowMemoryException(), CMemoryException);
    EXPECT_THROW(AfxThrowInvalidArgException(), CException);
    CRecordset rs;
    EXPECT_THROW(rs.SetRowsetSize(0), CInvalidArgException);
}

TEST(DbException, ClosedConnectionGivesReadableText)
{
    CDatabase db;
    try {
        db.ThrowDBException(SQL_INVALID_HANDLE);
        FAIL();
    } catch (const CDBException& e) {
        EXPECT_EQ(e.m_nRetCode, SQL_INVALID_HANDLE);
        EXPECT_NE(e.m_strError.find("-2"), std::string::npos);
        EXPECT_TRUE(e.m_strStateNativeOrigin.empty());
    }
    // An ODBC error with nothing to read still says what failed.
    try {
        db.ThrowDBException(SQL_ERROR);
        FAIL();
    } catch (const CDBException& e) {
        EXPECT_EQ(e.m_nRetCode, SQL_ERROR);
        EXPECT_FALSE(e.m_strError.empty());
    }
}

TEST(DbDatabase, ReplaceBracketsOutsideLiterals)
{
    struct Case {
        const char* in;
        const char* out;
    };
    const Case cases[] = {
        {"SELECT [a b] FROM [dbo].[t]", "SELECT \"a b\" FROM \"dbo\".\"t\""},
        {"SELECT '[x]' FROM [t]", "SELECT '[x]' FROM \"t\""},
        {"SELECT 'it''s [x]', [c]", "SELECT 'it''s [x]', \"c\""},
        {"SELECT [[literal]] FROM t", "SELECT [literal] FROM t"},
        {"", ""},
    };
    CDatabase db;
    for (const Case& c : cases) {
        std::string sql = c.in;
        db.ReplaceBrackets(sql);
        EXPECT_EQ(sql, c.out);
        EXPECT_LE(sql.size(), std::string(c.in).size());
    }
    EXPECT_EQ(db.QuoteName("we\"ird"), "\"we\"\"ird\"");
}

TEST(DbRecordset, DefaultFieldTypes)
{
    struct Case {
        short sql;
        short c;
    };
    const Case cases[] = {
        {SQL_BIT, SQL_C_BIT},          {SQL_TINYINT, SQL_C_UTINYINT},    {SQL_SMALLINT, SQL_C_SSHORT},
        {SQL_INTEGER, SQL_C_SLONG},    {SQL_REAL, SQL_C_FLOAT},          {SQL_FLOAT, SQL_C_DOUBLE},
        {SQL_DOUBLE, SQL_C_DOUBLE},    {SQL_TIMESTAMP, SQL_C_TIMESTAMP}, {SQL_TYPE_DATE, SQL_C_TIMESTAMP},
        {SQL_TYPE_TIME, SQL_C_TIMESTAMP}, {SQL_TYPE_TIMESTAMP, SQL_C_TIMESTAMP},
        {SQL_NUMERIC, SQL_C_CHAR},     {SQL_BIGINT, SQL_C_CHAR},         {SQL_LONGVARCHAR, SQL_C_CHAR},
        {SQL_VARBINARY, SQL_C_BINARY}, {SQL_INTERVAL_DAY, SQL_C_CHAR},   {SQL_GUID, 0},
        {SQL_WVARCHAR, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CRecordset::GetDefaultFieldType(c.sql), c.c) << c.sql;
}

TEST(DbRecordset, ClosedRecordsetIsSafe)
{
    CRecordset rs;
    EXPECT_FALSE(rs.IsOpen());
    rs.Close();
    rs.Close();
    EXPECT_EQ(rs.GetODBCFieldCount(), -1);
    EXPECT_TRUE(rs.IsEOF());
    EXPECT_TRUE(rs.IsBOF());
    EXPECT_FALSE(rs.IsFieldStatusNull(3)); // no array: FALSE, no crash
    rs.SetRowsetSize(7);
    EXPECT_EQ(rs.GetRowsetSize(), 7u);
    EXPECT_TRUE(rs.IsKindOf(RUNTIME_CLASS(CRecordset)));
    EXPECT_TRUE(CDatabase().IsKindOf(RUNTIME_CLASS(CObject)));
}

TEST(DbText, Utf8CutNeverSplitsACharacter)
{
    const std::string text = "a\xD0\xB6\xE2\x82\xAC\xF0\x9F\x98\x80"; // a, zhe, euro, emoji
    const std::size_t expected[] = {0, 1, 1, 3, 3, 3, 6, 6, 6, 6, 10};
    for (std::size_t n = 0; n <= text.size(); ++n)
        EXPECT_EQ(AfxUtf8CutLength(text.data(), n), expected[n]) << n;
}

} // namespace
