// The library's connection: four ways to open, connect-string parts, driver
// facts, the driver manager's trace, application roles, ad-hoc statements
// with parameter arrays, one-value queries and the data-model check.
#pragma once

#include "afx/dbcore.h"
#include "paramarray.h"
#include "values.h"

#include <string>
#include <vector>

class CFile;

class CDatabaseEx : public CDatabase {
    DECLARE_DYNAMIC(CDatabaseEx)

public:
    CDatabaseEx() = default;
    ~CDatabaseEx() override;

    bool IsSetRole() const { return !m_strAppRole.empty(); }

    virtual bool OpenExLogonDlg(const char* dsn, const char* uid, const char* app, DWORD options,
                                const char** driverFilter, short filterCount, bool lockDsn);
    virtual bool OpenDBEx(const CDatabaseEx& other, const char* dsn, DWORD options);
    int OpenDBExStr(const char* connect, bool showError, std::string& error);

    std::string GetShortConnect() const;
    void GetDBMSName(std::string& name, std::string& version);
    void GetHostName(std::string& name);
    void GetServerName(std::string& name);
    void GetDSN(std::string& dsn);
    void GetUserNameA(std::string& user);
    void GetPassword(std::string& password);
    void GetAppName(std::string& app);
    void GetDriverName(std::string& name, std::string& version);
    DWORD GetConnectOption() const;
    std::string SQLGetInfoString(WORD infoType);
    WORD SQLGetInfoShort(WORD infoType);
    DWORD SQLGetInfoLong(WORD infoType);
    DWORD GetQueryTimeout() const { return m_dwQueryTimeout; }
    DWORD GetUpdateOptions() const { return m_dwUpdateOptions; }

    bool SetConnectOption(WORD option, DWORD value);
    bool IsAsyncConnect();
    bool IsAsyncStatement();
    bool SetAsyncModeOn();

    bool IsTraceOn(bool global);
    bool SetTrace(bool on, bool global);
    static void GetTraceFile(std::string& out);
    static void SetTraceFile(const char* path);
    static bool SetTraceFileDlg();

    virtual void SetAppRole(const char* role, const char* password);
    void CopyAppRole(CDatabaseEx* other);
    // The statement that activates the role; nothing to write without one.
    BOOL GetRoleCMD(std::string& command) const;

    // Ad-hoc statements.
    bool GetOneRecord(const char* sql, CDBTypedPtrArrayEx<CDBFieldValue*>& fields, CArrayPointParam* params,
                      bool keepCursor);
    void ExecuteSQL_Ex(const char* sql, CArrayPointParam* params, CODBCStringValue* identity);
    void GetSQLFieldParamInfo(const char* sql, std::vector<CODBCFieldInfoEx>* fields,
                              std::vector<CODBCParamInfoEx>* params);

    std::string GetVersion();
    bool GetVersion(std::string sql, int& value);
    bool CheckModelVer(std::string appVersion);

    std::string GetSuser_sname();
    std::string GetCurrentuser();
    std::string GetSERVERNAME();
    std::string GetDB_Name();
    void GetIDENTITY(std::string& out);
    long GetIDENTITY();
    long GetTrancount();
    void GetDate(SYSTEMTIME& out);
    long GetMaxDataLengthField(const char* table, const char* field);
    long GetMaxRecordCount(const char* table);

    // The list of open recordsets.
    void TraceRecordSets(CFile* file, const char* message);
    void TraceRecordSets(const char* fileName, const char* message);
    static std::string GetFileNameTraceRecordSets();

protected:
    // Appended to an INSERT to read its identity back in the same batch;
    // null where the engine reads it another way.
    virtual const char* GetIdentityScript() const;

private:
    BOOL OpenQuietly(const std::string& connect, DWORD options);
    void RequireOpen() const;
    void GetInfoText(SQLUSMALLINT info, std::string& out);
    std::string OneText(const std::string& sql);
    long OneLong(const std::string& sql, long noRow, long null);
    void BindParamArray(HSTMT hstmt, const char* sql, CArrayPointParam& params);
    std::string VersionQuery(const char* column) const;

    std::string m_strAppRole;
    std::string m_strRolePassword;
};

// Connect-string parts; keys are given with their '=' ("UID=") and match
// without regard to case at the start of a part.
bool GetPartOfString(const char* connect, const char* key, std::string& out);
void SetPartOfString(std::string& connect, const char* key, const char* value);
// A value as a connect string holds it: in braces, with each '}' doubled,
// when it has ';' or a brace that would end its part early.
std::string BraceConnectValue(const std::string& value);
// Whether the connect string carries a password (a PWD or Password part,
// in any case, with a value).
bool HasPassword(const std::string& connect);
// The connect string with every password part (PWD, Password) removed.
std::string HidePassword(const std::string& connect);
bool IsTrustedConnection(const char* dsn);
bool IsDSNDriver(const char* dsn, const char* driver);
void FatalDBError(CDBException* e);

void GetParamInfo(CDatabase* db, void* hstmt, std::vector<CODBCParamInfoEx>& out);
void GetFieldInfo(CDatabase* db, void* hstmt, std::vector<CODBCFieldInfoEx>& out);
void GetFieldInfo(CDatabase* db, void* hstmt, WORD column, CODBCFieldInfoEx& info);
void GetFieldData(CDatabase* db, void* hstmt, WORD column, CDBFieldValue& value);
