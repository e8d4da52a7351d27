// The workflow chart's controller. The diagram library's controller does
// selection, dragging, link drawing, zoom and undo; this one adds the chart's
// own commands: inserting states, actions and links, properties, deleting,
// saving, reloading and checking the chart, what the chart shows, the way to
// other charts, and the picture of the drawing.
#pragma once

#include "diagram/odcontroller.h"

#include <cstdint>
#include <optional>
#include <string>

class CAWFState;
class CTarnwickModel;
class CBaseDiagramDoc;

// The chart commands (menu 129).
enum : int {
    ID_INSERT_STATE = 32773,
    ID_INSERT_EXTERNAL_STATE = 32774,
    ID_SHOW_ISOLATED_STATES = 32780,
    ID_INSERT_ACTION = 32785,
    ID_SHOW_ACTIONS = 32787,
    ID_SAVE_TO_DB = 32788,
    ID_RELOAD_CHART = 32792,
    ID_CHECK_CHART = 32793,
    ID_READ_ARCHIVE = 32801,
    ID_GO_TO_CHART = 32808,
    ID_SHOW_COMMENTS = 32809,
    ID_INSERT_COMMENTS = 32816,
    ID_SHOW_BACK_REFERENCES = 32817,
    ID_INSERT_CIRCLE_LINK = 32818,
    ID_SAVE_AS_PICTURE = 33801,
    ID_INSERT_LINK = 44538,
};

// Comments shown in every chart; not kept between runs.
extern std::uint8_t g_bShowComments;

class CTarnwickController : public CODController {
public:
    explicit CTarnwickController(CODViewport* viewport);

    CTarnwickModel* GetTarnwickModel() const;

    // A state with its labels, not yet on the chart. TypeDoc -1 asks for the
    // state when the chart has its operation; null when that was cancelled.
    CAWFState* CreateStateComponent(std::int32_t typeDoc, std::int32_t state, bool external);
    // Every new component's finishing step.
    void PrepareNewComponent(CODComponent* component);
    std::string GetNameDoc(std::int32_t typeDoc, std::int32_t grp = -1, std::int32_t type = -1);
    std::string GetNameState(std::int32_t state, std::int32_t grp = -1);
    std::string GetNameAction(std::int32_t action, std::int32_t grp = -1);

    // Whether a command is enabled and, for the commands with a check mark,
    // whether it is checked. False for the commands of the library.
    bool GetCommandState(int id, bool& enabled, std::optional<bool>& checked) const;

    // Commands of the menu.
    void OnInsertState();
    void OnInsertExternalState();
    void OnInsertAction();
    using CODController::OnInsertLink;
    void OnInsertLink();
    void OnInsertCircleLink();
    void OnProperties();
    void OnDefaultProperties();
    void OnDelete();
    // The document's save of its own chart: true only when it committed.
    bool OnSaveToDB();
    // The integrity check; true when no error was found.
    bool CheckChart(bool report);
    void OnCheck();
    void OnReload();
    void ReloadFromDB();
    void ReadArchive();
    void OnShowActions();
    void OnShowIsolatedStates();
    void OnShowComments();
    void OnInsertComments();
    void OnShowBackReferences();
    void OnGoToChart();
    void OnSaveAsPicture();
    // The selected state when it is the only selection and external.
    CAWFState* GetSelectedExternalState() const;
    // Writes the drawing as a JPEG file; false (after a message) when it cannot.
    bool ExportPicture(const std::string& path);

    // Overrides of the library's controller.
    wxMenu* BuildContextMenu() override;
    bool OnEditText(CODTextComponent* text, const CPoint& pt) override;
    void OnShowHandles(CODComponent*) override {}
    void OnLinkDrawEnd(std::uint32_t flags, const CPoint& pt) override;
    void OnLButtonDblClk(std::uint32_t flags, const CPoint& pt) override;
    CODCommand* MoveComponents(CODComponentSet* set, std::int32_t dx, std::int32_t dy) override;

    // The comment text of a component, null when it has none.
    static CODTextComponent* FindComment(CODComponent* component);

private:
    void OnCommand(wxCommandEvent& event);
    void OnUpdateCommand(wxUpdateUIEvent& event);
    // The document whose view shows this controller's viewport; null headless.
    CBaseDiagramDoc* FindDocument() const;
    // The reload's question on a modified chart: false when the reload must not go on.
    bool AskSaveBeforeRebuild();
    // Removes every component and document type, without questions.
    void EmptyChart();
    // After a reload or archive read: new components prepared, history gone.
    void FinishRebuild();
    void Redraw();

    wxDECLARE_EVENT_TABLE();
};
