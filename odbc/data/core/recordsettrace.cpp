#include "odbc/data/core/recordsettrace.h"
#include "odbc/data/core/databaseex.h"

#include "winapi/folders.h"

#include <algorithm>
#include <cinttypes>
#include <cstdarg>
#include <cstdio>
#include <cstring>

IMPLEMENT_DYNAMIC(CRecordsetTrace, CRecordset)

CFile CRecordsetTrace::m_fTraceFile;
std::vector<void*> CRecordsetTrace::m_arHDBCTrace;
const char* CRecordsetTrace::m_sCursors = "FU";

namespace {

bool g_traceFileOpen = false;

std::string Format(const char* pattern, ...) __attribute__((format(printf, 1, 2)));
std::string Format(const char* pattern, ...)
{
    va_list args;
    va_start(args, pattern);
    va_list copy;
    va_copy(copy, args);
    int n = std::vsnprintf(nullptr, 0, pattern, copy);
    va_end(copy);
    std::string out(static_cast<std::size_t>(std::max(n, 0)), '\0');
    std::vsnprintf(out.data(), out.size() + 1, pattern, args);
    va_end(args);
    return out;
}

void WriteText(CFile& file, const std::string& text)
{
    file.Write(text.data(), text.size());
}

} // namespace

char CursorLetter(HSTMT hstmt)
{
    SQLULEN type = 0;
    if (hstmt == SQL_NULL_HSTMT || !SQL_SUCCEEDED(SQLGetStmtAttr(hstmt, SQL_ATTR_CURSOR_TYPE, &type, 0, nullptr)))
        return 'U';
    switch (type) {
    case SQL_CURSOR_FORWARD_ONLY: return 'F';
    case SQL_CURSOR_KEYSET_DRIVEN: return 'K';
    case SQL_CURSOR_DYNAMIC: return 'D';
    case SQL_CURSOR_STATIC: return 'S';
    default: return 'U';
    }
}

std::string TraceHandle(const void* handle)
{
    // The whole handle: a 64-bit pointer cut to 32 bits names another one.
    return Format("0x%08" PRIXPTR, reinterpret_cast<std::uintptr_t>(handle));
}

CRecordsetTrace::CRecordsetTrace(CDatabase* pDatabase) : CRecordset(pDatabase)
{
    if (m_sCursors != nullptr)
        std::strncpy(m_szCursors, m_sCursors, 5); // the field holds five letters
}

CRecordsetTrace::~CRecordsetTrace()
{
    try {
        if (m_hstmt != SQL_NULL_HSTMT)
            CRecordsetTrace::Close();
    } catch (...) {
    }
}

void CRecordsetTrace::SetGlobalCursorsTrace(const char* letters)
{
    m_sCursors = letters;
}

void CRecordsetTrace::SetCursorsTrace(const char* letters)
{
    std::memset(m_szCursors, 0, sizeof m_szCursors);
    if (letters != nullptr)
        std::strncpy(m_szCursors, letters, 4);
}

BOOL CRecordsetTrace::Open(UINT nOpenType, LPCTSTR lpszSQL, DWORD dwOptions)
{
    BOOL opened = CRecordset::Open(nOpenType, lpszSQL, dwOptions);
    if (opened)
        Trace(true);
    return opened;
}

void CRecordsetTrace::Close()
{
    if (m_hstmt != SQL_NULL_HSTMT)
        Trace(false);
    CRecordset::Close();
}

char CRecordsetTrace::GetCursorType() const
{
    return CursorLetter(m_hstmt);
}

BOOL CRecordsetTrace::OpenTraceFile(const char* path)
{
    if (g_traceFileOpen || path == nullptr)
        return FALSE;
    g_traceFileOpen = m_fTraceFile.Open(path, CFile::modeCreate | CFile::modeWrite);
    return g_traceFileOpen;
}

void CRecordsetTrace::CloseTraceFile()
{
    if (!g_traceFileOpen)
        return;
    m_fTraceFile.Close();
    g_traceFileOpen = false;
}

bool CRecordsetTrace::IsTraceFileOpen()
{
    return g_traceFileOpen;
}

void CRecordsetTrace::AddTracedHDBC(void* hdbc)
{
    if (hdbc != nullptr)
        m_arHDBCTrace.push_back(hdbc);
}

