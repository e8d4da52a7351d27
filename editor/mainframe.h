// The main window. A plain frame with the connection commands until the
// workbook frame takes its place.
#pragma once

#include "appcore.h"

#include <wx/frame.h>

class CMainFrame : public wxFrame {
public:
    CMainFrame();
    void SetTreeClass(tarnwick::TreeClass treeClass);
    void ClearTree();
    bool HasTree() const { return m_hasTree; }

private:
    bool m_hasTree = false;
};
