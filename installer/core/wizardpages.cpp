#include "installer/core/wizardpages.h"

#include "installer/common/utils.h"
#include "winapi/folders.h"
#include "winapi/settings/ini.h"
#include "winapi/shell.h"
#include "winapi/text.h"
#include "dmo/error.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>

namespace dorvik {

namespace {

std::string format(const char* pattern, long long value)
{
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, pattern, value);
    return buffer;
}

const std::string& iniOf(const TBase& step)
{
    static const std::string none;
    return step.m_pOwner ? step.m_pOwner->GetIniPath() : none;
}

void expand(const TBase& step, std::string& text, bool withEscapes)
{
    if (step.m_pOwner)
        step.m_pOwner->ExpandMacros(text, &step, withEscapes);
    else
        step.ExpandMacros(text);
}

bool startsWith(const std::string& text, const std::string& prefix)
{
    return !prefix.empty() && text.compare(0, prefix.size(), prefix) == 0;
}

} // namespace

// --- the sheet's rules ---------------------------------------------------------

SheetButtons SheetButtonsFor(std::size_t index, std::size_t count, const TBase& step)
{
    SheetButtons buttons{true, true, false, !step.m_strInfo.empty()};
    if (index == 0) {
        buttons.back = false;
    } else if (index + 1 >= count) {
        buttons.next = false;
        buttons.finish = true;
    }
    return buttons;
}

bool ConfirmSheetCancel(const RunContext& run, const std::shared_ptr<winapi::PromptOwner>& owner)
{
    return ShowMessageId(run, owner, res::IDS_ASK_EXIT, res::IDS_APP_TITLE, winapi::MB_YESNO | winapi::MB_ICONQUESTION) ==
           winapi::IDYES;
}

void OpenStepHelp(const RunContext& run, const std::shared_ptr<winapi::PromptOwner>& owner, const TBase* step)
{
    if (!step || step->m_strInfo.empty()) {
        run.Prompt()->Beep();
        return;
    }
    const std::string& info = step->m_strInfo;
    std::string target = winapi::IsUrl(info) ? info : run.ResolvePath(winapi::FromKitPath(info));
    if (winapi::ShellOpen(target) > 32)
        return;
    run.Prompt()->Beep();
    ShowMessage(run, owner, run.Text(res::IDS_FILE_NOT_FOUND) + " :\n" + info);
}

bool IsLocalServerName(const std::string& server, const std::string& computerName)
{
    if (startsWith(server, "(local)") || startsWith(server, ".") || startsWith(server, "/"))
        return true;
    std::string upper = winapi::Utf8Upper(server);
    return startsWith(upper, winapi::Utf8Upper(computerName)) || startsWith(upper, "LOCALHOST");
}

bool SectionHasSteps(const std::string& iniPath, const std::string& section, const std::string& prefix)
{
    std::string stopCount;
    winapi::GetPrivateProfileString(section.c_str(), "StopCount", "10", stopCount, 20, iniPath);
    int count = std::atoi(stopCount.c_str());
    if (count == 0)
        count = 10;
    for (int n = 1; n <= count; ++n)
        if (!ReadIniString(section, (prefix + "Step" + std::to_string(n)).c_str(), "", iniPath).empty())
            return true;
    return false;
}

const std::vector<int>& FolderControlIds()
{
    static const std::vector<int> ids = {ctl::Folder1Label, ctl::Folder2Label, ctl::Folder1,    ctl::Folder2,
                                         ctl::Browse1,      ctl::Browse2,      ctl::Free1,      ctl::Need1,
                                         ctl::Free2,        ctl::Need2,        ctl::Free1Label, ctl::Need1Label,
                                         ctl::Free2Label,   ctl::Need2Label,   ctl::LocationFrame};
    return ids;
}

// --- CPageBase -------------------------------------------------------------------

void CPageBase::Attach(IPageControls& controls, IWizardSheet& sheet, IWizardHost& host)
{
    m_controls = &controls;
    m_sheet = &sheet;
    m_host = &host;
}

