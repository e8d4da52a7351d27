// The workflow chart's view and viewport.
#pragma once

#include "charts/views/chartview.h"
#include "charts/views/tarnwickcontroller.h"
#include "diagram/mvcbuffered.h"
#include "diagram/mvcwrapper.h"

// The library's buffered viewport with the workflow controller.
class CTarnwickViewport : public MvcBufferedWrapper_T<CODViewport> {
public:
    // The workflow controller, owned by the viewport.
    bool CreateController() override;
};

class CTarnwickView : public CChartViewBase {
    wxDECLARE_DYNAMIC_CLASS(CTarnwickView);

public:
    CTarnwickView() = default;
    ~CTarnwickView() override;

    CTarnwickDoc* GetDocument() const { return static_cast<CTarnwickDoc*>(wxView::GetDocument()); }
    MvcScrollWrapper_T<CTarnwickViewport>* GetViewport() { return &m_Viewport; }
    CODViewport& GetChartViewport() override { return m_Viewport; }

    MvcScrollWrapper_T<CTarnwickViewport> m_Viewport;
};
