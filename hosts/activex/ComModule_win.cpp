#include "hosts/activex/ComModule_win.h"

#include "hosts/activex/Pixmend.h"

CPixmendAppModule g_module;

void CPixmendAppModule::Init(HINSTANCE instance) {
    InitializeCriticalSection(&lock_);
    instance_ = instance;
}

void CPixmendAppModule::Term(bool processExiting) {
    // At process exit other DLLs (oleaut32) may be gone already: leave the
    // type information to the system then.
    if (!processExiting && typeInfo_ != nullptr) typeInfo_->Release();
    typeInfo_ = nullptr;
    instance_ = nullptr;
    DeleteCriticalSection(&lock_);
}

std::wstring CPixmendAppModule::Path() const {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(instance_, &path[0], DWORD(path.size()));
        if (n == 0) return std::wstring();
        if (n < path.size()) {
            path.resize(n);
            return path;
        }
        if (path.size() >= 32768) return std::wstring();
        path.resize(path.size() * 2);
    }
}

HRESULT CPixmendAppModule::GetPixmendTypeInfo(ITypeInfo** out) {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    EnterCriticalSection(&lock_);
    HRESULT hr = S_OK;
    if (typeInfo_ == nullptr) {
        ITypeLib* library = nullptr;
        const std::wstring path = Path();
        hr = path.empty() ? E_UNEXPECTED : LoadTypeLibEx(path.c_str(), REGKIND_NONE, &library);
        if (SUCCEEDED(hr)) {
            hr = library->GetTypeInfoOfGuid(IID_IPixmend, &typeInfo_);
            library->Release();
        }
    }
    if (SUCCEEDED(hr)) {
        typeInfo_->AddRef();
        *out = typeInfo_;
    }
    LeaveCriticalSection(&lock_);
    return hr;
}
