#include "diagram/odcontroller.h"

#include "afx/cmdid.h"

#include <wx/menu.h>
#include <wx/textctrl.h>
#include <wx/textdlg.h>
#include <wx/numdlg.h>
#include <wx/window.h>

#include <algorithm>
#include <cstdlib>

wxBEGIN_EVENT_TABLE(CODController, wxEvtHandler)
    EVT_MENU(ToWxId(ID_OD_EDIT_CLEAR), CODController::OnMenu)
    EVT_MENU(ToWxId(ID_OD_EDIT_UNDO), CODController::OnMenu)
    EVT_MENU(ToWxId(ID_OD_EDIT_REDO), CODController::OnMenu)
    EVT_MENU(ToWxId(ID_OD_EDIT_SELECT_ALL), CODController::OnMenu)
    EVT_MENU(ToWxId(ID_OD_DEFAULT_PROPERTIES), CODController::OnMenu)
    EVT_MENU(ToWxId(ID_OD_EDIT_CUT), CODController::OnMenu)
    EVT_MENU(ToWxId(ID_OD_EDIT_COPY), CODController::OnMenu)
    EVT_MENU(ToWxId(ID_OD_EDIT_PASTE), CODController::OnMenu)
    EVT_UPDATE_UI(ToWxId(ID_OD_EDIT_CLEAR), CODController::OnUpdateMenu)
    EVT_UPDATE_UI(ToWxId(ID_OD_EDIT_UNDO), CODController::OnUpdateMenu)
    EVT_UPDATE_UI(ToWxId(ID_OD_EDIT_REDO), CODController::OnUpdateMenu)
    EVT_UPDATE_UI(ToWxId(ID_OD_EDIT_SELECT_ALL), CODController::OnUpdateMenu)
    EVT_UPDATE_UI(ToWxId(ID_OD_DEFAULT_PROPERTIES), CODController::OnUpdateMenu)
    EVT_UPDATE_UI(ToWxId(ID_OD_EDIT_CUT), CODController::OnUpdateMenu)
    EVT_UPDATE_UI(ToWxId(ID_OD_EDIT_COPY), CODController::OnUpdateMenu)
    EVT_UPDATE_UI(ToWxId(ID_OD_EDIT_PASTE), CODController::OnUpdateMenu)
    EVT_MENU_RANGE(ToWxId(ID_OD_ALIGN_LEFT), ToWxId(ID_OD_TO_BACK), CODController::OnToolbar)
    EVT_UPDATE_UI_RANGE(ToWxId(ID_OD_ALIGN_LEFT), ToWxId(ID_OD_TO_BACK), CODController::OnUpdateToolbar)
wxEND_EVENT_TABLE()

const std::vector<ODToolbarInfo>& ODLibraryToolbars()
{
    static const std::vector<ODToolbarInfo> bars = {
        {22053, "Размер", {ID_OD_SAME_WIDTH, ID_OD_SAME_HEIGHT, ID_OD_SAME_SIZE}},
        {22046, "Выравнивание",
         {ID_OD_ALIGN_LEFT, ID_OD_ALIGN_CENTER, ID_OD_ALIGN_RIGHT, ID_OD_ALIGN_TOP, ID_OD_ALIGN_MIDDLE,
          ID_OD_ALIGN_BOTTOM}},
        {22049, "Перемещение", {ID_OD_NUDGE_LEFT, ID_OD_NUDGE_RIGHT, ID_OD_NUDGE_UP, ID_OD_NUDGE_DOWN}},
        {22051, "Вращение", {ID_OD_ROTATE_LEFT, ID_OD_ROTATE_RIGHT}},
        {22052, "Структура", {ID_OD_GROUP, ID_OD_UNGROUP, ID_OD_TO_FRONT, ID_OD_TO_BACK}},
    };
    return bars;
}

CODController::CODController(CODViewport* viewport) : m_pViewport(viewport)
{
    if (m_pViewport) {
        m_pViewport->SetMeasurementUnits(4);
        m_pViewport->SetMeasures(CODMeasure(4, 1.0), CODMeasure(4, 1.0));
    }
}

CODController::~CODController()
{
    if (m_pEditor) {
        wxTextCtrl* editor = m_pEditor;
        CODTextComponent* text = m_pEditText;
        m_pEditor = nullptr;
        m_pEditText = nullptr;
        editor->Destroy();
        text->Release();
    }
    SetInsertComponent(nullptr);
}

