#include "installer/commands/commander.h"

#include "installer/common/utils.h"
#include "installer/packed/exceptions.h"
#include "dmo/dmo.h"
#include "winapi/errors.h"

#include <cstdio>
#include <new>

namespace dorvik {

namespace {

const std::string kRule(70, '/');

} // namespace

const std::string& CCommand::GetLexema(int index) const
{
    static const std::string empty;
    auto* item = static_cast<const TLexema*>(GetAt(index));
    return item ? item->m_text : empty;
}

bool CCommander::TScriptReturn::IsValid() const
{
    bool known = m_nReaction == 0 || m_nReaction == 1001 || m_nReaction == 1002 || m_nReaction == 1003;
    return known && m_nValue != -1;
}

void CCommander::TProtocol::AddLine(const std::string& text, bool numbered, bool warning)
{
    if (numbered)
        ++m_nLine;
    if (text.empty())
        return;
    m_strText += "\t" + std::to_string(m_nLine) + " " + (warning ? "WARNING " : "") + text + "\r\n";
    if (warning)
        ++m_nWarnings;
}

void CCommander::TProtocol::SetBlock(const std::string& text, bool framed, bool warning)
{
    Clear();
    if (text.empty())
        return;
    m_strText = (framed ? "\r\n" + kRule : std::string()) + "\r\n" + (warning ? "WARNING " : "") + text +
                "\r\n" + (framed ? kRule + "\r\n" : std::string());
    if (warning)
        m_nWarnings = 1;
}

void CCommander::TProtocol::Clear()
{
    m_strText.clear();
    m_nLine = 0;
    m_nWarnings = 0;
}

std::string FormatComError(const std::string& prefix, std::int32_t hresult, const std::string& description)
{
    std::string message = winapi::FormatHResult(hresult);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r'))
        message.pop_back();
    if (message.empty()) {
        auto code = static_cast<std::uint32_t>(hresult);
        char buf[64];
        if (code >= 0x80040201u && code <= 0x8004FFFFu)
            std::snprintf(buf, sizeof buf, "IDispatch error #%u", (code & 0xFFFFu) - 0x200u);
        else
            std::snprintf(buf, sizeof buf, "Unknown error 0x%0X", code);
        message = buf;
    }
    return prefix + "HRESULT : " + std::to_string(hresult) + "\r\n" + prefix + "MESSAGE : " + message + "\r\n" +
           prefix + "DESCRIPTION : " + description;
}

CCommander::CCommander(RunContext& run, IProgress* progress) : m_run(run), m_pProgress(progress) { Reset(); }

CCommander::~CCommander() = default;

void CCommander::Reset()
{
    m_nResult = 0;
    m_return = TScriptReturn{};
    m_strDetail.clear();
    m_protocol.Clear();
}

void CCommander::SetSubstitution(std::function<std::string(const std::string&)> substitute,
                                 std::function<std::string(const std::string&)> shown)
{
    m_substitute = std::move(substitute);
    m_shownSubstitute = std::move(shown);
}

std::shared_ptr<dmo::Database> CCommander::OpenDatabase(dmo::SQLServer* server, const std::string& name)
{
    if (server != m_databaseServer)
        CloseDatabase();
    auto databases = server->GetDatabases();
    databases->Refresh();
    // The same database gives the same object, with its open connection.
    m_database = databases->Item(name);
    m_databaseServer = server;
    return m_database;
}

void CCommander::CloseDatabase()
{
    m_database.reset();
    m_databaseServer = nullptr;
}

bool CCommander::Execute(dmo::SQLServer* server, const std::string& line)
{
    Reset();
    m_notices.clear();
    SplitLine(line);
    m_strKeyword = m_command.GetLexema(1);
    if (m_command.GetCount() == 0) {
        m_nResult = 2;
    } else {
        if (server)
            server->SetNoticeHandler([this](const std::string& severity, const std::string& message) {
                m_notices.emplace_back(severity, message);
            });
        m_nResult = Run(server);
        if (server)
            server->SetNoticeHandler(nullptr);
    }
    // Closing it rolls back what the step left unfinished.
    if (m_database && m_database->HasOpenTransaction())
        CloseDatabase();
    AddNotices();
    m_command.DeleteAll();
    return m_nResult == 0;
}

// Under the server's own word for them: a server WARNING (such as a
// ROLLBACK with no transaction open) is no warning of the step's.
void CCommander::AddNotices()
{
    for (const auto& [severity, message] : m_notices)
        m_protocol.AddLine(severity + " : " + message, true, false);
    m_notices.clear();
}

void CCommander::SplitLine(const std::string& line)
{
    m_command.DeleteAll();
    for (auto& token : SplitCommandLine(line))
        m_command.Add(new TLexema(std::move(token)));
}

const char* CCommander::GetResultText() const { return GetResultText(m_nResult); }

const char* CCommander::GetResultText(int code)
{
    switch (code) {
    case 0: return "OK";
    case 2: return "\xD0\xA1" "an not translate command"; // begins with the Cyrillic Es
    case 3: return "Function not found";
    case 4: return "Bad arguments number";
    case 5: return "RSCRIPT RETURN";
    case 6: return "Can not open Script";
    case 7: return "Function failed";
    case 8: return "Dead connect...";
    case 9: return "Terminated by user...";
    case 11: return "Invalid RScript data...";
    case 12: return "Can not read file : bad file format";
    case 13: return "Can not read file : bad file version";
    case 14: return "File is corrupted";
    case 15: return "DMO exception";
    case 16: return "File exception";
    case 17: return "Archive exception";
    case 18: return "Memory exception";
    case 19: return "General exception";
    case 21: return "File operation error";
    default: return nullptr;
    }
}

int CCommander::CheckConnection(dmo::SQLServer* server)
{
    if (m_run.IsCancelRequested())
        return 9;
    try {
        return server && server->VerifyConnection(6) ? 0 : 8;
    } catch (const dmo::Error&) {
        return 8;
    }
}

bool CCommander::OpenPackedFile(const std::string& path)
{
    ClosePackedFile();
    if (path.empty())
        return false;
    m_bPackedOpen = m_packed.Open(path);
    return m_bPackedOpen;
}

void CCommander::ClosePackedFile()
{
    m_packed.Close();
    m_bPackedOpen = false;
}

int CCommander::Run(dmo::SQLServer* server)
{
    // The original set the thread and C runtime locales here; setlocale is
    // process-wide and unsafe beside the user-interface thread, so numbers
    // are formatted without the locale instead.
    int result;
    try {
        int command = -1;
        result = Translate(command);
        if (result == 0)
            result = Dispatch(server, command);
        if (result == 5) {
            if (!m_return.IsValid())
                result = 11;
            m_strDetail = "RS_VALUES : " + std::to_string(m_return.m_nReaction) + " , " +
                          std::to_string(m_return.m_nValue);
        }
    } catch (int code) {
        result = code;
        m_strDetail = "Return code : " + std::to_string(code);
    } catch (const CExceptLoadFromBCP& e) {
        result = 15;
        m_strDetail = e.m_strText + "\r\n\tFILE : " + e.m_strFile;
    } catch (const dmo::Error& e) {
        result = 15;
        m_strDetail = FormatComError("", e.hresult, e.description);
    } catch (const std::bad_alloc&) {
        result = 18;
        m_strDetail = "Out of memory";
    } catch (const CArchiveException& e) {
        result = 17;
        if (const char* text = ArchiveExceptionCauseText(e.m_cause))
            m_strDetail = text;
    } catch (const CFileException& e) {
        result = 16;
        if (const char* text = FileExceptionCauseText(e.m_cause))
            m_strDetail = text;
    } catch (...) {
        result = 19;
    }
    return result;
}

void SetProgressResourceText(CCommander& commander, int id, const std::string& name, std::string& text)
{
    int language = commander.Context().Language();
    text = name + " : " + res::LoadString(id, language);
    if (IProgress* progress = commander.GetProgress())
        progress->SetLineText(2, text);
    if (language != 0)
        text = name + " : " + res::LoadString(id, 0);
}

} // namespace dorvik
