// The logic of the two selection dialogs the process tree opens: the
// operations of a group not yet in the workflow catalogue, and the document
// types of an operation not yet in it. Each also edits its catalogue table
// (add, rename, delete, reread) through menu 170 and its keys.
#pragma once

#include "editor/dialogs/core/createstate.h"
#include "editor/app/core/dbutil.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tarnwick {

// One list entry: its text and its item data.
struct SelectEntry {
    std::string text;
    std::uint32_t data = 0;
};

// Where an entry with this text goes in a list sorted without regard to
// case; texts that differ only in case keep their code point order.
bool SortsBefore(const std::string& a, const std::string& b);
// The first entry whose text begins with prefix, without regard to case, as
// the list box's prefix search finds it; -1 when none does.
int FindPrefix(const std::vector<SelectEntry>& sorted, const std::string& prefix);

// What the add-process dialog hands back.
struct ProcessInput {
    std::string code;
    std::string name;
    std::int16_t baseType = -1; // no base operation: the group has none
    bool kindChoice = false;
    int moveKind = 0;
};

// Opens the add-process dialog (CAddProcessDlg for a new process of grp,
// with type offered as the base). On a retry input holds what was entered
// before and the dialog shows it again. IDOK with the entered values,
// IDCANCEL otherwise.
class IAddProcessDialog {
public:
    virtual ~IAddProcessDialog() = default;
    virtual int AskProcess(std::int16_t grp, std::int32_t type, const std::string& groupName, bool retry,
                           ProcessInput& input) = 0;
};

// The part both dialogs share: a list sorted as the list box shows it, and
// statements that report what fails.
class CSelectListModel {
public:
    const std::vector<SelectEntry>& Entries() const { return m_entries; }
    int Selection() const { return m_nSelection; }
    bool OkEnabled() const { return !m_entries.empty(); }
    bool CommandEnabled(int id) const;

protected:
    void Clear(IItemList& list);
    // Puts the rows read into the list in sorted order.
    void Show(IItemList& list, std::vector<SelectEntry> rows);
    // Clears the list, shows an entry for each row the query reads and
    // selects the first; a failed read is shown and leaves what was read.
    void Fill(IItemList& list, const std::string& sql, SelectEntry (*entryOf)(ado::_RecordsetPtr& rs));
    void Select(IItemList& list, int index);
    int FindExact(const std::string& text) const;
    // Runs a statement on the application's connection; an error, or an
    // insert that added no row, is shown and gives false.
    static bool Execute(const std::string& sql, bool mustAddARow, const char* table);

    std::vector<SelectEntry> m_entries;
    int m_nSelection = -1;
};

class CProcessSelectDlgModel : public CSelectListModel {
public:
    CProcessSelectDlgModel(std::int16_t grp, const std::string& groupName, INameDialog& names,
                           IAddProcessDialog& processes);

    void OnInitDialog(IItemList& list) { Reread(list); }
    // The group's operations not in MainTypeOperate; the first is selected.
    void FillList(IItemList& list);
    // The list's selection changed (or is taken before a command or OK).
    void TakeSelection(int index);
    void Reread(IItemList& list);
    // The chosen entry, or false when none is (OK then keeps the dialog open).
    bool OnOK(int index);
    bool OnCommand(int id, IItemList& list);

    std::int32_t m_nGrp;
    std::int32_t m_nType = -1;
    std::uint32_t m_dwSelected = 0; // Grp low, Type high
    std::string m_strSelected;
    std::string m_strGroupName;

private:
    void AddOperation(IItemList& list);
    void RenameOperation(IItemList& list);
    void DeleteOperation(IItemList& list);
    std::string InsertStatement(const ProcessInput& input) const;
    // Rereads the list and selects the first entry that begins with name.
    void RereadAt(IItemList& list, const std::string& name);

    INameDialog& m_names;
    IAddProcessDialog& m_processes;
};

class CSelectDocDlgModel : public CSelectListModel {
public:
    CSelectDocDlgModel(std::int16_t type, std::int16_t grp, INameDialog& names);

    void OnInitDialog(IItemList& list) { Reread(list); }
    // The operation's document types not in MainDocType; the first is selected.
    void FillList(IItemList& list);
    void OnSelChange(int index);
    void Reread(IItemList& list);
    // The chosen entry, or false when none is (OK then keeps the dialog open).
    bool OnOK(int index);
    bool OnCommand(int id, IItemList& list);

    std::int16_t Type;
    std::int16_t Grp;
    std::int32_t m_nTypeDoc = 0;
    std::string m_strName;

private:
    // The selected entry into m_nTypeDoc and m_strName; false without one.
    bool CurrentSelection();
    void OnAdd(IItemList& list);
    void OnRename(IItemList& list);
    void OnDelete(IItemList& list);
    // Rereads the list and selects the entry named name.
    void RereadAt(IItemList& list, const std::string& name);

    INameDialog& m_names;
};

} // namespace tarnwick
