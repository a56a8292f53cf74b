#pragma once
// The process-wide fonts and text colours of the buttons' captions.
#include <windows.h>

#include "support/GdiHandles.h"

namespace Corvane {
namespace UI {

// Owns its two fonts: they are deleted with the set (at process end), and
// the handles it hands out stay valid until then.
class FontSet {
public:
    // The process-wide set, created on first use (window thread).
    static FontSet& Instance();

    HFONT RegularFont() const { return regular_.Get(); }
    HFONT BoldFont() const { return bold_.Get(); }
    COLORREF DisabledColour() const { return disabledColour_; }
    COLORREF NormalColour() const { return normalColour_; }

    FontSet(const FontSet&) = delete;
    FontSet& operator=(const FontSet&) = delete;

private:
    FontSet();
    ~FontSet() = default;

    Gdi::GdiObject<HFONT> regular_;
    Gdi::GdiObject<HFONT> bold_;
    COLORREF disabledColour_;
    COLORREF normalColour_;
};

// Creates one of the shared fonts: height 12, the given weight, pitch and
// family 0x20, the shared face. Null on failure. The caller owns the font.
HFONT CreateSharedFont(int weight);

}  // namespace UI
}  // namespace Corvane
