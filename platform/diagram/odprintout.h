// One printed page of a viewport's whole drawing, fitted into the page's
// margins. Printing draws through the library directly, never through a
// screen buffer.
#pragma once

#include "diagram/odviewport.h"

#include <wx/cmndata.h>
#include <wx/print.h>

class CODPrintout : public wxPrintout {
public:
    // Asks the viewport first: null when it refuses, so that no print
    // dialog shows and nothing prints. pageSetup (the document manager's)
    // gives the margins; without it the drawing fills the page.
    static CODPrintout* Create(CODViewport& viewport, const wxString& title,
                               const wxPageSetupDialogData* pageSetup = nullptr);

    bool HasPage(int page) override { return page == 1; }
    void GetPageInfo(int* minPage, int* maxPage, int* pageFrom, int* pageTo) override;
    bool OnPrintPage(int page) override;
    void OnEndPrinting() override;

private:
    CODPrintout(CODViewport& viewport, const wxString& title, const wxPageSetupDialogData* pageSetup);

    CODViewport& m_viewport;
    const wxPageSetupDialogData* m_pPageSetup;
};
