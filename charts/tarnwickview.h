// The workflow chart's view and viewport.
#pragma once

#include "charts/chartview.h"
#include "charts/tarnwickcontroller.h"

class CTarnwickViewport : public CODViewport {
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
    CTarnwickViewport* GetViewport() { return &m_Viewport; }
    CODViewport& GetChartViewport() override { return m_Viewport; }

    CTarnwickViewport m_Viewport;
};
