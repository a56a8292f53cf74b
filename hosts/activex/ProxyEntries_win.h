#pragma once
// The entry points of the generated proxy/stub code (dlldata.c built with
// the "Prx" prefix); the DLL's own entry points call them first.
#include <windows.h>
#include <objbase.h>

extern "C" {
BOOL WINAPI PrxDllMain(HINSTANCE instance, DWORD reason, LPVOID reserved);
HRESULT WINAPI PrxDllGetClassObject(REFCLSID clsid, REFIID riid, void** out);
HRESULT WINAPI PrxDllCanUnloadNow();
HRESULT WINAPI PrxDllRegisterServer();
HRESULT WINAPI PrxDllUnregisterServer();
}
