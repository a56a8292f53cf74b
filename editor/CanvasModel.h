#pragma once
// The canvas without its window: the picture as loaded, the display image
// built from it at the current zoom and rotation, the view geometry, the
// busy state and the cut of the framed region. CanvasPanel wraps it in a
// control and paints it; everything here is portable, so the behaviour is
// tested natively under the sanitizers as well as under Wine.
//
// Operations that change what is shown return true when the caller should
// repaint. All of them run on the window thread; only the busy flag is also
// written by the upload thread when an upload ends.
#include <atomic>
#include <memory>

#include "editor/CanvasGeometry.h"
#include "editor/DisplayImage.h"
#include "image/PxImage.h"
#include "support/Flavour.h"

class CanvasModel {
public:
    CanvasModel() : busy_(false) {}

    // A picture is loaded when an image object exists, also one whose file
    // could not be decoded (then it has no pixels and shows nothing).
    bool HasPicture() const { return picture_ != nullptr; }
    const PxImage* Picture() const { return picture_.get(); }
    const DisplayImage& Display() const { return display_; }
    // For painting (GDI calls take the image non-const); the block itself
    // can only change through DisplayImage's own operations.
    DisplayImage& Display() { return display_; }
    const CanvasGeometry& Geometry() const { return geometry_; }

    void Layout(const RECT& bounds);
    // Loads the file (format from its content) and shows it fitted. The
    // image replaces the current picture whether or not it decoded.
    void OpenPicture(const PxChar* path);
    // The same with an image already in memory; its buffers are moved in.
    void OpenImage(PxImage& image);
    bool ZoomIn();
    bool ZoomOut();
    bool RotateLeft();
    bool RotateRight();
    bool ResetView();
    // Stores the frame size and re-places the frame at once.
    void SetClipSize(int32_t width, int32_t height) { geometry_.SetClipSize(width, height); }

    // Mouse input in window coordinates. MouseDown returns whether the
    // canvas claims the mouse (a drag started).
    bool MouseDown(int32_t x, int32_t y);
    bool MouseMove(int32_t x, int32_t y);
    bool MouseUp(int32_t x, int32_t y);
    bool MouseWheel(int32_t delta);

    // Cuts the framed region of the display image into target (emptied
    // first). False when no picture is loaded; true otherwise, also when
    // the frame misses the display image and the cut stays empty.
    bool ExportClip(PxImage& target);

    void SetBusy(bool busy) { busy_.store(busy); }
    bool IsBusy() const { return busy_.load(); }

    // Frees the picture and the display image (the window is going away).
    void ReleaseImages();

private:
    void RebuildDisplay(CanvasSize size);
    // Largest display block the zoom steps of this picture can ask for.
    size_t ReserveHint() const;

    std::unique_ptr<PxImage> picture_;
    DisplayImage display_;
    CanvasGeometry geometry_;
    std::atomic<bool> busy_;
};