std::string CPageBase::Text(int id) const { return Context().Text(id); }

bool CPageBase::ServerCall(const std::function<void()>& call)
{
    try {
        call();
        return true;
    } catch (const dmo::Error& e) {
        ShowMessage(Context(), Owner(), e.description);
        return false;
    }
}

void CPageBase::OnInitDialog() { Exchange(false); }

void CPageBase::OnSetActive()
{
    RefreshTexts();
    m_sheet->UpdateButtons();
}

std::string CPageBase::GetCaption() const
{
    std::string caption;
    winapi::GetPrivateProfileString(GetSectionName().c_str(), Context().Language() == 1 ? "CaptionR" : "CaptionE",
                                    "", caption, 100, iniOf(m_step));
    expand(m_step, caption, false);
    return caption;
}

std::string CPageBase::GetContext() const
{
    std::string context =
        ReadIniString(GetSectionName(), Context().Language() == 1 ? "ContextR" : "ContextE", "", iniOf(m_step));
    expand(m_step, context, true);
    return context;
}

void CPageBase::RefreshTexts()
{
    m_sheet->SetSheetTitle(GetCaption());
    if (m_controls->Has(ctl::Context))
        m_controls->SetText(ctl::Context, GetContext());
    m_sheet->SetButtonTexts();
}

// --- CPageStart ------------------------------------------------------------------

void CPageStart::OnInitDialog()
{
    CPageBase::OnInitDialog();
    bool russian = Context().Language() == 1;
    m_controls->SetCheck(ctl::Russian, russian);
    m_controls->SetCheck(ctl::English, !russian);
}

void CPageStart::OnCommand(int id)
{
    if ((id != ctl::English && id != ctl::Russian) || !m_controls->GetCheck(id))
        return;
    m_host->SetLanguage(id == ctl::Russian ? 1 : 0);
    RefreshTexts();
}

void CPageStart::RefreshTexts()
{
    CPageBase::RefreshTexts();
    m_controls->SetText(ctl::LanguageLabel, Text(res::IDS_LANGUAGE));
    m_controls->SetText(ctl::Russian, Text(res::IDS_RUSSIAN));
    m_controls->SetText(ctl::English, Text(res::IDS_ENGLISH));
}

// --- CPageLicense ----------------------------------------------------------------

void CPageLicense::OnInitDialog()
{
    CPageBase::OnInitDialog();
    m_controls->SetCheck(ctl::Accept, false);
    m_controls->SetCheck(ctl::Decline, true);
    const std::string& name = static_cast<TLicense&>(m_step).m_strLicenseFile;
    std::string content;
    bool read = false;
    if (!name.empty()) {
        std::ifstream in(Context().ResolvePath(winapi::FromKitPath(name)), std::ios::binary);
        if (in) {
            content.assign(std::istreambuf_iterator<char>(in), {});
            read = !in.bad();
        }
    }
    if (!read) {
        ShowMessage(Context(), Owner(), Text(res::IDS_FILE_NOT_FOUND) + "\n\r" + name + " !");
        content.clear();
    }
    m_controls->SetText(ctl::LicenseText, content);
}

void CPageLicense::OnSetActive()
{
    CPageBase::OnSetActive();
    ApplyButtonRule();
}

void CPageLicense::OnCommand(int id)
{
    if (id == ctl::Accept || id == ctl::Decline)
        ApplyButtonRule();
}

void CPageLicense::ApplyButtonRule() { m_sheet->SetWizardButtons(true, m_controls->GetCheck(ctl::Accept)); }

void CPageLicense::RefreshTexts()
{
    CPageBase::RefreshTexts();
    m_controls->SetText(ctl::Accept, Text(res::IDS_ACCEPT));
    m_controls->SetText(ctl::Decline, Text(res::IDS_DECLINE));
}

// --- CPageLogin ------------------------------------------------------------------

