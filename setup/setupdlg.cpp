#include "setup/setupdlg.h"

#include "resources/setup/setupstrings.h"

#include <wx/button.h>
#include <wx/dirdlg.h>
#include <wx/radiobut.h>
#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

namespace kelm_setup {

using namespace kelm_setup::res;

namespace {

constexpr int kIdAccept = 12000;
constexpr int kIdDecline = 12001;
constexpr int kIdFolderEdit = 1002;
constexpr int kIdChooseFolder = 1003;

wxString U(const std::string& text) { return wxString::FromUTF8(text); }

// Windows line breaks in the texts show as line breaks.
wxString Lines(std::string text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r')
            continue;
        out += text[i];
    }
    return U(out);
}

} // namespace

CSetupDlg::CSetupDlg(CSetupApp& app) : m_app(app), m_model(app)
{
    SetExtraStyle(GetExtraStyle() | wxWIZARD_EX_HELPBUTTON);
    Create(nullptr, wxID_ANY, U(m_model.Caption()));
    wxSize pageSize(FromDIP(520), FromDIP(300));

    for (auto page : m_model.Pages()) {
        auto* p = new wxWizardPageSimple(this);
        auto* sizer = new wxBoxSizer(wxVERTICAL);
        switch (page) {
        case CSetupWizardModel::PageLic: {
            sizer->Add(new wxStaticText(p, wxID_ANY, U(kLicenseRead)), 0, wxBOTTOM, 6);
            m_license = new wxTextCtrl(p, 12002, U(m_model.LoadLicense()), wxDefaultPosition, pageSize,
                                       wxTE_MULTILINE | wxTE_READONLY);
            sizer->Add(m_license, 1, wxEXPAND | wxBOTTOM, 6);
            m_accept = new wxRadioButton(p, kIdAccept, U(kLicenseAccept), wxDefaultPosition, wxDefaultSize,
                                         wxRB_GROUP);
            m_decline = new wxRadioButton(p, kIdDecline, U(kLicenseDecline));
            m_decline->SetValue(true);
            sizer->Add(m_accept, 0, wxBOTTOM, 3);
            sizer->Add(m_decline, 0);
            auto onRadio = [this](wxCommandEvent&) {
                m_model.SetAccepted(m_accept->GetValue());
                ApplyButtons();
            };
            m_accept->Bind(wxEVT_RADIOBUTTON, onRadio);
            m_decline->Bind(wxEVT_RADIOBUTTON, onRadio);
            break;
        }
        case CSetupWizardModel::PagePath: {
            sizer->Add(new wxStaticText(p, wxID_ANY, U(kPathLabel)), 0, wxBOTTOM, 6);
            auto* row = new wxBoxSizer(wxHORIZONTAL);
            m_folder = new wxTextCtrl(p, kIdFolderEdit, U(m_model.GetFolder()));
            row->Add(m_folder, 1, wxALIGN_CENTER_VERTICAL | wxRIGHT, 6);
            auto* choose = new wxButton(p, kIdChooseFolder, U(kPathChoose));
            row->Add(choose, 0);
            sizer->Add(row, 0, wxEXPAND);
            sizer->AddStretchSpacer();
            m_folder->Bind(wxEVT_TEXT, [this](wxCommandEvent&) { m_model.SetFolder(m_folder->GetValue().utf8_string()); });
            choose->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) {
                wxDirDialog dialog(this, wxEmptyString, U(m_model.GetFolder()), wxDD_DEFAULT_STYLE);
                if (dialog.ShowModal() == wxID_OK) {
                    m_model.SetFolder(dialog.GetPath().utf8_string());
                    m_folder->ChangeValue(dialog.GetPath());
                }
            });
            break;
        }
        case CSetupWizardModel::PageInfo:
            sizer->Add(new wxStaticText(p, wxID_ANY, U(kInfoLabel)), 0, wxBOTTOM, 6);
            m_summary = new wxTextCtrl(p, 12004, wxEmptyString, wxDefaultPosition, pageSize,
                                       wxTE_MULTILINE | wxTE_READONLY);
            sizer->Add(m_summary, 1, wxEXPAND);
            break;
        }
        p->SetSizer(sizer);
        if (!m_pages.empty())
            wxWizardPageSimple::Chain(m_pages.back(), p);
        m_pages.push_back(p);
    }
    SetPageSize(pageSize);
    for (auto* page : m_pages)
        GetPageAreaSizer()->Add(page);

    Bind(wxEVT_WIZARD_PAGE_SHOWN, &CSetupDlg::OnPageShown, this);
    Bind(wxEVT_WIZARD_PAGE_CHANGING, &CSetupDlg::OnPageChanging, this);
    Bind(wxEVT_WIZARD_CANCEL, &CSetupDlg::OnCancel, this);
}

std::size_t CSetupDlg::CurrentIndex() const
{
    for (std::size_t i = 0; i < m_pages.size(); ++i)
        if (m_pages[i] == GetCurrentPage())
            return i;
    return 0;
}

void CSetupDlg::ApplyButtons()
{
    std::size_t index = CurrentIndex();
    auto buttons = m_model.ButtonsFor(index);
    if (auto* back = FindWindow(wxID_BACKWARD)) {
        back->SetLabel(U(LoadString(IDS_BACK)));
        back->Enable(buttons.back);
    }
    if (auto* next = FindWindow(wxID_FORWARD)) {
        next->SetLabel(U(LoadString(buttons.finish ? IDS_FINISH : IDS_NEXT)));
        next->Enable(buttons.next || buttons.finish);
    }
    if (auto* cancel = FindWindow(wxID_CANCEL))
        cancel->SetLabel(U(LoadString(IDS_CANCEL)));
    if (auto* help = FindWindow(wxID_HELP)) {
        help->SetLabel(U(LoadString(IDS_HELP)));
        help->Disable();
    }
}

void CSetupDlg::OnPageShown(wxWizardEvent& event)
{
    std::size_t index = CurrentIndex();
    SetTitle(U(m_model.Caption()));
    if (m_model.Pages()[index] == CSetupWizardModel::PageInfo && m_summary)
        m_summary->ChangeValue(Lines(m_model.Summary()));
    ApplyButtons();
    if (m_onPageShown)
        m_onPageShown(index);
    event.Skip();
}

void CSetupDlg::OnPageChanging(wxWizardEvent& event)
{
    std::size_t index = CurrentIndex();
    if (event.GetDirection() && m_model.Pages()[index] == CSetupWizardModel::PagePath)
        m_model.CommitFolder();
    event.Skip();
}

void CSetupDlg::OnCancel(wxWizardEvent& event)
{
    if (!m_model.ConfirmCancel())
        event.Veto();
}

bool CSetupDlg::RunModal() { return RunWizard(m_pages.front()); }

bool CWxSetupWizard::Run(CSetupApp& app)
{
    auto* dialog = new CSetupDlg(app);
    bool finished = dialog->RunModal();
    dialog->Destroy();
    return finished;
}

} // namespace kelm_setup
