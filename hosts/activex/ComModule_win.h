#pragma once
// The module object of Pixmend.dll: its instance handle, the lock count that
// DllCanUnloadNow answers from, and the type information of IPixmend read
// from the module's own "TYPELIB" 1 (so script works before registration).
//
// Every live control and every IClassFactory::LockServer(TRUE) holds one
// lock; so does every outside reference to a class object.
#include <windows.h>
#include <ole2.h>
#include <oaidl.h>

#include <string>

class CPixmendAppModule {
public:
    // Process attach / detach, from DllMain.
    void Init(HINSTANCE instance);
    void Term(bool processExiting);
    bool Initialised() const { return instance_ != nullptr; }

    HINSTANCE Instance() const { return instance_; }
    // Full path of Pixmend.dll; empty when the system cannot say.
    std::wstring Path() const;

    void Lock() { InterlockedIncrement(&locks_); }
    void Unlock() { InterlockedDecrement(&locks_); }
    LONG LockCount() const { return locks_; }

    // IPixmend's type information with a reference for the caller, loaded
    // once per process.
    HRESULT GetPixmendTypeInfo(ITypeInfo** out);

private:
    HINSTANCE instance_ = nullptr;
    volatile LONG locks_ = 0;
    CRITICAL_SECTION lock_;
    ITypeInfo* typeInfo_ = nullptr;  // one reference, released at detach
};

extern CPixmendAppModule g_module;
