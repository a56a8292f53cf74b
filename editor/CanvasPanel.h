#pragma once
// CanvasPanel: the drawn control between the toolbar and the bottom bar. It
// shows the display image under a fixed clip frame, dims what lies outside
// the frame, lets the user drag and zoom, and shows a busy circle with a
// percentage while an upload runs. The behaviour lives in CanvasModel; this
// class adds the window side: the background tile, painting and the
// toolkit's mouse routing.
//
// Ownership: the panel owns its background, picture and display images
// (released by ReleaseImages); the editor owns the panel. Threads: window
// thread, except SetBusy, which the upload thread may call when an upload
// ends (the flag is atomic and the repaint is only requested).
#include <windows.h>

#include "editor/CanvasModel.h"
#include "image/PxImage.h"
#include "support/Flavour.h"
#include "ui/ControlBase.h"
#include "ui/GdiHandles.h"

class CanvasPanel : public Corvane::UI::ControlBase {
public:
    // Outline of the clip frame (COLORREF, red 73, green 110, blue 157).
    static constexpr COLORREF kFrameColour = 0x009D6E49;
    // Alpha of the white wash that dims the picture outside the frame.
    static constexpr uint8_t kWashAlpha = 70;
    // Busy circle: ARGB, black at alpha 150; a 100 x 100 square.
    static constexpr uint32_t kBusyArgb = 0x96000000;
    static constexpr int32_t kBusySize = 100;

    // Loads the background tile; a missing tile leaves the background plain.
    CanvasPanel();
    ~CanvasPanel() override;

    void OnPaint(Corvane::UI::CPaintEventArgs& e) override;
    void OnMouseDown(Corvane::UI::CMouseEventArgs& e) override;
    void OnMouseUp(Corvane::UI::CMouseEventArgs& e) override;
    void OnMouseMove(Corvane::UI::CMouseEventArgs& e) override;
    void OnMouseWheel(Corvane::UI::CMouseEventArgs& e) override;
    // Bounds from anchors and margins, then the picture's origin to the
    // top-left corner and the frame re-centred.
    void Layout() override;
    // The toolkit's release pass (the editor detaching from its window).
    void OnDestroy() override;
    // Deletes the background, the picture and the display image.
    virtual void ReleaseImages();
    // Loads the background tile again after a release pass (the editor
    // attached to a window again); nothing when it is there.
    void ReloadBackground();
    // Tiles the background over the bounds.
    virtual void DrawBackground(HDC dc);

    // Commands of the editor. Each repaints when it changed something.
    void OpenPicture(const PxChar* path);
    void ZoomIn();
    void ZoomOut();
    void RotateLeft();
    void RotateRight();
    void ResetView();
    // Fills target with the framed region; false when no picture is loaded.
    bool ExportClip(PxImage& target) { return model_.ExportClip(target); }
    // Stores the frame size and re-places the frame at once (a page that
    // changes the size on a live editor sees the new frame immediately).
    void SetClipSize(int32_t width, int32_t height);
    void SetStatusText(const PxString& text);
    void SetBusy(bool busy);

    bool IsBusy() const { return model_.IsBusy(); }
    const PxString& GetStatusText() const { return statusText_; }
    const CanvasModel& Model() const { return model_; }
    CanvasModel& Model() { return model_; }
    const PxImage& Background() const { return background_; }

private:
    void Repaint(bool changed);
    void PaintBusy(Corvane::UI::CPaintEventArgs& e);
    bool RenderTileCache(HDC dc, int32_t width, int32_t height);

    PxImage background_;
    // The opaque tile drawn once over a bounds-sized bitmap: one copy per
    // paint instead of a Draw per 16 x 16 tile. Rebuilt when the size
    // changes; dropped with the images.
    Corvane::UI::GdiObject<HBITMAP> tileCache_;
    int32_t tileCacheWidth_ = 0;
    int32_t tileCacheHeight_ = 0;
    CanvasModel model_;
    PxString statusText_;
};

// The canvas background tile of this flavour (npPixmend: a copy of the skin
// store's "CANVAS_BK"; Pixmend: its own "PNG" resource 204). Leaves target
// empty when the tile is not available.
void LoadCanvasBackground(PxImage& target);
