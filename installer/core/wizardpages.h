// The rules of the wizard's pages without a display: each page reads and
// writes its step, sets its controls' texts and states through
// IPageControls, asks its questions through the process's prompt and
// reaches the server, the disks and its dialogs through IWizardHost. The
// program's sheet shows them with wx; tests drive them with fakes.
#pragma once

#include "installer/common/runcontext.h"
#include "installer/core/installdata.h"
#include "winapi/drives.h"
#include "winapi/files.h"
#include "winapi/prompt.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace dorvik {

// The dialogs' control numbers the rules name.
namespace ctl {
inline constexpr int Context = 1000;
// start page
inline constexpr int LanguageLabel = 1001, Russian = 1014, English = 1015;
// licence page
inline constexpr int LicenseText = 1030, Accept = 1031, Decline = 1032;
// login page
inline constexpr int Trusted = 1022, Server = 1042, User = 1043, Password = 1044;
inline constexpr int ServerLabel = 1045, UserLabel = 1046, PasswordLabel = 1047;
// database and patch pages
inline constexpr int LoadBcp = 1001, LoadDump = 1002, Attach = 1027;
inline constexpr int Browse1 = 1004, Folder1 = 1005, Folder2 = 1006, Browse2 = 1007;
inline constexpr int Free1 = 1008, Need1 = 1009, Install = 1010, Maintenance = 1011;
inline constexpr int Folder1Label = 1015, Folder2Label = 1016, Free1Label = 1017, Need1Label = 1018;
inline constexpr int SourceFrame = 1019, DatabaseLabel = 1020, Free2Label = 1024, Need2Label = 1025;
inline constexpr int DatabaseCombo = 1048, LocationFrame = 1049, Free2 = 113, Need2 = 114;
} // namespace ctl

// The dialogs of the pages' steps.
inline constexpr int IDD_PAGE_DATABASE = 131, IDD_PAGE_END = 136, IDD_PAGE_LOGIN = 141, IDD_PAGE_PATCH = 142,
                     IDD_PAGE_START = 146, IDD_PAGE_LICENSE = 176;

// A page's controls by number. A control the page does not have is
// ignored by the setters and reads as empty.
class IPageControls {
public:
    virtual ~IPageControls() = default;
    virtual bool Has(int id) const = 0;
    virtual void SetText(int id, const std::string& text) = 0; // no change event
    virtual std::string GetText(int id) const = 0;
    virtual void Enable(int id, bool enable) = 0;
    virtual bool IsEnabled(int id) const = 0;
    virtual void Show(int id, bool show) = 0;
    virtual void SetCheck(int id, bool checked) = 0;
    virtual bool GetCheck(int id) const = 0;
    virtual void SetFocus(int id) = 0;
    virtual void SetItems(int id, const std::vector<std::string>& items) = 0;
    virtual int GetSelection(int id) const = 0; // -1 for none
    virtual void SetSelection(int id, int index) = 0;
    // The window the page's boxes are modal to.
    virtual std::shared_ptr<winapi::PromptOwner> GetOwner() = 0;
    // The wait cursor while a page works.
    virtual void SetBusy(bool busy) {}
};

// What the sheet does for its pages.
class IWizardSheet {
public:
    virtual ~IWizardSheet() = default;
    virtual void SetSheetTitle(const std::string& title) = 0;
    // The Part's button texts again, in the current language.
    virtual void SetButtonTexts() = 0;
    // The sheet's button rule for the active page.
    virtual void UpdateButtons() = 0;
    // Which of Back and Next are enabled (the licence page's own rule).
    virtual void SetWizardButtons(bool back, bool next) = 0;
};

