#include "editor/pages/core/linkpages.h"

#include "editor/app/core/editorprompt.h"

#include "winapi/text.h"

#include <cctype>
#include <tuple>

namespace tarnwick {

using namespace ado;

using L = CDocLinkPPModel;

const char* const CDocLinkPPModel::kNoEnds = "Перемещение документа не имеет\nисточника или приемника!";
const char* const CDocLinkPPModel::kPartialWithComponents =
    "Частичную отработку и отработку только комплектующих\nнельзя производить одновременно!";
const char* const CDocLinkPPModel::kPartialWithKits =
    "Частичную отработку и действия\nпо сборке-разборке комплекта\nнельзя производить одновременно!";

namespace {

const char* const kNoTemplates = "Процесс не поддерживает работу с шаблонами документов!";
// Actions of a state that build or take apart kits.
constexpr std::int32_t kKitActions = 0x100 | 0x400 | 0x10000 | 0x20000;

std::string Num(std::int32_t n)
{
    return std::to_string(n);
}

} // namespace

std::string FirstLine(const std::string& label)
{
    return label.substr(0, label.find_first_of("\r\n"));
}

bool IsPlainTableName(const std::string& name)
{
    if (name.empty())
        return false;
    for (unsigned char c : name)
        if (!std::isalnum(c) && c != '_')
            return false;
    return true;
}

CDocLinkPPModel::CDocLinkPPModel(CAWFLink* link, CODViewport* viewport, int grp, int type)
    : m_pLink(link), m_pViewport(viewport), m_nGrp(grp), m_nType(type)
{
    for (int id : {IDC_PROCESS, IDC_NEW_DOCTYPE, IDC_NEW_STATE, IDC_TEMPLATE, IDC_FROM_STATE, IDC_TO_STATE})
        Control(id).sorted = true;
    Enable(IDC_FROM_STATE, false);
    Enable(IDC_TO_STATE, false);
    Control(IDC_MOVE_NUMBER).showsValue = true;
    if (!link)
        return;
    Check(IDC_PARTIAL, link->isPartialProc != 0);
    Check(IDC_CONCURRENT, link->isConcurrent != 0);
    for (int bit = 0; bit < 8; ++bit)
        Check(kOptionBoxes[bit], (link->MoveOptions >> bit) & 1);
}

void CDocLinkPPModel::Init()
{
    CAWFState* from = m_pLink ? m_pLink->GetFromState() : nullptr;
    m_pTo = m_pLink ? m_pLink->GetToState() : nullptr;
    if (!from || !m_pTo) {
        Prompt().Message(kNoEnds, {}, MessageIcon::Error);
        EndRequested = true;
        return;
    }
    m_nNewTypeDoc = m_pLink->NewTypeDoc;
    if (ApplicationConnection()) {
        try {
            m_nProcess = -1;
            if (_RecordsetPtr rs = OpenAppReader("select Type from ProdDocType where TypeDoc=" + Num(m_nNewTypeDoc));
                rs && !rs->IsEOF())
                m_nProcess = GetFieldValueShort(rs, "Type", -1).ToShort();
            _RecordsetPtr rs = OpenAppReader("select idMove from MainDocMove where TypeDoc=" + Num(from->GetTypeDoc()) +
                                             " and State=" + Num(from->State) + " and NewState=" + Num(m_pTo->State) +
                                             " and Type=" + Num(m_nType) + " and Grp=" + Num(m_nGrp));
            if (rs && !rs->IsEOF()) {
                m_nIdMove = GetFieldValueLong(rs, "idMove", 0).ToLong();
                Control(IDC_MOVE_NUMBER).text = Num(m_nIdMove);
            }
        } catch (const _com_error& e) {
            ShowComError(e);
        }
    }
    const bool createsDocument = m_pTo->GenNewOperate != 0;
    if (createsDocument) {
        m_nCheckTypeDoc = m_pLink->NewTypeDoc;
    } else {
        for (int id : {IDC_NEW_STATE, IDC_TEMPLATE, IDC_PROCESS, IDC_NEW_DOCTYPE})
            Enable(id, false);
        m_nCheckTypeDoc = 0;
    }
    Control(IDC_FROM_STATE).text = from->GetDocStateText();
    Control(IDC_TO_STATE).text = m_pTo->GetDocStateText();
    m_strTemplateName = m_pLink->name_template;
    Check(IDC_USE_TEMPLATE, !m_strTemplateName.empty());
    FillNewDocStates();
    if (!createsDocument) {
        Enable(IDC_LINK_DOCUMENT, false);
        Enable(IDC_USE_TEMPLATE, false);
    }
    OnLinkDocument();
    OnUseTemplate();
    ControlItems processes(Control(IDC_PROCESS));
    FillComboFromSQL(processes, "select Type, NameOperate from MainTypeOperate", "NameOperate", "Type", m_nProcess);
    ControlItems types(Control(IDC_NEW_DOCTYPE));
    FillComboFromSQL(types, "select NameDoc as DocName, TypeDoc from ProdDocType where type = " + Num(m_nProcess),
                     "DocName", "TypeDoc", m_nNewTypeDoc);
}

void CDocLinkPPModel::FillNewDocStates()
{
    ControlItems states(Control(IDC_NEW_STATE));
    FillComboFromSQL(states,
                     "SELECT p.State, p.NameState FROM ProdDocState p, MainDocState m WHERE p.Grp = m.Grp AND "
                     "p.State = m.State AND m.TypeDoc = " + Num(m_nNewTypeDoc),
                     "NameState", "State", m_pLink->LinkState);
    if (Checked(IDC_USE_TEMPLATE))
        LoadTemplates();
}

void CDocLinkPPModel::LoadTemplates()
{
    std::string nameTable;
    std::string condition;
    try {
        _RecordsetPtr rs = OpenAppReader("SELECT t.Type, t.NameTable FROM ProdDocType t WHERE t.TypeDoc = " +
                                         Num(m_nNewTypeDoc));
        if (!rs || rs->IsEOF())
            return;
        nameTable = GetFieldValueString(rs, "NameTable", "").ToString();
        if (nameTable.empty())
            return;
        if (const std::int32_t type = GetFieldValueLong(rs, "Type", 0).ToLong(); type > 0)
            condition = " AND Type=" + Num(type);
    } catch (const _com_error& e) {
        ShowComError(e);
        return;
    }
    if (winapi::Utf8EqualNoCase(nameTable, "Operation_Document"))
        condition += " AND TypeTemplate=0";
    ControlState& templates = Control(IDC_TEMPLATE);
    BOOL filled = FALSE;
    ado::_ConnectionPtr connection = ApplicationConnection();
    // A name that is not a plain identifier is no template table.
    const bool missing =
        !IsPlainTableName(nameTable) ||
        (connection && !connection->GetDialect().ReportsMissingTables() &&
         !connection->TableExists(TemplateTableName(nameTable)));
    if (missing) {
        Prompt().Message(kNoTemplates, {}, MessageIcon::None);
    } else {
        ControlItems items(templates);
        filled = FillComboFromSQL(items, "SELECT name_template FROM " + TemplateTableName(nameTable) + " WHERE 1=1" +
                                             condition,
                                  "name_template", nullptr, -1);
    }
    if (!filled) {
        templates.enabled = false;
        templates.Clear();
        Check(IDC_USE_TEMPLATE, false);
        return;
    }
    templates.enabled = true;
    templates.selection = templates.GetCount() > 0 ? 0 : -1;
    if (const int at = templates.FindText(m_strTemplateName); at >= 0)
        templates.selection = at;
}

void CDocLinkPPModel::OnLinkDocument()
{
    if (!Control(IDC_LINK_DOCUMENT).enabled)
        Enable(IDC_TEMPLATE, false);
    else
        Enable(IDC_TEMPLATE, !Checked(IDC_LINK_DOCUMENT));
    if (m_pTo && m_pTo->GenNewOperate)
        Enable(IDC_NEW_STATE, Checked(IDC_LINK_DOCUMENT));
}

void CDocLinkPPModel::OnUseTemplate()
{
    // A disabled check box leaves the list disabled too.
    Enable(IDC_TEMPLATE, Checked(IDC_USE_TEMPLATE) && Control(IDC_USE_TEMPLATE).enabled);
    if (Checked(IDC_USE_TEMPLATE))
        LoadTemplates();
}

void CDocLinkPPModel::OnProcess()
{
    ControlItems types(Control(IDC_NEW_DOCTYPE));
    FillComboFromSQL(types,
                     "select case when FullNameDoc is null then NameDoc else FullNameDoc end as DocName, TypeDoc "
                     "from ProdDocType where type = " + Num(Control(IDC_PROCESS).SelectedData(-1)),
                     "DocName", "TypeDoc", -1);
    Control(IDC_NEW_DOCTYPE).selection = Control(IDC_NEW_DOCTYPE).GetCount() > 0 ? 0 : -1;
    OnNewDocType();
}

void CDocLinkPPModel::OnNewDocType()
{
    if (!m_pTo)
        return;
    m_nNewTypeDoc = Control(IDC_NEW_DOCTYPE).SelectedData(-1);
    SetModified();
    FillNewDocStates();
}

void CDocLinkPPModel::OnCommand(int id)
{
    switch (id) {
    case IDC_USE_TEMPLATE:
        OnUseTemplate();
        break;
    case IDC_LINK_DOCUMENT:
        OnLinkDocument();
        break;
    case IDC_PROCESS:
        OnProcess();
        break;
    case IDC_NEW_DOCTYPE:
        OnNewDocType();
        break;
    default:
        SetModified();
        break;
    }
}

bool CDocLinkPPModel::Apply()
{
    if (!m_pLink)
        return true;
    if (Checked(IDC_PARTIAL)) {
        if (Checked(IDC_COMPONENTS_ONLY)) {
            Prompt().Message(kPartialWithComponents, "Предупреждение", MessageIcon::None);
            return false;
        }
        try {
            _RecordsetPtr rs = OpenAppReader("SELECT Action FROM MainDocState WHERE TypeDoc = " + Num(m_nCheckTypeDoc) +
                                             " AND State = " + Num(m_pLink->LinkState));
            if (rs && !rs->IsEOF()) {
                const _variant_t action = rs->GetCollect("Action");
                if (action.vt != VT_NULL && (action.ToLong() & kKitActions)) {
                    Prompt().Message(kPartialWithKits, "Предупреждение", MessageIcon::None);
                    return false;
                }
            }
        } catch (const _com_error& e) {
            ShowComError(e);
        }
    }
    const auto values = [this] {
        return std::make_tuple(m_pLink->isPartialProc, m_pLink->isConcurrent, m_pLink->NewTypeDoc, m_pLink->LinkState,
                               m_pLink->MoveOptions, m_pLink->name_template);
    };
    const auto before = values();
    m_pLink->isPartialProc = Checked(IDC_PARTIAL);
    m_pLink->isConcurrent = Checked(IDC_CONCURRENT);
    if (m_nNewTypeDoc != -1)
        m_pLink->NewTypeDoc = m_nNewTypeDoc;
    m_pLink->LinkState = Control(IDC_NEW_STATE).SelectedData(-1);
    m_pLink->MoveOptions = 0;
    for (int bit = 0; bit < 8; ++bit)
        if (Checked(kOptionBoxes[bit]))
            m_pLink->MoveOptions |= 1 << bit;
    m_strTemplateName.clear();
    const ControlState& templates = Control(IDC_TEMPLATE);
    m_pLink->name_template = templates.HasSelection() && Checked(IDC_USE_TEMPLATE) ? templates.SelectedText() : "";
    if (m_pTo)
        m_pTo->UpdateDocTypeNames();
    ChangedElement = before != values();
    return true;
}

CDocLinkPPActionModel::CDocLinkPPActionModel(CAWFLink* link, CODViewport* viewport, int grp)
    : m_pLink(link), m_pViewport(viewport), m_nGrp(grp)
{
    Control(IDC_ACTIONS).sorted = true;
    Enable(IDC_PROPERTIES, false);
    Enable(IDC_DELETE, false);
}

CAWFAction* CDocLinkPPActionModel::ActionAt(int i) const
{
    const auto found = Controls().find(IDC_ACTIONS);
    if (found == Controls().end() || i < 0 || i >= found->second.GetCount())
        return nullptr;
    const auto index = static_cast<std::size_t>(found->second.data[static_cast<std::size_t>(i)]);
    return index < m_actions.size() ? m_actions[index] : nullptr;
}

void CDocLinkPPActionModel::FillList()
{
    ControlState& list = Control(IDC_ACTIONS);
    list.Clear();
    m_actions.clear();
    if (m_pLink) {
        CODComponentSet found;
        m_pLink->GetActions(found);
        ControlItems items(list);
        for (CODComponent* c : found)
            if (auto* action = dynamic_cast<CAWFAction*>(c)) {
                const int at = items.AddString(FirstLine(action->GetActionName()));
                items.SetItemData(at, static_cast<std::uint32_t>(m_actions.size()));
                m_actions.push_back(action);
            }
    }
    if (list.GetCount() > 0) {
        list.selection = 0;
        Enable(IDC_PROPERTIES, true);
    }
    Enable(IDC_DELETE, false);
    Enable(IDC_ADD, false);
}

void CDocLinkPPActionModel::OnCommand(int id)
{
    if (id == IDC_PROPERTIES) {
        CAWFAction* action = ActionAt(Control(IDC_ACTIONS).selection);
        if (action && m_runSheet && m_runSheet(action) == 1) {
            FillList();
            SetModified();
        }
        return;
    }
    SetModified();
}

CDocLinkPPScriptModel::CDocLinkPPScriptModel(CAWFLink* link) : m_pLink(link)
{
    Control(IDC_SCRIPT).text = link ? link->FormulaScript : std::string();
}

bool CDocLinkPPScriptModel::Apply()
{
    if (!m_pLink)
        return true;
    const std::string& text = Control(IDC_SCRIPT).text;
    ChangedElement = m_pLink->FormulaScript != text;
    m_pLink->FormulaScript = text;
    SetModified();
    return true;
}

} // namespace tarnwick