void CPageLogin::Exchange(bool save)
{
    if (save) {
        Login().m_bTrustedConnection = m_controls->GetCheck(ctl::Trusted);
        return;
    }
    m_controls->SetText(ctl::Server, Login().m_strServer);
    m_controls->SetText(ctl::User, Login().m_strUser);
    m_controls->SetText(ctl::Password, Login().m_strPassword);
    m_controls->SetCheck(ctl::Trusted, Login().m_bTrustedConnection);
}

void CPageLogin::OnInitDialog()
{
    CPageBase::OnInitDialog();
    LoginFieldRule();
}

void CPageLogin::LoginFieldRule()
{
    m_bChanged = true;
    bool trusted = m_controls->GetCheck(ctl::Trusted);
    bool editable = Login().m_bEnableChangeLogin && !trusted;
    m_controls->Enable(ctl::User, editable);
    m_controls->Enable(ctl::Password, editable);
    m_controls->SetText(ctl::User, trusted ? std::string() : Login().m_strUser);
    m_controls->SetText(ctl::Password, trusted ? std::string() : Login().m_strPassword);
    m_controls->Enable(ctl::Trusted, Login().m_bEnableChangeLogin);
}

void CPageLogin::OnCommand(int id)
{
    if (id == ctl::Trusted)
        LoginFieldRule();
}

void CPageLogin::OnChange(int id)
{
    if (id == ctl::Server || id == ctl::User || id == ctl::Password)
        m_bChanged = true;
}

bool CPageLogin::OnWizardNext()
{
    struct Busy {
        IPageControls* c;
        ~Busy() { c->SetBusy(false); }
    } busy{m_controls};
    m_controls->SetBusy(true);

    std::string server = m_controls->GetText(ctl::Server);
    std::string user = m_controls->GetText(ctl::User);
    std::string password = m_controls->GetText(ctl::Password);
    bool trusted = m_controls->GetCheck(ctl::Trusted);
    if (server.empty()) {
        Context().Prompt()->Beep();
        m_controls->SetFocus(ctl::Server);
        return false;
    }
    if (!trusted && user.empty()) {
        Context().Prompt()->Beep();
        m_controls->SetFocus(ctl::User);
        return false;
    }
    if (!IsLocalServerName(server, GetComputerNameUpper()) &&
        ShowMessageId(Context(), Owner(), res::IDS_REMOTE_SERVER, res::IDS_MESSAGE, winapi::MB_YESNO | winapi::MB_ICONQUESTION) !=
            winapi::IDYES)
        return false;

    bool connected = true;
    if (!m_host->IsLive()) {
        connected = m_host->Connect(server, user, password, trusted);
    } else if (m_bChanged && ShowMessageId(Context(), Owner(), res::IDS_RECONNECT, res::IDS_MESSAGE,
                                           winapi::MB_YESNO | winapi::MB_ICONQUESTION) == winapi::IDYES) {
        connected = m_host->Reconnect(server, user, password, trusted);
    }
    if (!connected || !m_host->IsLive()) {
        ShowMessageId(Context(), Owner(), res::IDS_CANNOT_CONNECT);
        return false;
    }
    bool sysAdmin = false;
    if (!ServerCall([&] { sysAdmin = m_host->IsSysAdmin(); }))
        return false;
    if (!sysAdmin) {
        ShowMessageId(Context(), Owner(), res::IDS_NOT_SUPERUSER);
        return false;
    }
    m_host->RefreshLogin();
    m_bChanged = false;
    return true;
}

void CPageLogin::RefreshTexts()
{
    CPageBase::RefreshTexts();
    m_controls->SetText(ctl::ServerLabel, Text(res::IDS_SERVER));
    m_controls->SetText(ctl::UserLabel, Text(res::IDS_USER));
    m_controls->SetText(ctl::PasswordLabel, Text(res::IDS_PASSWORD));
    m_controls->SetText(ctl::Trusted, Text(res::IDS_TRUSTED));
}

// --- CPageSetup ------------------------------------------------------------------

