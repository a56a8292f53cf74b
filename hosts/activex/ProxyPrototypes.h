// Forced into the generated proxy code: its v-tables name the three IUnknown
// proxies of the RPC run time, which no system header declares.
#pragma once
#include <objbase.h>

#ifdef __cplusplus
extern "C" {
#endif
HRESULT STDMETHODCALLTYPE IUnknown_QueryInterface_Proxy(IUnknown* self, REFIID riid, void** out);
ULONG STDMETHODCALLTYPE IUnknown_AddRef_Proxy(IUnknown* self);
ULONG STDMETHODCALLTYPE IUnknown_Release_Proxy(IUnknown* self);
#ifdef __cplusplus
}
#endif
