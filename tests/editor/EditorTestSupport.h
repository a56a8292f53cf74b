#pragma once
// An editor in a top-level window under Wine, driven by real window
// messages: a test host, the window that routes its messages to the editor,
// a message pump with a deadline and picture files.
#include <windows.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "editor/Editor.h"
#include "tests/TempName.h"
#include "tests/editor/DroppedFiles.h"
#include "tests/editor/CanvasTestImages.h"

namespace editor_test {

// What the host saw when the page was called.
struct PageCall {
    UploadOutcome outcome;
    DWORD thread;
    UploadState state;
    bool busy, okEnabled;
    PxString response;
};

const UINT kHostFinish = WM_APP + 7;  // the scheduling host's own message

class TestHost : public EditorHost {
public:
    Editor* editor = nullptr;
    HWND window = nullptr;
    bool schedules = false;  // false: the editor falls back to its own message
    std::vector<PageCall> calls;
    std::function<void()> duringCall;

    bool ScheduleFinish(Editor& e) override {
        return schedules && PostMessageW(window, kHostFinish, 0, reinterpret_cast<LPARAM>(&e));
    }
    void CallPage(UploadOutcome outcome) override {
        calls.push_back(PageCall{outcome, GetCurrentThreadId(), editor->GetUploadState(),
                                 editor->Canvas()->IsBusy(),
                                 !editor->GetButton(Editor::kOk).IsDisabled(), editor->GetResponse()});
        if (duringCall) duringCall();
    }
};

inline LRESULT CALLBACK RouteToEditor(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == kHostFinish) {
        reinterpret_cast<Editor*>(lp)->FinishUpload();
        return 0;
    }
    Editor* editor = reinterpret_cast<Editor*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    LRESULT result = 0;
    if (editor != nullptr && editor->HandleMessage(msg, wp, lp, result)) return result;
    return DefWindowProcW(hwnd, msg, wp, lp);
}

// A top-level window with a client area of width x height. Shown only when
// asked: without a window manager Wine waits about 2 s when a shown window
// is destroyed, and messages, capture and painting need no visible window.
inline HWND MakeWindow(int width, int height, int x = 0, int y = 0, bool shown = false) {
    static const bool registered = [] {
        WNDCLASSW wc{};
        wc.lpfnWndProc = RouteToEditor;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"PixmendEditorTest";
        return RegisterClassW(&wc) != 0;
    }();
    RECT frame{0, 0, width, height};
    AdjustWindowRect(&frame, WS_OVERLAPPEDWINDOW, FALSE);
    HWND hwnd = registered ? CreateWindowW(L"PixmendEditorTest", L"editor test", WS_OVERLAPPEDWINDOW,
                                           x, y, frame.right - frame.left, frame.bottom - frame.top,
                                           nullptr, nullptr, GetModuleHandleW(nullptr), nullptr)
                           : nullptr;
    if (hwnd != nullptr && shown) ShowWindow(hwnd, SW_SHOW);
    return hwnd;
}

// Dispatches messages until done() or the deadline; true when done.
inline bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 20000) {
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > timeoutMs) return false;
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
    return true;
}

// An editor attached to its own window, as a host embeds it.
struct Harness {
    TestHost host;
    Editor editor{host};
    HWND window;

    explicit Harness(int width = 600, int height = 500, bool shown = false)
        : window(MakeWindow(width, height, 0, 0, shown)) {
        host.editor = &editor;
        host.window = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&editor));
        editor.AttachWindow(window);
    }
    ~Harness() {
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        editor.DetachWindow();
        DestroyWindow(window);
    }
    void Send(UINT msg, int x, int y, WPARAM wp = 0) { SendMessageW(window, msg, wp, MAKELPARAM(x, y)); }
    void ClickButton(Editor::ButtonId id) {
        const RECT b = editor.GetButton(id).GetBounds();
        const int x = (b.left + b.right) / 2, y = (b.top + b.bottom) / 2;
        Send(WM_MOUSEMOVE, x, y);
        Send(WM_LBUTTONDOWN, x, y, MK_LBUTTON);
        Send(WM_LBUTTONUP, x, y);
    }
    uint32_t PictureWidth() const {
        const PxImage* p = editor.Canvas()->Model().Picture();
        return p != nullptr ? p->GetWidth() : 0;
    }
};

inline PxString Px(const std::string& ascii) { return PxString(ascii.begin(), ascii.end()); }

// Writes a picture file of the given size and format; returns its path.
inline std::string WritePicture(const std::string& leaf, uint32_t w, uint32_t h,
                                uint32_t format = PXIMAGE_FORMAT_JPG) {
    PxImage picture = canvas_test::Pattern(w, h, w + h);
    PxMemFile stream;
    const std::string path = UniqueTempName(leaf);
    FILE* f = stream.Open() && picture.Encode(&stream, format) ? std::fopen(path.c_str(), "wb") : nullptr;
    if (f == nullptr) return std::string();
    std::fwrite(stream.GetBuffer(false), 1, static_cast<size_t>(stream.Size()), f);
    std::fclose(f);
    return path;
}

}  // namespace editor_test