void CPageSetup::Exchange(bool save)
{
    TSetup& step = Setup();
    bool combo = m_controls->Has(ctl::DatabaseCombo);
    if (save) {
        step.m_bEnabled = m_controls->GetCheck(ctl::Install);
        step.m_strPathData = m_controls->GetText(ctl::Folder1);
        step.m_strPathData2 = m_controls->GetText(ctl::Folder2);
        if (auto* patch = dynamic_cast<TPatch*>(&step); patch && combo && m_controls->GetSelection(ctl::DatabaseCombo) >= 0)
            patch->m_strDataBase = m_controls->GetText(ctl::DatabaseCombo);
        return;
    }
    m_controls->SetCheck(ctl::Install, step.m_bEnabled);
    m_controls->SetText(ctl::Folder1, step.m_strPathData);
    m_controls->SetText(ctl::Folder2, step.m_strPathData2);
    if (combo)
        FillDatabases();
}

void CPageSetup::OnInitDialog()
{
    CPageBase::OnInitDialog();
    m_controls->SetText(ctl::Need1, format("%lld M", Setup().m_nNeedDiskSpace));
    m_controls->SetText(ctl::Need2, format("%lld M", Setup().m_nNeedDiskSpace2));
    RefreshFreeSpace();
    EnableControls();
}

void CPageSetup::RefreshFreeSpace()
{
    const int edits[2] = {ctl::Folder1, ctl::Folder2};
    const int figures[2] = {ctl::Free1, ctl::Free2};
    for (int i = 0; i < 2; ++i) {
        Folder& folder = m_folders[i];
        std::string path = m_controls->GetText(edits[i]);
        folder.drive = m_host->DriveOf(path);
        folder.freeMB = 0;
        if (!folder.drive) {
            m_controls->SetText(figures[i], "?");
            continue;
        }
        std::uint64_t free = 0;
        if (!m_host->FreeSpaceMB(path, free))
            free = 0;
        std::int64_t before = m_step.m_pOwner ? m_step.m_pOwner->NeededSpaceBefore(*folder.drive, &m_step) : 0;
        folder.freeMB = std::max<std::int64_t>(0, static_cast<std::int64_t>(free) - before);
        m_controls->SetText(figures[i], format("%lld M", folder.freeMB));
    }
}

void CPageSetup::EnableControls()
{
    bool install = m_controls->GetCheck(ctl::Install);
    for (int id : {ctl::Folder1, ctl::Browse1, ctl::Folder2, ctl::Browse2, ctl::DatabaseCombo})
        m_controls->Enable(id, install);
}

bool CPageSetup::CheckDiskSpace()
{
    if (!m_controls->GetCheck(ctl::Install))
        return true;
    auto check = [this](const Folder& folder, std::int64_t need) {
        if (!folder.drive || folder.freeMB >= need)
            return true;
        ShowMessage(Context(), Owner(), Text(res::IDS_NOT_ENOUGH_SPACE) + " " + folder.drive->mountPoint + " !");
        return false;
    };
    const Folder& first = m_folders[0];
    const Folder& second = m_folders[1];
    std::int64_t need1 = Setup().m_nNeedDiskSpace, need2 = Setup().m_nNeedDiskSpace2;
    if (first.drive && second.drive && *first.drive == *second.drive)
        return check(first, need1 + need2);
    return check(first, need1) && check(second, need2);
}

bool CPageSetup::CheckFolders()
{
    return EnsureFolder(Context(), Owner(), m_controls->GetText(ctl::Folder1), m_folders[0].allowCreate) &&
           EnsureFolder(Context(), Owner(), m_controls->GetText(ctl::Folder2), m_folders[1].allowCreate);
}

void CPageSetup::OnCommand(int id)
{
    if (id == ctl::Install) {
        EnableControls();
    } else if (id == ctl::Browse1 || id == ctl::Browse2) {
        int edit = id == ctl::Browse1 ? ctl::Folder1 : ctl::Folder2;
        if (auto chosen = m_host->BrowseFolder(Text(res::IDS_CHOOSE_FOLDER), m_controls->GetText(edit))) {
            m_controls->SetText(edit, *chosen);
            RefreshFreeSpace();
        }
    }
}