void CODController::PruneSelection()
{
    CODModel* model = GetModel();
    for (int i = m_selection.GetSize() - 1; i >= 0; --i)
        if (!model || !model->Contains(m_selection.GetAt(i)))
            m_selection.RemoveAt(i);
}

CODComponentSet& CODController::GetSelection()
{
    PruneSelection();
    return m_selection;
}

void CODController::Select(CODComponent* c, bool extend)
{
    if (!extend)
        m_selection.RemoveAll();
    if (c && m_selection.IndexOf(c) < 0)
        m_selection.Add(c);
    Invalidate();
}

void CODController::ClearSelection()
{
    m_selection.RemoveAll();
    Invalidate();
}

void CODController::Invalidate()
{
    if (m_pViewport)
        m_pViewport->Redraw();
}

void CODController::SetInsertComponent(CODComponent* c)
{
    if (c)
        c->AddRef();
    if (m_pInsert)
        m_pInsert->Release();
    m_pInsert = c;
}

void CODController::SetCursor(wxStockCursor cursor)
{
    if (m_pViewport && m_pViewport->GetWnd())
        m_pViewport->GetWnd()->SetCursor(wxCursor(cursor));
}

void CODController::CancelInsertion()
{
    SetInsertComponent(nullptr);
    m_vertices.clear();
    m_pStartPort = m_pEndPort = nullptr;
    m_nState = OD_STATE_IDLE;
    SetCursor(wxCURSOR_ARROW);
    Invalidate();
}

void CODController::OnInsertSymbol(CODComponent* c)
{
    CancelInsertion();
    SetInsertComponent(c);
    m_nState = OD_STATE_INSERT;
    SetCursor(wxCURSOR_CROSS);
}

void CODController::OnInsertLink(CODLinkComponent* link)
{
    CancelInsertion();
    SetInsertComponent(link);
    m_nState = OD_STATE_LINK_ARMED;
    SetCursor(wxCURSOR_PENCIL);
}

void CODController::OnInsertComponent(CODComponent* c, const CPoint& at, std::uint32_t)
{
    if (!c)
        return;
    c->MoveTo(at.x, at.y);
    InsertComponent(c);
}

void CODController::OnLinkDrawEnd(std::uint32_t, const CPoint& pt)
{
    auto* link = dynamic_cast<CODLinkComponent*>(m_pInsert);
    if (!link || !m_pStartPort) {
        CancelInsertion();
        return;
    }
    CODPortComponent* end = m_pEndPort;
    CODComponent* startOwner = m_pStartPort->GetOwner() ? m_pStartPort->GetOwner()->GetTopLevel() : nullptr;
    if (!end) {
        // Released over nothing: the point becomes a bend, and a new last
        // point follows the pointer.
        m_vertices.push_back(pt);
        return;
    }
    CODComponent* endOwner = end->GetOwner() ? end->GetOwner()->GetTopLevel() : nullptr;
    if (end == m_pStartPort || endOwner == startOwner)
        return; // over the start: the link stays pending
    if (!m_vertices.empty())
        m_vertices.back() = end->GetLocation();
    link->AddRef();
    LinkPorts(link, m_vertices, m_pStartPort, end);
    CancelInsertion();
    link->Release();
}

wxMenu* CODController::BuildContextMenu()
{
    auto* menu = new wxMenu;
    menu->Append(ToWxId(ID_OD_EDIT_CUT), wxString::FromUTF8("Вырезать"));
    menu->Append(ToWxId(ID_OD_EDIT_COPY), wxString::FromUTF8("Копировать"));
    menu->Append(ToWxId(ID_OD_EDIT_PASTE), wxString::FromUTF8("Вставить"));
    menu->AppendSeparator();
    menu->Append(ToWxId(ID_OD_PROPERTIES), wxString::FromUTF8("Свойства..."));
    return menu;
}

