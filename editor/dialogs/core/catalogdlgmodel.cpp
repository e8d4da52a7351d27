#include "editor/dialogs/core/catalogdlgmodel.h"

#include "resources/tarnwick/tarnwickstrings.h"

namespace tarnwick {

using namespace ado;

namespace {

// The groups whose processes may be an expense, an income or an internal move.
bool GroupAllowsKindChoice(std::int16_t grp)
{
    return grp == 92 || grp == 93 || grp == 104 || grp == 106;
}

} // namespace

CAddProcessDlgModel::CAddProcessDlgModel(std::int16_t grp, std::uint16_t type, const std::string& groupName,
                                         bool edit)
    : m_bKindChoice(GroupAllowsKindChoice(grp)), m_bEdit(edit), m_nGrp(grp), m_nType(type),
      m_strGroupName(groupName)
{
}

void CAddProcessDlgModel::OnInitDialog(IItemList& combo)
{
    combo.ResetContent();
    std::string sql = "select Type,Kind,NameGrp,NameOperate,NameTable,NameScript,Color,Code from ProdTypeOperate "
                      "where Grp=" + std::to_string(m_nGrp);
    if (m_bEdit)
        sql += " and Type=" + std::to_string(m_nType);
    try {
        _RecordsetPtr rs = OpenAppReader(sql);
        for (bool first = true; rs && !rs->IsEOF(); rs->MoveNext(), first = false) {
            const std::int32_t type = rs->GetCollect("Type").ToLong();
            const int index = combo.AddString(GetFieldValueString(rs, "NameOperate", "").ToString());
            combo.SetItemData(index, static_cast<std::uint32_t>(type));
            if (!first)
                continue;
            m_nBaseType = static_cast<std::int16_t>(type);
            m_nKind = GetFieldValueShort(rs, "Kind", 0).ToShort();
            if (m_bEdit) {
                m_strCode = GetFieldValueString(rs, "Code", "").ToString();
                m_strName = GetFieldValueString(rs, "NameOperate", "").ToString();
                m_bReadFromRow = true;
            }
        }
    } catch (const _com_error& e) {
        ShowComError(e);
    }
    if (combo.GetCount() > 0)
        combo.SetCurSel(0);
    OnEditChange(m_strCode, m_strName);
}

void CAddProcessDlgModel::OnEditChange(const std::string& code, const std::string& name)
{
    m_bOkEnabled = !code.empty() && !name.empty();
}

void CAddProcessDlgModel::OnOK(int selectedRadio, const std::string& code, const std::string& name)
{
    m_nMoveKind = selectedRadio == kIncome ? kIncome : selectedRadio == kInternal ? kInternal : kExpense;
    m_strCode = code;
    m_strName = name;
}

CAddStateModel::CAddStateModel(const char* text, unsigned mode)
    : m_nMode(static_cast<std::uint16_t>(mode)), m_strName(text ? text : ""), m_strFullName(text ? text : "")
{
}

void CAddStateModel::OnInitDialog()
{
    struct ModeRule {
        bool name, fullName;
        int limit;
    };
    static constexpr ModeRule kRules[] = {
        {true, false, 40}, {false, false, 40}, {true, true, 40},   {true, true, 40},   {false, false, 40},
        {true, false, 18}, {true, false, 18},  {false, false, 40}, {true, false, 40},
    };
    if (m_nMode >= 1 && m_nMode <= 9) {
        const ModeRule& rule = kRules[m_nMode - 1];
        m_strCaption = res::LoadString(res::IDS_ADD_STATE_MODE_BASE + m_nMode - 1);
        m_bNameEnabled = rule.name;
        m_bFullNameEnabled = rule.fullName;
        m_nNameLimit = rule.limit;
    } else {
        m_strCaption.clear();
        m_bNameEnabled = true;
        m_bFullNameEnabled = false;
        m_nNameLimit = 40;
    }
}

void CProdGroupSelectDlgModel::OnInitDialog(IItemList& list)
{
    list.ResetContent();
    try {
        _RecordsetPtr rs = OpenAppReader("SELECT * FROM ProdGroupOperate p WHERE NOT EXISTS(SELECT * FROM "
                                         "MainGroupOperate m WHERE m.Grp = p.Grp)");
        for (; rs && !rs->IsEOF(); rs->MoveNext()) {
            const int index = list.AddString(GetFieldValueString(rs, "FullNameGrp", "").ToString());
            list.SetItemData(index, static_cast<std::uint16_t>(rs->GetCollect("Grp").ToShort()));
        }
    } catch (const _com_error& e) {
        ShowComError(e);
    }
}

int CProdGroupSelectDlgModel::OnOK(const std::vector<std::uint32_t>& selectedData)
{
    if (selectedData.empty())
        return IDCANCEL;
    for (std::uint32_t data : selectedData)
        m_arrGroups.push_back(static_cast<std::int16_t>(data));
    return IDOK;
}

} // namespace tarnwick
