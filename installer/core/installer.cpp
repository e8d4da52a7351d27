#include "installer/core/installer.h"

#include "installer/common/dorvikcore.h"
#include "installer/common/logfile.h"
#include "installer/core/configdb.h"
#include "installer/core/installdata.h"
#include "dmo/dmo.h"
#include "winapi/folders.h"
#include "winapi/settings/ini.h"
#include "winapi/text.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <new>

namespace dorvik {

namespace {

const char* const kDeadConnection = "The connection is dead ! Can not reconnect ...";

bool isDatabaseSection(const TBase& step) { return step.m_strName.find("DORVIK") != std::string::npos; }

bool endsUnquotedValue(char c)
{
    return std::isspace(static_cast<unsigned char>(c)) || std::strchr(";'\",)&", c) != nullptr;
}

// Every value of a "password" or "pwd" key (a connection string's, ODBC's
// or libpq's, plain or quoted) that is the password becomes the hidden text.
void hidePasswordValues(std::string& line, const std::string& password)
{
    if (password.empty())
        return;
    auto lower = [](char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); };
    for (const std::string key : {"password", "pwd"}) {
        for (std::size_t at = 0; at + key.size() <= line.size(); ++at) {
            if (!std::equal(key.begin(), key.end(), line.begin() + static_cast<std::ptrdiff_t>(at),
                            [&](char k, char c) { return k == lower(c); }))
                continue;
            if (at > 0 && (std::isalnum(static_cast<unsigned char>(line[at - 1])) || line[at - 1] == '_'))
                continue;
            std::size_t pos = at + key.size();
            while (pos < line.size() && line[pos] == ' ')
                ++pos;
            if (pos >= line.size() || line[pos] != '=')
                continue;
            ++pos;
            while (pos < line.size() && line[pos] == ' ')
                ++pos;
            char open = pos < line.size() ? line[pos] : '\0';
            char close = open == '{' ? '}' : open;
            bool quoted = open == '\'' || open == '"' || open == '{';
            std::size_t start = quoted ? pos + 1 : pos;
            std::size_t end = start + password.size();
            if (line.compare(start, password.size(), password) != 0)
                continue;
            if (quoted ? end >= line.size() || line[end] != close : end < line.size() && !endsUnquotedValue(line[end]))
                continue;
            line.replace(start, password.size(), kHiddenPassword);
        }
    }
}

} // namespace

const char* StatusWord(int status)
{
    switch (status) {
    case 0: return "SUCCESS";
    case 1: return "SUCCESS WITH WARNINGS";
    default: return "FAILED";
    }
}

CInstaller::CInstaller(RunContext& run, CInstallData* data, IProgress* progress)
    : m_commander(run, progress), m_pProgress(progress), m_pData(data)
{
    m_pData->GetLogin(nullptr, nullptr, &m_strPassword, nullptr);
}

CInstaller::~CInstaller() = default;

void CInstaller::Log(const std::string& text) const
{
    std::string line = text;
    hidePasswordValues(line, m_strPassword);
    CDorvikCore::Get().GetLog().WriteLine(line);
}

void CInstaller::LogCommandText(const std::string& text) const
{
    std::string line = text;
    for (const auto& [run, shown] : m_shownArguments)
        ReplaceAll(line, run, shown);
    Log(line);
}

void CInstaller::TakeShownArguments(const std::string& shownStep)
{
    m_shownArguments.clear();
    if (shownStep == m_strStepText)
        return;
    auto run = SplitCommandLine(m_strStepText);
    auto shown = SplitCommandLine(shownStep);
    if (run.size() != shown.size()) {
        // The password split the line differently: hide it wherever the
        // step's texts hold it.
        m_shownArguments.emplace_back(m_strPassword, kHiddenPassword);
        return;
    }
    for (std::size_t i = 0; i < run.size(); ++i) {
        if (run[i] == shown[i])
            continue;
        m_shownArguments.emplace_back(run[i], shown[i]);
        // A path argument reaches the texts in its Linux form.
        std::string path = winapi::FromKitPath(run[i]);
        if (path != run[i])
            m_shownArguments.emplace_back(path, winapi::FromKitPath(shown[i]));
    }
    // The longest first, so that no shorter one cuts into it.
    std::stable_sort(m_shownArguments.begin(), m_shownArguments.end(),
                     [](const auto& a, const auto& b) { return a.first.size() > b.first.size(); });
}

