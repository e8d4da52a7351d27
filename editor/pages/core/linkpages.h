// The three pages of a selected document move: the move's options and the
// document it creates, the actions attached to it, and its condition script.
#pragma once

#include "editor/pages/core/pagemodel.h"

#include "charts/elements/awfelements.h"

#include <functional>
#include <string>
#include <vector>

class CODViewport;

namespace tarnwick {

class CDocLinkPPModel : public CPageModel {
public:
    enum : int {
        IDC_PARTIAL = 1012, IDC_CONCURRENT = 1013, IDC_HIDE_RESULT = 1058, IDC_LINK_DOCUMENT = 1059,
        IDC_COMPONENTS_ONLY = 1060, IDC_TAKE_REST = 1061, IDC_FULL_KIT = 1063, IDC_NO_PAYMENT = 1005,
        IDC_NO_TAX_RECALC = 1006, IDC_CHANGE_BASE = 1007, IDC_USE_TEMPLATE = 1073,
        IDC_FROM_STATE = 1034, IDC_TO_STATE = 1029, IDC_PROCESS = 1016, IDC_NEW_DOCTYPE = 1037,
        IDC_NEW_STATE = 1056, IDC_TEMPLATE = 1057, IDC_MOVE_NUMBER = 1044,
    };
    // The boxes of the option bits, bit 0 first.
    static constexpr int kOptionBoxes[8] = {IDC_HIDE_RESULT, IDC_LINK_DOCUMENT, IDC_COMPONENTS_ONLY, IDC_TAKE_REST,
                                            IDC_FULL_KIT,    IDC_NO_PAYMENT,    IDC_NO_TAX_RECALC,   IDC_CHANGE_BASE};
    static const char* const kNoEnds;
    static const char* const kPartialWithComponents;
    static const char* const kPartialWithKits;

    CDocLinkPPModel(CAWFLink* link, CODViewport* viewport, int grp, int type);
    void Init() override;
    void OnCommand(int id) override;
    bool Apply() override;

    std::int32_t NewTypeDoc() const { return m_nNewTypeDoc; }
    std::int32_t CheckTypeDoc() const { return m_nCheckTypeDoc; }
    std::int32_t IdMove() const { return m_nIdMove; }

private:
    void FillNewDocStates();
    void LoadTemplates();
    void OnLinkDocument();
    void OnUseTemplate();
    void OnProcess();
    void OnNewDocType();

    CAWFLink* m_pLink;
    CODViewport* m_pViewport;
    int m_nGrp, m_nType;
    CAWFState* m_pTo = nullptr;
    std::int32_t m_nNewTypeDoc = 0;
    std::int32_t m_nCheckTypeDoc = 0;
    std::int32_t m_nProcess = -1;
    std::int32_t m_nIdMove = 0;
    std::string m_strTemplateName;
};

class CDocLinkPPActionModel : public CPageModel {
public:
    enum : int { IDC_ACTIONS = 1035, IDC_ADD = 1036, IDC_PROPERTIES = 1038, IDC_DELETE = 1037 };
    // Runs the property sheet of one action; IDOK or IDCANCEL.
    using RunSheet = std::function<int(CAWFAction*)>;

    CDocLinkPPActionModel(CAWFLink* link, CODViewport* viewport, int grp);
    void Init() override { FillList(); }
    void OnCommand(int id) override;

    void SetRunSheet(RunSheet run) { m_runSheet = std::move(run); }
    CODViewport* GetViewport() const { return m_pViewport; }
    // The action of list item i, or null.
    CAWFAction* ActionAt(int i) const;

private:
    void FillList();

    CAWFLink* m_pLink;
    CODViewport* m_pViewport;
    int m_nGrp;
    std::vector<CAWFAction*> m_actions;
    RunSheet m_runSheet;
};

class CDocLinkPPScriptModel : public CPageModel {
public:
    enum : int { IDC_SCRIPT = 1065 };
    explicit CDocLinkPPScriptModel(CAWFLink* link);
    void OnCommand(int) override { SetModified(); }
    bool Apply() override;

private:
    CAWFLink* m_pLink;
};

// An action label's first line: cut before the first carriage return or line feed.
std::string FirstLine(const std::string& label);
// Whether a table name from the catalogue may be put into SQL as it stands.
bool IsPlainTableName(const std::string& name);

} // namespace tarnwick
