#include "editor/pages/ui/diagrampropsheet.h"

#include "editor/pages/core/pageplan.h"

#include "charts/documents/core/diagrammodel.h"
#include "charts/shell/core/chartshell.h"

#include <wx/button.h>
#include <wx/utils.h>
#include <wx/xrc/xmlres.h>

namespace tarnwick {

CDiagramPropSheet::CDiagramPropSheet(const CODComponentSet& selection, CODViewport* viewport,
                                     const std::string& caption, std::uint32_t flags, wxWindow* parent,
                                     int initialPage)
    : CODCompPropSheet(selection, viewport, caption, flags & ~0x9u, parent, initialPage)
{
}

void CDiagramPropSheet::AddPage(CPropertyPage* page)
{
    CODCompPropSheet::AddPage(page);
    Pages.Add(page);
}

bool CDiagramPropSheet::IsComponentKindOf(int i, const CRuntimeClass* cls) const
{
    CODComponent* c = GetComponent(i);
    return c && c->IsKindOf(cls);
}

void CDiagramPropSheet::OnApplied()
{
    CODCompPropSheet::OnApplied();
    bool changed = false;
    for (CPropertyPage* page : Pages)
        if (auto* shown = dynamic_cast<CModelPage*>(page); shown && shown->IsInitialized())
            changed = changed || shown->Model().ChangedElement;
    if (changed)
        if (CODModel* model = GetModel())
            model->SetModified(true);
}

void AddPagesForSelection(CDiagramPropSheet& sheet)
{
    int grp = -1, type = -1;
    if (auto* model = dynamic_cast<CTarnwickModel*>(sheet.GetModel())) {
        grp = model->GetGrp();
        type = model->GetType();
    }
    const PagePlan plan = PlanPages(sheet.GetSelection(), -1);
    for (const PlannedPage& p : plan.pages) {
        auto* state = dynamic_cast<CAWFState*>(p.element);
        switch (p.kind) {
        case PageKind::Document:
            sheet.AddPage(new CDocStatePPDocument(state->GetDocTypeElement(), grp, type, 0));
            break;
        case PageKind::State:
            sheet.AddPage(new CDocStatePP(state, sheet.GetViewport(), grp, type));
            break;
        case PageKind::Access:
            sheet.AddPage(new CDocStatePPAccess(state));
            break;
        case PageKind::Message:
            sheet.AddPage(new CDocMessagePP(&dynamic_cast<CAWFBase*>(p.element)->Errors));
            break;
        case PageKind::Action:
            sheet.AddPage(new CDocActionPP(static_cast<CAWFAction*>(p.element), grp));
            break;
        case PageKind::Move:
            sheet.AddPage(new CDocLinkPP(static_cast<CAWFLink*>(p.element), sheet.GetViewport(), grp, type));
            break;
        case PageKind::Actions:
            sheet.AddPage(new CDocLinkPPAction(static_cast<CAWFLink*>(p.element), sheet.GetViewport(), grp));
            break;
        case PageKind::Script:
            sheet.AddPage(new CDocLinkPPScript(static_cast<CAWFLink*>(p.element)));
            break;
        }
    }
    if (plan.initialPage != -1)
        sheet.SetInitialPage(plan.initialPage);
}

int RunPropSheet(CDiagramPropSheet& sheet)
{
    const int result = sheet.DoModal();
    return result == OD_IDOK || sheet.IsApplied() ? OD_IDOK : OD_IDCANCEL;
}

CDocStatePPDocument::CDocStatePPDocument(CAWFDocumentType* element, int grp, int type, int readOnly)
    : CModelPage(std::make_unique<CDocStatePPDocumentModel>(element, grp, type, readOnly), "IDD_STATE_DOCUMENT",
                 "Документ")
{
}

CDocStatePP::CDocStatePP(CAWFState* state, CODViewport* viewport, int grp, int type)
    : CModelPage(std::make_unique<CDocStatePPModel>(state, viewport, grp, type), "IDD_STATE", "Состояние")
{
}

CDocStatePPAccess::CDocStatePPAccess(CAWFState* state)
    : CModelPage(std::make_unique<CDocStatePPAccessModel>(state), "IDD_STATE_ACCESS", "Доступ")
{
}

CDocActionPP::CDocActionPP(CAWFAction* action, int grp)
    : CModelPage(std::make_unique<CDocActionPPModel>(action, grp), "IDD_ACTION", "Действие")
{
}

CDocMessagePP::CDocMessagePP(const std::vector<std::string>* errors)
    : CModelPage(std::make_unique<CDocMessagePPModel>(errors), "IDD_MESSAGES", "Сообщения")
{
}

CDocLinkPP::CDocLinkPP(CAWFLink* link, CODViewport* viewport, int grp, int type)
    : CModelPage(std::make_unique<CDocLinkPPModel>(link, viewport, grp, type), "IDD_LINK_MOVE", "Переход")
{
}

CDocLinkPPAction::CDocLinkPPAction(CAWFLink* link, CODViewport* viewport, int grp)
    : CModelPage(std::make_unique<CDocLinkPPActionModel>(link, viewport, grp), "IDD_LINK_ACTIONS", "Действия")
{
    static_cast<CDocLinkPPActionModel&>(Model()).SetRunSheet([this, viewport](CAWFAction* action) {
        CODComponentSet one;
        one.Add(action);
        CDiagramPropSheet sheet(one, viewport, ODLoadString(OD_IDS_PROPERTIES), 0xFFFFFFFFu, this);
        AddPagesForSelection(sheet);
        return RunPropSheet(sheet);
    });
}

bool CDocLinkPPAction::OnInitDialog()
{
    CModelPage::OnInitDialog();
    if (wxWindow* list = ControlWindow(CDocLinkPPActionModel::IDC_ACTIONS))
        list->SetFocus();
    return false;
}

CDocLinkPPScript::CDocLinkPPScript(CAWFLink* link)
    : CModelPage(std::make_unique<CDocLinkPPScriptModel>(link), "IDD_LINK_SCRIPT", "Условный переход")
{
}

CActionSelectDlg::CActionSelectDlg(wxWindow* parent)
{
    wxXmlResource::Get()->LoadDialog(this, parent, "IDD_ACTION_SELECT");
    Bind(wxEVT_BUTTON, &CActionSelectDlg::OnOk, this, wxID_OK);
    Bind(wxEVT_LISTBOX, &CActionSelectDlg::OnListChanged, this);
}

int CActionSelectDlg::DoModal()
{
    {
        wxBusyCursor wait;
        m_model.Init();
    }
    PushControls(m_model, *this);
    if (wxWindow* ok = FindWindow(wxID_OK))
        ok->Enable(m_model.Control(CActionSelectDlgModel::IDC_OK).enabled);
    if (wxWindow* list = FindWindow("IDC_" + std::to_string(CActionSelectDlgModel::IDC_ACTIONS)))
        list->SetFocus();
    return ShowModal() == wxID_OK ? IDOK : IDCANCEL;
}

void CActionSelectDlg::OnListChanged(wxCommandEvent& event)
{
    if (auto* w = dynamic_cast<wxWindow*>(event.GetEventObject()))
        if (int id = ControlIdOf(*w))
            PullControl(m_model, id, *w);
}

void CActionSelectDlg::OnOk(wxCommandEvent&)
{
    for (const auto& entry : m_model.Controls())
        if (wxWindow* w = FindWindow("IDC_" + std::to_string(entry.first)))
            PullControl(m_model, entry.first, *w);
    if (m_model.Apply())
        EndModal(wxID_OK);
}

} // namespace tarnwick
