// Canvas timings for a 6000 x 4000 photo in an 800 x 500 canvas: opening
// (decode and fit), each zoom-in step from 1.0 to 4.0, and a drag move.
// Zoom steps are timed both as the canvas runs them (display block kept)
// and through the image library's FitToBox, for comparison.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <vector>

#include "editor/CanvasModel.h"
#include "image/PxFile.h"

namespace {

const RECT kBounds{1, 60, 801, 560};  // 800 x 500
const RGBQUAD kWhite{255, 255, 255, 0};

// A smooth gradient with texture, so JPEG decoding does realistic work.
PxImage& Photo() {
    static PxImage* photo = [] {
        auto* img = new PxImage(6000, 4000, 24);
        for (uint32_t y = 0; y < 4000; ++y) {
            uint8_t* row = img->GetBits(y);
            for (uint32_t x = 0; x < 6000; ++x) {
                row[3 * x] = static_cast<uint8_t>(x / 24 + ((x * y) >> 9 & 15));
                row[3 * x + 1] = static_cast<uint8_t>(y / 16 + (x & 7));
                row[3 * x + 2] = static_cast<uint8_t>((x + y) / 40 + ((x ^ y) & 31));
            }
        }
        return img;
    }();
    return *photo;
}

const std::string& PhotoFile() {
    static const std::string path = [] {
        PxMemFile stream;
        stream.Open();
        Photo().SetQuality(90);
        Photo().Encode(&stream, PXIMAGE_FORMAT_JPG);
        const std::string p = "/tmp/pixmend-canvas-bench-6000x4000.jpg";
        if (FILE* f = std::fopen(p.c_str(), "wb")) {
            std::fwrite(stream.GetBuffer(false), 1, static_cast<size_t>(stream.Size()), f);
            std::fclose(f);
        }
        return p;
    }();
    return path;
}

// Display sizes of the zoom-in steps 1.2 .. 4.0 of the canvas.
std::vector<CanvasSize> ZoomSizes() {
    CanvasGeometry g;
    g.Layout(kBounds);
    g.Open(CanvasSize{6000, 4000});
    std::vector<CanvasSize> sizes;
    for (int i = 0; i < 15; ++i)
        sizes.push_back(g.ZoomIn());
    return sizes;
}

void OpenPicture(benchmark::State& state) {
    const std::string& path = PhotoFile();
    for (auto _ : state) {
        CanvasModel model;
        model.Layout(kBounds);
        model.OpenPicture(path.c_str());
        benchmark::DoNotOptimize(model.Display().GetDIB());
    }
}
BENCHMARK(OpenPicture)->Unit(benchmark::kMillisecond)->Iterations(5);

// One zoom step to the size of step state.range(0) (1 = zoom 1.2, 15 = 4.0),
// as the canvas's display image rebuilds it, block already in place.
void ZoomStep(benchmark::State& state) {
    const CanvasSize size = ZoomSizes()[static_cast<size_t>(state.range(0) - 1)];
    DisplayImage display;
    const size_t reserve = 40 + static_cast<size_t>(ZoomSizes().back().width * 3 + 3) / 4 * 4 *
                                    static_cast<size_t>(ZoomSizes().back().height);
    display.Rebuild(Photo(), size, reserve);
    for (auto _ : state)
        benchmark::DoNotOptimize(display.Rebuild(Photo(), size, reserve));
    state.SetLabel(std::to_string(size.width) + "x" + std::to_string(size.height));
}
BENCHMARK(ZoomStep)->DenseRange(1, 15, 1)->Unit(benchmark::kMillisecond);

// The same sizes through PxImage::FitToBox into a fresh image each time.
void LibraryFitToBox(benchmark::State& state) {
    const CanvasSize size = ZoomSizes()[static_cast<size_t>(state.range(0) - 1)];
    for (auto _ : state) {
        PxImage out;
        benchmark::DoNotOptimize(Photo().FitToBox(size.width, size.height, kWhite, &out));
    }
    state.SetLabel(std::to_string(size.width) + "x" + std::to_string(size.height));
}
BENCHMARK(LibraryFitToBox)->Arg(1)->Arg(8)->Arg(15)->Unit(benchmark::kMillisecond);

// The user's sequence: open (picture in memory), then 15 zoom-in steps,
// first-time page faults included. Reported per step.
void ZoomInSequence(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        CanvasModel model;
        model.Layout(kBounds);
        PxImage copy(Photo());
        model.OpenImage(copy);
        state.ResumeTiming();
        for (int i = 0; i < 15; ++i)
            model.ZoomIn();
        benchmark::DoNotOptimize(model.Display().GetDIB());
    }
    state.counters["per_step_ms"] = benchmark::Counter(
        15.0, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert,
        benchmark::Counter::kIs1000);
}
BENCHMARK(ZoomInSequence)->Unit(benchmark::kMillisecond)->Iterations(3);

// A drag move: only the origin changes; no pixel is touched.
void DragMove(benchmark::State& state) {
    CanvasModel model;
    model.Layout(kBounds);
    PxImage copy(Photo());
    model.OpenImage(copy);
    model.MouseDown(400, 300);
    int32_t x = 400;
    for (auto _ : state) {
        x = x == 400 ? 380 : 400;
        benchmark::DoNotOptimize(model.MouseMove(x, 280));
    }
}
BENCHMARK(DragMove);

}  // namespace

BENCHMARK_MAIN();
