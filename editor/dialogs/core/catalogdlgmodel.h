// The logic of the small catalogue dialogs the process tree and the
// selection dialogs open: a process of a group, a one- or two-line name in
// nine modes, and the groups still missing from the workflow tables. They
// only read the catalogue; the callers write it.
#pragma once

#include "charts/shell/core/chartshell.h"
#include "editor/app/core/dbutil.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tarnwick {

class CAddProcessDlgModel {
public:
    // Radio buttons 1021, 1022 and 1023 by index.
    enum MoveKind { kExpense = 0, kIncome = 1, kInternal = 2 };
    static constexpr int kMaxCodeChars = 18;
    static constexpr int kMaxNameChars = 60;

    CAddProcessDlgModel(std::int16_t grp, std::uint16_t type, const std::string& groupName, bool edit);

    // Reads the group's processes into the combo box; a database error is
    // shown and the dialog keeps what was read.
    void OnInitDialog(IItemList& combo);
    // The two edits changed: OK follows whether both hold text.
    void OnEditChange(const std::string& code, const std::string& name);
    void OnBaseProcessChange(std::uint32_t itemData) { m_nBaseType = static_cast<std::int16_t>(itemData); }
    void OnOK(int selectedRadio, const std::string& code, const std::string& name);

    bool KindChoiceEnabled() const { return m_bKindChoice && !m_bEdit; }
    bool EditsEnabled() const { return !m_bReadFromRow; }
    int SelectedRadio() const { return m_nKind == 1 ? kIncome : m_nKind == 2 ? kInternal : kExpense; }
    bool OkEnabled() const { return m_bOkEnabled; }
    const std::string& GroupName() const { return m_strGroupName; }

    std::string m_strCode;
    std::string m_strName;
    std::int16_t m_nBaseType = -1;
    std::int16_t m_nKind = -1;
    BOOL m_bKindChoice = FALSE;
    int m_nMoveKind = kExpense;
    bool m_bEdit = false;
    std::int16_t m_nGrp;
    std::uint16_t m_nType;

private:
    std::string m_strGroupName;
    bool m_bReadFromRow = false;
    bool m_bOkEnabled = false;
};

class CAddStateModel {
public:
    CAddStateModel(const char* text, unsigned mode);

    // Caption, enabled edits and the name's length limit by mode.
    void OnInitDialog();
    bool OkEnabled(const std::string& name) const { return !name.empty(); }

    // Empty: the dialog keeps its resource caption.
    const std::string& Caption() const { return m_strCaption; }
    bool NameEnabled() const { return m_bNameEnabled; }
    bool FullNameEnabled() const { return m_bFullNameEnabled; }
    int NameLimit() const { return m_nNameLimit; }

    std::uint16_t m_nMode;
    std::string m_strName;
    std::string m_strFullName;

private:
    std::string m_strCaption;
    bool m_bNameEnabled = true;
    bool m_bFullNameEnabled = false;
    int m_nNameLimit = 40;
};

class CProdGroupSelectDlgModel {
public:
    // Lists the catalogue's groups that are not in the workflow tables yet.
    void OnInitDialog(IItemList& list);
    bool OkEnabled(int selectedCount) const { return selectedCount > 0; }
    // The item data of the selected items in list order; IDOK with at least
    // one, IDCANCEL with none.
    int OnOK(const std::vector<std::uint32_t>& selectedData);

    std::vector<std::int16_t> m_arrGroups;
};

} // namespace tarnwick
