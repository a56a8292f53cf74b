#include "ui/FontSet.h"

#include "ui/Drawing.h"

namespace Corvane {
namespace UI {

HFONT CreateSharedFont(int weight) {
    // The face goes through the UTF-16 call in both deliverables: an 8-bit
    // call would need the face in code page 936 and names a different,
    // garbled face wherever the system code page is not Chinese. Where the
    // face is not installed the mapper picks a proportional sans-serif face
    // by the family bits.
    return CreateFontW(12, 0, 0, 0, weight, FALSE, FALSE, FALSE, 0, OUT_DEFAULT_PRECIS,
                       CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, 0x20, SharedFaceName());
}

FontSet& FontSet::Instance() {
    static FontSet set;
    return set;
}

FontSet::FontSet()
    : regular_(CreateSharedFont(FW_NORMAL)),
      bold_(CreateSharedFont(FW_BOLD)),
      disabledColour_(RGB(193, 193, 193)),
      normalColour_(RGB(51, 51, 51)) {}

}  // namespace UI
}  // namespace Corvane
