#include "editor/pages/core/statepages.h"

#include "editor/app/core/editorprompt.h"

#include <string>

namespace tarnwick {

using D = CDocStatePPDocumentModel;

const char* const CDocStatePPDocumentModel::kTaxWarning =
    "Опция \"Налог входит в цену товара\"\nимеет смысл только при отмеченной опции\n\"Включать налоги в документ\"";

CDocStatePPDocumentModel::CDocStatePPDocumentModel(CAWFDocumentType* element, int grp, int type, int readOnly)
    : m_pElement(element), m_nGrp(grp), m_nType(type), m_nReadOnly(readOnly)
{
    Control(IDC_DOCTYPE).sorted = true;
    ControlState& defState = Control(IDC_DEFSTATE);
    defState.sorted = true;
    defState.shown = false;
    defState.enabled = false;
    const std::int32_t options = element ? element->DocTypeOptions : 0;
    for (int bit = 0; bit < 9; ++bit)
        if (kOptionBoxes[bit] != IDC_TAXES && kOptionBoxes[bit] != IDC_TAX_IN_PRICE)
            Check(kOptionBoxes[bit], (options >> bit) & 1);
}

void CDocStatePPDocumentModel::Init()
{
    if (m_nGrp != -1 && m_nType != -1) {
        Enable(IDC_DOCTYPE, false);
        ControlItems types(Control(IDC_DOCTYPE));
        FillComboFromSQL(types,
                         "SELECT t.TypeDoc, t.NameDoc FROM ProdDocType t WHERE t.Grp = " + std::to_string(m_nGrp) +
                             " AND t.Type = " + std::to_string(m_nType),
                         "NameDoc", "TypeDoc", -1);
        ControlItems states(Control(IDC_DEFSTATE));
        FillComboFromSQL(states, "SELECT s.State, s.NameState FROM ProdDocState s WHERE s.Grp = " + std::to_string(m_nGrp),
                         "NameState", "State", -1);
    } else if (m_pElement) {
        Control(IDC_DOCTYPE).text = m_pElement->NameDoc;
    }
    if (m_pElement) {
        Control(IDC_DOCTYPE).SelectData(m_pElement->TypeDoc);
        Control(IDC_DEFSTATE).SelectData(m_pElement->defState);
        Check(IDC_TAXES, (m_pElement->DocTypeOptions & 0x40) != 0);
        Check(IDC_TAX_IN_PRICE, (m_pElement->DocTypeOptions & 0x80) != 0);
    }
    if (m_nReadOnly)
        for (int id : kOptionBoxes)
            Enable(id, false);
}

void CDocStatePPDocumentModel::OnCommand(int id)
{
    // The tax can be in the price only while taxes are in the document.
    if (id == IDC_TAXES && Checked(IDC_TAX_IN_PRICE) && !Checked(IDC_TAXES)) {
        Check(IDC_TAXES, true);
        Prompt().Message(kTaxWarning, {}, MessageIcon::Warning);
        return;
    }
    if (id == IDC_TAX_IN_PRICE && Checked(IDC_TAX_IN_PRICE) && !Checked(IDC_TAXES)) {
        Check(IDC_TAX_IN_PRICE, false);
        Prompt().Message(kTaxWarning, {}, MessageIcon::Warning);
        return;
    }
    SetModified();
}

bool CDocStatePPDocumentModel::Apply()
{
    if (!m_pElement)
        return true;
    const std::int32_t options = m_pElement->DocTypeOptions;
    const std::int16_t defState = m_pElement->defState;
    m_pElement->DocTypeOptions = 0;
    for (int bit = 0; bit < 9; ++bit)
        if (Checked(kOptionBoxes[bit]))
            m_pElement->DocTypeOptions |= 1 << bit;
    if (Control(IDC_DEFSTATE).HasSelection())
        m_pElement->defState = static_cast<std::int16_t>(Control(IDC_DEFSTATE).SelectedData(defState));
    ChangedElement = options != m_pElement->DocTypeOptions || defState != m_pElement->defState;
    return true;
}

CDocStatePPModel::CDocStatePPModel(CAWFState* state, CODViewport* viewport, int grp, int type)
    : m_pState(state), m_pViewport(viewport), m_nGrp(grp), m_nType(type)
{
    Control(IDC_STATE).sorted = true;
    if (state) {
        Check(IDC_NEW_DOCUMENT, state->GenNewOperate != 0);
        Check(IDC_WHOLE_SUM, state->isHoleProcess != 0);
        Check(IDC_PREV_WHOLE, state->isPrevStateHole != 0);
        Check(IDC_TAKE_PREV, state->isTakePrevState != 0);
    }
}

void CDocStatePPModel::Init()
{
    if (m_nGrp != -1 && m_nType != -1) {
        Enable(IDC_STATE, false);
        ControlItems states(Control(IDC_STATE));
        FillComboFromSQL(states, "SELECT s.State, s.NameState FROM ProdDocState s WHERE s.Grp = " + std::to_string(m_nGrp),
                         "NameState", "State", -1);
    } else if (m_pState) {
        Control(IDC_STATE).text = m_pState->GetDocStateText();
    }
    if (m_pState)
        Control(IDC_STATE).SelectData(m_pState->State);
}

void CDocStatePPModel::OnCommand(int)
{
    SetModified();
}

bool CDocStatePPModel::Apply()
{
    if (!m_pState)
        return true;
    const std::int32_t values[4] = {Checked(IDC_NEW_DOCUMENT), Checked(IDC_WHOLE_SUM), Checked(IDC_PREV_WHOLE),
                                    Checked(IDC_TAKE_PREV)};
    std::int32_t* fields[4] = {&m_pState->GenNewOperate, &m_pState->isHoleProcess, &m_pState->isPrevStateHole,
                               &m_pState->isTakePrevState};
    if (values[0] != m_pState->GenNewOperate)
        m_pState->AdjustShape(values[0] != 0, m_pViewport);
    ChangedElement = false;
    for (int i = 0; i < 4; ++i) {
        ChangedElement = ChangedElement || *fields[i] != values[i];
        *fields[i] = values[i];
    }
    return true;
}

namespace {

struct AccessBit {
    int box;
    std::int32_t CAWFState::*field;
    std::int32_t bit;
};

constexpr AccessBit kAccessBits[] = {
    {CDocStatePPAccessModel::IDC_DOC_CHANGE, &CAWFState::DataAction, 1},
    {CDocStatePPAccessModel::IDC_DOC_DELETE, &CAWFState::DataAction, 2},
    {CDocStatePPAccessModel::IDC_ROW_ADD, &CAWFState::DataActionI, 1},
    {CDocStatePPAccessModel::IDC_ROW_CHANGE, &CAWFState::DataActionI, 2},
    {CDocStatePPAccessModel::IDC_ROW_DELETE, &CAWFState::DataActionI, 4},
};

} // namespace

CDocStatePPAccessModel::CDocStatePPAccessModel(CAWFState* state) : m_pState(state)
{
    Control(IDC_PARENT).sorted = true;
}

void CDocStatePPAccessModel::Init()
{
    if (!m_pState)
        return;
    for (const AccessBit& b : kAccessBits)
        Check(b.box, (m_pState->*b.field & b.bit) != 0);
    ControlItems parents(Control(IDC_PARENT));
    FillComboFromSQL(parents,
                     "SELECT p.NameState, m.idState FROM ProdDocState p, MainDocState m WHERE p.Grp = m.Grp AND "
                     "p.State = m.State AND m.TypeDoc = " + std::to_string(m_pState->GetTypeDoc()),
                     "NameState", "idState", -1);
    Control(IDC_PARENT).SelectData(m_pState->idParentState);
}

void CDocStatePPAccessModel::OnCommand(int id)
{
    if (id == IDC_CLEAR_PARENT)
        Control(IDC_PARENT).selection = -1;
    SetModified();
}

bool CDocStatePPAccessModel::Apply()
{
    if (!m_pState)
        return true;
    const std::int32_t before[3] = {m_pState->DataAction, m_pState->DataActionI, m_pState->idParentState};
    m_pState->DataAction = 0;
    m_pState->DataActionI = 0;
    for (const AccessBit& b : kAccessBits)
        if (Checked(b.box))
            m_pState->*b.field |= b.bit;
    m_pState->idParentState = Control(IDC_PARENT).SelectedData(0);
    ChangedElement = before[0] != m_pState->DataAction || before[1] != m_pState->DataActionI ||
                     before[2] != m_pState->idParentState;
    return true;
}

} // namespace tarnwick
