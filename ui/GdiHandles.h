#pragma once
// The toolkit's names for the shared GDI owners (support/GdiHandles.h).
#include "support/GdiHandles.h"

namespace Corvane {
namespace UI {

using Gdi::GdiObject;
using Gdi::MemoryDC;
using Gdi::ScopedSaveDC;
using Gdi::ScopedSelect;
using Gdi::WindowDC;

}  // namespace UI
}  // namespace Corvane
