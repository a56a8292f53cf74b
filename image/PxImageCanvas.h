#pragma once
// Canvas helpers shared by ExpandCanvas and FitToBox (internal to the image
// library). Coordinates are storage coordinates (bottom-up rows).
#include <cstdint>

#include "image/PxImageTypes.h"

class PxImage;

struct PxCanvas {
    // Fills everything outside the w x h area at (x0, y0) with the canvas
    // colour (palette images: its nearest palette index).
    static void FillOutside(PxImage& img, uint32_t x0, uint32_t y0, uint32_t w, uint32_t h,
                            RGBQUAD canvas);
    // Creates a width x height result for src (same depth, type, palette),
    // filled outside the w x h area at (x0, y0), with an alpha channel set to
    // the canvas reserved byte and (withSelection) an empty selection mask when
    // src has them.
    // False with the message in tmp.
    static bool Prepare(const PxImage& src, PxImage& tmp, uint32_t width, uint32_t height,
                        uint32_t x0, uint32_t y0, uint32_t w, uint32_t h, RGBQUAD canvas,
                        bool withSelection = true);
};
