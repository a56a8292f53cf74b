// Untrusted bytes: every prefix and random byte flips of valid files, and the
// committed malformed files. Decoders must fail cleanly or succeed with a
// sane image; the sanitizers catch any out-of-bounds access or leak.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <random>
#include <string>

#include "CodecTestUtil.h"
#include "ExifBuilder.h"

namespace {

void ExpectSane(const PxImage& image, bool ok, const std::string& what) {
    if (ok) {
        EXPECT_TRUE(image.IsValid()) << what;
        EXPECT_GT(image.GetWidth(), 0u) << what;
        EXPECT_GT(image.GetHeight(), 0u) << what;
    } else {
        EXPECT_FALSE(image.IsValid()) << what;
    }
}

void DecodeEveryPrefix(const Bytes& valid, uint32_t format, const char* name) {
    for (size_t n = 0; n < valid.size(); ++n) {
        const Bytes prefix(valid.begin(), valid.begin() + long(n));
        PxImage image;
        ExpectSane(image, DecodeBytes(image, prefix, format), std::string(name) + " prefix " + std::to_string(n));
    }
}

void DecodeFlipped(const Bytes& valid, uint32_t format, const char* name, int rounds) {
    std::mt19937 rng(20261208);
    for (int i = 0; i < rounds; ++i) {
        Bytes bytes = valid;
        const int flips = 1 + int(rng() % 4);
        for (int f = 0; f < flips; ++f)
            bytes[rng() % bytes.size()] ^= uint8_t(1u << (rng() % 8));
        PxImage image;
        ExpectSane(image, DecodeBytes(image, bytes, format), std::string(name) + " round " + std::to_string(i));
    }
}

struct Sample {
    const char* name;
    uint32_t format;
    Bytes bytes;
};

std::vector<Sample> ValidSamples() {
    std::vector<Sample> out;
    PxImage rgb;
    MakePattern(rgb, 13, 9);
    out.push_back({"bmp24", PXIMAGE_FORMAT_BMP, EncodeBytes(rgb, PXIMAGE_FORMAT_BMP)});
    out.push_back({"png24", PXIMAGE_FORMAT_PNG, EncodeBytes(rgb, PXIMAGE_FORMAT_PNG)});
    rgb.SetCodecOption(PXIMAGE_FORMAT_JPG, 0x10);  // progressive
    out.push_back({"jpeg-progressive", PXIMAGE_FORMAT_JPG, EncodeBytes(rgb, PXIMAGE_FORMAT_JPG)});
    rgb.SetCodecOption(PXIMAGE_FORMAT_JPG, 0);
    const Bytes exif = ExifBlock(Cat({ExifDirectory({{0x011A, 5, 1, 38}, {0x8769, 4, 1, 46}}),
                                      U32(300), U32(1), ExifDirectory({{0x8827, 3, 1, 100}})}));
    out.push_back({"jpeg-exif", PXIMAGE_FORMAT_JPG, WithApp1(EncodeBytes(rgb, PXIMAGE_FORMAT_JPG), exif)});
    PxImage alpha;
    MakePattern(alpha, 11, 7);
    alpha.CreateAlpha();
    alpha.SetCodecOption(PXIMAGE_FORMAT_PNG, 1);
    out.push_back({"png-interlaced-alpha", PXIMAGE_FORMAT_PNG, EncodeBytes(alpha, PXIMAGE_FORMAT_PNG)});
    PxImage pal(17, 5, 8, 0);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 17; ++x)
            pal.SetPixelIndex(x, y, uint8_t(x / 3));
    out.push_back({"bmp8", PXIMAGE_FORMAT_BMP, EncodeBytes(pal, PXIMAGE_FORMAT_BMP)});
    // RLE8: runs, an absolute run, a delta and the end code.
    out.push_back({"bmp-rle8", PXIMAGE_FORMAT_BMP,
                   Cat({{'B', 'M'}, U32(0), U32(0), U32(54 + 8), U32(40), U32(6), U32(4), U16(1), U16(8),
                        U32(1), U32(0), U32(0), U32(0), U32(2), U32(0), Zeros(8),
                        {3, 1, 0, 0, 0, 3, 1, 0, 1, 0, 0, 2, 1, 1, 2, 1, 0, 0, 0, 1}})});
    if (FlavourTraits::kHasGif) {
        pal.SetTransIndex(2);
        out.push_back({"gif8", PXIMAGE_FORMAT_GIF, EncodeBytes(pal, PXIMAGE_FORMAT_GIF)});
        PxImage tiles;
        MakePattern(tiles, 20, 18);
        out.push_back({"gif-tiles", PXIMAGE_FORMAT_GIF, EncodeBytes(tiles, PXIMAGE_FORMAT_GIF)});
    }
    if (FlavourTraits::kHasTiff) {
        out.push_back({"tiff24", PXIMAGE_FORMAT_TIF, EncodeBytes(rgb, PXIMAGE_FORMAT_TIF)});
        out.push_back({"tiff8", PXIMAGE_FORMAT_TIF, EncodeBytes(pal, PXIMAGE_FORMAT_TIF)});
    }
    return out;
}

