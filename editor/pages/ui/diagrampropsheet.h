// The property sheet of the elements selected on a workflow chart, and the
// pages it shows.
#pragma once

#include "editor/pages/core/actionpages.h"
#include "editor/pages/core/linkpages.h"
#include "editor/pages/ui/pagewindow.h"
#include "editor/pages/core/statepages.h"

#include "diagram/odpropsheet.h"

#include <wx/dialog.h>

namespace tarnwick {

class CDiagramPropSheet : public CODCompPropSheet {
public:
    // Bits 0 and 3 of the flags are the library's own pages, which the
    // program does not show.
    CDiagramPropSheet(const CODComponentSet& selection, CODViewport* viewport, const std::string& caption,
                      std::uint32_t flags, wxWindow* parent, int initialPage = 0);

    // Records the page in Pages as well.
    void AddPage(CPropertyPage* page) override;
    bool IsComponentKindOf(int i, const CRuntimeClass* cls) const;

    // Every page added, in order. They are the sheet's windows: wx deletes them.
    CCArray_T<CPropertyPage*, CPropertyPage*> Pages;

protected:
    // A page that changed its element leaves the chart modified, whatever
    // the outer sheet's end.
    void OnApplied() override;
};

// Adds the workflow pages of the sheet's selection and chooses the initial page.
void AddPagesForSelection(CDiagramPropSheet& sheet);

// Runs the sheet: OD_IDOK when its pages wrote their values into the elements,
// by OK or by Apply before the sheet was cancelled.
int RunPropSheet(CDiagramPropSheet& sheet);

class CDocStatePPDocument : public CModelPage {
public:
    CDocStatePPDocument(CAWFDocumentType* element, int grp, int type, int readOnly);
};

class CDocStatePP : public CModelPage {
public:
    CDocStatePP(CAWFState* state, CODViewport* viewport, int grp, int type);
};

class CDocStatePPAccess : public CModelPage {
public:
    explicit CDocStatePPAccess(CAWFState* state);
};

class CDocActionPP : public CModelPage {
public:
    CDocActionPP(CAWFAction* action, int grp);
};

class CDocMessagePP : public CModelPage {
public:
    explicit CDocMessagePP(const std::vector<std::string>* errors);
};

class CDocLinkPP : public CModelPage {
public:
    CDocLinkPP(CAWFLink* link, CODViewport* viewport, int grp, int type);
};

// Its button "Свойства" opens the sheet of the chosen action over the page.
class CDocLinkPPAction : public CModelPage {
public:
    CDocLinkPPAction(CAWFLink* link, CODViewport* viewport, int grp);
    bool OnInitDialog() override;
};

class CDocLinkPPScript : public CModelPage {
public:
    explicit CDocLinkPPScript(CAWFLink* link);
};

// The choice of a catalogue action, its kind and order for a new action.
class CActionSelectDlg : public wxDialog {
public:
    explicit CActionSelectDlg(wxWindow* parent);
    // IDOK or IDCANCEL; after IDOK the model holds the choice.
    int DoModal();
    CActionSelectDlgModel& Model() { return m_model; }

private:
    void OnOk(wxCommandEvent& event);
    void OnListChanged(wxCommandEvent& event);

    CActionSelectDlgModel m_model;
};

} // namespace tarnwick
