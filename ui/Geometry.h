#pragma once
// Geometry helpers shared by the controls and the canvas: pure arithmetic on
// window-client rectangles (right and bottom exclusive), portable.
#include <cstdint>

#include "support/WinTypes.h"

namespace Corvane {
namespace UI {

// A scale factor and the size it produces.
struct FitResult {
    float scale;
    int32_t width;
    int32_t height;
};

// A rectangle of width x height centred in outer:
// left = (outer.left + outer.right) / 2 + (-(width / 2)), top likewise, each
// division truncating toward zero on its own. Results saturate at the int32
// range instead of overflowing.
RECT CenterRect(const RECT& outer, int32_t width, int32_t height);

// Scales a size to a box by its larger side. Scale 1 and the size unchanged
// when the size is strictly smaller than the box in both directions or equal
// to it in both; otherwise scale = box height / m when width < height, else
// box width / m (m = the larger side), and the scaled size truncated. The
// result may exceed the box on the other axis. A size with no positive side
// gives scale 0 and 0 x 0 instead of dividing by zero.
FitResult FitSize(int32_t width, int32_t height, int32_t boxWidth, int32_t boxHeight);

}  // namespace UI
}  // namespace Corvane
