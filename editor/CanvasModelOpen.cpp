// Loading from a file, apart from the rest of the model so that code which
// only shows images already in memory does not pull in the codecs.
#include "editor/CanvasModel.h"

void CanvasModel::OpenPicture(const PxChar* path) {
    PxImage loaded(path, PXIMAGE_FORMAT_UNKNOWN);
    OpenImage(loaded);
}
