// The workflow chart's controller. The diagram library's controller does
// selection, dragging, link drawing, zoom and undo; this one starts from the
// program's default element properties and the chart's unit settings.
#pragma once

#include "diagram/odcontroller.h"

class CTarnwickController : public CODController {
public:
    explicit CTarnwickController(CODViewport* viewport);
};
