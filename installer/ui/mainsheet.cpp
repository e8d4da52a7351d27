#include "installer/ui/mainsheet.h"

#include "installer/common/utils.h"
#include "installer/core/installdata.h"
#include "installer/core/mainrun.h"
#include "afx/cmdid.h"

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/radiobut.h>
#include <wx/sizer.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include <utility>

namespace dorvik {

namespace {

wxString U(const std::string& text) { return wxString::FromUTF8(text); }

wxString Text(const RunContext& run, int id) { return U(run.Text(id)); }

// The two folder rows of the database and patch pages, in their frame.
wxSizer* folderRows(wxWindow* page)
{
    auto* box = new wxStaticBoxSizer(new wxStaticBox(page, ctl::LocationFrame, " "), wxVERTICAL);
    wxWindow* frame = box->GetStaticBox();
    const int gap = page->FromDIP(6);
    const int rows[2][7] = {
        {ctl::Folder1Label, ctl::Folder1, ctl::Browse1, ctl::Free1Label, ctl::Free1, ctl::Need1Label, ctl::Need1},
        {ctl::Folder2Label, ctl::Folder2, ctl::Browse2, ctl::Free2Label, ctl::Free2, ctl::Need2Label, ctl::Need2}};
    for (const auto& ids : rows) {
        box->Add(new wxStaticText(frame, ids[0], " "), 0, wxLEFT | wxRIGHT | wxTOP, gap);
        auto* line = new wxBoxSizer(wxHORIZONTAL);
        line->Add(new wxTextCtrl(frame, ids[1], ""), 1, wxALIGN_CENTER_VERTICAL | wxRIGHT, gap);
        line->Add(new wxButton(frame, ids[2], "...", wxDefaultPosition, wxDefaultSize, wxBU_EXACTFIT), 0,
                  wxALIGN_CENTER_VERTICAL);
        box->Add(line, 0, wxEXPAND | wxALL, gap);
        auto* figures = new wxBoxSizer(wxHORIZONTAL);
        for (int i = 3; i < 7; ++i)
            figures->Add(new wxStaticText(frame, ids[i], " ", wxDefaultPosition,
                                          i % 2 ? wxDefaultSize : page->FromDIP(wxSize(90, -1))),
                         0, wxRIGHT, gap);
        box->Add(figures, 0, wxLEFT | wxRIGHT | wxBOTTOM, gap);
    }
    return box;
}

wxSizer* radioFrame(wxWindow* page, int frameId, std::initializer_list<int> radios)
{
    auto* box = new wxStaticBoxSizer(new wxStaticBox(page, frameId, " "), wxVERTICAL);
    bool first = true;
    for (int id : radios) {
        box->Add(new wxRadioButton(box->GetStaticBox(), id, " ", wxDefaultPosition, wxDefaultSize,
                                   first ? wxRB_GROUP : 0),
                 0, wxALL, page->FromDIP(4));
        first = false;
    }
    return box;
}

} // namespace

// --- the host's dialogs ------------------------------------------------------------

std::optional<std::string> CWxWizardHost::BrowseFolder(const std::string& title, const std::string& start)
{
    CDlgBrowse dialog(Context(), m_parent, title, start);
    if (dialog.ShowModal() != wxID_OK)
        return std::nullopt;
    return dialog.GetPath();
}

void CWxWizardHost::EditMaintenance(TDatabase& step)
{
    CDlgParamDB dialog(m_parent, step, *this);
    dialog.CentreOnParent();
    dialog.ShowModal();
}

// --- CWizardPage -----------------------------------------------------------------

CWizardPage::CWizardPage(CMainSheet* sheet, std::unique_ptr<CPageBase> page, IWizardHost& host)
    : wxWizardPageSimple(sheet), m_page(std::move(page)), m_controls(this, sheet->GetOwner())
{
    Build();
    m_page->Attach(m_controls, *sheet, host);
    auto command = [this, sheet](wxCommandEvent& e) {
        sheet->Guarded([this, id = e.GetId()] { m_page->OnCommand(id); });
    };
    Bind(wxEVT_BUTTON, command);
    Bind(wxEVT_CHECKBOX, command);
    Bind(wxEVT_RADIOBUTTON, command);
    Bind(wxEVT_TEXT, [this, sheet](wxCommandEvent& e) {
        sheet->Guarded([this, id = e.GetId()] { m_page->OnChange(id); });
    });
}

void CWizardPage::Build()
{
    const int gap = FromDIP(8);
    auto* sizer = new wxBoxSizer(wxVERTICAL);
    sizer->Add(new wxStaticText(this, ctl::Context, " "), 0, wxEXPAND | wxBOTTOM, gap);
    switch (m_page->GetDialogId()) {
    case IDD_PAGE_START:
        sizer->Add(radioFrame(this, ctl::LanguageLabel, {ctl::Russian, ctl::English}), 0, wxEXPAND);
        break;
    case IDD_PAGE_LICENSE:
        sizer->Add(new wxTextCtrl(this, ctl::LicenseText, "", wxDefaultPosition, FromDIP(wxSize(480, 220)),
                                  wxTE_MULTILINE | wxTE_READONLY),
                   1, wxEXPAND | wxBOTTOM, gap);
        sizer->Add(new wxRadioButton(this, ctl::Accept, " ", wxDefaultPosition, wxDefaultSize, wxRB_GROUP), 0,
                   wxBOTTOM, FromDIP(4));
        sizer->Add(new wxRadioButton(this, ctl::Decline, " "), 0);
        break;
    case IDD_PAGE_LOGIN: {
        auto* grid = new wxFlexGridSizer(2, gap, gap);
        grid->AddGrowableCol(1);
        const std::pair<int, int> rows[] = {
            {ctl::ServerLabel, ctl::Server}, {ctl::UserLabel, ctl::User}, {ctl::PasswordLabel, ctl::Password}};
        for (const auto& [label, edit] : rows) {
            grid->Add(new wxStaticText(this, label, " "), 0, wxALIGN_CENTER_VERTICAL);
            grid->Add(new wxTextCtrl(this, edit, "", wxDefaultPosition, FromDIP(wxSize(260, -1)),
                                     edit == ctl::Password ? wxTE_PASSWORD : 0),
                      1, wxEXPAND);
        }
        sizer->Add(grid, 0, wxEXPAND | wxBOTTOM, gap);
        sizer->Add(new wxCheckBox(this, ctl::Trusted, " "), 0);
        break;
    }
    case IDD_PAGE_DATABASE: {
        auto* top = new wxBoxSizer(wxHORIZONTAL);
        top->Add(new wxCheckBox(this, ctl::Install, " "), 1, wxALIGN_CENTER_VERTICAL);
        top->Add(new wxButton(this, ctl::Maintenance, " "), 0);
        sizer->Add(top, 0, wxEXPAND | wxBOTTOM, gap);
        sizer->Add(radioFrame(this, ctl::SourceFrame, {ctl::LoadBcp, ctl::LoadDump, ctl::Attach}), 0,
                   wxEXPAND | wxBOTTOM, gap);
        sizer->Add(folderRows(this), 0, wxEXPAND);
        break;
    }
    case IDD_PAGE_PATCH: {
        sizer->Add(new wxCheckBox(this, ctl::Install, " "), 0, wxBOTTOM, gap);
        auto* line = new wxBoxSizer(wxHORIZONTAL);
        line->Add(new wxStaticText(this, ctl::DatabaseLabel, " "), 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, gap);
        line->Add(new wxChoice(this, ctl::DatabaseCombo), 1);
        sizer->Add(line, 0, wxEXPAND | wxBOTTOM, gap);
        sizer->Add(folderRows(this), 0, wxEXPAND);
        break;
    }
    default:
        break;
    }
    SetSizer(sizer);
}

void CWizardPage::Activate()
{
    if (!m_bInitialised) {
        m_bInitialised = true;
        m_page->OnInitDialog();
    }
    m_page->OnSetActive();
    Layout();
}

// --- CMainSheet ------------------------------------------------------------------

CMainSheet::CMainSheet(wxWindow* parent, IWizardHost& host)
    : m_host(host), m_parentWindow(parent), m_owner(std::make_shared<winapi::PromptOwner>())
{
    SetPageFactory(&MakeWizardPage);
    m_owner->Attach(this);
    Bind(wxEVT_WIZARD_PAGE_SHOWN, &CMainSheet::OnPageShown, this);
    Bind(wxEVT_WIZARD_PAGE_CHANGING, &CMainSheet::OnPageChanging, this);
    Bind(wxEVT_WIZARD_CANCEL, &CMainSheet::OnCancel, this);
    Bind(wxEVT_WIZARD_HELP, [this](wxWizardEvent&) { Guarded([this] { OpenHelp(); }); });
    // The program's help command (F1) opens the active page's document.
    Bind(wxEVT_MENU, [this](wxCommandEvent&) { Guarded([this] { OpenHelp(); }); }, ToWxId(ID_HELP));
}

CMainSheet::~CMainSheet() { m_owner->Detach(); }

void CMainSheet::AddSteps(CInstallData& data)
{
    bool help = false;
    data.ForEach([&](TBase& step) { help = help || !step.m_strInfo.empty(); });
    if (help)
        SetExtraStyle(GetExtraStyle() | wxWIZARD_EX_HELPBUTTON);
    Create(m_parentWindow, wxID_ANY, wxEmptyString, wxNullBitmap, wxDefaultPosition,
           wxDEFAULT_DIALOG_STYLE | wxRESIZE_BORDER);
    wxAcceleratorEntry f1(wxACCEL_NORMAL, WXK_F1, ToWxId(ID_HELP));
    SetAcceleratorTable(wxAcceleratorTable(1, &f1));
    wxSize pageSize = FromDIP(wxSize(520, 360));
    data.ForEach([&](TBase& step) {
        std::unique_ptr<CPageBase> rules(step.CreatePage());
        if (!rules)
            return;
        auto* page = new CWizardPage(this, std::move(rules), m_host);
        if (!m_pages.empty())
            wxWizardPageSimple::Chain(m_pages.back(), page);
        m_pages.push_back(page);
        pageSize.IncTo(page->GetBestSize());
    });
    SetPageSize(pageSize);
    for (auto* page : m_pages)
        GetPageAreaSizer()->Add(page);
}

int CMainSheet::RunModal()
{
    if (m_pages.empty())
        return 2;
    bool finished = RunWizard(m_pages.front());
    if (m_error)
        std::rethrow_exception(std::exchange(m_error, nullptr));
    return finished ? CMainRun::kFinish : 2;
}

void CMainSheet::Guarded(const std::function<void()>& action)
{
    if (m_error)
        return;
    try {
        action();
    } catch (...) {
        m_error = std::current_exception();
        // Before the modal loop runs (the first page), it ends as it starts.
        if (IsModal())
            EndModal(wxID_CANCEL);
        else
            CallAfter([this] {
                if (IsModal())
                    EndModal(wxID_CANCEL);
            });
    }
}

std::size_t CMainSheet::GetActiveIndex() const
{
    for (std::size_t i = 0; i < m_pages.size(); ++i)
        if (m_pages[i] == GetCurrentPage())
            return i;
    return 0;
}

void CMainSheet::SetSheetTitle(const std::string& title) { SetTitle(U(title)); }

void CMainSheet::SetButtonTexts()
{
    bool last = !m_pages.empty() && GetActiveIndex() + 1 == m_pages.size();
    if (auto* back = FindWindow(wxID_BACKWARD))
        back->SetLabel(Text(m_host.Context(), res::IDS_BACK));
    if (auto* next = FindWindow(wxID_FORWARD))
        next->SetLabel(Text(m_host.Context(), last ? res::IDS_FINISH : res::IDS_NEXT));
    if (auto* cancel = FindWindow(wxID_CANCEL))
        cancel->SetLabel(Text(m_host.Context(), res::IDS_CANCEL));
    if (auto* help = FindWindow(wxID_HELP))
        help->SetLabel(Text(m_host.Context(), res::IDS_HELP));
    Layout();
}

void CMainSheet::UpdateButtons()
{
    if (m_pages.empty())
        return;
    std::size_t index = GetActiveIndex();
    SheetButtons buttons = SheetButtonsFor(index, m_pages.size(), m_pages[index]->GetPage().GetStep());
    if (auto* back = FindWindow(wxID_BACKWARD))
        back->Enable(buttons.back);
    if (auto* next = FindWindow(wxID_FORWARD))
        next->Enable(buttons.next || buttons.finish);
    if (auto* help = FindWindow(wxID_HELP))
        help->Enable(buttons.help);
}

void CMainSheet::SetWizardButtons(bool back, bool next)
{
    if (auto* b = FindWindow(wxID_BACKWARD))
        b->Enable(back);
    if (auto* n = FindWindow(wxID_FORWARD))
        n->Enable(next);
}

void CMainSheet::OpenHelp()
{
    CWizardPage* page = m_pages.empty() ? nullptr : m_pages[GetActiveIndex()];
    OpenStepHelp(m_host.Context(), m_owner, page ? &page->GetPage().GetStep() : nullptr);
}

void CMainSheet::OnPageShown(wxWizardEvent& event)
{
    Guarded([&] {
        if (auto* page = dynamic_cast<CWizardPage*>(event.GetPage()))
            page->Activate();
    });
    if (m_onPageShown && !m_error)
        m_onPageShown(GetActiveIndex());
    event.Skip();
}

void CMainSheet::OnPageChanging(wxWizardEvent& event)
{
    auto* page = dynamic_cast<CWizardPage*>(event.GetPage());
    if (!page)
        return;
    bool stays = true;
    Guarded([&] {
        if (event.GetDirection() && !page->GetPage().OnWizardNext())
            return;
        page->GetPage().OnKillActive();
        stays = false;
    });
    if (stays)
        event.Veto();
}

void CMainSheet::OnCancel(wxWizardEvent& event)
{
    if (m_error)
        return;
    bool stays = true;
    Guarded([&] { stays = !ConfirmSheetCancel(m_host.Context(), m_owner); });
    if (stays && !m_error)
        event.Veto();
}

std::optional<int> RunMainSheet(wxWindow* parent, CMainRun& run)
{
    CWxWizardHost host(run);
    auto* sheet = new CMainSheet(parent, host);
    host.SetParent(sheet);
    sheet->AddSteps(run.GetInstallData());
    int end = 2;
    try {
        end = sheet->RunModal();
    } catch (...) {
        sheet->Destroy();
        throw;
    }
    sheet->Destroy();
    return end;
}

} // namespace dorvik
