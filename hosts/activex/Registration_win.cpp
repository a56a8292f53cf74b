#include "hosts/activex/Registration_win.h"

#include <oleauto.h>

#include "hosts/activex/ComModule_win.h"
#include "hosts/activex/ProxyEntries_win.h"
#include "hosts/activex/Registrar_win.h"

namespace {

const UINT kAppIdScript = 101;
const UINT kClassScript = 102;

// OLEMISC_RECOMPOSEONRESIZE | OLEMISC_CANTLINKINSIDE | OLEMISC_INSIDEOUT |
// OLEMISC_ACTIVATEWHENVISIBLE | OLEMISC_SETCLIENTSITEFIRST
const DWORD kOleMisc = 0x20191;

Registrar ModuleRegistrar() {
    return Registrar({{L"MODULE", g_module.Path()},
                      {L"APPID", L"{2EE1A098-89D9-4258-A4EF-26C7E460BB31}"},
                      {L"OLEMISC", std::to_wstring(kOleMisc)}});
}

struct TypeLibrary {
    ITypeLib* library = nullptr;
    TLIBATTR* attributes = nullptr;
    ~TypeLibrary() {
        if (attributes != nullptr) library->ReleaseTLibAttr(attributes);
        if (library != nullptr) library->Release();
    }
    HRESULT Load(const std::wstring& path) {
        HRESULT hr = LoadTypeLibEx(path.c_str(), REGKIND_NONE, &library);
        if (SUCCEEDED(hr)) hr = library->GetLibAttr(&attributes);
        return hr;
    }
};

HRESULT RegisterTypeLibrary() {
    const std::wstring path = g_module.Path();
    TypeLibrary tl;
    HRESULT hr = tl.Load(path);
    if (SUCCEEDED(hr)) hr = RegisterTypeLib(tl.library, const_cast<wchar_t*>(path.c_str()), nullptr);
    return hr;
}

HRESULT UnregisterTypeLibrary() {
    TypeLibrary tl;
    HRESULT hr = tl.Load(g_module.Path());
    if (SUCCEEDED(hr)) {
        const TLIBATTR& a = *tl.attributes;
        hr = UnRegisterTypeLib(a.guid, a.wMajorVerNum, a.wMinorVerNum, a.lcid, a.syskind);
    }
    return hr;
}

}  // namespace

HRESULT RegisterPixmendServer() {
    const Registrar registrar = ModuleRegistrar();
    HRESULT hr = registrar.ApplyResource(g_module.Instance(), kAppIdScript, true);
    if (SUCCEEDED(hr)) hr = registrar.ApplyResource(g_module.Instance(), kClassScript, true);
    if (SUCCEEDED(hr)) hr = RegisterTypeLibrary();
    if (SUCCEEDED(hr)) hr = PrxDllRegisterServer();
    return hr;
}

HRESULT UnregisterPixmendServer() {
    const Registrar registrar = ModuleRegistrar();
    HRESULT first = registrar.ApplyResource(g_module.Instance(), kClassScript, false);
    const HRESULT typeLib = UnregisterTypeLibrary();
    if (SUCCEEDED(first)) first = typeLib;
    const HRESULT appId = registrar.ApplyResource(g_module.Instance(), kAppIdScript, false);
    if (SUCCEEDED(first)) first = appId;
    // Removing the type library also removes the interface keys it wrote;
    // registering the proxy entries again makes the removal below complete
    // whatever state an earlier, partial registration left.
    HRESULT hr = PrxDllRegisterServer();
    if (SUCCEEDED(hr)) hr = PrxDllUnregisterServer();
    return FAILED(first) ? first : hr;
}
