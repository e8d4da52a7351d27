#include "editor/frames/ui/childframe.h"

#include "editor/app/ui/uires.h"

#include "afx/cmdid.h"
#include "charts/views/deptview.h"
#include "resources/tarnwick/tarnwickstrings.h"

#include <wx/menu.h>
#include <wx/sizer.h>
#include <wx/utils.h>

namespace tarnwick {

namespace {
constexpr int AFX_IDW_PANE_FIRST = 0xE900;
}

CChildFrame::CChildFrame(wxDocument* doc, wxView* view, wxMDIParentFrame* parent)
    : wxDocMDIChildFrame(doc, view, parent, wxID_ANY, doc ? doc->GetUserReadableName() : wxString())
{
    const bool department = dynamic_cast<CADepartmentDoc*>(doc) != nullptr;
    if (wxMenuBar* bar = LoadMenuBarResource(department ? "IDR_DWFTYPE" : "IDR_TARNWICKTYPE")) {
        m_fileMenu = bar->GetMenu(0);
        if (doc && doc->GetDocumentManager()) {
            doc->GetDocumentManager()->FileHistoryUseMenu(m_fileMenu);
            doc->GetDocumentManager()->FileHistoryAddFilesToMenu(m_fileMenu);
        }
        SetMenuBar(bar);
    }
    Bind(wxEVT_ACTIVATE, &CChildFrame::OnActivate, this);
}

CChildFrame::~CChildFrame()
{
    if (m_fileMenu && GetDocument() && GetDocument()->GetDocumentManager())
        GetDocument()->GetDocumentManager()->FileHistoryRemoveMenu(m_fileMenu);
    // Once this window is gone the caption names the chart in front, or none.
    if (wxMDIParentFrame* parent = GetMDIParent(); parent && !parent->IsBeingDeleted())
        parent->CallAfter([parent] { ShowActiveChartInCaption(*parent); });
}

void CChildFrame::OnActivate(wxActivateEvent& event)
{
    if (event.GetActive())
        ShowInParentCaption();
    event.Skip();
}

namespace {

wxString mainCaption(const wxDocument* chart)
{
    const wxString title = wxString::FromUTF8(res::LoadString(res::IDS_APP_TITLE));
    return chart ? title + " - " + chart->GetUserReadableName() : title;
}

} // namespace

void CChildFrame::ShowInParentCaption()
{
    // On GTK the window's parent is the tab window, not the main frame.
    if (GetMDIParent() && GetDocument())
        GetMDIParent()->SetLabel(mainCaption(GetDocument()));
}

void CChildFrame::SetTitle(const wxString& title)
{
    wxDocMDIChildFrame::SetTitle(title);
    if (GetMDIParent() && GetMDIParent()->GetActiveChild() == this)
        ShowInParentCaption();
}

void ShowActiveChartInCaption(wxMDIParentFrame& frame)
{
    auto* chart = dynamic_cast<CChildFrame*>(frame.GetActiveChild());
    frame.SetLabel(mainCaption(chart ? chart->GetDocument() : nullptr));
}

CTreeDockingWnd::CTreeDockingWnd(wxWindow* parent, ITreeHost& host)
    : wxPanel(parent, wxID_ANY)
    , m_host(host)
{
    m_tabs = new wxNotebook(this, ToWxId(AFX_IDW_PANE_FIRST));
    auto* sizer = new wxBoxSizer(wxVERTICAL);
    sizer->Add(m_tabs, 1, wxEXPAND);
    SetSizer(sizer);
}

CTreeDockingWnd::~CTreeDockingWnd()
{
    // The tree tells this bar when it goes: let it go while the bar is whole.
    DestroyChildren();
}

bool CTreeDockingWnd::CreateTree(TreeClass treeClass)
{
    if (!m_pTree || m_pTree->GetTreeClass() != treeClass) {
        auto* tree = new CBaseTreeCtrl(treeClass, m_host);
        if (m_pTree) {
            // The old tree window belongs to the tab window: take it out and destroy it.
            CBaseTreeCtrl* old = m_pTree;
            m_pTree = nullptr;
            m_tabs->RemovePage(0);
            old->Destroy();
        }
        if (!tree->Create(m_tabs)) {
            delete tree;
            return false;
        }
        m_pTree = tree;
        tree->Bind(wxEVT_DESTROY, [this, tree](wxWindowDestroyEvent& event) {
            if (event.GetEventObject() == tree && m_pTree == tree)
                m_pTree = nullptr;
            event.Skip();
        });
        m_tabs->AddPage(tree, wxString::FromUTF8(tree->Logic().GetTreeTitle()));
        m_tabs->SetSelection(0);
    }
    wxBusyCursor wait;
    m_pTree->DeleteAllItems();
    return m_pTree->Logic().FillTree();
}

} // namespace tarnwick
