#include "charts/tarnwickcontroller.h"

#include "charts/chartshell.h"

namespace {
constexpr std::int32_t kUnitCode = 4;
}

CTarnwickController::CTarnwickController(CODViewport* viewport)
    : CODController(viewport)
{
    if (viewport) {
        tarnwick::ChartShell().LoadDefaultProperties(*viewport);
        viewport->SetMeasurementUnits(kUnitCode);
        viewport->SetMeasures(CODMeasure(kUnitCode, 1.0), CODMeasure(kUnitCode, 1.0));
    }
}
