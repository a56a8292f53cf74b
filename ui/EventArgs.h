#pragma once
// Arguments of the events that travel through the control tree.
#include <windows.h>

#include <cstdint>

#include "ui/Drawing.h"

namespace Corvane {
namespace UI {

class ControlBase;

class CEventArgs {
public:
    virtual ~CEventArgs() = default;
};

// A mouse event in window client coordinates. A control that takes a press
// sets handled and names itself as handler; the parent then captures it.
class CMouseEventArgs : public CEventArgs {
public:
    CMouseEventArgs(int32_t button, int32_t x, int32_t y, int16_t wheelDelta = 0)
        : button(button), x(x), y(y), wheelDelta(wheelDelta) {}

    int32_t button;      // the window layer always passes 1, the left button
    int32_t x;
    int32_t y;
    int16_t wheelDelta;  // negative when the wheel turns towards the user
    int32_t handled = 0;
    ControlBase* handler = nullptr;
};

// What a control paints into: the off-screen device context and GDI+
// graphics bound to it. Neither is owned by the arguments.
class CPaintEventArgs : public CEventArgs {
public:
    CPaintEventArgs(HDC dc, GdiGraphics& graphics) : dc(dc), graphics(graphics) {}

    HDC dc;
    GdiGraphics& graphics;
};

}  // namespace UI
}  // namespace Corvane
