#include "support/AppData.h"

// Pixmend names its file part from the FileFieldName script property.
PxString UploadFileFieldName() { return AppData::Instance().GetFileFieldName(); }
