// The navigation trees' rules without a display. A tree works on a small
// item interface: the program's wx tree control implements it, and tests use
// the in-memory one. Item kinds are told apart by their image; each item
// carries one 32-bit data word.
#pragma once

#include "editor/app/core/editorcore.h"
#include "editor/trees/core/treedialogs.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

class CTarnwickModel;

namespace tarnwick {

using TreeItem = std::uintptr_t; // 0: no item

class ITreeItems {
public:
    virtual ~ITreeItems() = default;
    // The hidden root: items appended to it show at the top level.
    virtual TreeItem GetRootItem() = 0;
    virtual TreeItem AppendItem(TreeItem parent, const std::string& text, int image, std::int32_t data,
                                bool hasChildren = false) = 0;
    virtual std::string GetItemText(TreeItem item) = 0;
    virtual void SetItemText(TreeItem item, const std::string& text) = 0;
    virtual int GetItemImage(TreeItem item) = 0;
    virtual std::int32_t GetItemData(TreeItem item) = 0;
    virtual TreeItem GetItemParent(TreeItem item) = 0;
    virtual std::vector<TreeItem> GetChildren(TreeItem item) = 0;
    virtual void Expand(TreeItem item) = 0;
    virtual bool IsExpanded(TreeItem item) = 0;
    virtual void DeleteItem(TreeItem item) = 0;
    // Every item; the hidden root stays.
    virtual void DeleteAllItems() = 0;
    virtual TreeItem GetSelection() = 0;
    virtual void SelectItem(TreeItem item) = 0;
    virtual void EditLabel(TreeItem item) = 0;
    // True while a label editor is open.
    virtual bool IsEditingLabel() = 0;
    // True while the item is in the tree.
    virtual bool IsValid(TreeItem item) = 0;
    // True when the item shows an expand button: it has children, or was
    // marked as having some still to load.
    virtual bool HasChildrenMark(TreeItem item) { return !GetChildren(item).empty(); }
};

// An item tree in memory, for tests and for anything without a window.
class CMemoryTreeItems : public ITreeItems {
public:
    CMemoryTreeItems();
    TreeItem GetRootItem() override { return 1; }
    TreeItem AppendItem(TreeItem parent, const std::string& text, int image, std::int32_t data,
                        bool hasChildren = false) override;
    std::string GetItemText(TreeItem item) override;
    void SetItemText(TreeItem item, const std::string& text) override;
    int GetItemImage(TreeItem item) override;
    std::int32_t GetItemData(TreeItem item) override;
    TreeItem GetItemParent(TreeItem item) override;
    std::vector<TreeItem> GetChildren(TreeItem item) override;
    void Expand(TreeItem item) override;
    bool IsExpanded(TreeItem item) override;
    void DeleteItem(TreeItem item) override;
    void DeleteAllItems() override;
    TreeItem GetSelection() override { return m_selection; }
    void SelectItem(TreeItem item) override { m_selection = item; }
    void EditLabel(TreeItem item) override { m_editing = item; }
    bool IsEditingLabel() override { return m_editing != 0; }
    bool IsValid(TreeItem item) override { return m_items.count(item) != 0; }

