// The department tree: the firms that have departments, under each firm its
// top-level departments; a firm opens its department chart.
#pragma once

#include "editor/trees/core/processtree.h"

namespace tarnwick {

// Images of the department tree's items (strip 118).
enum DwfTreeImage : int { IMAGE_FIRM = 1, IMAGE_DEPARTMENT = 2 };

class CTreeDWFLogic : public CBaseTreeLogic {
public:
    using CBaseTreeLogic::CBaseTreeLogic;

    bool FillTree() override;
    bool FillChildren(TreeItem item) override;
    // Menu 253 for firms, none for anything else.
    TreeMenu GetItemMenu(TreeItem item) override;
    void OpenItemFromDB(TreeItem item) override;
    // Asks the main window for the file-open dialog.
    void OpenItemFromFile(TreeItem item) override;
    bool IsDiagramItem(TreeItem item) override;
    std::string GetTreeTitle() override;

    // The firms' query for the connection's engine: names in the order a
    // Russian reader expects where the engine can give it.
    static std::string FirmsQuery(const ado::_ConnectionPtr& connection);
};

} // namespace tarnwick
