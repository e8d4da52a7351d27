#include "diagram/odpropsheet.h"

#include "diagram/odcommand.h"
#include "diagram/odmodel.h"
#include "diagram/odviewport.h"

#include <algorithm>

#include <wx/bookctrl.h>
#include <wx/button.h>
#include <wx/sizer.h>

const char* ODLoadString(int id)
{
    // Own wording.
    switch (id) {
    case OD_IDS_PROPERTIES_READONLY:
        return "Свойства (только просмотр)";
    case OD_IDS_PROPERTIES:
        return "Свойства";
    default:
        return "";
    }
}

CPropertyPage::CPropertyPage(const std::string& caption) : m_strCaption(caption) {}

CPropertyPage::~CPropertyPage() = default;

bool CPropertyPage::CreatePage(wxWindow* parent)
{
    return wxPanel::Create(parent, wxID_ANY);
}

bool CPropertyPage::OnInitDialog()
{
    TransferDataToWindow();
    return true;
}

bool CPropertyPage::OnSetActive()
{
    // The first activation has just moved the values to the controls.
    if (m_bFirstActive)
        m_bFirstActive = false;
    else
        TransferDataToWindow();
    return true;
}

bool CPropertyPage::OnKillActive()
{
    return Validate() && TransferDataFromWindow();
}

bool CPropertyPage::OnApply()
{
    OnOK();
    m_bModified = false;
    return true;
}

void CPropertyPage::SetModified(bool modified)
{
    m_bModified = modified;
    if (m_pSheet)
        m_pSheet->UpdateApplyButton();
}

void CPropertyPage::EndDialog(int result)
{
    if (m_pSheet)
        m_pSheet->EndSheet(result);
}

bool CPropertyPage::Activate()
{
    if (!m_bInitialized) {
        m_bInitialized = true;
        m_bFirstActive = true;
        OnInitDialog();
    }
    return OnSetActive();
}

CPropertySheet::CPropertySheet(const std::string& caption, wxWindow* parent, int initialPage)
    : m_nInitialPage(initialPage)
{
    Create(parent, wxID_ANY, wxString::FromUTF8(caption), wxDefaultPosition, wxDefaultSize,
           wxDEFAULT_DIALOG_STYLE | wxRESIZE_BORDER);
    CreateButtons(wxOK | wxCANCEL | wxAPPLY);
    if (wxWindow* cancel = FindWindow(wxID_CANCEL))
        cancel->SetLabel(wxString::FromUTF8("Отмена"));
    if (wxWindow* apply = FindWindow(wxID_APPLY)) {
        apply->SetLabel(wxString::FromUTF8("Применить"));
        apply->Disable();
    }
    GetBookCtrl()->Bind(wxEVT_BOOKCTRL_PAGE_CHANGING, &CPropertySheet::OnPageChanging, this);
    GetBookCtrl()->Bind(wxEVT_BOOKCTRL_PAGE_CHANGED, &CPropertySheet::OnPageChanged, this);
    Bind(wxEVT_BUTTON, &CPropertySheet::OnOkButton, this, wxID_OK);
    Bind(wxEVT_BUTTON, &CPropertySheet::OnCancelButton, this, wxID_CANCEL);
    Bind(wxEVT_BUTTON, &CPropertySheet::OnApplyButton, this, wxID_APPLY);
    Bind(wxEVT_CLOSE_WINDOW, &CPropertySheet::OnClose, this);
}

// The pages are windows of the sheet: wx destroys them with it.
CPropertySheet::~CPropertySheet() = default;

void CPropertySheet::AddPage(CPropertyPage* page)
{
    if (!page)
        return;
    page->m_pSheet = this;
    page->CreatePage(GetBookCtrl());
    if (page->GetCaption().empty())
        page->SetCaption(page->GetLabel().utf8_string());
    m_pages.push_back(page);
    GetBookCtrl()->AddPage(page, wxString::FromUTF8(page->GetCaption()), false);
}

CPropertyPage* CPropertySheet::GetPage(int i) const
{
    return i >= 0 && i < GetPageCount() ? m_pages[static_cast<std::size_t>(i)] : nullptr;
}

int CPropertySheet::GetActiveIndex() const
{
    return GetBookCtrl()->GetSelection();
}

