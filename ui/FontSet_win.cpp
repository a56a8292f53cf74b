#include "ui/FontSet.h"

#include "ui/Drawing.h"

namespace Corvane {
namespace UI {

FontSet& FontSet::Instance() {
    static FontSet set;
    return set;
}

FontSet::FontSet()
    : regular_(CreateSharedFont(FW_NORMAL)),
      bold_(CreateSharedFont(FW_BOLD)),
      disabledColour_(RGB(193, 193, 193)),
      normalColour_(RGB(51, 51, 51)) {}

FontSet::~FontSet() {
    if (regular_ != nullptr) DeleteObject(regular_);
    if (bold_ != nullptr) DeleteObject(bold_);
}

}  // namespace UI
}  // namespace Corvane
