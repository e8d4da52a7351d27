// Fakes for the wizard pages' rules: the controls of each dialog, a sheet
// and a host that record what the pages do.
#pragma once

#include "installer/common/utils.h"
#include "installer/core/wizardpages.h"
#include "dmo/error.h"

#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace dorvik::test {

// The controls of each dialog, and its radio groups.
inline std::set<int> controlsOf(int dialog)
{
    std::set<int> ids = {ctl::Context};
    std::set<int> setup = {ctl::Install, ctl::LocationFrame};
    for (int id : FolderControlIds())
        setup.insert(id);
    switch (dialog) {
    case IDD_PAGE_START: ids.insert({ctl::LanguageLabel, ctl::Russian, ctl::English}); break;
    case IDD_PAGE_LICENSE: ids.insert({ctl::LicenseText, ctl::Accept, ctl::Decline}); break;
    case IDD_PAGE_LOGIN:
        ids.insert({ctl::Trusted, ctl::Server, ctl::User, ctl::Password, ctl::ServerLabel, ctl::UserLabel,
                    ctl::PasswordLabel});
        break;
    case IDD_PAGE_DATABASE:
        ids.insert(setup.begin(), setup.end());
        ids.insert({ctl::Maintenance, ctl::SourceFrame, ctl::LoadBcp, ctl::LoadDump, ctl::Attach});
        break;
    case IDD_PAGE_PATCH:
        ids.insert(setup.begin(), setup.end());
        ids.insert({ctl::DatabaseLabel, ctl::DatabaseCombo});
        break;
    case 147: // the maintenance dialog
        ids = {ctl::DailyCheck, ctl::DailyHour,   ctl::WeeklyCheck, ctl::WeeklyDay,      ctl::WeeklyHour,
               ctl::BackupEdit, ctl::BackupBrowse, ctl::DailyWhat,  ctl::DailyTimeLabel, ctl::WeeklyTimeLabel,
               ctl::WeeklyWhat, ctl::DayLabel,    ctl::BackupLabel, ctl::OK,             ctl::Cancel};
        break;
    }
    return ids;
}

inline std::vector<std::set<int>> groupsOf(int dialog)
{
    switch (dialog) {
    case IDD_PAGE_START: return {{ctl::Russian, ctl::English}};
    case IDD_PAGE_LICENSE: return {{ctl::Accept, ctl::Decline}};
    case IDD_PAGE_DATABASE: return {{ctl::LoadBcp, ctl::LoadDump, ctl::Attach}};
    default: return {};
    }
}

class FakeControls : public IPageControls {
public:
    struct Control {
        std::string text;
        bool enabled = true, shown = true, checked = false;
        std::vector<std::string> items;
        int selection = -1;
    };
    explicit FakeControls(int dialog) : m_groups(groupsOf(dialog))
    {
        for (int id : controlsOf(dialog))
            c[id];
    }
    bool Has(int id) const override { return c.count(id) != 0; }
    void SetText(int id, const std::string& text) override
    {
        if (auto* x = get(id))
            x->text = text;
    }
    std::string GetText(int id) const override
    {
        auto it = c.find(id);
        if (it == c.end())
            return {};
        const Control& x = it->second;
        if (!x.items.empty() || x.selection >= 0)
            return x.selection >= 0 ? x.items[static_cast<std::size_t>(x.selection)] : std::string();
        return x.text;
    }
    void Enable(int id, bool enable) override
    {
        if (auto* x = get(id))
            x->enabled = enable;
    }
    bool IsEnabled(int id) const override { return Has(id) && c.at(id).enabled; }
    void Show(int id, bool show) override
    {
        if (auto* x = get(id))
            x->shown = show;
    }
    void SetCheck(int id, bool checked) override
    {
        auto* x = get(id);
        if (!x)
            return;
        if (checked)
            for (const auto& group : m_groups)
                if (group.count(id))
                    for (int other : group)
                        c[other].checked = false;
        x->checked = checked;
    }
    bool GetCheck(int id) const override { return Has(id) && c.at(id).checked; }
    void SetFocus(int id) override { focus = id; }
    void SetItems(int id, const std::vector<std::string>& items) override
    {
        if (auto* x = get(id)) {
            x->items = items;
            x->selection = -1;
        }
    }
    int GetSelection(int id) const override { return Has(id) ? c.at(id).selection : -1; }
    void SetSelection(int id, int index) override
    {
        if (auto* x = get(id))
            x->selection = index;
    }
    std::shared_ptr<winapi::PromptOwner> GetOwner() override { return nullptr; }