bool CPageSetup::OnWizardNext()
{
    if (!m_controls->GetCheck(ctl::Install))
        return true;
    // The figures follow what is typed in the folder edits, not only what
    // was browsed.
    RefreshFreeSpace();
    return CheckDiskSpace() && CheckFolders();
}

void CPageSetup::RefreshTexts()
{
    CPageBase::RefreshTexts();
    m_controls->SetText(ctl::Install, Text(res::IDS_INSTALL_HELP));
    m_controls->SetText(ctl::LocationFrame, Text(res::IDS_LOCATION));
    for (int id : {ctl::Need1Label, ctl::Need2Label})
        m_controls->SetText(id, Text(res::IDS_NEED));
    for (int id : {ctl::Free1Label, ctl::Free2Label})
        m_controls->SetText(id, Text(res::IDS_FREE));
}

// --- CPageDatabase ---------------------------------------------------------------

void CPageDatabase::Exchange(bool save)
{
    CPageSetup::Exchange(save);
    if (save) {
        Database().m_nLoadDump = m_controls->GetCheck(ctl::LoadDump) ? 1 : m_controls->GetCheck(ctl::Attach) ? 2 : 0;
        return;
    }
    int mode = Database().m_nLoadDump;
    m_controls->SetCheck(ctl::LoadBcp, mode == 0);
    m_controls->SetCheck(ctl::LoadDump, mode == 1);
    m_controls->SetCheck(ctl::Attach, mode == 2);
}

void CPageDatabase::EnableControls()
{
    CPageSetup::EnableControls();
    bool install = m_controls->GetCheck(ctl::Install);
    TDatabase& step = Database();
    m_controls->Enable(ctl::Maintenance, install && step.m_bEnableDorvik && !m_bNoJobServer);
    // A mode whose section has no steps would run nothing and report
    // success: its radio stays grey.
    const std::pair<int, const char*> sources[] = {
        {ctl::LoadBcp, "bcp_"}, {ctl::LoadDump, "dump_"}, {ctl::Attach, "attach_"}};
    for (const auto& [id, prefix] : sources)
        m_controls->Enable(id, install && step.m_bEnableLoad && SectionHasSteps(iniOf(step), step.m_strName, prefix));
}

void CPageDatabase::OnInitDialog()
{
    CPageSetup::OnInitDialog();
    if (!m_host->IsLive())
        return;
    // A server error while the page is made is the wizard's own error: it
    // ends the wizard through the program's fatal-error path.
    if (!m_host->HasJobServer()) {
        m_bNoJobServer = true;
        m_controls->Enable(ctl::Maintenance, false);
    }
    std::string backup = m_host->BackupDirectory();
    if (!backup.empty())
        Database().m_strBackUpPath = backup;
}

void CPageDatabase::OnCommand(int id)
{
    if (id == ctl::Maintenance)
        m_host->EditMaintenance(Database());
    else
        CPageSetup::OnCommand(id);
}

void CPageDatabase::RefreshTexts()
{
    CPageSetup::RefreshTexts();
    m_controls->SetText(ctl::Install, Text(res::IDS_INSTALL_DATABASE));
    m_controls->SetText(ctl::Maintenance, Text(res::IDS_MAINTENANCE_BUTTON));
    m_controls->SetText(ctl::SourceFrame, Text(res::IDS_SOURCE));
    m_controls->SetText(ctl::LoadBcp, Text(res::IDS_LOAD_BCP));
    m_controls->SetText(ctl::LoadDump, Text(res::IDS_LOAD_DUMP));
    m_controls->SetText(ctl::Attach, Text(res::IDS_ATTACH));
    m_controls->SetText(ctl::Folder1Label, Text(res::IDS_DATA_LOCATION));
    m_controls->SetText(ctl::Folder2Label, Text(res::IDS_LOG_LOCATION));
}