    bool HasChildrenMark(TreeItem item) override;
    void EndEditing() { m_editing = 0; }

private:
    struct Item {
        TreeItem parent = 0;
        std::string text;
        int image = -1;
        std::int32_t data = 0;
        bool hasChildren = false;
        bool expanded = false;
        std::vector<TreeItem> children;
    };
    Item& at(TreeItem item);
    std::map<TreeItem, Item> m_items;
    TreeItem m_next = 2;
    TreeItem m_selection = 0;
    TreeItem m_editing = 0;
};

// A process item's word: the group in the low 16 bits, the operation in the high.
std::int32_t PackProcessWord(std::int16_t grp, std::int16_t type);
void UnpackProcessWord(std::int32_t word, std::int16_t& grp, std::int16_t& type);

// A chart file the program opened in a window of its own.
class IOpenedChart {
public:
    virtual ~IOpenedChart() = default;
    // Null when the chart is no workflow chart.
    virtual CTarnwickModel* Model() = 0;
    virtual void SetTitle(const std::string& title) = 0;
    // Closes its window after the current event.
    virtual void CloseLater() = 0;
};

// What a tree needs of the program beyond the application object.
class ITreeHost {
public:
    virtual ~ITreeHost() = default;
    virtual void OpenDiagram(std::int32_t key, const std::string& title) = 0;
    // Closes the open chart of the key through its save question; false when
    // the user kept it. True when none was open.
    virtual bool CloseDiagram(std::int32_t key) = 0;
    // The file dialog for a chart file; the chart it opened in a new window,
    // or null when cancelled or failed.
    virtual std::unique_ptr<IOpenedChart> OpenChartFile() = 0;
    virtual bool AskYesNo(const std::string& question) = 0;
    // Closes the open chart of the key without asking to save it: its rows
    // are gone, and saving would write them again. Nothing when none is open.
    virtual void DiscardDiagram(std::int32_t key) = 0;
    // Gives the open chart of the key a new title; a read-only chart keeps
    // saying so. Nothing when none is open.
    virtual void RetitleDiagram(std::int32_t key, const std::string& title) = 0;
};

// A context menu: which popup of which menu (139 unless named) and the
// commands greyed in it.
struct TreeMenu {
    int popup = -1; // -1: no menu
    std::vector<int> greyed;
    const char* resource = "IDR_TREE_MENU"; // the menu bar that holds the popup
};

// Command ids the trees handle.
enum TreeCommand : int {
    ID_TREE_REREAD = 32778,
    ID_TREE_LOAD_FROM_DB = 32804,
    ID_TREE_LOAD_FROM_FILE = 32813,
    ID_ADD_GROUP = 33786,
    ID_DELETE_GROUP = 33787,
    ID_RENAME_GROUP = 32789,
    ID_ADD_PROCESS = 32790,
    ID_DELETE_PROCESS = 33791,
    ID_RENAME_PROCESS = 33792,
    ID_ADD_DOCUMENT = 33793,
    ID_DELETE_DOCUMENT = 33794,
    ID_RENAME_DOCUMENT = 33798,
    ID_SHOW_PROPERTIES = 33799,
    ID_REREAD_PROCESS_TREE = 33800,
    // The process tree's own menu and keys.
    ID_TREE_ADD_GROUP = 32777,
    ID_TREE_ADD_PROCESS = 32782,
    ID_TREE_DELETE = 32783,
    ID_TREE_RENAME = 32784,
    ID_TREE_ADD_DOCUMENT = 32807,
    ID_TREE_PROCESS_PROPERTIES = 32803,
    ID_TREE_DOCUMENT_PROPERTIES = 32802,
};

// Images of strip 118.
enum TreeImage : int { IMAGE_GROUP = 1, IMAGE_PROCESS = 2, IMAGE_DOCUMENT = 3, IMAGE_DSN = 4 };

// The base tree: the data source alone, no menus, nothing to open.
class CBaseTreeLogic {
public:
    CBaseTreeLogic(ITreeItems& items, ITreeHost& host) : m_items(items), m_host(host) {}
    virtual ~CBaseTreeLogic() = default;

    virtual bool FillTree();
    virtual bool FillChildren(TreeItem item);
    virtual TreeMenu GetItemMenu(TreeItem item);
    virtual bool RenameItem(TreeItem item, const std::string& newText);
    virtual void OpenItemFromDB(TreeItem item);
    virtual void OpenItemFromFile(TreeItem item);
    virtual bool IsDiagramItem(TreeItem item);
    virtual std::string GetTreeTitle();
    virtual bool UpdateEditCommand(int id);
    virtual void AddGroup() {}
    virtual void DeleteGroup() {}
    virtual void EditGroupName() {}
    virtual void AddProcess() {}
    virtual void DeleteProcess() {}
    virtual void EditProcessName() {}
    virtual void AddDocument() {}
    virtual void DeleteDocument() {}
    virtual void EditDocumentName() {}
    virtual void ShowProperties() {}

    // What the tree control's events come to.
    // False refuses the expansion.
    bool OnItemExpanding(TreeItem item);
    // Double click or Enter; false when the item is no chart (it expands instead).
    bool OnItemActivated(TreeItem item);
    // Refused in read-only mode, whatever mode the tree was made in.
    bool OnBeginLabelEdit(TreeItem item);
    // True when the new text is taken.
    bool OnEndLabelEdit(TreeItem item, const std::string& text, bool cancelled);
    // The item a right click at a place names, and the menu for it.
    TreeMenu OnContextMenu(TreeItem hit, bool onLabel);
    // Runs a command the tree handles; false when it is not the tree's.
    bool OnCommand(int id);
    // Enabled state of a command; false when it is not the tree's (nothing to say).
    bool OnUpdateCommand(int id, bool& enabled);
    void Reread();

