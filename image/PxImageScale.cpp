// Scaling (ScaleTo, FitToBox) and the sub-pixel samplers used by painting.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "image/PxAreaShrink.h"
#include "image/PxImage.h"
#include "image/PxImageCanvas.h"

namespace {

uint8_t ClampByte(double v) {
    return v <= 0.0 ? 0 : (v >= 255.0 ? 255 : static_cast<uint8_t>(v + 0.5));
}

double Cubic(double t) {
    // Cubic convolution kernel, a = -0.5.
    t = std::fabs(t);
    if (t <= 1.0)
        return (1.5 * t - 2.5) * t * t + 1.0;
    if (t < 2.0)
        return ((-0.5 * t + 2.5) * t - 4.0) * t + 2.0;
    return 0.0;
}

int32_t ClampIndex(int32_t v, int32_t hi) {
    return v < 0 ? 0 : (v > hi ? hi : v);
}

}  // namespace

void PxImage::ScaleArea24(PxImage& target, uint32_t x0, uint32_t y0, uint32_t nw, uint32_t nh) {
    // Rows are handed over in memory order on both sides, so the picture's
    // bottom-up storage needs no flipping.
    const PxPixels24 src{GetBits(0), static_cast<ptrdiff_t>(GetEffWidth()), GetWidth(), GetHeight()};
    const PxPixels24Out dst{target.GetBits(y0) + size_t{3} * x0,
                            static_cast<ptrdiff_t>(target.GetEffWidth()), nw, nh};
    PxAreaShrink shrink;
    shrink.Run(src, dst, &info_.escape, &info_.progress);
}

// Bilinear (mode 0), nearest (mode 1) or bicubic (mode 2) resampling at the
// source point (x * width / newWidth, y * height / newHeight).
void PxImage::ScaleResample(PxImage& target, uint32_t x0, uint32_t y0, uint32_t nw, uint32_t nh,
                            int32_t mode) {
    const int32_t w = static_cast<int32_t>(GetWidth()), h = static_cast<int32_t>(GetHeight());
    const double xs = static_cast<double>(w) / nw, ys = static_cast<double>(h) / nh;
    const bool direct = GetBpp() == 24;
    uint32_t y = 0;
    for (; y < nh && !info_.escape; ++y) {
        const double fy = y * ys;
        const int32_t iy = ClampIndex(static_cast<int32_t>(fy), h - 1);
        for (uint32_t x = 0; x < nw; ++x) {
            const double fx = x * xs;
            const int32_t ix = ClampIndex(static_cast<int32_t>(fx), w - 1);
            const int32_t tx = static_cast<int32_t>(x0 + x), ty = static_cast<int32_t>(y0 + y);
            if (mode == 1 && !direct) {
                target.SetPixelIndex(tx, ty, GetPixelIndex(ix, iy));
                continue;
            }
            RGBQUAD c;
            if (mode == 1) {
                c = GetPixelColor(ix, iy, false);
            } else if (mode == 2) {
                double acc[3] = {0, 0, 0};
                for (int32_t m = -1; m <= 2; ++m) {
                    const double ky = Cubic(fy - (iy + m));
                    for (int32_t k = -1; k <= 2; ++k) {
                        const double wgt = ky * Cubic(fx - (ix + k));
                        const RGBQUAD p = GetPixelColor(ClampIndex(ix + k, w - 1),
                                                        ClampIndex(iy + m, h - 1), false);
                        acc[0] += p.rgbBlue * wgt;
                        acc[1] += p.rgbGreen * wgt;
                        acc[2] += p.rgbRed * wgt;
                    }
                }
                c = RGBQUAD{ClampByte(acc[0]), ClampByte(acc[1]), ClampByte(acc[2]), 0};
            } else {
                const double dx = fx - ix, dy = fy - iy;
                const int32_t ix1 = ix + 1 < w ? ix + 1 : w - 1;
                const int32_t iy1 = iy + 1 < h ? iy + 1 : h - 1;
                const RGBQUAD p00 = GetPixelColor(ix, iy, false), p10 = GetPixelColor(ix1, iy, false);
                const RGBQUAD p01 = GetPixelColor(ix, iy1, false), p11 = GetPixelColor(ix1, iy1, false);
                auto blend = [&](uint8_t a, uint8_t b, uint8_t c2, uint8_t d) {
                    return ClampByte((a * (1 - dx) + b * dx) * (1 - dy) + (c2 * (1 - dx) + d * dx) * dy);
                };
                c = RGBQUAD{blend(p00.rgbBlue, p10.rgbBlue, p01.rgbBlue, p11.rgbBlue),
                            blend(p00.rgbGreen, p10.rgbGreen, p01.rgbGreen, p11.rgbGreen),
                            blend(p00.rgbRed, p10.rgbRed, p01.rgbRed, p11.rgbRed), 0};
            }
            target.SetPixelColor(tx, ty, c, false);
        }
        info_.progress = static_cast<int32_t>(uint64_t{y + 1} * 100 / nh);
    }
    // Rows an Escape left unreached are black (index 0), not stale memory.
    for (; y < nh; ++y) {
        for (uint32_t x = 0; x < nw; ++x) {
            const int32_t tx = static_cast<int32_t>(x0 + x), ty = static_cast<int32_t>(y0 + y);
            if (direct)
                target.SetPixelColor(tx, ty, RGBQUAD{0, 0, 0, 0}, false);
            else
                target.SetPixelIndex(tx, ty, 0);
        }
    }
}

