// The document-selection dialog: a copy of a navigation tree in which the
// user picks one document type. No menu opens it; a caller gives it the tree
// to copy and reads the choice after OK.
#pragma once

#include "editor/trees/core/docselecttree.h"
#include "editor/trees/ui/treectrlitems.h"

#include <wx/dialog.h>
#include <wx/treectrl.h>

#include <memory>

namespace tarnwick {

class CBaseTreeCtrl;

// The dialog's tree. Made by the dialog resource (its "subclass"), then
// given its source with SetSource.
class CWFDocSelectTreeCtrl : public wxTreeCtrl {
public:
    CWFDocSelectTreeCtrl();
    // Copies the source's items and takes its images. Inside a dialog, an
    // accepted document type ends the dialog with OK.
    void SetSource(CBaseTreeCtrl& source);

    CWFDocSelectTreeModel& Model() { return *m_model; }
    ITreeItems& Items() { return m_items; }

private:
    void OnExpanding(wxTreeEvent& event);
    void OnDoubleClick(wxMouseEvent& event);
    void OnKeyDown(wxKeyEvent& event);

    CWxTreeItems m_items;
    std::unique_ptr<CWFDocSelectTreeModel> m_model;

    wxDECLARE_DYNAMIC_CLASS_NO_COPY(CWFDocSelectTreeCtrl);
};

class ExtendedWFDocSelect : public wxDialog {
public:
    ExtendedWFDocSelect(CBaseTreeCtrl& source, wxWindow* parent);

    // After OK: the tree's m_strSelText and m_nSelData.
    CWFDocSelectTreeCtrl& Tree() { return *m_tree; }

private:
    void OnOK(wxCommandEvent& event);

    CWFDocSelectTreeCtrl* m_tree = nullptr;
    CBaseTreeCtrl* m_pSource;
};

} // namespace tarnwick
