#pragma once
// GIF codec (npPixmend only): GIF87a and GIF89a with frame counting, the
// requested frame, interlace, transparency, the tiled true-colour form and
// optionally every frame; encoding as GIF89a. One object serves one call.
#include <memory>

#include "image/PxImage.h"

class PxGifLzw;
class PxByteReader;
struct PxGifScreen;
struct PxGifControl;
struct PxGifFrame;

class PxImageGIF : public PxImage {
public:
    PxImageGIF();
    ~PxImageGIF() override;
    // Decodes frame GetFrameIndex() (default 0) from the stream's position.
    bool Decode(PxFile* file);
    // Writes this image, or its frames when it holds several, as GIF89a.
    bool Encode(PxFile* file);

private:
    // Decodes one image descriptor's pixels (reader at its LZW data).
    bool DecodeFrame(PxByteReader& r, const PxGifScreen& screen, const PxGifFrame& frame,
                     const PxGifControl& control);
    // Decodes every frame: keeps them (get-all-frames) and/or paints the tiled
    // true-colour picture; the result is the requested frame or that picture.
    bool DecodeAll(PxByteReader& r, const PxGifScreen& screen, bool tiled);
    bool EncodeSingle(PxFile* file);
    bool EncodeFrames(PxFile* file);
    bool EncodeTiles(PxFile* file);

    std::unique_ptr<PxGifLzw> lzw_;  // coder state, created on first use
};