void CInstaller::LogStatusLine(const char* name, const std::string& value) const
{
    Log(name + std::to_string(m_nStep) + " = " + value);
}

bool CInstaller::HasWindow() const
{
    auto owner = m_pProgress ? m_pProgress->GetOwner() : nullptr;
    return owner && owner->IsWindow();
}

int CInstaller::Ask(const std::string& text, int caption, UINT style) const
{
    return ShowMessage(m_commander.Context(), m_pProgress ? m_pProgress->GetOwner() : nullptr, text, caption, style);
}

int CInstaller::Run()
{
    CLogFile& log = CDorvikCore::Get().GetLog();
    {
        auto server = CDorvikCore::Get().GetLiveServer();
        std::string name, user;
        bool trusted = false;
        m_pData->GetLogin(&name, &user, nullptr, &trusted);
        log.WriteSQLServerVersion(server.get());
        log.WriteLogin(server.get(), name, user, trusted);
    }
    int sections = 0;
    m_pData->ForEach([&](TBase& step) { sections += step.m_bEnabled ? 1 : 0; });
    if (m_pProgress) {
        m_pProgress->SetRange(0, sections);
        m_pProgress->SetPos(0, 0);
    }
    int language = m_commander.Context().Language();
    int status = 0;
    for (TListItem* item = m_pData->GetHead(); item; item = item->m_pNext) {
        if (m_commander.Context().IsCancelRequested())
            return 3;
        auto* step = dynamic_cast<TSetup*>(static_cast<TBase*>(item));
        if (!step || !step->m_bEnabled)
            continue;
        std::string title = language == 1 ? step->m_strSectionDescriptionR : step->m_strSectionDescriptionE;
        m_pData->ExpandMacros(title, step, false);
        if (title.empty())
            title = step->m_strName;
        if (m_pProgress) {
            m_pProgress->SetLineText(0, title);
            m_pProgress->StepIt(0);
        }
        m_pStep = step;
        std::string stopCount;
        winapi::GetPrivateProfileString(step->m_strName.c_str(), "StopCount", "10", stopCount, 20,
                                        m_pData->GetIniPath());
        m_nStopCount = std::atoi(stopCount.c_str());
        if (m_nStopCount == 0)
            m_nStopCount = 10;
        m_nStep = 0;
        m_strStepText.clear();
        Log("\r\nBEGIN SECTION " + step->m_strName);
        status = RunSection(step);
        Log("END SECTION " + step->m_strName);
        if (status == 2 || status == 3)
            break;
    }
    if (status != 0)
        return status;
    return m_bWarnings ? 1 : 0;
}

void CInstaller::SetKeyNames(const TSetup& step)
{
    std::string prefix;
    if (isDatabaseSection(step)) {
        auto* db = dynamic_cast<const TDatabase*>(&step);
        int mode = db ? db->m_nLoadDump : 0;
        prefix = mode == 1 ? "dump_" : mode == 2 ? "attach_" : "bcp_";
    }
    const char* lang = m_commander.Context().Language() == 1 ? "R" : "E";
    m_keyNames[kStep] = prefix + "Step";
    m_keyNames[kMessage] = prefix + "Msg" + lang;
    m_keyNames[kError] = prefix + "Err" + lang;
    m_keyNames[kQuestion] = prefix + "RSQst" + lang;
    m_keyNames[kDefault] = prefix + "RSDefault";
    m_keyNames[kInformation] = prefix + "RSInf" + lang;
}

std::string CInstaller::ReadKey(KeyKind kind, int step, bool shown) const
{
    std::string key = m_keyNames[kind] + std::to_string(step);
    std::string value = ReadIniString(m_pStep->m_strName, key.c_str(), "", m_pData->GetIniPath());
    if (!value.empty())
        m_pData->ExpandMacros(value, m_pStep, kind != kStep, shown);
    return value;
}

