// The controller: selection, the modes of the mouse (select and drag,
// insert a symbol, draw a link), and the command operations through which
// every edit reaches the model's history.
#pragma once

#include "diagram/odcommand.h"
#include "diagram/odviewport.h"

#include <string>
#include <vector>

#include <wx/event.h>

class wxMenu;
class wxTextCtrl;

// Mouse flags as the window messages carry them.
enum : std::uint32_t { OD_MK_LBUTTON = 0x0001, OD_MK_RBUTTON = 0x0002, OD_MK_SHIFT = 0x0004, OD_MK_CONTROL = 0x0008 };

// Controller states; 37 and 39 are the two link-drawing states.
enum : int {
    OD_STATE_IDLE = 0,
    OD_STATE_INSERT = 35,    // a new component follows the pointer
    OD_STATE_LINK_ARMED = 37,
    OD_STATE_LINK_DRAG = 39, // dragging a link from its start port
    OD_STATE_PRESSED = 41,   // pressed on the selection; a move starts a drag
    OD_STATE_DRAG = 42,
    OD_STATE_RUBBER = 43,
};

// While the button is down on the selection (state 41), a move that stays
// under 5 pixels from the press both ways is no drag yet. Window coordinates
// are signed: a captured pointer left of the window has x below 0.
constexpr bool ODIsSmallMove(int state, const CPoint& press, const CPoint& at)
{
    const std::int32_t dx = at.x - press.x, dy = at.y - press.y;
    return state == OD_STATE_PRESSED && dx > -5 && dx < 5 && dy > -5 && dy < 5;
}

// Command ids of the library.
enum : int {
    ID_OD_DEFAULT_PROPERTIES = 44511,
    ID_OD_PROPERTIES = 44546,
    ID_OD_EDIT_CLEAR = 57632,
    ID_OD_EDIT_COPY = 57634,
    ID_OD_EDIT_CUT = 57635,
    ID_OD_EDIT_PASTE = 57637,
    ID_OD_EDIT_SELECT_ALL = 57642,
    ID_OD_EDIT_UNDO = 57643,
    ID_OD_EDIT_REDO = 57644,
};

// Commands of the library's toolbars (their ids lie outside the program's).
enum : int {
    ID_OD_ALIGN_LEFT = 44601, ID_OD_ALIGN_CENTER, ID_OD_ALIGN_RIGHT, ID_OD_ALIGN_TOP, ID_OD_ALIGN_MIDDLE,
    ID_OD_ALIGN_BOTTOM,
    ID_OD_NUDGE_LEFT = 44611, ID_OD_NUDGE_RIGHT, ID_OD_NUDGE_UP, ID_OD_NUDGE_DOWN,
    ID_OD_SAME_WIDTH = 44621, ID_OD_SAME_HEIGHT, ID_OD_SAME_SIZE,
    ID_OD_ROTATE_LEFT = 44631, ID_OD_ROTATE_RIGHT,
    ID_OD_GROUP = 44641, ID_OD_UNGROUP, ID_OD_TO_FRONT, ID_OD_TO_BACK,
};

// The library's toolbars: resource id, title and commands in button order.
struct ODToolbarInfo {
    int id;
    const char* title;
    std::vector<int> commands;
};
const std::vector<ODToolbarInfo>& ODLibraryToolbars();

class MvcController : public wxEvtHandler {};

class CODController : public MvcController {
public:
    explicit CODController(CODViewport* viewport);
    ~CODController() override;

    CODViewport* GetViewport() const { return m_pViewport; }
    CODModel* GetModel() const { return m_pViewport ? m_pViewport->GetModel() : nullptr; }

    CODComponentSet& GetSelection();
    void Select(CODComponent* c, bool extend = false);
    void ClearSelection();

    CODComponent* GetInsertComponent() const { return m_pInsert; }
    // Holds a reference while pending; null releases it.
    void SetInsertComponent(CODComponent* c);
    int GetState() const { return m_nState; }
    void SetState(int state) { m_nState = state; }
    std::vector<CPoint>& GetVertexList() { return m_vertices; }
    CODPortComponent* GetStartPort() const { return m_pStartPort; }
    void SetStartPort(CODPortComponent* p) { m_pStartPort = p; }
    CODPortComponent* GetEndPort() const { return m_pEndPort; }
    void SetEndPort(CODPortComponent* p) { m_pEndPort = p; }
    void SetCursor(wxStockCursor cursor);
    // Where the button went down and where the pointer is now.
    CPoint GetPressPoint() const { return m_ptPress; }
    CPoint GetPointerPoint() const { return m_ptLast; }

