// The create-state dialog's logic: the states of the chart's group that its
// document type does not use and the chart does not show yet, and the
// catalogue commands on them (add, rename, delete, reread).
#pragma once

#include "editor/app/core/dbutil.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

class CTarnwickModel;

namespace tarnwick {

// Opens the name dialog (CAddState) in a mode with an initial text; IDOK
// with the entered name, IDCANCEL otherwise. The program shows the window;
// tests answer.
class INameDialog {
public:
    virtual ~INameDialog() = default;
    virtual int AskName(const char* text, unsigned mode, std::string& name, std::string& fullName) = 0;
};

// The catalogue commands of the create-state and document-selection dialogs.
enum : int {
    ID_CATALOG_ADD = 1079,
    ID_CATALOG_REREAD = 32820,
    ID_CATALOG_RENAME = 32821,
    ID_CATALOG_DELETE = 32822,
};

// The refusal of a catalogue edit in read-only mode (own wording).
extern const char* const kReadOnlyCatalogMessage;

// In read-only mode shows the refusal and gives true; false otherwise.
bool RefuseCatalogEdit();
// Whether a catalogue command is open: adding outside read-only mode,
// renaming and deleting there with an entry to act on, rereading always.
bool CatalogCommandEnabled(int id, bool hasEntries);
// Runs a catalogue command on a catalogue dialog's model through the
// model's members for adding, renaming, deleting and rereading; false for any
// other command.
template <class Model>
bool RunCatalogCommand(Model& model, int id, IItemList& list, void (Model::*add)(IItemList&),
                       void (Model::*rename)(IItemList&), void (Model::*remove)(IItemList&),
                       void (Model::*reread)(IItemList&))
{
    void (Model::*command)(IItemList&) = nullptr;
    switch (id) {
    case ID_CATALOG_ADD:
        command = add;
        break;
    case ID_CATALOG_RENAME:
        command = rename;
        break;
    case ID_CATALOG_DELETE:
        command = remove;
        break;
    case ID_CATALOG_REREAD:
        command = reread;
        break;
    default:
        return false;
    }
    (model.*command)(list);
    return true;
}
// Runs a catalogue statement on the application's connection. An error is
// shown and gives false; so does a statement that touched no row when
// noRowError is given, with that text for the table.
bool ExecuteCatalogStatement(const std::string& sql, const std::string& noRowError, const char* table);

class CCreateStateDlgModel {
public:
    CCreateStateDlgModel(std::int32_t grp, std::int32_t typeDoc, CTarnwickModel* model, INameDialog& names);

    void OnInitDialog(IItemList& list) { FillList(list); }
    // Rereads the list; an empty list disables OK, else the first entry is chosen.
    void FillList(IItemList& list);
    void OnSelChange(int index);
    bool OkEnabled() const { return !m_entries.empty(); }
    // The chosen entry, or false when none is (OK then keeps the dialog open).
    bool OnOK();

    bool CommandEnabled(int id) const;
    // Runs a catalogue command; true when the id is one of them.
    bool OnCommand(int id, IItemList& list);

    // The list as shown: name and state number, in list order.
    const std::vector<std::pair<std::string, std::int16_t>>& Entries() const { return m_entries; }
    int Selection() const { return m_nSelection; }

    std::int32_t Grp;
    std::int32_t TypeDoc;
    std::int16_t m_nState = 0;
    std::string m_strState;

private:
    void OnAdd(IItemList& list);
    void OnDelete(IItemList& list);
    void OnRename(IItemList& list);
    bool OnChart(std::int16_t state) const;
    void Select(IItemList& list, int index);
    int Find(const std::string& name) const;
    // The next free number of the group, read just before it is used.
    std::int16_t NextStateNumber() const;
    static bool Execute(const std::string& sql, bool mustTouchARow);

    CTarnwickModel* m_pModel;
    INameDialog& m_names;
    std::vector<std::pair<std::string, std::int16_t>> m_entries;
    int m_nSelection = -1;
};

} // namespace tarnwick
