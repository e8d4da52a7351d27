// A recordset base that writes its opening and closing into a shared trace
// file, and on a general driver error lists the connection's open
// recordsets so that the statement blocking it can be found.
#pragma once

#include "afx/dbcore.h"
#include "afx/file.h"

#include <vector>

class CRecordsetTrace : public CRecordset {
    DECLARE_DYNAMIC(CRecordsetTrace)

public:
    explicit CRecordsetTrace(CDatabase* pDatabase = nullptr);
    ~CRecordsetTrace() override;

    void SetGlobalCursorsTrace(const char* letters);
    void SetCursorsTrace(const char* letters);
    const char* GetCursorsTrace() const { return m_szCursors; }

    BOOL Open(UINT nOpenType = AFX_DB_USE_DEFAULT_TYPE, LPCTSTR lpszSQL = nullptr, DWORD dwOptions = none) override;
    void Close() override;
    char GetCursorType() const;

    static BOOL OpenTraceFile(const char* path);
    static void CloseTraceFile();
    static void AddTracedHDBC(void* hdbc);
    static bool IsTraceFileOpen();

    [[noreturn]] void ThrowDBException(RETCODE nRetCode, HSTMT hstmt = SQL_NULL_HSTMT) override;

protected:
    virtual void Trace(bool open);

    static CFile m_fTraceFile;
    static std::vector<void*> m_arHDBCTrace;
    static const char* m_sCursors;

private:
    char m_szCursors[6] = {};
};

// The cursor letter of a statement: F, K, D, S, or U when it cannot be told.
char CursorLetter(HSTMT hstmt);
// A handle as the trace lines write it: the low 32 bits, 8 upper-case hex digits.
std::string TraceHandle(const void* handle);