    virtual void OnInsertSymbol(CODComponent* c);
    virtual void OnInsertLink(CODLinkComponent* link);
    virtual void OnInsertComponent(CODComponent* c, const CPoint& at, std::uint32_t flags);
    // Ends a click while a link is drawn: completes it through the link
    // command when the end port belongs to another component; over nothing
    // it adds a bend; over the start component it leaves the link pending.
    virtual void OnLinkDrawEnd(std::uint32_t flags, const CPoint& pt);
    virtual wxMenu* BuildContextMenu();
    // The two behaviours a derived controller may switch off.
    virtual bool OnEditText(CODTextComponent* text, const CPoint& pt);
    virtual void OnShowHandles(CODComponent* c) {}

    void PrepareComponent(CODComponent* c);
    void RegisterComponent(CODComponent* c);
    void CancelInsertion();

    // Input, in logical coordinates.
    virtual void OnLButtonDown(std::uint32_t flags, const CPoint& pt);
    virtual void OnLButtonUp(std::uint32_t flags, const CPoint& pt);
    virtual void OnMouseMove(std::uint32_t flags, const CPoint& pt);
    virtual void OnLButtonDblClk(std::uint32_t flags, const CPoint& pt);
    virtual void OnRButtonUp(std::uint32_t flags, const CPoint& pt);
    virtual bool OnKeyDown(int keyCode, std::uint32_t flags);
    virtual void OnCancelMode();
    // Runs one of the library's menu commands by id.
    bool ProcessCommand(int id);
    // The default-properties dialog; false when cancelled.
    virtual bool EditDefaultProperties(CODPropertySet& set);

    // The command operations, in the order of the table.
    virtual CODCommand* InsertComponents(CODComponentSet* set);                       // 1
    virtual CODCommand* InsertComponent(CODComponent* c);                             // 2
    virtual CODCommand* DeleteComponents(CODComponentSet* set);                       // 3
    virtual CODCommand* CutComponents(CODComponentSet* set);                          // 4
    virtual CODCommand* GroupComponents(CODComponentSet* set);                        // 5
    virtual CODCommand* LinkPorts(CODLinkComponent* link, CODPortComponent* start,
                                  CODPortComponent* end);                             // 6
    virtual CODCommand* LinkPorts(CODLinkComponent* link, const std::vector<CPoint>& vertices,
                                  CODPortComponent* start, CODPortComponent* end);    // 7
    virtual CODCommand* LinkVertices(const std::vector<CPoint>& vertices, CODPortComponent* start,
                                     CODPortComponent* end, std::int32_t v1, std::int32_t v2); // 8
    virtual CODCommand* AlignComponents(CODComponentSet* set, std::int32_t how);       // 9
    virtual CODCommand* MoveComponents(CODComponentSet* set, std::int32_t dx, std::int32_t dy); // 10
    virtual CODCommand* RotateComponents(CODComponentSet* set, std::int32_t angle);    // 11
    virtual CODCommand* ScaleComponents(CODComponentSet* set, std::int32_t cx, std::int32_t cy,
                                        std::int32_t anchor);                         // 12
    virtual CODCommand* MoveVertex(CODComponent* c, std::int32_t index, std::int32_t x, std::int32_t y); // 13
    virtual CODCommand* ShowComponent(CODComponent* c, std::int32_t visible);          // 14
    virtual CODCommand* InsertVertex(CODComponent* c, std::int32_t index, std::int32_t x, std::int32_t y); // 15
    virtual CODCommand* MoveHandle(CODComponent* c, std::int32_t x, std::int32_t y, std::int32_t handle); // 16
    virtual CODCommand* SetComponentText(CODComponentSet* set, const std::string& text); // 17
    virtual CODCommand* NudgeComponents(CODComponentSet* set, std::int32_t direction); // 18
    // The post-command step.
    virtual void OnCommandExecuted(CODCommand* cmd);
    // The object the cut command shares; null when there is none.
    virtual IODRefCount* GetSharedObject() { return nullptr; }

protected:
    void OnMenu(wxCommandEvent& event);
    void OnUpdateMenu(wxUpdateUIEvent& event);
    void OnToolbar(wxCommandEvent& event);
    void OnUpdateToolbar(wxUpdateUIEvent& event);
    void PruneSelection();
    void Invalidate();
    void EndTextEdit(bool commit);

    CODViewport* m_pViewport;
    CODComponentSet m_selection;
    CODComponent* m_pInsert = nullptr;
    int m_nState = OD_STATE_IDLE;
    std::vector<CPoint> m_vertices;
    CODPortComponent* m_pStartPort = nullptr;
    CODPortComponent* m_pEndPort = nullptr;
    CPoint m_ptPress;
    CPoint m_ptLast;
    wxTextCtrl* m_pEditor = nullptr;  // the in-place text editor while open
    CODTextComponent* m_pEditText = nullptr;

    wxDECLARE_EVENT_TABLE();
};