// What the pages reach outside themselves: the application (language,
// connection), the server, the disks and the dialogs the pages open.
// IsSysAdmin, HasJobServer, BackupDirectory and DatabaseNames throw
// dmo::Error with the server's text when the server fails them. After a
// button the page shows that text and stays; while a page is made the error
// ends the wizard through the program's fatal-error path.
class IWizardHost {
public:
    virtual ~IWizardHost() = default;
    // The run the wizard belongs to: its language, kit folder and prompt.
    virtual RunContext& Context() = 0;
    virtual void SetLanguage(int language) = 0;
    // True when the one server object has a working connection.
    virtual bool IsLive() = 0;
    // Show the waiting dialog and, on failure, the reason.
    virtual bool Connect(const std::string& server, const std::string& user, const std::string& password,
                         bool trusted) = 0;
    virtual bool Reconnect(const std::string& server, const std::string& user, const std::string& password,
                           bool trusted) = 0;
    virtual bool IsSysAdmin() = 0;
    virtual bool RefreshLogin() = 0;
    // False when the server has no job scheduler (no maintenance jobs).
    virtual bool HasJobServer() = 0;
    // The server's default backup folder; "" when unknown.
    virtual std::string BackupDirectory() = 0;
    // Database names in the server's order; without a live connection
    // the error says the server cannot be reached.
    virtual std::vector<std::string> DatabaseNames() = 0;
    virtual std::optional<winapi::DriveId> DriveOf(const std::string& path) = 0;
    virtual bool FreeSpaceMB(const std::string& path, std::uint64_t& megabytes) = 0;
    // The folder dialog that refuses network paths; nullopt for Cancel.
    virtual std::optional<std::string> BrowseFolder(const std::string& title, const std::string& start) = 0;
    // The maintenance dialog for a database step, modally.
    virtual void EditMaintenance(TDatabase& step) = 0;
};

// The sheet's rules: which buttons a page has, the Cancel question and the
// help document.
struct SheetButtons {
    bool back, next, finish, help;
};
SheetButtons SheetButtonsFor(std::size_t index, std::size_t count, const TBase& step);
// "Do you want exit from Installer ?": true for Yes.
bool ConfirmSheetCancel(const RunContext& run, const std::shared_ptr<winapi::PromptOwner>& owner);
// Opens the step's Info (a web address as it is, a file in the kit
// folder); beeps and says so when it cannot.
void OpenStepHelp(const RunContext& run, const std::shared_ptr<winapi::PromptOwner>& owner, const TBase* step);

// True for a server name that reaches this computer's server: "(local)",
// ".", this computer's name (upper-cased prefix), a socket folder, or
// "localhost".
bool IsLocalServerName(const std::string& server, const std::string& computerName);

// True when the section has a step key of the prefix ("bcp_", "dump_",
// "attach_") among the first StopCount numbers, as the run finds them.
bool SectionHasSteps(const std::string& iniPath, const std::string& section, const std::string& prefix);

class CPageBase {
public:
    CPageBase(TBase& step, int dialogId) : m_step(step), m_nDialogId(dialogId) {}
    virtual ~CPageBase() = default;
    CPageBase(const CPageBase&) = delete;
    CPageBase& operator=(const CPageBase&) = delete;

    void Attach(IPageControls& controls, IWizardSheet& sheet, IWizardHost& host);
    int GetDialogId() const { return m_nDialogId; }
    TBase& GetStep() { return m_step; }

    // Once, when the page is first shown: data into the controls, then the
    // page's own set-up.
    virtual void OnInitDialog();
    // Each time the page is shown.
    virtual void OnSetActive();
    // Next pressed: false keeps the page.
    virtual bool OnWizardNext() { return true; }
    // The page is left (either way): data back into the step.
    virtual void OnKillActive() { Exchange(true); }
    // A click on a button, check box or radio button.
    virtual void OnCommand(int id) {}
    // The text of an edit changed by the user.
    virtual void OnChange(int id) {}

    virtual void RefreshTexts();
    virtual std::string GetSectionName() const { return m_step.m_strName; }

    // The caption (at most 99 characters) and the explanatory text, in the
    // current language, macros expanded.
    std::string GetCaption() const;
    std::string GetContext() const;

protected:
    // Data exchange: from the step into the controls (false) or back.
    virtual void Exchange(bool save) {}
    std::string Text(int id) const;
    // Runs a call to the server; when the server fails it, its text is
    // shown over the page and the result is false.
    bool ServerCall(const std::function<void()>& call);
    std::shared_ptr<winapi::PromptOwner> Owner() { return m_controls->GetOwner(); }
    // Once attached.
    RunContext& Context() const { return m_host->Context(); }

    TBase& m_step;
    int m_nDialogId;
    IPageControls* m_controls = nullptr;
    IWizardSheet* m_sheet = nullptr;
    IWizardHost* m_host = nullptr;
};

class CPageStart : public CPageBase {
public:
    explicit CPageStart(TStart& step) : CPageBase(step, IDD_PAGE_START) {}
    void OnInitDialog() override;
    void OnCommand(int id) override;
    void RefreshTexts() override;
};

class CPageLicense : public CPageBase {
public:
    explicit CPageLicense(TLicense& step) : CPageBase(step, IDD_PAGE_LICENSE) {}
    void OnInitDialog() override;
    void OnSetActive() override;
    void OnCommand(int id) override;
    void RefreshTexts() override;

private:
    void ApplyButtonRule();
};