int CInstaller::RunSection(TSetup* step)
{
    auto server = CDorvikCore::Get().GetLiveServer();
    if (!server) {
        Log(kDeadConnection);
        return 2;
    }
    SetKeyNames(*step);
    auto* patch = isDatabaseSection(*step) ? nullptr : dynamic_cast<TPatch*>(step);
    if (patch && !patch->m_strUsing.empty()) {
        if (!m_commander.OpenPackedFile(m_commander.Context().ResolvePath(winapi::FromKitPath(patch->m_strUsing)))) {
            Log("Open file error: " + patch->m_strUsing + " !");
            return 2;
        }
        Log("Using file : " + patch->m_strUsing + " !");
    }
    server.reset();
    int status = RunSteps();
    // The next section must not read its scripts from this one's file.
    m_commander.ClosePackedFile();
    return status;
}

bool CInstaller::NextStep()
{
    for (int miss = 0; miss < m_nStopCount; ++miss) {
        ++m_nStep;
        std::string text = ReadKey(kStep, m_nStep);
        if (!text.empty()) {
            m_strStepText = text;
            return true;
        }
    }
    return false;
}

int CInstaller::CountSteps()
{
    int count = 0;
    while (NextStep())
        ++count;
    m_nStep = 0;
    m_strStepText.clear();
    return count;
}

int CInstaller::RunSteps()
{
    if (m_pProgress) {
        m_pProgress->SetRange(1, CountSteps());
        m_pProgress->SetPos(1, 0);
    }
    CInstallData* data = m_pData;
    TSetup* step = m_pStep;
    auto substitution = [data, step](bool shown) {
        return [data, step, shown](const std::string& text) {
            std::string out = text;
            data->ExpandMacros(out, step, false, shown);
            return out;
        };
    };
    m_commander.SetSubstitution(substitution(false), substitution(true));
    if (!NextStep())
        return 0;
    int status = 0;
    for (;;) {
        if (m_commander.Context().IsCancelRequested())
            return 3;
        if (m_pProgress)
            m_pProgress->SetLineText(1, ReadKey(kMessage, m_nStep));
        std::string shownStep = ReadKey(kStep, m_nStep, true);
        TakeShownArguments(shownStep);
        Log("STEP  " + std::to_string(m_nStep) + " = " + shownStep);
        m_server = CDorvikCore::Get().GetLiveServer();
        if (!m_server) {
            Log(kDeadConnection);
            return 2;
        }
        m_commander.Execute(m_server.get(), m_strStepText);
        status = Evaluate();
        m_server.reset();
        if (status == 2 || status == 3)
            return status;
        if (m_pProgress)
            m_pProgress->StepIt(1);
        if (!NextStep())
            return status;
    }
}

int CInstaller::Evaluate()
{
    const auto& protocol = m_commander.GetProtocol();
    int warnings = protocol.m_nWarnings;
    if (warnings > 0)
        m_bWarnings = true;
    if (!protocol.m_strText.empty()) {
        Log("\r\n\tBEGIN PROTOCOL\r\n");
        LogCommandText(protocol.m_strText);
        Log("\tEND PROTOCOL\r\n");
    }
    int code = m_commander.GetResultCode();
    // Only the ConfigDB line asks for the configuration; an RScript whose
    // values are not valid answers 11 too, and that is a failure.
    if (code == 11 && winapi::Utf8EqualNoCase(m_commander.GetKeyword(), "ConfigDB"))
        return ConfigureMaintenance();
    int status;
    if (code == 0 || code == 5) {
        status = warnings > 0 ? 1 : 0;
    } else if (code == 9) {
        status = 3;
    } else {
        status = 2;
        if (!m_commander.GetScriptReturn().m_bSuppressMessage) {
            std::string text = ReadKey(kError, m_nStep);
            if (!text.empty()) {
                if (HasWindow() && !CDorvikCore::Get().IsQuiet())
                    Ask(text, res::IDS_ERROR, winapi::MB_ICONERROR | winapi::MB_OK);
                else
                    Log("MESSAGE : " + ReadKey(kError, m_nStep, true));
            }
        }
    }
    LogStatusLine("STATUS", StatusWord(status));
    if (status != 0) {
        const char* text = m_commander.GetResultText();
        LogStatusLine("ERROR ", text ? text : ("Return code : " + std::to_string(code)).c_str());
    }
    if (!m_commander.GetDetailText().empty())
        LogCommandText("DESCR " + std::to_string(m_nStep) + " = " + m_commander.GetDetailText());
    if (code == 5)
        return Reaction();
    return status;
}