void CRecordsetTrace::Trace(bool open)
{
    if (!g_traceFileOpen || !IsOpen() || m_pDatabase == nullptr)
        return;
    if (std::find(m_arHDBCTrace.begin(), m_arHDBCTrace.end(), m_pDatabase->m_hdbc) == m_arHDBCTrace.end())
        return;
    char letter = GetCursorType();
    if (std::strchr(m_szCursors, letter) == nullptr)
        return;
    WriteText(m_fTraceFile, Format("%lu; %s; %s; %c; %c; %s;\r\n", static_cast<unsigned long>(winapi::GetTickCount()),
                                   TraceHandle(m_pDatabase->m_hdbc).c_str(), TraceHandle(m_hstmt).c_str(),
                                   open ? 'O' : 'C', letter, m_strSQL.c_str()));
}

void CRecordsetTrace::ThrowDBException(RETCODE nRetCode, HSTMT hstmt)
{
    HSTMT statement = hstmt != SQL_NULL_HSTMT ? hstmt : m_hstmt;
    if (nRetCode != SQL_ERROR || m_pDatabase == nullptr)
        AfxThrowDBException(nRetCode, m_pDatabase, statement);
    CDBException e(nRetCode);
    e.BuildErrorString(m_pDatabase, statement, FALSE);
    if (e.m_strStateNativeOrigin.find("State:HY000") != std::string::npos) {
        std::string error = e.m_strStateNativeOrigin + "; " + e.m_strError;
        std::replace(error.begin(), error.end(), '\n', ' ');
        std::string line = Format("%lu; %s; %s; ERROR; %c; %s; %s\r\n",
                                  static_cast<unsigned long>(winapi::GetTickCount()),
                                  TraceHandle(m_pDatabase->m_hdbc).c_str(), TraceHandle(statement).c_str(),
                                  CursorLetter(statement), m_strSQL.c_str(), error.c_str());
        if (m_pDatabase->IsKindOf(RUNTIME_CLASS(CDatabaseEx))) {
            auto* db = static_cast<CDatabaseEx*>(m_pDatabase);
            if (g_traceFileOpen)
                db->TraceRecordSets(&m_fTraceFile, line.c_str());
            else
                db->TraceRecordSets(static_cast<const char*>(nullptr), line.c_str());
        } else if (g_traceFileOpen) {
            WriteText(m_fTraceFile, line);
        }
    }
    throw e;
}

// The list of a connection's open recordsets.

void CDatabaseEx::TraceRecordSets(CFile* file, const char* message)
{
    if (file == nullptr)
        return;
    // The list is a diagnostic file: the connect string goes in without its password.
    std::string connect = HidePassword(m_strConnect);
    WriteText(*file, Format("Begin List Recordsets : TickCount %lu; HDBC %s; %s\r\n",
                            static_cast<unsigned long>(winapi::GetTickCount()), TraceHandle(m_hdbc).c_str(),
                            connect.c_str()));
    if (message != nullptr && *message != '\0') {
        WriteText(*file, "Begin Message :\r\n");
        WriteText(*file, message);
        WriteText(*file, "\r\nEnd Message\r\nList Recordset:\r\n");
    }
    for (CRecordset* rs : GetRecordsets()) {
        if (!rs->IsOpen())
            continue;
        WriteText(*file, Format("%lu; %s; %s; ?; %c; %s;\r\n", static_cast<unsigned long>(winapi::GetTickCount()),
                                TraceHandle(m_hdbc).c_str(), TraceHandle(rs->m_hstmt).c_str(),
                                CursorLetter(rs->m_hstmt), rs->GetSQL().c_str()));
    }
    WriteText(*file, Format("End List Recordsets :  TickCount %lu; HDBC %s; %s\r\n",
                            static_cast<unsigned long>(winapi::GetTickCount()), TraceHandle(m_hdbc).c_str(),
                            connect.c_str()));
    file->Flush();
}

void CDatabaseEx::TraceRecordSets(const char* fileName, const char* message)
{
    std::string name = fileName != nullptr ? fileName : GetFileNameTraceRecordSets();
    CFile file;
    if (!file.Open(name, CFile::modeCreate | CFile::modeNoTruncate | CFile::modeWrite))
        return;
    file.Seek(0, CFile::end);
    TraceRecordSets(&file, message);
    file.Close();
}

std::string CDatabaseEx::GetFileNameTraceRecordSets()
{
    static const std::string name = [] {
        std::string trace;
        GetTraceFile(trace);
        winapi::SplitPathResult parts = winapi::SplitPath(trace);
        return parts.drive + parts.dir + parts.fname + ".trr";
    }();
    return name;
}
