// setup's wizard on wx: the licence, folder and summary pages over the
// wizard model.
#pragma once

#include "setup/setupapp.h"
#include "setup/wizardmodel.h"

#include <wx/wizard.h>

#include <functional>

class wxRadioButton;
class wxTextCtrl;

namespace kelm_setup {

class CSetupDlg : public wxWizard {
public:
    explicit CSetupDlg(CSetupApp& app);

    // Shows the wizard modally; true for Finish.
    bool RunModal();
    CSetupWizardModel& Model() { return m_model; }
    wxWizardPage* PageAt(std::size_t index) const { return m_pages[index]; }
    std::size_t PageCount() const { return m_pages.size(); }
    // Called each time a page has been shown (tests take their pictures).
    void SetOnPageShown(std::function<void(std::size_t)> callback) { m_onPageShown = std::move(callback); }
    void ApplyButtons();
    wxRadioButton* AcceptButton() const { return m_accept; }
    wxRadioButton* DeclineButton() const { return m_decline; }
    wxTextCtrl* FolderEdit() const { return m_folder; }
    wxTextCtrl* SummaryEdit() const { return m_summary; }

private:
    void OnPageShown(wxWizardEvent& event);
    void OnPageChanging(wxWizardEvent& event);
    void OnCancel(wxWizardEvent& event);
    std::size_t CurrentIndex() const;

    CSetupApp& m_app;
    CSetupWizardModel m_model;
    std::vector<wxWizardPageSimple*> m_pages;
    wxRadioButton* m_accept = nullptr;
    wxRadioButton* m_decline = nullptr;
    wxTextCtrl* m_license = nullptr;
    wxTextCtrl* m_folder = nullptr;
    wxTextCtrl* m_summary = nullptr;
    std::function<void(std::size_t)> m_onPageShown;
};

// The wizard the program shows.
class CWxSetupWizard : public ISetupWizard {
public:
    bool Run(CSetupApp& app) override;
};

} // namespace kelm_setup
