#pragma once
// What the two deliverables do differently when they read skins
// (SkinFlavour_np_win.cpp, SkinFlavour_ax_win.cpp).
#include <windows.h>

namespace Corvane {
namespace UI {

// The module LoadAll reads from, given the one the store holds: npPixmend
// uses it, Pixmend always its own module.
HMODULE ResolveSkinModule(HMODULE stored);
// The "PNG" resource with a numeric id, or null.
HRSRC FindSkinResource(HMODULE module, int id);

}  // namespace UI
}  // namespace Corvane
