#include "diagram/odprintout.h"

#include <wx/dcmemory.h>

CODPrintout* CODPrintout::Create(CODViewport& viewport, const wxString& title,
                                 const wxPageSetupDialogData* pageSetup)
{
    if (!viewport.OnPreparePrinting(nullptr))
        return nullptr;
    return new CODPrintout(viewport, title, pageSetup);
}

CODPrintout::CODPrintout(CODViewport& viewport, const wxString& title, const wxPageSetupDialogData* pageSetup)
    : wxPrintout(title), m_viewport(viewport), m_pPageSetup(pageSetup)
{
}

void CODPrintout::GetPageInfo(int* minPage, int* maxPage, int* pageFrom, int* pageTo)
{
    *minPage = *maxPage = *pageFrom = *pageTo = 1;
}

bool CODPrintout::OnPrintPage(int page)
{
    wxDC* dc = GetDC();
    if (page != 1 || !dc)
        return false;
    const CRect area = m_viewport.GetVirtualBounds();
    // One more unit each way: the far edges are drawn too.
    const wxSize size(area.Width() + 1, area.Height() + 1);
    if (m_pPageSetup)
        FitThisSizeToPageMargins(size, *m_pPageSetup);
    else
        FitThisSizeToPage(size);
    m_viewport.OnPrint(*dc, nullptr);
    return true;
}

void CODPrintout::OnEndPrinting()
{
    if (wxDC* dc = GetDC()) {
        m_viewport.OnEndPrinting(*dc, nullptr);
    } else {
        wxMemoryDC none;
        m_viewport.OnEndPrinting(none, nullptr);
    }
    wxPrintout::OnEndPrinting();
}
