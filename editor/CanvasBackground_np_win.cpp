// npPixmend: the tile comes from the skin store, which the editor fills
// before it builds its controls.
#include "editor/CanvasPanel.h"
#include "ui/ImageLister.h"

void LoadCanvasBackground(PxImage& target) {
    const PxImage* tile = Corvane::UI::ImageLister::Instance().Find("CANVAS_BK");
    if (tile && tile->IsValid())
        target.CopyFrom(*tile, true, true, true);
}