bool CPropertySheet::SetActivePage(int index)
{
    CPropertyPage* page = GetPage(index);
    if (!page)
        return false;
    const int current = GetActiveIndex();
    if (current == index)
        return true;
    if (CPropertyPage* front = GetPage(current); front && front->IsInitialized() && !front->OnKillActive())
        return false;
    GetBookCtrl()->ChangeSelection(static_cast<std::size_t>(index));
    page->Activate();
    return true;
}

int CPropertySheet::DoModal()
{
    m_nEndResult = 0;
    if (!m_pages.empty()) {
        const int initial = std::clamp(m_nInitialPage, 0, GetPageCount() - 1);
        GetBookCtrl()->ChangeSelection(static_cast<std::size_t>(initial));
        m_pages[static_cast<std::size_t>(initial)]->Activate();
        if (m_nEndResult)
            return m_nEndResult == OD_IDOK ? OD_IDOK : OD_IDCANCEL;
    }
    LayoutDialog();
    m_bModal = true;
    const int result = ShowModal();
    m_bModal = false;
    return result == wxID_OK ? OD_IDOK : OD_IDCANCEL;
}

bool CPropertySheet::ApplyPages()
{
    if (CPropertyPage* front = GetActivePage(); front && front->IsInitialized() && !front->OnKillActive())
        return false;
    for (int i = 0; i < GetPageCount(); ++i) {
        CPropertyPage* page = m_pages[static_cast<std::size_t>(i)];
        if (!page->IsInitialized())
            continue;
        if (!page->OnApply()) {
            SetActivePage(i);
            return false;
        }
    }
    OnApplied();
    return true;
}

void CPropertySheet::UpdateApplyButton()
{
    wxWindow* apply = FindWindow(wxID_APPLY);
    if (!apply)
        return;
    apply->Enable(std::any_of(m_pages.begin(), m_pages.end(),
                              [](const CPropertyPage* page) { return page->IsModified(); }));
}

void CPropertySheet::EndSheet(int result)
{
    if (m_bModal && IsModal())
        EndModal(result == OD_IDOK ? wxID_OK : wxID_CANCEL);
    else
        m_nEndResult = result;
}

void CPropertySheet::OnPageChanging(wxBookCtrlEvent& event)
{
    CPropertyPage* front = GetPage(event.GetOldSelection());
    if (front && front->IsInitialized() && !front->OnKillActive())
        event.Veto();
}

void CPropertySheet::OnPageChanged(wxBookCtrlEvent& event)
{
    if (!m_bModal)
        return;
    if (CPropertyPage* page = GetPage(event.GetSelection()))
        page->Activate();
}

void CPropertySheet::OnOkButton(wxCommandEvent&)
{
    if (ApplyPages())
        EndSheet(OD_IDOK);
}

void CPropertySheet::OnApplyButton(wxCommandEvent&)
{
    ApplyPages();
    UpdateApplyButton();
}

void CPropertySheet::OnCancelButton(wxCommandEvent&)
{
    for (CPropertyPage* page : m_pages)
        if (page->IsInitialized())
            page->OnCancel();
    EndSheet(OD_IDCANCEL);
}

void CPropertySheet::OnClose(wxCloseEvent&)
{
    wxCommandEvent cancel(wxEVT_BUTTON, wxID_CANCEL);
    OnCancelButton(cancel);
}

CODCompPropSheet::CODCompPropSheet(const CODComponentSet& selection, CODViewport* viewport,
                                   const std::string& caption, std::uint32_t flags, wxWindow* parent,
                                   int initialPage)
    : CPropertySheet(caption, parent, initialPage), m_selection(selection), m_pViewport(viewport), m_nFlags(flags)
{
}

CODModel* CODCompPropSheet::GetModel() const
{
    if (m_pViewport && m_pViewport->GetModel())
        return m_pViewport->GetModel();
    for (CODComponent* c : m_selection)
        if (c && c->GetModel())
            return c->GetModel();
    return nullptr;
}

void CODCompPropSheet::OnApplied()
{
    m_bApplied = true;
    if (CODCommand* change = GetPendingChange())
        if (CODModel* model = GetModel())
            model->ExecuteCommand(change);
    NotifyTarget(m_selection, 2);
}

void CODCompPropSheet::NotifyTarget(CODComponentSet& selection, int code)
{
    CODModel* model = GetModel();
    if (!model || code != 2)
        return;
    for (CODComponent* c : selection)
        if (c && model->Contains(c))
            model->UpdateComponent(c);
}
