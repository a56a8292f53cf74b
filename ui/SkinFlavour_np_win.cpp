// npPixmend: the 8-bit resource call; the store reads the module that the
// library attach handed it.
#include "ui/SkinFlavour.h"

namespace Corvane {
namespace UI {

HMODULE ResolveSkinModule(HMODULE stored) { return stored; }

HRSRC FindSkinResource(HMODULE module, int id) {
    return FindResourceA(module, MAKEINTRESOURCEA(id), "PNG");
}

}  // namespace UI
}  // namespace Corvane
