#pragma once
// View geometry of the canvas: where the display image is drawn, where the
// clip frame sits, the zoom factor and the drag state. Pure arithmetic on
// window coordinates (right and bottom exclusive); the caller owns the
// pixels and tells this class the display image's real size where it
// matters (clamping), because a rotation or a failed rebuild can make it
// differ from the requested one.
#include <cstdint>

#include "image/PxImageTypes.h"

struct CanvasSize {
    int32_t width;
    int32_t height;
};

inline bool operator==(CanvasSize a, CanvasSize b) {
    return a.width == b.width && a.height == b.height;
}

class CanvasGeometry {
public:
    static constexpr float kZoomStep = 0.2f;
    static constexpr float kZoomMax = 4.0f;
    static constexpr float kZoomMin = 0.06f;

    CanvasGeometry();

    // New bounds: the image origin moves to the bounds' top-left corner and
    // the frame is centred with the current clip size.
    void Layout(const RECT& bounds);
    // Stores the clip size (negative values become 0) and, once the canvas
    // has been laid out, re-centres the frame at once.
    void SetClipSize(int32_t width, int32_t height);

    // A new picture: zoom 1, no drag, fitted to the bounds and centred.
    void Open(CanvasSize picture);
    // Back to zoom 1 and the centred fitted view; the drag is dropped.
    void Reset();
    // One zoom step; returns the display size to build.
    CanvasSize ZoomIn();
    // One step out; the size is raised to at least the frame's.
    CanvasSize ZoomOut();

    // Keeps the frame covered by a display image of the given size where
    // possible, moving only the image origin.
    void Clamp(CanvasSize display);

    // Mouse press at (x, y): starts a drag when inside the bounds and
    // returns whether it did.
    bool BeginDrag(int32_t x, int32_t y);
    // Follows a move during a drag; false when no drag is in progress.
    bool DragTo(int32_t x, int32_t y, CanvasSize display);
    // Ends a drag: a release inside the bounds recomputes the position from
    // the release point, one outside keeps the last move. Commits the
    // position; false when no drag was in progress.
    bool EndDrag(int32_t x, int32_t y, CanvasSize display);

    // The frame in display-image pixels (top-down, right and bottom
    // exclusive); may reach outside the display image.
    RECT ClipRectInDisplay() const;

    const RECT& Bounds() const { return bounds_; }
    const RECT& FrameRect() const { return frameRect_; }
    const RECT& ImageRect() const { return imageRect_; }
    const RECT& AnchorRect() const { return anchorRect_; }
    CanvasSize ClipSize() const { return clipSize_; }
    CanvasSize DisplaySize() const { return displaySize_; }
    CanvasSize BaseSize() const { return baseSize_; }
    CanvasSize FrameSize() const;
    float Zoom() const { return zoom_; }
    bool Dragging() const { return dragging_; }

private:
    CanvasSize ZoomedSize() const;
    static bool Contains(const RECT& r, int32_t x, int32_t y);
    static RECT Offset(const RECT& r, int32_t dx, int32_t dy);

    RECT bounds_;
    RECT frameRect_;
    RECT imageRect_;   // only left and top are the drawing origin
    RECT anchorRect_;  // imageRect_ as committed when the drag started
    CanvasSize clipSize_;
    CanvasSize displaySize_;
    CanvasSize baseSize_;
    int32_t dragStartX_;
    int32_t dragStartY_;
    bool dragging_;
    bool laidOut_;
    float zoom_;
};
