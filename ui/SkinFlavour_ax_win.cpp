// Pixmend: the UTF-16 resource call; the store always reads the module this
// code is linked into.
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

}  // namespace UI
}  // namespace Corvane