void PxImage::ScaleInto(PxImage& target, uint32_t x0, uint32_t y0, uint32_t nw, uint32_t nh,
                        int32_t mode) {
    const uint32_t w = GetWidth(), h = GetHeight();
    if (info_.escape) {
        // Stopped before it began: a defined (black) picture, not stale memory.
        std::memset(target.GetBits(0), 0, target.head_.biSizeImage);
        return;
    }
    if (mode == 0 && GetBpp() == 24 && nw < w && nh < h && h <= PxAreaShrink::kMaxHeight)
        ScaleArea24(target, x0, y0, nw, nh);
    else
        ScaleResample(target, x0, y0, nw, nh, mode);
    if (!alpha_ || !target.alpha_)
        return;
    const double xs = static_cast<double>(w) / nw, ys = static_cast<double>(h) / nh;
    const size_t tw = target.GetWidth();
    for (uint32_t y = 0; y < nh; ++y) {
        const uint32_t sy = static_cast<uint32_t>(y * ys);
        const uint8_t* srcRow = alpha_ + size_t{sy < h ? sy : h - 1} * w;
        uint8_t* dstRow = target.alpha_ + (size_t{y0} + y) * tw + x0;
        for (uint32_t x = 0; x < nw; ++x) {
            const uint32_t sx = static_cast<uint32_t>(x * xs);
            dstRow[x] = srcRow[sx < w ? sx : w - 1];
        }
    }
}

bool PxImage::ScaleTo(int32_t newWidth, int32_t newHeight, int32_t mode, PxImage* dst) {
    if (!IsValid() || newWidth <= 0 || newHeight <= 0 || mode < 0 || mode > 2)
        return false;
    if (static_cast<uint32_t>(newWidth) == GetWidth() && static_cast<uint32_t>(newHeight) == GetHeight()) {
        if (dst && dst != this)
            return dst->CopyFrom(*this);
        return true;
    }
    PxImage tmp(GetType());
    if (!tmp.Create(static_cast<uint32_t>(newWidth), static_cast<uint32_t>(newHeight), GetBpp(),
                    GetType())) {
        CopyErrorFrom(tmp);
        return false;
    }
    tmp.SetPalette(GetPalette(), GetNumColors());
    if (alpha_ && !tmp.CreateAlpha()) {
        SetLastError("PxImage::Create can't allocate memory");
        return false;
    }
    ScaleInto(tmp, 0, 0, static_cast<uint32_t>(newWidth), static_cast<uint32_t>(newHeight), mode);
    return Transfer(tmp, dst);
}

void PxImage::FitToBoxSize(uint32_t width, uint32_t height, uint32_t boxWidth,
                           uint32_t boxHeight, uint32_t* newWidth, uint32_t* newHeight) {
    // The box is relatively wider than the picture exactly when bw * h > w * bh.
    const uint64_t w = width, h = height, bw = boxWidth, bh = boxHeight;
    uint64_t nw, nh;
    if (bw * h > w * bh) {
        nh = bh;
        nw = w * bh / h;
    } else {
        nw = bw;
        nh = h * bw / w;
    }
    *newWidth = static_cast<uint32_t>(nw ? nw : 1);
    *newHeight = static_cast<uint32_t>(nh ? nh : 1);
}

