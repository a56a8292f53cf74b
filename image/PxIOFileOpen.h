#pragma once
// The runtime open call of the flavour's file-name type: narrow fopen in
// npPixmend; in Pixmend _wfopen on Windows and a UTF-8 fopen elsewhere.
#include <cstdio>

#include "support/Flavour.h"

FILE* PxOpenStdioFile(const PxChar* name, const PxChar* mode);
