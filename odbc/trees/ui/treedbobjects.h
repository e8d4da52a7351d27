// The database-object tree as windows: a tree control a host places in any
// window and gives a connection, and a document view whose host class
// supplies the connection. Both show CTreeDBObjectsModel.
#pragma once

#include "odbc/trees/core/dbobjecttree.h"

#include <wx/docview.h>
#include <wx/fdrepdlg.h>
#include <wx/treectrl.h>

#include <map>
#include <memory>

class CDatabaseEx;
class wxMenu;

class CTreeDBObjectsCtrl : public wxTreeCtrl {
public:
    CTreeDBObjectsCtrl();
    ~CTreeDBObjectsCtrl() override;

    virtual bool Create(wxWindow* parent, wxWindowID id, const wxPoint& pos = wxDefaultPosition,
                        const wxSize& size = wxDefaultSize);

    // Keeps the connection (not owned; it must outlive the tree) and reloads.
    void SetConnect(CDatabaseEx* pDatabase);
    CDatabaseEx* GetConnect() const { return m_pDatabase; }

    // The commands, by their original ids (ID_TREEDB_*).
    void RunCommand(int command);
    bool IsCommandEnabled(int command) const;
    // The popup menu with its items enabled by the command rules; the
    // caller owns it.
    wxMenu* MakePopupMenu() const;
    void ShowPopupMenu(const wxPoint& clientPoint);

    CTreeDBObjectsModel& Model() { return m_model; }
    CDBTreeNode* NodeOf(const wxTreeItemId& item) const;
    wxTreeItemId ItemOf(const CDBTreeNode* node) const;
    CDBTreeNode* SelectedNode() const;
    // The text dragging the item hands on.
    std::string DragText(const wxTreeItemId& item) const;
    // The open find dialog of this tree, or null.
    wxFindReplaceDialog* FindDialog() const { return m_findDialog; }

private:
    void Reload();
    void Mirror(CDBTreeNode* node, const wxTreeItemId& item);
    void Search();
    void OpenFindDialog();
    void OnExpanding(wxTreeEvent& event);
    void OnCollapsing(wxTreeEvent& event);
    void OnBeginDrag(wxTreeEvent& event);
    void OnFind(wxFindDialogEvent& event);

    CDatabaseEx* m_pDatabase = nullptr;
    CTreeDBObjectsModel m_model;
    std::map<const CDBTreeNode*, wxTreeItemId> m_items;
    wxFindReplaceData m_findData;
    wxFindReplaceDialog* m_findDialog = nullptr;
};

class CTreeDBObjectsStruct : public wxView {
    wxDECLARE_DYNAMIC_CLASS(CTreeDBObjectsStruct);

public:
    ~CTreeDBObjectsStruct() override;
    bool OnCreate(wxDocument* doc, long flags) override;
    void OnDraw(wxDC*) override {}
    void OnUpdate(wxView* sender, wxObject* hint = nullptr) override;
    bool OnClose(bool deleteWindow = true) override;
    CTreeDBObjectsCtrl* GetTree() const { return m_tree; }

protected:
    CTreeDBObjectsStruct() = default;
    // The connection the view shows; a host class gives its own.
    virtual CDatabaseEx* GetConnect() { return nullptr; }

private:
    CTreeDBObjectsCtrl* m_tree = nullptr;
};
