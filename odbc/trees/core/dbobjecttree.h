// The database-object tree without a window: nodes of the server, the
// database, folders, owners and objects, filled from the ODBC catalog when a
// node is first expanded, and the search along a level of the tree.
#pragma once

#include "odbc/trees/core/objectscripts.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

class CDatabaseEx;

struct CDBTreeNode {
    int kind = kNodeFolder;         // the image
    int selectedKind = kNodeFolder; // the selected image
    std::string text;
    bool hasChildrenMark = false; // shows an expand button before it has children
    CDBTreeNode* parent = nullptr;
    std::vector<std::unique_ptr<CDBTreeNode>> children;

    CDBTreeNode* Add(int kind, const std::string& text, int selectedKind = -1);
    CDBTreeNode* NextSibling() const;
    CDBTreeNode* PrevSibling() const;
};

// The find settings, one set for the process, shared by every tree.
struct CTreeDBFindSettings {
    std::string text;
    bool matchCase = false;
    bool searchDown = true;
    bool wholeWord = false;
};
CTreeDBFindSettings& TreeDBFindSettings();

class CTreeDBObjectsModel {
public:
    // Rebuilds the tree from the connection; empty without an open one.
    void Populate(CDatabaseEx* db);
    void Clear();
    CDBTreeNode* Root() const { return m_root.get(); }
    CDatabaseEx* Connection() const { return m_db; }
    bool IsConnected() const;

    // A node is about to open: reads its children the first time.
    void Expand(CDBTreeNode* node);
    // A node is about to close.
    void Collapse(CDBTreeNode* node);

    bool IsCommandEnabled(int command, const CDBTreeNode* selected) const;

    // Looks along the level of `selected` (into it, for a folder) for a node
    // whose text matches. `expandFolder` opens a closed folder first (the
    // window's expansion, which calls Expand). Shows "Значение не найдено!"
    // and gives null when nothing matches; null without a message when the
    // search has nothing to do.
    CDBTreeNode* Search(CDBTreeNode* selected, const CTreeDBFindSettings& find,
                        const std::function<void(CDBTreeNode*)>& expandFolder);

    // How many catalog queries the tree has run since it was made.
    int CatalogQueries() const { return m_catalogQueries; }

private:
    void PopulateOwners(CDBTreeNode* database);
    void PopulateTypesAndPrincipals(CDBTreeNode* database);
    void ExpandOwner(CDBTreeNode* owner);
    void ExpandTable(CDBTreeNode* table);
    void ExpandRoutine(CDBTreeNode* routine);
    std::vector<std::string> TextColumn(const std::string& sql);

    CDatabaseEx* m_db = nullptr;
    std::string m_catalog;
    std::unique_ptr<CDBTreeNode> m_root;
    int m_catalogQueries = 0;
};
