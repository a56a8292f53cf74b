#include "editor/EditorInput.h"

#include "support/Convert.h"

namespace {

bool EndsWith(const PxString& text, const PxChar* suffix) {
    const PxString tail(suffix);
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

}  // namespace

bool IsPictureFileName(const PxString& name) {
    PxString lower = name;
    ToLower(lower);
    static const PxChar* const kExtensions[] = {PX_TEXT(".jpg"), PX_TEXT(".jpeg"), PX_TEXT(".png"),
                                               PX_TEXT(".bmp"), PX_TEXT(".gif")};
    for (const PxChar* extension : kExtensions)
        if (EndsWith(lower, extension)) return true;
    return false;
}

uint32_t ChooseDragEffect(bool allowed, uint32_t keys, uint32_t permitted) {
    if (!allowed) return kEffectNone;
    if ((keys & kKeyControl) && (permitted & kEffectCopy)) return kEffectCopy;
    if ((keys & kKeyShift) && (permitted & kEffectMove)) return kEffectMove;
    if (permitted & kEffectMove) return kEffectMove;
    if (permitted & kEffectCopy) return kEffectCopy;
    return kEffectNone;
}

uint32_t ChooseDropEffect(bool allowed, uint32_t permitted) {
    return allowed && (permitted & kEffectCopy) ? kEffectCopy : kEffectNone;
}

bool UsesOldOpenFileNameLayout(bool versionKnown, uint32_t major, uint32_t minor) {
    return !versionKnown || major < 4 || (major == 4 && minor < 90);
}
