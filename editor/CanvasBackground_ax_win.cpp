// Pixmend: the tile is read from the control's own "PNG" resource 204.
#include "editor/CanvasPanel.h"
#include "image/PxFile.h"
#include "resources/SkinIds_ax.h"
#include "ui/SkinFlavour.h"

void LoadCanvasBackground(PxImage& target) {
    HMODULE module = Corvane::UI::ResolveSkinModule(nullptr);
    HRSRC resource = module ? Corvane::UI::FindSkinResource(module, PXRES_AX_CANVAS_BK) : nullptr;
    HGLOBAL loaded = resource ? LoadResource(module, resource) : nullptr;
    const DWORD size = resource ? SizeofResource(module, resource) : 0;
    void* bytes = loaded ? LockResource(loaded) : nullptr;
    if (!bytes || size == 0)
        return;
    // The resource is read-only: the stream only reads it.
    PxMemFile stream(static_cast<uint8_t*>(bytes), size);
    target.Decode(&stream, PXIMAGE_FORMAT_PNG);
}
