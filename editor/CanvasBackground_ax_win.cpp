// Pixmend: the tile is read from the control's own "PNG" resource 204.
#include "editor/CanvasPanel.h"
#include "resources/SkinIds_ax.h"
#include "ui/SkinFlavour.h"

void LoadCanvasBackground(PxImage& target) {
    HMODULE module = Corvane::UI::ResolveSkinModule(nullptr);
    HRSRC resource = module ? Corvane::UI::FindSkinResource(module, PXRES_AX_CANVAS_BK) : nullptr;
    target.LoadResource(resource, PXIMAGE_FORMAT_PNG, module);
}