    // What a user's click does: the check, then the page's command.
    void Click(CPageBase& page, int id, bool checked = true)
    {
        SetCheck(id, checked);
        page.OnCommand(id);
    }
    void Type(CPageBase& page, int id, const std::string& text)
    {
        SetText(id, text);
        page.OnChange(id);
    }

    std::map<int, Control> c;
    int focus = 0;

private:
    Control* get(int id)
    {
        auto it = c.find(id);
        return it == c.end() ? nullptr : &it->second;
    }
    std::vector<std::set<int>> m_groups;
};

struct FakeSheet : IWizardSheet {
    void SetSheetTitle(const std::string& t) override { title = t; }
    void SetButtonTexts() override { ++buttonTexts; }
    void UpdateButtons() override { ++updates; }
    void SetWizardButtons(bool b, bool n) override
    {
        back = b;
        next = n;
    }
    std::string title;
    int buttonTexts = 0, updates = 0;
    bool back = false, next = false;
};

struct FakeHost : IWizardHost {
    // The run stays when the rest of the host is renewed.
    void Renew()
    {
        auto keep = run;
        *this = FakeHost{};
        run = keep;
    }
    RunContext& Context() override { return *run; }
    void SetLanguage(int language) override { run->SetLanguage(language); }
    bool IsLive() override { return live; }
    bool Connect(const std::string& s, const std::string& u, const std::string& p, bool t) override
    {
        calls.push_back("connect " + s + " " + u + " " + p + (t ? " trusted" : ""));
        live = connectWorks;
        return connectWorks;
    }
    bool Reconnect(const std::string& s, const std::string& u, const std::string& p, bool t) override
    {
        calls.push_back("reconnect " + s + " " + u + " " + p + (t ? " trusted" : ""));
        live = connectWorks;
        return connectWorks;
    }
    bool IsSysAdmin() override
    {
        fail("sysadmin");
        return sysAdmin;
    }
    bool RefreshLogin() override
    {
        calls.push_back("refresh");
        return true;
    }
    bool HasJobServer() override
    {
        fail("jobserver");
        return jobServer;
    }
    std::string BackupDirectory() override
    {
        fail("backup");
        return backup;
    }
    std::vector<std::string> DatabaseNames() override
    {
        fail("databases");
        return databases;
    }
    // A path's drive: the longest mount point that prefixes it.
    std::optional<winapi::DriveId> DriveOf(const std::string& path) override
    {
        if (realDrives)
            return winapi::GetDriveOfPath(path);
        std::optional<winapi::DriveId> best;
        for (const auto& [mount, disk] : disks)
            if (path.rfind(mount, 0) == 0 && (!best || mount.size() > best->mountPoint.size()))
                best = winapi::DriveId{disk.first, mount};
        return best;
    }
    bool FreeSpaceMB(const std::string& path, std::uint64_t& mb) override
    {
        auto drive = DriveOf(path);
        if (!drive)
            return false;
        mb = disks[drive->mountPoint].second;
        return true;
    }
    std::optional<std::string> BrowseFolder(const std::string& title, const std::string& start) override
    {
        calls.push_back("browse " + title + " " + start);
        return browsed;
    }
    void EditMaintenance(TDatabase& step) override { calls.push_back("maintenance " + step.m_strName); }

    // A server call named in `failing` throws the server's error.
    void fail(const std::string& call)
    {
        if (failing.count(call))
            throw dmo::Error(dmo::kErrStatement, "server says no to " + call, "PostgreSQL");
    }
    std::set<std::string> failing;
    bool live = false, connectWorks = true, sysAdmin = true, jobServer = true, realDrives = false;
    std::string backup = "/srv/pg/backup";
    std::vector<std::string> databases;
    std::map<std::string, std::pair<dev_t, std::uint64_t>> disks; // mount point -> device, free MB
    std::optional<std::string> browsed;
    std::vector<std::string> calls;
    std::shared_ptr<RunContext> run = std::make_shared<RunContext>();
};


} // namespace dorvik::test
