#pragma once
// What DllRegisterServer and DllUnregisterServer do: the registry scripts,
// the type library and the proxy/stub entries, in that order.
#include <windows.h>
#include <objbase.h>

HRESULT RegisterPixmendServer();
HRESULT UnregisterPixmendServer();