// --- CPagePatch ------------------------------------------------------------------

void CPagePatch::OnInitDialog()
{
    CPageSetup::OnInitDialog();
    if (Patch().m_bHideTempDatabaseControls)
        for (int id : FolderControlIds())
            m_controls->Show(id, false);
}

void CPagePatch::FillDatabases()
{
    // Without a live connection the page says so and asks again when it is
    // shown again; a server error while listing is the wizard's own error.
    std::vector<std::string> names;
    m_bListed = m_host->IsLive();
    if (m_bListed)
        names = m_host->DatabaseNames();
    else
        ShowMessageId(Context(), Owner(), res::IDS_CANNOT_CONNECT);
    m_controls->SetItems(ctl::DatabaseCombo, names);
    auto it = std::find(names.begin(), names.end(), Patch().m_strDataBase);
    if (it != names.end())
        m_controls->SetSelection(ctl::DatabaseCombo, static_cast<int>(it - names.begin()));
    else if (!names.empty())
        m_controls->SetSelection(ctl::DatabaseCombo, 0);
}

void CPagePatch::OnSetActive()
{
    if (m_bShown && !m_bListed)
        FillDatabases();
    m_bShown = true;
    CPageSetup::OnSetActive();
}

void CPagePatch::EnableControls()
{
    CPageSetup::EnableControls();
    m_controls->Enable(ctl::DatabaseCombo, m_controls->GetCheck(ctl::Install));
}

bool CPagePatch::CheckDiskSpace() { return Patch().m_bHideTempDatabaseControls || CPageSetup::CheckDiskSpace(); }

bool CPagePatch::CheckFolders() { return Patch().m_bHideTempDatabaseControls || CPageSetup::CheckFolders(); }

bool CPagePatch::OnWizardNext()
{
    return CPageSetup::OnWizardNext() && m_controls->GetSelection(ctl::DatabaseCombo) >= 0;
}

void CPagePatch::RefreshTexts()
{
    CPageSetup::RefreshTexts();
    m_controls->SetText(ctl::Install, Text(res::IDS_EXECUTE_PATCH));
    m_controls->SetText(ctl::DatabaseLabel, Text(res::IDS_DATABASE));
    m_controls->SetText(ctl::Folder1Label, Text(res::IDS_TEMP_LOCATION));
    m_controls->SetText(ctl::Folder2Label, Text(res::IDS_PATCH_LOG_LOCATION));
}

// --- CParamDBPresenter --------------------------------------------------------------

std::string CParamDBPresenter::Caption(const RunContext& run) { return run.Text(res::IDS_MAINTENANCE); }

void CParamDBPresenter::OnInitDialog(IPageControls& controls)
{
    int language = m_run.Language();
    auto text = [language](int id) { return std::string(res::LoadString(id, language)); };
    controls.SetText(ctl::DailyCheck, text(res::IDS_DAILY));
    controls.SetText(ctl::DailyWhat, text(res::IDS_DAILY_WHAT));
    controls.SetText(ctl::DailyTimeLabel, text(res::IDS_TIME_TO_RUN));
    controls.SetText(ctl::WeeklyTimeLabel, text(res::IDS_TIME_TO_RUN));
    controls.SetText(ctl::WeeklyCheck, text(res::IDS_WEEKLY));
    controls.SetText(ctl::WeeklyWhat, text(res::IDS_WEEKLY_WHAT));
    controls.SetText(ctl::DayLabel, text(res::IDS_DAY_OF_WEEK));
    controls.SetText(ctl::BackupLabel, text(res::IDS_BACKUP));
    controls.SetText(ctl::OK, text(res::IDS_OK));
    controls.SetText(ctl::Cancel, text(res::IDS_CANCEL));

    std::vector<std::string> hours;
    for (int hour = 0; hour < 24; ++hour)
        hours.push_back(format("%02lld:00", hour));
    static const std::vector<std::string> days[2] = {
        {"Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday", "Sunday"},
        {"Понедельник", "Вторник", "Среда", "Четверг", "Пятница", "Суббота", "Воскресенье"}};
    controls.SetItems(ctl::DailyHour, hours);
    controls.SetItems(ctl::WeeklyHour, hours);
    controls.SetItems(ctl::WeeklyDay, days[language == 1 ? 1 : 0]);
    auto select = [&controls](int id, int index, int count) {
        controls.SetSelection(id, index >= 0 && index < count ? index : -1);
    };
    select(ctl::DailyHour, m_step.m_nDayMaintenanceTime, 24);
    select(ctl::WeeklyHour, m_step.m_nWeekMaintenanceTime, 24);
    select(ctl::WeeklyDay, m_step.m_nWeekMaintenanceDay, 7);
    controls.SetText(ctl::BackupEdit, m_step.m_strBackUpPath);
    controls.SetCheck(ctl::DailyCheck, m_step.m_bInstallDayMaintenance);
    controls.SetCheck(ctl::WeeklyCheck, m_step.m_bInstallWeekMaintenance);
}

