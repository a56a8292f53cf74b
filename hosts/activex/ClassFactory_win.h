#pragma once
// The object map and its class factories. One entry per class the DLL
// serves (today only the control); each entry's factory is a static object
// whose outside references lock the module.
#include <windows.h>
#include <objbase.h>

// Creates an object of one class: aggregated when outer is not null (then
// riid must be IID_IUnknown), and answers riid on it. *out is null on failure.
typedef HRESULT (*CreateObjectFn)(IUnknown* outer, REFIID riid, void** out);

// The class object of clsid, answering riid; CLASS_E_CLASSNOTAVAILABLE for a
// class the DLL does not serve.
HRESULT GetMappedClassObject(REFCLSID clsid, REFIID riid, void** out);
