#include "charts/views/tarnwickview.h"

wxIMPLEMENT_DYNAMIC_CLASS(CTarnwickView, wxView);

bool CTarnwickViewport::CreateController()
{
    SetController(new CTarnwickController(this), true);
    return true;
}

CTarnwickView::~CTarnwickView()
{
    DestroyCanvas();
}
