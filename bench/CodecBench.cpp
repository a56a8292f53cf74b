// Codec benchmarks: decoding a 6000 x 4000 picture as JPEG (quality 92), PNG
// and BMP, and encoding 400 x 400 and 1600 x 1200 clips of it into memory as
// JPEG quality 100, PNG and BMP. The pictures come from
// bench/make_codec_images.sh (directory in PIXMEND_BENCH_IMAGES, default
// /tmp/pixmend-bench); bench/pillow_codecs.py times the same work with
// Pillow for the ratios.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "image/PxFile.h"
#include "image/PxImage.h"

namespace {

using Bytes = std::vector<uint8_t>;

const Bytes& Picture(const char* name) {
    static std::vector<std::pair<std::string, Bytes>> cache;
    for (const auto& entry : cache)
        if (entry.first == name)
            return entry.second;
    const char* dir = std::getenv("PIXMEND_BENCH_IMAGES");
    std::ifstream in(std::string(dir ? dir : "/tmp/pixmend-bench") + "/" + name, std::ios::binary);
    cache.emplace_back(name, Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()));
    return cache.back().second;
}

void Decode(benchmark::State& state, const char* name, uint32_t format) {
    const Bytes& bytes = Picture(name);
    if (bytes.empty()) {
        state.SkipWithError("picture missing: run bench/make_codec_images.sh");
        return;
    }
    for (auto _ : state) {
        PxMemFile file(const_cast<uint8_t*>(bytes.data()), uint32_t(bytes.size()));
        PxImage image;
        if (!image.Decode(&file, format)) {
            state.SkipWithError(image.GetLastError());
            return;
        }
        benchmark::DoNotOptimize(image.GetBits(0));
    }
}

void BM_DecodeJpeg24MP(benchmark::State& s) { Decode(s, "big.jpg", PXIMAGE_FORMAT_JPG); }
void BM_DecodePng24MP(benchmark::State& s) { Decode(s, "big.png", PXIMAGE_FORMAT_PNG); }
void BM_DecodeBmp24MP(benchmark::State& s) { Decode(s, "big.bmp", PXIMAGE_FORMAT_BMP); }
BENCHMARK(BM_DecodeJpeg24MP)->Unit(benchmark::kMillisecond)->MinTime(3);
BENCHMARK(BM_DecodePng24MP)->Unit(benchmark::kMillisecond)->MinTime(3);
BENCHMARK(BM_DecodeBmp24MP)->Unit(benchmark::kMillisecond)->MinTime(3);

// The clip as the editor makes it: a 24-bpp crop of the picture.
const PxImage& Clip(int width, int height) {
    static PxImage* clips[2] = {nullptr, nullptr};
    PxImage*& clip = clips[width == 400 ? 0 : 1];
    if (!clip) {
        clip = new PxImage();
        const Bytes& bytes = Picture("big.bmp");
        PxMemFile file(const_cast<uint8_t*>(bytes.data()), uint32_t(bytes.size()));
        if (clip->Decode(&file, PXIMAGE_FORMAT_BMP))
            clip->Crop(1000, 1000, 1000 + width, 1000 + height);
    }
    return *clip;
}

void Encode(benchmark::State& state, uint32_t format) {
    PxImage clip(Clip(int(state.range(0)), int(state.range(1))));
    if (!clip.IsValid()) {
        state.SkipWithError("picture missing: run bench/make_codec_images.sh");
        return;
    }
    clip.SetQuality(100);
    size_t bytes = 0;
    for (auto _ : state) {
        PxMemFile file;
        file.Open();
        if (!clip.Encode(&file, format)) {
            state.SkipWithError(clip.GetLastError());
            return;
        }
        bytes = size_t(file.Size());
    }
    state.counters["bytes"] = double(bytes);
}

void BM_EncodeJpegQ100(benchmark::State& s) { Encode(s, PXIMAGE_FORMAT_JPG); }
void BM_EncodePng(benchmark::State& s) { Encode(s, PXIMAGE_FORMAT_PNG); }
void BM_EncodeBmp(benchmark::State& s) { Encode(s, PXIMAGE_FORMAT_BMP); }
BENCHMARK(BM_EncodeJpegQ100)->Args({400, 400})->Args({1600, 1200})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EncodePng)->Args({400, 400})->Args({1600, 1200})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EncodeBmp)->Args({400, 400})->Args({1600, 1200})->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