class CPageLogin : public CPageBase {
public:
    explicit CPageLogin(TLogin& step) : CPageBase(step, IDD_PAGE_LOGIN) {}
    void OnInitDialog() override;
    bool OnWizardNext() override;
    void OnCommand(int id) override;
    void OnChange(int id) override;
    void RefreshTexts() override;
    bool IsChanged() const { return m_bChanged; }

protected:
    void Exchange(bool save) override;

private:
    TLogin& Login() { return static_cast<TLogin&>(m_step); }
    void LoginFieldRule();
    bool m_bChanged = false;
};

class CPageSetup : public CPageBase {
public:
    using CPageBase::CPageBase;
    void OnInitDialog() override;
    bool OnWizardNext() override;
    void OnCommand(int id) override;
    void RefreshTexts() override;

    virtual void RefreshFreeSpace();
    virtual bool CheckDiskSpace();
    virtual void EnableControls();
    virtual bool CheckFolders();

protected:
    void Exchange(bool save) override;
    // Fills the database combo when the page has one.
    virtual void FillDatabases() {}
    TSetup& Setup() { return static_cast<TSetup&>(m_step); }

    struct Folder {
        bool allowCreate = true;
        std::optional<winapi::DriveId> drive;
        std::int64_t freeMB = 0;
    };
    Folder m_folders[2];
};

class CPageDatabase : public CPageSetup {
public:
    explicit CPageDatabase(TDatabase& step) : CPageSetup(step, IDD_PAGE_DATABASE) {}
    void OnInitDialog() override;
    void OnCommand(int id) override;
    void RefreshTexts() override;
    void EnableControls() override;

protected:
    void Exchange(bool save) override;

private:
    TDatabase& Database() { return static_cast<TDatabase&>(m_step); }
    bool m_bNoJobServer = false;
};

class CPagePatch : public CPageSetup {
public:
    explicit CPagePatch(TPatch& step) : CPageSetup(step, IDD_PAGE_PATCH) {}
    void OnInitDialog() override;
    // A list the server refused is asked for again each time the page is
    // shown, so a new connection made on the login page reaches it.
    void OnSetActive() override;
    bool OnWizardNext() override;
    void RefreshTexts() override;
    void EnableControls() override;
    bool CheckDiskSpace() override;
    bool CheckFolders() override;

protected:
    void FillDatabases() override;

private:
    TPatch& Patch() { return static_cast<TPatch&>(m_step); }
    bool m_bListed = false, m_bShown = false;
};

class CPageEnd : public CPageBase {
public:
    explicit CPageEnd(TEnd& step) : CPageBase(step, IDD_PAGE_END) {}
};

// The maintenance dialog's rules: daily and weekly service of a database
// step, their hours and day, and the backup folder.
namespace ctl {
inline constexpr int DailyCheck = 1034, DailyHour = 1023, WeeklyCheck = 1035, WeeklyDay = 1025, WeeklyHour = 1024;
inline constexpr int BackupEdit = 301, BackupBrowse = 1004, DailyWhat = 1036, DailyTimeLabel = 1039;
inline constexpr int WeeklyTimeLabel = 1040, WeeklyWhat = 1037, DayLabel = 1042, BackupLabel = 1038;
inline constexpr int OK = 1, Cancel = 2;
} // namespace ctl

class CParamDBPresenter {
public:
    CParamDBPresenter(const RunContext& run, TDatabase& step) : m_run(run), m_step(step) {}
    // The dialog's caption in the run's language.
    static std::string Caption(const RunContext& run);
    // Texts, the 24 hours, the seven days, the step's values.
    void OnInitDialog(IPageControls& controls);
    void OnBrowse(IPageControls& controls, IWizardHost& host);
    // False keeps the dialog; true has stored everything into the step and
    // set its confirmed flag. Cancel is the caller's: the step stays as it
    // was.
    bool OnOK(IPageControls& controls);

private:
    const RunContext& m_run;
    TDatabase& m_step;
};

// The subfolders of a folder whose names do not begin with '.', sorted:
// one level, as a folder tree lists them when an item is first expanded.
// Links to folders count as folders.
std::vector<std::string> ListSubfolders(const std::string& folder);

// The page factory that makes these pages for the steps.
CPageBase* MakeWizardPage(PageKind kind, TBase& step);

// The controls of every page that a patch page hides with
// HideTempDatabaseControls.
const std::vector<int>& FolderControlIds();

} // namespace dorvik
