// Image operations on a synthetic 6000 x 4000 24-bit photo-like picture:
// FitToBox to the canvas sizes, rotation of a 4000 x 3000 picture against a
// plain copy of the same bytes, and a 400 x 400 crop. Times include every
// allocation the operation makes; destinations live across iterations, as
// the canvas keeps its display image across zoom steps.
//
//   image_bench [--dump-rgb=PATH] [benchmark flags]
// --dump-rgb writes the 6000 x 4000 picture as top-down RGB bytes (for
// bench/pillow_resize.py) and exits.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "image/PxImage.h"

namespace {

constexpr uint32_t kPhotoW = 6000, kPhotoH = 4000;
const RGBQUAD kWhite = {255, 255, 255, 0};

uint8_t Clamp(int v) {
    return static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v));
}

// Smooth light and colour gradients, a few hard edges and sensor-like noise.
void PaintPhoto(PxImage& img) {
    const uint32_t w = img.GetWidth(), h = img.GetHeight();
    std::vector<int> wave(w + h);
    for (size_t i = 0; i < wave.size(); ++i)
        wave[i] = static_cast<int>(60.0 * std::sin(i / 350.0));
    uint32_t seed = 12345;
    for (uint32_t y = 0; y < h; ++y) {
        uint8_t* row = img.GetBits(y);
        for (uint32_t x = 0; x < w; ++x, row += 3) {
            seed = seed * 1664525u + 1013904223u;
            const int noise = static_cast<int>((seed >> 24) & 15) - 8;
            const int edge = ((x / 700 + y / 500) & 1) ? 25 : -25;
            row[0] = Clamp(90 + wave[x] + edge + noise);
            row[1] = Clamp(120 + wave[y] - edge / 2 + noise);
            row[2] = Clamp(150 + wave[x + y] / 2 + static_cast<int>(y / 40) - 50 + noise);
        }
    }
}

const PxImage& Photo() {
    static PxImage* photo = [] {
        PxImage* img = new PxImage(kPhotoW, kPhotoH, 24, PXIMAGE_FORMAT_JPG);
        PaintPhoto(*img);
        return img;
    }();
    return *photo;
}

void SetRate(benchmark::State& state, double megapixels) {
    state.counters["MP/s"] =
        benchmark::Counter(megapixels, benchmark::Counter::kIsIterationInvariantRate);
}

void BM_FitToBox(benchmark::State& state) {
    PxImage& src = const_cast<PxImage&>(Photo());
    PxImage dst;
    const int32_t bw = static_cast<int32_t>(state.range(0)), bh = static_cast<int32_t>(state.range(1));
    for (auto _ : state) {
        if (!src.FitToBox(bw, bh, kWhite, &dst))
            state.SkipWithError(src.GetLastError());
        benchmark::DoNotOptimize(dst.GetBits());
    }
    SetRate(state, kPhotoW * double{kPhotoH} / 1e6);
}
BENCHMARK(BM_FitToBox)
    ->Args({800, 533})->Args({960, 640})->Args({1600, 1066})->Args({3200, 2132})
    ->Unit(benchmark::kMillisecond)->UseRealTime();

// Rotation in place; the picture alternates between 4000 x 3000 and
// 3000 x 4000, the same bytes each time.
// Rotates the 12-megapixel picture clockwise once per iteration.
void TimeRotations(benchmark::State& state, PxImage& img) {
    for (auto _ : state) {
        if (!img.RotateClockwise())
            state.SkipWithError(img.GetLastError());
        benchmark::DoNotOptimize(img.GetBits());
    }
    SetRate(state, 12.0);
}

void BM_RotateClockwise(benchmark::State& state) {
    PxImage img(4000, 3000, 24);
    PaintPhoto(img);
    TimeRotations(state, img);
}
BENCHMARK(BM_RotateClockwise)->Unit(benchmark::kMillisecond)->UseRealTime();

// The one-byte path: 8-bpp pictures, and the alpha and selection planes.
void BM_RotateClockwise8(benchmark::State& state) {
    PxImage img(4000, 3000, 8);
    for (uint32_t y = 0; y < 3000; ++y) {
        uint8_t* row = img.GetBits(y);
        for (uint32_t x = 0; x < 4000; ++x)
            row[x] = static_cast<uint8_t>(x * 7 + y * 3);
    }
    TimeRotations(state, img);
}
BENCHMARK(BM_RotateClockwise8)->Unit(benchmark::kMillisecond)->UseRealTime();

// The floor for rotation: copying the same 36 MB once, into a buffer that
// already exists.
void BM_MemcpySameBytes(benchmark::State& state) {
    PxImage img(4000, 3000, 24);
    PaintPhoto(img);
    const size_t bytes = img.GetHeader().biSizeImage;
    std::vector<uint8_t> target(bytes, 1);
    for (auto _ : state) {
        std::memcpy(target.data(), img.GetBits(), bytes);
        benchmark::DoNotOptimize(target.data());
        benchmark::ClobberMemory();
    }
    SetRate(state, 12.0);
}
BENCHMARK(BM_MemcpySameBytes)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_Crop400(benchmark::State& state) {
    PxImage& src = const_cast<PxImage&>(Photo());
    PxImage dst;
    for (auto _ : state) {
        if (!src.Crop(2800, 1800, 3200, 2200, &dst))
            state.SkipWithError("crop failed");
        benchmark::DoNotOptimize(dst.GetBits());
    }
    SetRate(state, 0.16);
}
BENCHMARK(BM_Crop400)->Unit(benchmark::kMillisecond)->UseRealTime();

bool DumpRgb(const char* path) {
    const PxImage& img = Photo();
    FILE* fp = std::fopen(path, "wb");
    if (!fp)
        return false;
    std::vector<uint8_t> line(kPhotoW * 3);
    bool ok = true;
    for (uint32_t r = 0; r < kPhotoH && ok; ++r) {
        const uint8_t* row = img.GetBits(kPhotoH - 1 - r);  // top row first
        for (uint32_t x = 0; x < kPhotoW; ++x) {
            line[x * 3 + 0] = row[x * 3 + 2];
            line[x * 3 + 1] = row[x * 3 + 1];
            line[x * 3 + 2] = row[x * 3 + 0];
        }
        ok = std::fwrite(line.data(), 1, line.size(), fp) == line.size();
    }
    return std::fclose(fp) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string dump = "--dump-rgb=";
    for (int i = 1; i < argc; ++i)
        if (std::strncmp(argv[i], dump.c_str(), dump.size()) == 0)
            return DumpRgb(argv[i] + dump.size()) ? 0 : 1;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
