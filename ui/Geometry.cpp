#include "ui/Geometry.h"

#include <algorithm>
#include <limits>

namespace Corvane {
namespace UI {
namespace {

int32_t Saturate(int64_t value) {
    const int64_t lo = std::numeric_limits<int32_t>::min();
    const int64_t hi = std::numeric_limits<int32_t>::max();
    return static_cast<int32_t>(std::min(hi, std::max(lo, value)));
}

// (int) of a float, truncating, clamped to the int32 range (NaN gives 0).
int32_t TruncateToInt(float value) {
    if (!(value == value)) return 0;
    if (value >= 2147483647.0f) return std::numeric_limits<int32_t>::max();
    if (value <= -2147483648.0f) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(value);
}

}  // namespace

RECT CenterRect(const RECT& outer, int32_t width, int32_t height) {
    // -(width / 2) is negated after the division, as the layout expects; in
    // 64 bits so that neither the sum nor the negation can overflow.
    const int64_t halfWidth = -(static_cast<int64_t>(width) / 2);
    const int64_t halfHeight = -(static_cast<int64_t>(height) / 2);
    RECT r;
    r.left = Saturate((static_cast<int64_t>(outer.left) + outer.right) / 2 + halfWidth);
    r.top = Saturate((static_cast<int64_t>(outer.top) + outer.bottom) / 2 + halfHeight);
    r.right = Saturate(static_cast<int64_t>(r.left) + width);
    r.bottom = Saturate(static_cast<int64_t>(r.top) + height);
    return r;
}

FitResult FitSize(int32_t width, int32_t height, int32_t boxWidth, int32_t boxHeight) {
    const bool smaller = width < boxWidth && height < boxHeight;
    const bool equal = width == boxWidth && height == boxHeight;
    if (smaller || equal) return FitResult{1.0f, width, height};
    const int32_t m = std::max(width, height);
    if (m <= 0) return FitResult{0.0f, 0, 0};
    const float scale = width < height ? static_cast<float>(boxHeight) / static_cast<float>(m)
                                       : static_cast<float>(boxWidth) / static_cast<float>(m);
    return FitResult{scale, TruncateToInt(scale * static_cast<float>(width)),
                     TruncateToInt(scale * static_cast<float>(height))};
}

}  // namespace UI
}  // namespace Corvane