// Shrinks a picture larger than the box (keeping its aspect) and centres it
// on a box-sized canvas. The scaled picture is written straight into the
// canvas: no full-size working copy and no intermediate scaled image.
bool PxImage::FitToBox(int32_t boxWidth, int32_t boxHeight, RGBQUAD canvas, PxImage* dst) {
    if (!IsValid() || boxWidth <= 0 || boxHeight <= 0)
        return false;
    const uint32_t w = GetWidth(), h = GetHeight();
    const uint32_t bw = static_cast<uint32_t>(boxWidth), bh = static_cast<uint32_t>(boxHeight);
    if (w <= bw && h <= bh)
        return CenterOnCanvas(boxWidth, boxHeight, canvas, dst);
    uint32_t nw = 0, nh = 0;
    FitToBoxSize(w, h, bw, bh, &nw, &nh);
    const uint32_t left = (bw - nw) / 2;
    const uint32_t top = (bh - nh) / 2;
    const uint32_t bottom = bh - nh - top;
    PxImage tmp(GetType());
    if (!PxCanvas::Prepare(*this, tmp, bw, bh, left, bottom, nw, nh, canvas, false)) {
        CopyErrorFrom(tmp);
        return false;
    }
    ScaleInto(tmp, left, bottom, nw, nh, 0);
    return Transfer(tmp, dst);
}

RGBQUAD PxImage::SampleBilinear(double x, double y) const {
    if (!IsValid())
        return RGBQUAD{0, 0, 0, 0};
    const int32_t w = static_cast<int32_t>(GetWidth()), h = static_cast<int32_t>(GetHeight());
    const double fx = std::floor(x), fy = std::floor(y);
    const double dx = x - fx, dy = y - fy;
    const int32_t ix = static_cast<int32_t>(std::fmax(-1.0, std::fmin(fx, w)));
    const int32_t iy = static_cast<int32_t>(std::fmax(-1.0, std::fmin(fy, h)));
    const int32_t x0 = ClampIndex(ix, w - 1), x1 = ClampIndex(ix + 1, w - 1);
    const int32_t y0 = ClampIndex(iy, h - 1), y1 = ClampIndex(iy + 1, h - 1);
    const RGBQUAD p00 = GetPixelColor(x0, y0), p10 = GetPixelColor(x1, y0);
    const RGBQUAD p01 = GetPixelColor(x0, y1), p11 = GetPixelColor(x1, y1);
    auto blend = [&](uint8_t a, uint8_t b, uint8_t c, uint8_t d) {
        return ClampByte((a * (1 - dx) + b * dx) * (1 - dy) + (c * (1 - dx) + d * dx) * dy);
    };
    return RGBQUAD{blend(p00.rgbBlue, p10.rgbBlue, p01.rgbBlue, p11.rgbBlue),
                   blend(p00.rgbGreen, p10.rgbGreen, p01.rgbGreen, p11.rgbGreen),
                   blend(p00.rgbRed, p10.rgbRed, p01.rgbRed, p11.rgbRed),
                   blend(p00.rgbReserved, p10.rgbReserved, p01.rgbReserved, p11.rgbReserved)};
}

// Pixel i covers [i - 0.5, i + 0.5), so that pixel centres sit on integers
// as in SampleBilinear.
RGBQUAD PxImage::SampleArea(double x, double y, double w, double h) const {
    if (!IsValid())
        return RGBQUAD{0, 0, 0, 0};
    if (w <= 1.0 && h <= 1.0)
        return SampleBilinear(x, y);
    w = std::fmax(w, 1.0);
    h = std::fmax(h, 1.0);
    const int32_t iw = static_cast<int32_t>(GetWidth()), ih = static_cast<int32_t>(GetHeight());
    const double left = x - w / 2, right = x + w / 2, bottom = y - h / 2, top = y + h / 2;
    const int32_t xa = static_cast<int32_t>(std::floor(left + 0.5));
    const int32_t xb = static_cast<int32_t>(std::ceil(right + 0.5));
    const int32_t ya = static_cast<int32_t>(std::floor(bottom + 0.5));
    const int32_t yb = static_cast<int32_t>(std::ceil(top + 0.5));
    double acc[4] = {0, 0, 0, 0}, total = 0;
    for (int32_t py = ya; py < yb; ++py) {
        const double oy = std::fmin(top, py + 0.5) - std::fmax(bottom, py - 0.5);
        if (oy <= 0)
            continue;
        for (int32_t px = xa; px < xb; ++px) {
            const double ox = std::fmin(right, px + 0.5) - std::fmax(left, px - 0.5);
            if (ox <= 0)
                continue;
            const RGBQUAD c = GetPixelColor(ClampIndex(px, iw - 1), ClampIndex(py, ih - 1));
            const double a = ox * oy;
            acc[0] += c.rgbBlue * a;
            acc[1] += c.rgbGreen * a;
            acc[2] += c.rgbRed * a;
            acc[3] += c.rgbReserved * a;
            total += a;
        }
    }
    if (total <= 0)
        return SampleBilinear(x, y);
    return RGBQUAD{ClampByte(acc[0] / total), ClampByte(acc[1] / total), ClampByte(acc[2] / total),
                   ClampByte(acc[3] / total)};
}