bool CODController::OnEditText(CODTextComponent* text, const CPoint&)
{
    wxWindow* wnd = m_pViewport ? m_pViewport->GetWnd() : nullptr;
    if (!text || !wnd)
        return false;
    EndTextEdit(false);
    // An editor over the text itself; Ctrl+Enter or leaving it keeps the
    // text, Escape drops it.
    CRect r = m_pViewport->LogToDev(text->GetModelBounds());
    r.NormalizeRect();
    m_pEditText = text;
    text->AddRef();
    m_pEditor = new wxTextCtrl(wnd, wxID_ANY, wxString::FromUTF8(text->GetText()), wxPoint(r.left, r.top),
                               wxSize(std::max(r.Width(), 80), std::max(r.Height(), 24)),
                               wxTE_MULTILINE | wxTE_PROCESS_ENTER);
    m_pEditor->Bind(wxEVT_KEY_DOWN, [this](wxKeyEvent& e) {
        if (e.GetKeyCode() == WXK_ESCAPE)
            CallAfter([this] { EndTextEdit(false); });
        else if ((e.GetKeyCode() == WXK_RETURN || e.GetKeyCode() == WXK_NUMPAD_ENTER) && e.ControlDown())
            CallAfter([this] { EndTextEdit(true); });
        else
            e.Skip();
    });
    m_pEditor->Bind(wxEVT_DESTROY, [this, editor = m_pEditor](wxWindowDestroyEvent& e) {
        // Gone with its parent window: forget it without touching it.
        if (e.GetEventObject() == editor && m_pEditor == editor) {
            m_pEditor = nullptr;
            m_pEditText->Release();
            m_pEditText = nullptr;
        }
        e.Skip();
    });
    m_pEditor->Bind(wxEVT_KILL_FOCUS, [this](wxFocusEvent& e) {
        CallAfter([this] { EndTextEdit(true); });
        e.Skip();
    });
    m_pEditor->SetFocus();
    return true;
}

void CODController::EndTextEdit(bool commit)
{
    if (!m_pEditor)
        return;
    wxTextCtrl* editor = m_pEditor;
    CODTextComponent* text = m_pEditText;
    m_pEditor = nullptr;
    m_pEditText = nullptr;
    const std::string value = editor->GetValue().utf8_string();
    editor->Destroy();
    if (commit && value != text->GetText() && GetModel() && GetModel()->Contains(text->GetTopLevel())) {
        CODComponentSet set;
        set.Add(text);
        SetComponentText(&set, value);
    }
    text->Release();
}

void CODController::PrepareComponent(CODComponent* c)
{
    if (!c || !m_pViewport)
        return;
    CODPropertySet& defaults = m_pViewport->GetDefaultProperties();
    for (int i = 0; i < defaults.GetCount(); ++i)
        c->SetProperty(*defaults.GetAt(i));
}

void CODController::RegisterComponent(CODComponent* c)
{
    if (c)
        c->UpdateBounds(false);
}

void CODController::OnLButtonDown(std::uint32_t flags, const CPoint& pt)
{
    CODModel* model = GetModel();
    if (!model)
        return;
    m_ptPress = m_ptLast = pt;
    switch (m_nState) {
    case OD_STATE_INSERT: {
        CODComponent* c = m_pInsert;
        c->AddRef();
        OnInsertComponent(c, pt, flags);
        CancelInsertion();
        Select(c);
        c->Release();
        return;
    }
    case OD_STATE_LINK_ARMED:
        if (CODPortComponent* port = model->PortAt(pt)) {
            m_pStartPort = port;
            m_pEndPort = nullptr;
            m_vertices = {port->GetLocation(), pt};
            m_nState = OD_STATE_LINK_DRAG;
        }
        return;
    case OD_STATE_LINK_DRAG:
        return;
    default:
        break;
    }
    CODComponent* hit = model->ComponentAt(pt);
    PruneSelection();
    if (hit) {
        if (flags & OD_MK_CONTROL) {
            if (m_selection.IndexOf(hit) >= 0)
                m_selection.Remove(hit);
            else
                m_selection.Add(hit);
        } else if (m_selection.IndexOf(hit) < 0) {
            m_selection.RemoveAll();
            m_selection.Add(hit);
        }
        m_nState = OD_STATE_PRESSED;
    } else {
        if (!(flags & OD_MK_CONTROL))
            m_selection.RemoveAll();
        m_nState = OD_STATE_RUBBER;
    }
    Invalidate();
}

void CODController::OnMouseMove(std::uint32_t, const CPoint& pt)
{
    switch (m_nState) {
    case OD_STATE_PRESSED:
        if (pt != m_ptPress) {
            m_nState = OD_STATE_DRAG;
            // Components that are being dragged are not at rest.
            for (CODComponent* c : GetSelection())
                c->SetStateValue(1);
        }
        break;
    case OD_STATE_LINK_DRAG:
        if (!m_vertices.empty())
            m_vertices.back() = pt;
        break;
    default:
        break;
    }
    m_ptLast = pt;
    if (m_nState != OD_STATE_IDLE)
        Invalidate();
}

