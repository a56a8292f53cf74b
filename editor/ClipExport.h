#pragma once
// Encoding of the cut for upload.
#include "image/PxFile.h"
#include "image/PxImage.h"
#include "support/Flavour.h"

// Replaces the stream's content with the cut encoded by the image type:
// exactly "png" gives PNG, exactly "bmp" gives BMP, any other text JPEG
// (after raising a palette that is not the gray ramp to 24 bits) at
// jpegQuality, limited to 1..100. An empty cut leaves the stream empty.
// Returns the encoder's result; the stream is reopened either way.
bool EncodeForUpload(PxImage& cut, const PxString& imageType, int jpegQuality, PxMemFile& stream);

// The JPEG quality the encoder is given for a configured value.
int UploadJpegQuality(int configured);