int CInstaller::Reaction()
{
    const auto& ret = m_commander.GetScriptReturn();
    bool quiet = CDorvikCore::Get().IsQuiet();
    int answer = 0;
    int result = 0;
    auto show = [&](KeyKind kind, int caption, UINT style) {
        if (quiet || !HasWindow()) {
            std::string text = ReadKey(kind, m_nStep, true);
            if (!text.empty())
                Log("MESSAGE : " + text);
            return winapi::IDCANCEL;
        }
        return Ask(ReadKey(kind, m_nStep), caption, style);
    };
    switch (ret.m_nReaction) {
    case 1001:
        if (quiet)
            answer = winapi::Utf8EqualNoCase(ReadKey(kDefault, m_nStep), "Y") ? winapi::IDYES : winapi::IDNO;
        else
            answer = show(kQuestion, res::IDS_MESSAGE, winapi::MB_YESNO | winapi::MB_ICONQUESTION);
        break;
    case 1002:
        answer = show(kError, res::IDS_ERROR, winapi::MB_OK | winapi::MB_ICONERROR);
        Log("RScript return CANCEL reaction! Terminating ...");
        result = 2;
        break;
    case 1003:
        answer = show(kInformation, res::IDS_MESSAGE, winapi::MB_OK | winapi::MB_ICONINFORMATION);
        break;
    default:
        break;
    }
    if (answer == winapi::IDYES)
        Log("User choise : Yes");
    else if (answer == winapi::IDNO)
        Log("User choise : No");
    int skip = answer == winapi::IDYES ? 0 : ret.m_nValue;
    if (result != 2 && skip > 0) {
        m_nStep += skip;
        if (m_pProgress)
            m_pProgress->OffsetPos(1, skip);
    }
    return result;
}

int CInstaller::ConfigureMaintenance()
{
    auto server = CDorvikCore::Get().GetLiveServer();
    if (!server) {
        Log(kDeadConnection);
        return 2;
    }
    auto* db = dynamic_cast<TDatabase*>(m_pStep);
    if (!db) {
        LogStatusLine("STATUS", StatusWord(2));
        LogStatusLine("ERROR ", "ConfigDB : a patch section has no maintenance settings");
        return 2;
    }
    auto flag = [](bool b) { return std::to_string(b ? 1 : 0); };
    Log("\tBEGIN Set database confguation : Weekly=" + flag(db->m_bInstallWeekMaintenance) +
        ", WeekDay=" + std::to_string(db->m_nWeekMaintenanceDay) +
        ", WeeklyMaintTime=" + std::to_string(db->m_nWeekMaintenanceTime) +
        ", Daily=" + flag(db->m_bInstallDayMaintenance) +
        ", DailyMaintTime=" + std::to_string(db->m_nDayMaintenanceTime));
    CConfigDB config(m_commander.Context(), m_pData, db);
    int status = config.Configure() ? 0 : 2;
    LogStatusLine("STATUS", config.GetResultText());
    return status;
}

void InstallWorker(std::shared_ptr<CWorkerParams> params)
{
    int result = 2;
    try {
        CInstaller installer(*params->run, params->data.get(), params->progress.get());
        result = installer.Run();
    } catch (const std::bad_alloc&) {
        CDorvikCore::Get().GetLog().WriteLine("\r\nProgram terminating : WORKER_ERROR : Out of memory\r\n");
    } catch (const std::exception& e) {
        CDorvikCore::Get().GetLog().WriteLine(std::string("\r\nProgram terminating : WORKER_ERROR : ") + e.what() +
                                              "\r\n");
    } catch (...) {
        CDorvikCore::Get().GetLog().WriteLine("\r\nProgram terminating : WORKER_ERROR : Unknown error !\r\n");
    }
    params->result = result;
    if (params->progress)
        params->progress->Close();
    params->done->Set();
}

} // namespace dorvik
