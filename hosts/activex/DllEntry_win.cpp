// The exports of Pixmend.dll (Pixmend.def): the COM server entry points.
#include <windows.h>

#include "hosts/activex/ClassFactory_win.h"
#include "hosts/activex/ComModule_win.h"
#include "hosts/activex/ProxyEntries_win.h"
#include "hosts/activex/Registrar_win.h"
#include "hosts/activex/Registration_win.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    // The proxy/stub code records the module handle first.
    if (!PrxDllMain(instance, reason, reserved)) return FALSE;
    if (reason == DLL_PROCESS_ATTACH) g_module.Init(instance);
    else if (reason == DLL_PROCESS_DETACH) g_module.Term(reserved != nullptr);
    return TRUE;
}

extern "C" HRESULT WINAPI DllGetClassObject(REFCLSID clsid, REFIID riid, void** out) {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (!g_module.Initialised()) return E_UNEXPECTED;
    if (SUCCEEDED(PrxDllGetClassObject(clsid, riid, out))) return S_OK;
    *out = nullptr;
    return GetMappedClassObject(clsid, riid, out);
}

extern "C" HRESULT WINAPI DllCanUnloadNow() {
    if (PrxDllCanUnloadNow() != S_OK) return S_FALSE;
    return g_module.LockCount() == 0 ? S_OK : S_FALSE;
}

extern "C" HRESULT WINAPI DllRegisterServer() { return RegisterPixmendServer(); }

extern "C" HRESULT WINAPI DllUnregisterServer() { return UnregisterPixmendServer(); }

// "user" (any letter case, nothing more) registers for the current user
// only: every registry access of this call goes to HKCU\Software\Classes.
extern "C" HRESULT WINAPI DllInstall(BOOL install, LPCWSTR commandLine) {
    ClassesRootRedirect redirect;
    if (commandLine != nullptr && _wcsicmp(commandLine, L"user") == 0) {
        const HRESULT hr = redirect.Begin();
        if (FAILED(hr)) return hr;
    }
    if (!install) return UnregisterPixmendServer();
    const HRESULT hr = RegisterPixmendServer();
    if (FAILED(hr)) UnregisterPixmendServer();  // roll back what was written
    return hr;
}
