// The wizard sheet: one page per step of the install data, the Part's
// button texts and rules, the Cancel question and the help document.
#pragma once

#include "installer/core/wizardhost.h"
#include "installer/ui/wizarddlgs.h"

#include <wx/wizard.h>

#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace dorvik {

class CMainRun;
class CWizardPage;

// The wizard's host with the program's dialogs over the sheet.
class CWxWizardHost : public CWizardHost {
public:
    using CWizardHost::CWizardHost;
    void SetParent(wxWindow* parent) { m_parent = parent; }
    std::optional<std::string> BrowseFolder(const std::string& title, const std::string& start) override;
    void EditMaintenance(TDatabase& step) override;

private:
    wxWindow* m_parent = nullptr;
};

class CMainSheet : public wxWizard, public IWizardSheet {
public:
    CMainSheet(wxWindow* parent, IWizardHost& host);
    ~CMainSheet() override;

    // One page per step, in list order.
    void AddSteps(CInstallData& data);
    // 12325 after Finish, 2 after Cancel. What a page's rules throw ends
    // the sheet and is thrown again from here, once the modal loop is over.
    int RunModal();
    // Runs an action of the sheet or a page; an exception ends the sheet
    // instead of passing through the window system's event loop.
    void Guarded(const std::function<void()>& action);
    void OpenHelp();

    // IWizardSheet
    void SetSheetTitle(const std::string& title) override;
    void SetButtonTexts() override;
    void UpdateButtons() override;
    void SetWizardButtons(bool back, bool next) override;

    std::size_t GetPageCount() const { return m_pages.size(); }
    CWizardPage* GetPageAt(std::size_t index) const { return m_pages[index]; }
    std::size_t GetActiveIndex() const;
    // Called after each page has been shown (tests drive and photograph).
    void SetOnPageShown(std::function<void(std::size_t)> callback) { m_onPageShown = std::move(callback); }
    std::shared_ptr<winapi::PromptOwner> GetOwner() const { return m_owner; }

private:
    void OnPageShown(wxWizardEvent& event);
    void OnPageChanging(wxWizardEvent& event);
    void OnCancel(wxWizardEvent& event);

    IWizardHost& m_host;
    wxWindow* m_parentWindow;
    std::shared_ptr<winapi::PromptOwner> m_owner;
    std::vector<CWizardPage*> m_pages;
    std::function<void(std::size_t)> m_onPageShown;
    std::exception_ptr m_error;
};

// One page: the step's page rules over controls built for its dialog.
class CWizardPage : public wxWizardPageSimple {
public:
    CWizardPage(CMainSheet* sheet, std::unique_ptr<CPageBase> page, IWizardHost& host);
    CPageBase& GetPage() { return *m_page; }
    CWxControls& Controls() { return m_controls; }
    void Activate();

private:
    void Build();
    std::unique_ptr<CPageBase> m_page;
    CWxControls m_controls;
    bool m_bInitialised = false;
};

// Shows the wizard for the run's install data: 12325 (Finish) or 2.
std::optional<int> RunMainSheet(wxWindow* parent, CMainRun& run);

} // namespace dorvik
