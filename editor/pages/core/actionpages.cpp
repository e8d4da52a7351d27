#include "editor/pages/core/actionpages.h"

namespace tarnwick {

const char* const kActionKinds[2] = {"В конце перехода", "Перед созданием документа на основе"};

CDocActionPPModel::CDocActionPPModel(CAWFAction* action, int grp)
    : m_pAction(action), m_nGrp(grp), m_nOrder(action ? action->Order : 0)
{
    Control(IDC_ACTION).sorted = true;
    Control(IDC_ORDER).text = std::to_string(m_nOrder);
}

void CDocActionPPModel::Init()
{
    if (m_nGrp == -1 || !m_pAction)
        return;
    ControlItems actions(Control(IDC_ACTION));
    FillComboFromSQL(actions, "SELECT * FROM ProdDocAction", "NameAction", "Action", m_pAction->ActionId);
    BuildKinds(m_pAction->ActionId, m_pAction->TypeAction);
}

void CDocActionPPModel::BuildKinds(std::int32_t action, std::int32_t kind)
{
    ControlState& kinds = Control(IDC_KIND);
    kinds.Clear();
    if (action != kBeforeCreateOnly) {
        kinds.items.push_back(kActionKinds[0]);
        kinds.data.push_back(0);
        if (kind == 0)
            kinds.selection = 0;
    }
    kinds.items.push_back(kActionKinds[1]);
    kinds.data.push_back(1);
    if (kind == 1)
        kinds.selection = kinds.GetCount() - 1;
    if (action == kBeforeCreateOnly || kind == -1)
        kinds.selection = 0;
}

void CDocActionPPModel::OnCommand(int id)
{
    if (id == IDC_ACTION)
        BuildKinds(Control(IDC_ACTION).SelectedData(-1), Control(IDC_KIND).SelectedData(-1));
    SetModified();
}

bool CDocActionPPModel::Validate()
{
    return ReadInt(IDC_ORDER, 0, 255, m_nOrder);
}

bool CDocActionPPModel::Apply()
{
    const ControlState& actions = Control(IDC_ACTION);
    if (!m_pAction || actions.GetCount() == 0 || !actions.HasSelection())
        return true;
    const std::int32_t action = actions.SelectedData(-1);
    const std::int32_t kind = Control(IDC_KIND).SelectedData(-1);
    const std::string name = actions.SelectedText();
    ChangedElement = action != m_pAction->ActionId || kind != m_pAction->TypeAction || m_nOrder != m_pAction->Order ||
                     m_pAction->GetActionName() != name + m_pAction->OrderLabel;
    m_pAction->SetActionName(action, name, kind, static_cast<std::uint16_t>(m_nOrder));
    return true;
}

void CDocMessagePPModel::Init()
{
    ControlState& list = Control(IDC_MESSAGES);
    list.Clear();
    if (!m_pErrors)
        return;
    for (const std::string& message : *m_pErrors) {
        list.items.push_back(message);
        list.data.push_back(0);
    }
}

CActionSelectDlgModel::CActionSelectDlgModel()
{
    Control(IDC_ACTIONS).sorted = true;
    ControlState& kinds = Control(IDC_KIND);
    kinds.items = {kActionKinds[0], kActionKinds[1]};
    kinds.data = {0, 1};
    kinds.selection = 0;
    kinds.enabled = false;
    Enable(IDC_KIND_LABEL, false);
    Control(IDC_ORDER).text = "0";
    Enable(IDC_OK, false);
}

void CActionSelectDlgModel::Init()
{
    ControlItems actions(Control(IDC_ACTIONS));
    FillListBoxFromSQL(actions, "SELECT NameAction, Action FROM ProdDocAction", "NameAction", "Action", nullptr);
    if (Control(IDC_ACTIONS).GetCount() == 0)
        return;
    Control(IDC_ACTIONS).selection = 0;
    SelectedAction = Control(IDC_ACTIONS).SelectedData(-1);
    Enable(IDC_OK, true);
}

bool CActionSelectDlgModel::Apply()
{
    int order = 0;
    if (!ReadInt(IDC_ORDER, 0, 255, order))
        return false;
    Order = static_cast<std::int16_t>(order);
    KindIndex = Control(IDC_KIND).selection;
    const ControlState& actions = Control(IDC_ACTIONS);
    if (actions.HasSelection()) {
        SelectedName = actions.SelectedText();
        SelectedAction = actions.SelectedData(-1);
    }
    return true;
}

} // namespace tarnwick
