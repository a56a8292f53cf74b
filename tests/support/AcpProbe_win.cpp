#include <windows.h>

unsigned ActiveAnsiCodePage() { return GetACP(); }
