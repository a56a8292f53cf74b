#pragma once
// Pixmend.dll as a COM client sees it: loaded by path (PIXMEND_DLL, its
// Windows path, from the build) and reached only through its exports, without registration.
#include <windows.h>
#include <ole2.h>
#include <objsafe.h>

#include <gtest/gtest.h>

#include "hosts/activex/Pixmend.h"

class PixmendDll {
public:
    typedef HRESULT(WINAPI* GetClassObjectFn)(REFCLSID, REFIID, void**);
    typedef HRESULT(WINAPI* CanUnloadNowFn)();

    static PixmendDll& Instance() {
        static PixmendDll dll;
        return dll;
    }

    HMODULE module = nullptr;
    GetClassObjectFn getClassObject = nullptr;
    CanUnloadNowFn canUnloadNow = nullptr;

    // A new control through the DLL's class object, or null.
    IPixmend* Create() {
        IClassFactory* factory = nullptr;
        IPixmend* control = nullptr;
        if (SUCCEEDED(getClassObject(CLSID_Pixmend, IID_IClassFactory,
                                     reinterpret_cast<void**>(&factory)))) {
            factory->CreateInstance(nullptr, IID_IPixmend, reinterpret_cast<void**>(&control));
            factory->Release();
        }
        return control;
    }

private:
    PixmendDll() {
        module = LoadLibraryA(PIXMEND_DLL);
        if (module == nullptr) return;
        getClassObject = reinterpret_cast<GetClassObjectFn>(
            reinterpret_cast<void*>(GetProcAddress(module, "DllGetClassObject")));
        canUnloadNow = reinterpret_cast<CanUnloadNowFn>(
            reinterpret_cast<void*>(GetProcAddress(module, "DllCanUnloadNow")));
    }
};

// Each test runs in its own single-threaded apartment.
class ComTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
        ASSERT_NE(dll.getClassObject, nullptr) << "cannot load " << PIXMEND_DLL;
    }
    void TearDown() override { CoUninitialize(); }
    PixmendDll& dll = PixmendDll::Instance();
};