void CODController::OnLButtonUp(std::uint32_t flags, const CPoint& pt)
{
    CODModel* model = GetModel();
    if (!model)
        return;
    switch (m_nState) {
    case OD_STATE_LINK_DRAG:
        if (!m_vertices.empty())
            m_vertices.back() = pt;
        m_pEndPort = model->PortAt(pt);
        OnLinkDrawEnd(flags, pt);
        return;
    case OD_STATE_DRAG: {
        m_nState = OD_STATE_IDLE;
        const CSize d = pt - m_ptPress;
        PruneSelection();
        for (CODComponent* c : m_selection)
            c->SetStateValue(0);
        if ((d.cx || d.cy) && m_selection.GetSize() > 0) {
            CODComponentSet set = m_selection;
            MoveComponents(&set, d.cx, d.cy);
        }
        return;
    }
    case OD_STATE_RUBBER: {
        m_nState = OD_STATE_IDLE;
        CRect band(std::min(m_ptPress.x, pt.x), std::min(m_ptPress.y, pt.y), std::max(m_ptPress.x, pt.x),
                   std::max(m_ptPress.y, pt.y));
        if (!band.IsRectEmpty())
            for (CODComponent* c : *model->GetComponents()) {
                const CRect b = c->GetBounds();
                if (c->IsVisible() && b.left >= band.left && b.right <= band.right && b.top >= band.top &&
                    b.bottom <= band.bottom && m_selection.IndexOf(c) < 0)
                    m_selection.Add(c);
            }
        Invalidate();
        return;
    }
    case OD_STATE_PRESSED:
        m_nState = OD_STATE_IDLE;
        return;
    default:
        return;
    }
}

void CODController::OnLButtonDblClk(std::uint32_t flags, const CPoint& pt)
{
    CODModel* model = GetModel();
    if (!model || m_nState != OD_STATE_IDLE)
        return;
    CODComponent* hit = model->ComponentAt(pt);
    if (!hit)
        return;
    hit->AddRef();
    if (!hit->OnDoubleClick(flags, pt)) {
        // In-place editing of the text child under the pointer.
        for (int i = hit->GetChildCount() - 1; i >= 0; --i) {
            auto* t = dynamic_cast<CODTextComponent*>(hit->GetChild(i));
            if (t && t->IsVisible() && t->HitTest(pt, 0)) {
                OnEditText(t, pt);
                break;
            }
        }
    }
    hit->Release();
}

void CODController::OnRButtonUp(std::uint32_t, const CPoint& pt)
{
    wxWindow* wnd = m_pViewport ? m_pViewport->GetWnd() : nullptr;
    if (!wnd)
        return;
    if (CODModel* model = GetModel())
        if (CODComponent* hit = model->ComponentAt(pt); hit && m_selection.IndexOf(hit) < 0)
            Select(hit);
    wxMenu* menu = BuildContextMenu();
    const CPoint dev = m_pViewport->LogToDev(pt);
    // The choice comes back here, so the commands reach this controller.
    const int id = wnd->GetPopupMenuSelectionFromUser(*menu, wxPoint(dev.x, dev.y));
    delete menu;
    if (id != wxID_NONE)
        ProcessCommand(FromWxId(id));
}

bool CODController::OnKeyDown(int keyCode, std::uint32_t)
{
    if (keyCode == WXK_ESCAPE) {
        if (m_nState != OD_STATE_IDLE) {
            CancelInsertion();
            return true;
        }
        return false;
    }
    if (keyCode == WXK_DELETE && m_nState == OD_STATE_IDLE)
        return ProcessCommand(ID_OD_EDIT_CLEAR);
    return false;
}

void CODController::OnCancelMode()
{
    if (m_nState == OD_STATE_DRAG)
        for (CODComponent* c : GetSelection())
            c->SetStateValue(0);
    if (m_nState == OD_STATE_DRAG || m_nState == OD_STATE_PRESSED || m_nState == OD_STATE_RUBBER)
        m_nState = OD_STATE_IDLE;
}

bool CODController::ProcessCommand(int id)
{
    wxCommandEvent event(wxEVT_MENU, ToWxId(id));
    event.SetEventObject(this);
    return ProcessEvent(event);
}

