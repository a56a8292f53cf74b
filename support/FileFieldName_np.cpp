#include "support/AppData.h"
#include "support/ConfigMgr.h"

// npPixmend names its file part from ConfigMgr, which script cannot change.
PxString UploadFileFieldName() { return ConfigMgr::Instance().GetFileFieldName(); }
