// Pixmend: UTF-16 resource and font calls; the store always reads the module
// this code is linked into.
#include "ui/Drawing.h"
#include "ui/FontSet.h"
#include "ui/SkinFlavour.h"

namespace Corvane {
namespace UI {

HMODULE ResolveSkinModule(HMODULE) {
    HMODULE self = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            reinterpret_cast<LPCWSTR>(&ResolveSkinModule), &self))
        return nullptr;
    return self;
}

HRSRC FindSkinResource(HMODULE module, int id) {
    return FindResourceW(module, MAKEINTRESOURCEW(id), L"PNG");
}

HFONT CreateSharedFont(int weight) {
    return CreateFontW(12, 0, 0, 0, weight, FALSE, FALSE, FALSE, 0, OUT_DEFAULT_PRECIS,
                       CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, 0x20, SharedFaceName());
}

}  // namespace UI
}  // namespace Corvane