bool CODController::EditDefaultProperties(CODPropertySet& set)
{
    wxWindow* wnd = m_pViewport ? m_pViewport->GetWnd() : nullptr;
    auto* font = dynamic_cast<CODFontProperty*>(set.Find(OD_PROP_FONT));
    if (!wnd || !font)
        return false;
    wxTextEntryDialog face(wnd, wxString::FromUTF8("Шрифт"), wxString::FromUTF8("Свойства по умолчанию"),
                           wxString::FromUTF8(font->m_strFace));
    if (face.ShowModal() != wxID_OK)
        return false;
    const long size = wxGetNumberFromUser(wxString(), wxString::FromUTF8("Размер"),
                                          wxString::FromUTF8("Свойства по умолчанию"), font->m_nPointSize, 1, 200, wnd);
    if (size < 0)
        return false;
    font->m_strFace = face.GetValue().utf8_string();
    font->m_nPointSize = static_cast<std::int32_t>(size);
    return true;
}

void CODController::OnMenu(wxCommandEvent& event)
{
    CODModel* model = GetModel();
    switch (FromWxId(event.GetId())) {
    case ID_OD_EDIT_CLEAR: {
        PruneSelection();
        if (m_selection.GetSize() == 0)
            return;
        CODComponentSet set = m_selection;
        DeleteComponents(&set);
        PruneSelection();
        return;
    }
    case ID_OD_EDIT_UNDO:
        if (model && model->Undo())
            m_pViewport->Redraw();
        return;
    case ID_OD_EDIT_REDO:
        if (model && model->Redo())
            m_pViewport->Redraw();
        return;
    case ID_OD_EDIT_SELECT_ALL:
        if (model) {
            m_selection.RemoveAll();
            for (CODComponent* c : *model->GetComponents())
                if (c->IsVisible())
                    m_selection.Add(c);
            Invalidate();
        }
        return;
    case ID_OD_DEFAULT_PROPERTIES:
        if (m_pViewport) {
            // The dialog works on a copy: cancel changes nothing.
            CODPropertySet copy = m_pViewport->GetDefaultProperties();
            if (EditDefaultProperties(copy))
                m_pViewport->GetDefaultProperties() = copy;
        }
        return;
    default:
        event.Skip();
        return;
    }
}

void CODController::OnUpdateMenu(wxUpdateUIEvent& event)
{
    CODModel* model = GetModel();
    switch (FromWxId(event.GetId())) {
    case ID_OD_EDIT_CLEAR:
        event.Enable(GetSelection().GetSize() > 0);
        break;
    case ID_OD_EDIT_UNDO:
        event.Enable(model && model->CanUndo());
        break;
    case ID_OD_EDIT_REDO:
        event.Enable(model && model->CanRedo());
        break;
    case ID_OD_EDIT_SELECT_ALL:
        event.Enable(model && model->GetComponentCount() > 0);
        break;
    case ID_OD_DEFAULT_PROPERTIES:
        event.Enable(m_pViewport != nullptr);
        break;
    default:
        // Cut, copy and paste are not built: present and greyed.
        event.Enable(false);
        break;
    }
}

void CODController::OnCommandExecuted(CODCommand*)
{
    PruneSelection();
    if (m_pViewport)
        m_pViewport->Redraw();
}

void CODController::OnToolbar(wxCommandEvent& event)
{
    const int id = FromWxId(event.GetId());
    CODComponentSet set = GetSelection();
    if (id >= ID_OD_ALIGN_LEFT && id <= ID_OD_ALIGN_BOTTOM) {
        if (set.GetSize() >= 2)
            AlignComponents(&set, id - ID_OD_ALIGN_LEFT);
    } else if (id >= ID_OD_NUDGE_LEFT && id <= ID_OD_NUDGE_DOWN) {
        if (set.GetSize() >= 1)
            NudgeComponents(&set, id - ID_OD_NUDGE_LEFT);
    }
    // Size, rotation and structure are not built; their buttons stay grey.
}

void CODController::OnUpdateToolbar(wxUpdateUIEvent& event)
{
    const int id = FromWxId(event.GetId());
    const int n = m_nState == OD_STATE_IDLE ? GetSelection().GetSize() : 0;
    if (id >= ID_OD_ALIGN_LEFT && id <= ID_OD_ALIGN_BOTTOM)
        event.Enable(n >= 2);
    else if (id >= ID_OD_NUDGE_LEFT && id <= ID_OD_NUDGE_DOWN)
        event.Enable(n >= 1);
    else
        event.Enable(false);
}
