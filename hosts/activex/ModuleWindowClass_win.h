#pragma once
// A window class of Pixmend.dll, registered on first use under a name made
// unique to this module and unregistered when the module unloads: a DLL's
// classes are not removed with it, and their procedure would then point into
// unmapped code. Window thread only.
#include <windows.h>

#include <cwchar>

#include "hosts/activex/ComModule_win.h"

class ModuleWindowClass {
public:
    ModuleWindowClass(const wchar_t* prefix, WNDPROC proc, UINT style, HBRUSH background)
        : prefix_(prefix), proc_(proc), style_(style), background_(background) {}
    ~ModuleWindowClass() {
        if (atom_ != 0) UnregisterClassW(name_, g_module.Instance());
    }
    ModuleWindowClass(const ModuleWindowClass&) = delete;
    ModuleWindowClass& operator=(const ModuleWindowClass&) = delete;

    // The registered class name, or null when registration failed.
    const wchar_t* Name() {
        if (atom_ == 0) {
            swprintf(name_, sizeof name_ / sizeof name_[0], L"%ls:%p", prefix_,
                     static_cast<void*>(g_module.Instance()));
            WNDCLASSEXW wc{};
            wc.cbSize = sizeof wc;
            wc.style = style_;
            wc.lpfnWndProc = proc_;
            wc.hInstance = g_module.Instance();
            wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
            wc.hbrBackground = background_;
            wc.lpszClassName = name_;
            atom_ = RegisterClassExW(&wc);
        }
        return atom_ != 0 ? name_ : nullptr;
    }

private:
    const wchar_t* prefix_;
    WNDPROC proc_;
    UINT style_;
    HBRUSH background_;
    ATOM atom_ = 0;
    wchar_t name_[48] = {};
};
