// The document-selection tree's logic without a display: it shows a copy of
// another navigation tree, asks that tree to load a node's children only when
// the copy of the node first expands, and takes a document type as the
// result. Nothing is read from the database here; the source tree does that.
#pragma once

#include "editor/trees/core/processtree.h"

#include <cstdint>
#include <functional>
#include <map>
#include <string>

namespace tarnwick {

class CWFDocSelectTreeModel {
public:
    // items: this tree's own items; source: the tree whose items are shown.
    CWFDocSelectTreeModel(ITreeItems& items, CBaseTreeLogic& source);

    // Copies the source's top-level items with everything they have loaded.
    // False when the source shows nothing (this tree then stays empty).
    bool Fill();
    // Copies one source item, and all the children it has now, under parent, last.
    TreeItem CopyItem(TreeItem sourceItem, TreeItem parent);

    // False refuses the expansion: the source could not load the children.
    bool OnItemExpanding(TreeItem item);
    // A double click: true when the selection is a document type and was
    // taken; false leaves the click to the tree (expand or collapse).
    bool OnDoubleClick();
    // The dialog's OK and the Enter key: takes the selected document type,
    // or says what was selected instead and keeps the dialog open.
    bool OnOK();

    // Takes the selected item when it is a document type. Otherwise false,
    // with what the selection is in message (when given).
    bool TryAccept(std::string* message = nullptr);
    // Keeps the source item's text and data as the result and ends the dialog.
    void Accept(TreeItem sourceItem);

    // The source item a shown item copies; 0 for an unknown item.
    TreeItem SourceOf(TreeItem item) const;

    // Results: the chosen source item's text and data word.
    std::string m_strSelText;
    std::int32_t m_nSelData = -1;
    CBaseTreeLogic* m_pSource;

    // Ends the dialog that holds the tree with OK; unset when the tree is in
    // no dialog, and then nothing is taken.
    std::function<void()> m_endDialog;

private:
    ITreeItems& m_items;
    std::map<TreeItem, TreeItem> m_sourceOf;
};

// The message box of a refused OK: what was selected, then this.
extern const char* const kChooseDocumentMessage;

} // namespace tarnwick