TEST(CodecRobustness, EveryPrefixOfValidFiles) {
    for (const Sample& s : ValidSamples()) {
        ASSERT_FALSE(s.bytes.empty()) << s.name;
        DecodeEveryPrefix(s.bytes, s.format, s.name);
        DecodeEveryPrefix(s.bytes, PXIMAGE_FORMAT_UNKNOWN, s.name);
    }
}

TEST(CodecRobustness, RandomByteFlipsWithAFixedSeed) {
    for (const Sample& s : ValidSamples()) {
        ASSERT_FALSE(s.bytes.empty()) << s.name;
        DecodeFlipped(s.bytes, s.format, s.name, 400);
        DecodeFlipped(s.bytes, PXIMAGE_FORMAT_UNKNOWN, s.name, 100);
    }
}

Bytes ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The format a malformed file is named after.
uint32_t FormatOfName(const std::string& name) {
    struct Prefix { const char* text; uint32_t format; };
    for (Prefix p : {Prefix{"bmp-", PXIMAGE_FORMAT_BMP}, Prefix{"gif-", PXIMAGE_FORMAT_GIF},
                     Prefix{"jpeg-", PXIMAGE_FORMAT_JPG}, Prefix{"png-", PXIMAGE_FORMAT_PNG},
                     Prefix{"tiff-", PXIMAGE_FORMAT_TIF}})
        if (name.rfind(p.text, 0) == 0)
            return p.format;
    return PXIMAGE_FORMAT_UNKNOWN;
}

// MANIFEST: one "file<TAB>outcome" line per malformed file, outcome being the
// last error its own decoder must give ("(no message)" for none) or
// "partial" (it decodes what is there into a sane picture).
std::map<std::string, std::string> ReadManifest(const std::filesystem::path& path) {
    std::map<std::string, std::string> outcomes;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        const size_t tab = line.find('\t');
        if (line.empty() || line[0] == '#' || tab == std::string::npos)
            continue;
        const std::string outcome = line.substr(tab + 1);
        outcomes[line.substr(0, tab)] = outcome == "(no message)" ? "" : outcome;
    }
    return outcomes;
}

TEST(CodecRobustness, CommittedMalformedFiles) {
    const std::filesystem::path dir = std::filesystem::path(PIXMEND_TEST_DATA) / "malformed";
    std::map<std::string, std::string> outcomes = ReadManifest(dir / "MANIFEST");
    ASSERT_GE(outcomes.size(), 20u);
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        const std::string name = entry.path().filename().string();
        if (name == "MANIFEST" || name.find(".py") != std::string::npos)
            continue;
        const auto outcome = outcomes.find(name);
        if (outcome == outcomes.end()) {
            ADD_FAILURE() << name << " is not in MANIFEST";
            continue;
        }
        const Bytes bytes = ReadFile(entry.path());
        for (uint32_t id : {0u, 1u, 2u, 3u, 4u, 6u}) {
            PxImage image;
            ExpectSane(image, DecodeBytes(image, bytes, id), name + " as " + std::to_string(id));
        }
        const uint32_t format = FormatOfName(name);
        PxImage image;
        const bool ok = DecodeBytes(image, bytes, format);
        if (!PxIsSupportedFormat(format)) {
            EXPECT_FALSE(ok) << name;
            EXPECT_STREQ(image.GetLastError(), "Decode: Unknown or wrong format") << name;
        } else if (outcome->second == "partial") {
            EXPECT_TRUE(ok) << name << ": " << image.GetLastError();
            ExpectSane(image, ok, name);
        } else {
            EXPECT_FALSE(ok) << name;
            EXPECT_EQ(image.GetLastError(), outcome->second) << name;
        }
        outcomes.erase(outcome);
    }
    for (const auto& missing : outcomes)
        ADD_FAILURE() << missing.first << " is in MANIFEST but not in the folder";
}

}  // namespace