    ITreeItems& Items() { return m_items; }
    // The dialogs the catalogue commands open; null: every choice is cancelled.
    void SetDialogs(ITreeDialogs* dialogs) { m_dialogs = dialogs; }
    ITreeDialogs& Dialogs();

protected:
    // The open connection, or null.
    ado::_ConnectionPtr Connection();
    // The data-source root: its text and image.
    TreeItem AppendDataSourceRoot();

    ITreeItems& m_items;
    ITreeHost& m_host;
    ITreeDialogs* m_dialogs = nullptr;
};

// The process tree: groups, their processes and the processes' document types.
class CTreeAWFLogic : public CBaseTreeLogic {
public:
    using CBaseTreeLogic::CBaseTreeLogic;

    bool FillTree() override;
    bool FillChildren(TreeItem item) override;
    TreeMenu GetItemMenu(TreeItem item) override;
    void OpenItemFromDB(TreeItem item) override;
    void OpenItemFromFile(TreeItem item) override;
    bool IsDiagramItem(TreeItem item) override;
    std::string GetTreeTitle() override;
    bool UpdateEditCommand(int id) override;
    bool RenameItem(TreeItem item, const std::string& newText) override;
    void AddGroup() override;
    void AddProcess() override;
    void AddDocument() override;
    void ShowProperties() override;
    void DeleteGroup() override { RunDelete(); }
    void DeleteProcess() override { RunDelete(); }
    void DeleteDocument() override { RunDelete(); }
    void EditGroupName() override { EditSelectedLabel(); }
    void EditProcessName() override { EditSelectedLabel(); }
    void EditDocumentName() override { EditSelectedLabel(); }

protected:
    // The catalogue's delete of the selected item, after the user's yes.
    virtual void RunDelete();
    void EditSelectedLabel();
    // A statement that changed no row: nothing was stored.
    void ReportNotStored();
    // The data-source item the groups hang under, or 0.
    TreeItem DataSourceItem();
    // What an add goes under: the selected item of that image, or the parent
    // of a selected child; 0 for anything else. The selection's children are
    // read first.
    TreeItem SelectedOrParent(int image, int childImage);
    // Runs an insert or update; an error, or no row touched, is shown and
    // gives false.
    bool ExecuteStored(ado::_ConnectionPtr& connection, const std::string& sql);
};

std::unique_ptr<CBaseTreeLogic> CreateTreeLogic(TreeClass treeClass, ITreeItems& items, ITreeHost& host);

// When the left button on an item's label starts editing it and when two
// clicks are one double-click, by the times the display gives the events.
// A double-click opens and never edits: the second press counts as one when
// it comes within the double-click time after the first click was let go,
// so a first click held long still makes a double-click, and any press
// drops an edit that was waiting.
class CLabelClicks {
public:
    explicit CLabelClicks(long doubleClickMs) : m_doubleClickMs(doubleClickMs) {}

    // A left press on an item (0: none). onLabel: on its text; armed: the
    // item was selected in a tree that had the focus. True when this press
    // is the second of a double-click that the toolkit did not report.
    bool OnPress(TreeItem item, bool onLabel, bool armed, long time);
    // The release of the press: true when an edit of the pressed item is to
    // start once the double-click time has passed without another press.
    bool OnRelease(long time);
    // The toolkit's own double-click: false when it completes one already
    // taken by OnPress, so that it opens nothing a second time.
    bool OnDoubleClick();
    // Keys, other buttons, focus lost: no edit waits, no click is half done.
    void Forget();

    TreeItem PressedItem() const { return m_pressed; }
    long DoubleClickMs() const { return m_doubleClickMs; }

private:
    long m_doubleClickMs;
    TreeItem m_pressed = 0;
    bool m_armed = false;
    bool m_swallowRelease = false;
    bool m_takenByPress = false;
    TreeItem m_lastClick = 0;
    long m_lastRelease = 0;
};

} // namespace tarnwick
