// npPixmend: 8-bit resource and font calls; the store reads the module that
// the library attach handed it.
#include "ui/FontSet.h"
#include "ui/SkinFlavour.h"

namespace Corvane {
namespace UI {

HMODULE ResolveSkinModule(HMODULE stored) { return stored; }

HRSRC FindSkinResource(HMODULE module, int id) {
    return FindResourceA(module, MAKEINTRESOURCEA(id), "PNG");
}

HFONT CreateSharedFont(int weight) {
    // "新宋体" in code page 936; the system maps it (or, where it is not
    // installed, a proportional sans-serif face by the family bits).
    static const char kFace[] = "\xD0\xC2\xCB\xCE\xCC\xE5";
    return CreateFontA(12, 0, 0, 0, weight, FALSE, FALSE, FALSE, 0, OUT_DEFAULT_PRECIS,
                       CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, 0x20, kFace);
}

}  // namespace UI
}  // namespace Corvane