void CParamDBPresenter::OnBrowse(IPageControls& controls, IWizardHost& host)
{
    if (auto chosen = host.BrowseFolder(m_run.Text(res::IDS_CHOOSE_FOLDER),
                                        controls.GetText(ctl::BackupEdit)))
        controls.SetText(ctl::BackupEdit, *chosen);
}

bool CParamDBPresenter::OnOK(IPageControls& controls)
{
    for (int id : {ctl::DailyHour, ctl::WeeklyDay, ctl::WeeklyHour})
        if (controls.GetSelection(id) < 0)
            return false;
    std::string folder = controls.GetText(ctl::BackupEdit);
    if (!EnsureFolder(m_run, controls.GetOwner(), folder, true))
        return false;
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    controls.SetText(ctl::BackupEdit, folder);
    m_step.m_bMaintenanceConfirmed = true;
    m_step.m_bInstallDayMaintenance = controls.GetCheck(ctl::DailyCheck);
    m_step.m_bInstallWeekMaintenance = controls.GetCheck(ctl::WeeklyCheck);
    m_step.m_nDayMaintenanceTime = static_cast<std::uint16_t>(controls.GetSelection(ctl::DailyHour));
    m_step.m_nWeekMaintenanceTime = static_cast<std::uint16_t>(controls.GetSelection(ctl::WeeklyHour));
    m_step.m_nWeekMaintenanceDay = controls.GetSelection(ctl::WeeklyDay);
    m_step.m_strBackUpPath = folder;
    return true;
}

std::vector<std::string> ListSubfolders(const std::string& folder)
{
    std::vector<std::string> names;
    auto entries = winapi::FindFiles(folder.empty() ? "/" : folder, "*");
    if (!entries)
        return names;
    for (const auto& entry : *entries) {
        if (entry.name.empty() || entry.name[0] == '.')
            continue;
        bool isFolder = entry.isDirectory;
        if (!isFolder && entry.isSymlink) {
            std::string full = folder == "/" ? "/" + entry.name : folder + "/" + entry.name;
            isFolder = winapi::IsEnterableDirectory(full);
        }
        if (isFolder)
            names.push_back(entry.name);
    }
    return names;
}

// --- the factory -----------------------------------------------------------------

CPageBase* MakeWizardPage(PageKind kind, TBase& step)
{
    switch (kind) {
    case PageKind::Start: return new CPageStart(static_cast<TStart&>(step));
    case PageKind::License: return new CPageLicense(static_cast<TLicense&>(step));
    case PageKind::Login: return new CPageLogin(static_cast<TLogin&>(step));
    case PageKind::Patch: return new CPagePatch(static_cast<TPatch&>(step));
    case PageKind::Database: return new CPageDatabase(static_cast<TDatabase&>(step));
    case PageKind::End: return new CPageEnd(static_cast<TEnd&>(step));
    }
    return nullptr;
}

} // namespace dorvik
