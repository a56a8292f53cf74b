// npPixmend.dll loaded by path and driven as a browser drives it: entry
// points, instances in real child windows, the script object, and uploads
// end to end against upload_server.py with the page called back on the
// browser's thread. The fake runtime counts every reference and allocation.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <thread>

#include "tests/npapi/FakeBrowser.h"
#include "tests/ui/DibCanvas.h"

namespace {

const UINT kRunAsync = WM_APP + 1;
FakeBrowser* gBrowser = nullptr;

template <typename F>
F Export(HMODULE module, const char* name) {
    return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}
struct Dll {
    HMODULE module = LoadLibraryA(NPPIXMEND_DLL);
    NP_GetEntryPointsFunc getEntryPoints = Export<NP_GetEntryPointsFunc>(module, "NP_GetEntryPoints");
    NP_InitializeFunc initialize = Export<NP_InitializeFunc>(module, "NP_Initialize");
    NP_ShutdownFunc shutdown = Export<NP_ShutdownFunc>(module, "NP_Shutdown");
};
Dll& Plugin() {
    static Dll dll;
    return dll;
}

// The browser's windows: the page runs queued async calls; child windows
// count the messages that reach their own procedure.
int gChildMessages = 0;
LRESULT CALLBACK PageProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == kRunAsync && gBrowser) gBrowser->RunAsyncCalls();
    return DefWindowProcW(w, msg, wp, lp);
}
LRESULT CALLBACK ChildProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_USER + 500) ++gChildMessages;
    return DefWindowProcW(w, msg, wp, lp);
}
LRESULT CALLBACK OtherChildProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
    return DefWindowProcW(w, msg, wp, lp);
}
HWND MakeWindow(const wchar_t* cls, WNDPROC proc, HWND parent) {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = cls;
    RegisterClassW(&wc);  // fails harmlessly once registered
    return CreateWindowExW(0, cls, L"", parent ? WS_CHILD | WS_VISIBLE : WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                           0, 0, 400, 300, parent, nullptr, wc.hInstance, nullptr);
}

// Distinct colours in a rectangle of a window's client area, as painted.
std::size_t DistinctColours(HWND window, RECT r) {
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    DibCanvas canvas(r.right - r.left, r.bottom - r.top);
    canvas.CopyFrom(window, r.left, r.top);
    const std::vector<uint32_t> pixels = canvas.Pixels();
    return std::set<uint32_t>(pixels.begin(), pixels.end()).size();
}

struct Instance {
    NPP_t npp = {};
    HWND window = nullptr;
    NPWindow record = {};
    NPObject* script = nullptr;  // the browser's reference
};

class PluginBrowser : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(Plugin().module, nullptr) << NPPIXMEND_DLL;
        ASSERT_NE(Plugin().initialize, nullptr);
        gBrowser = &browser_;
        funcs_.size = sizeof funcs_;
        ASSERT_EQ(Plugin().getEntryPoints(&funcs_), NPERR_NO_ERROR);
        ASSERT_EQ(Plugin().initialize(&browser_.funcs), NPERR_NO_ERROR);
        page_ = MakeWindow(L"PxTestPage", PageProc, nullptr);
        browser_.wake = [this] { PostMessageW(page_, kRunAsync, 0, 0); };
    }
    void TearDown() override {
        for (Instance* i : {&a_, &b_}) Destroy(*i);
        EXPECT_EQ(browser_.LiveObjects(), 0u) << "script references left";
        EXPECT_EQ(browser_.OutstandingMemory(), 0u);
        EXPECT_EQ(browser_.misuse, 0);
        EXPECT_EQ(Plugin().shutdown(), NPERR_NO_ERROR);
        DestroyWindow(page_);
        gBrowser = nullptr;
    }
    NPError New(Instance& i) {
        char type[] = "application/npPixmend";
        return funcs_.newp(type, &i.npp, 1, 0, nullptr, nullptr, nullptr);
    }
    NPError Attach(Instance& i, WNDPROC proc = ChildProc) {
        if (i.window == nullptr) i.window = MakeWindow(L"PxTestChild", proc, page_);
        i.record.window = i.window;
        i.record.width = 400;
        i.record.height = 300;
        i.record.type = NPWindowTypeWindow;
        return funcs_.setwindow(&i.npp, &i.record);
    }
    NPObject* Script(Instance& i) {
        NPObject* object = nullptr;
        EXPECT_EQ(funcs_.getvalue(&i.npp, NPPVpluginScriptableNPObject, &object), NPERR_NO_ERROR);
        return object;
    }
    void Destroy(Instance& i) {
        if (i.npp.pdata) {
            EXPECT_EQ(funcs_.destroy(&i.npp, nullptr), NPERR_NO_ERROR);
        }
        EXPECT_EQ(i.npp.pdata, nullptr);
        if (i.script) browser_.Drop(i.script);
        i.script = nullptr;
        if (i.window) DestroyWindow(i.window);
        i.window = nullptr;
    }
    bool Set(NPObject* o, const char* name, NPVariant v) {
        return o->_class->setProperty(o, browser_.Id(name), &v);
    }
    std::string GetText(NPObject* o, const char* name) {
        NPVariant v;
        VOID_TO_NPVARIANT(v);
        if (!o->_class->getProperty(o, browser_.Id(name), &v)) return "<failed>";
        std::string text = VariantText(v);
        browser_.Release(v);
        return text;
    }
    template <typename Until>
    bool Pump(Until until, int milliseconds = 20000) {
        for (DWORD start = GetTickCount(); !until();) {
            if (GetTickCount() - start > static_cast<DWORD>(milliseconds)) return false;
            MSG msg;
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
            Sleep(5);
        }
        return true;
    }
    void Click(HWND window, int x, int y) {
        PostMessageW(window, WM_MOUSEMOVE, 0, MAKELPARAM(x, y));
        PostMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
        PostMessageW(window, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
    }

    FakeBrowser browser_;
    NPPluginFuncs funcs_ = {};
    HWND page_ = nullptr;
    Instance a_, b_;
};

TEST(PluginEntry, TablesAreCheckedBeforeUse) {
    ASSERT_NE(Plugin().getEntryPoints, nullptr);
    EXPECT_EQ(Plugin().getEntryPoints(nullptr), NPERR_INVALID_FUNCTABLE_ERROR);
    NPPluginFuncs funcs;
    std::memset(&funcs, 0xAB, sizeof funcs);
    funcs.size = offsetof(NPPluginFuncs, setvalue);  // one entry short
    EXPECT_EQ(Plugin().getEntryPoints(&funcs), NPERR_INVALID_FUNCTABLE_ERROR);
    EXPECT_EQ(funcs.version, 0xABAB) << "a refused table is not written";
    funcs.size = sizeof funcs;
    ASSERT_EQ(Plugin().getEntryPoints(&funcs), NPERR_NO_ERROR);
    EXPECT_EQ(funcs.size, sizeof funcs);
    EXPECT_EQ(funcs.version, 27);
    EXPECT_EQ(funcs.javaClass, nullptr);
    EXPECT_TRUE(funcs.newp && funcs.destroy && funcs.setwindow && funcs.newstream &&
                funcs.destroystream && funcs.asfile && funcs.writeready && funcs.write &&
                funcs.print && funcs.event && funcs.urlnotify && funcs.getvalue && funcs.setvalue);

    FakeBrowser browser;
    const struct {
        uint16_t version;
        NPError expected;
    } versions[] = {{0x00FF, NPERR_NO_ERROR}, {0x0100, NPERR_INCOMPATIBLE_VERSION_ERROR},
                    {0x0A1B, NPERR_INCOMPATIBLE_VERSION_ERROR}, {0x001B, NPERR_NO_ERROR}};
    for (const auto& c : versions) {
        browser.funcs.version = c.version;
        EXPECT_EQ(Plugin().initialize(&browser.funcs), c.expected) << std::hex << c.version;
    }
    EXPECT_EQ(Plugin().initialize(nullptr), NPERR_INVALID_FUNCTABLE_ERROR);
    EXPECT_EQ(Plugin().shutdown(), NPERR_NO_ERROR);
}

TEST_F(PluginBrowser, InstanceAnswersWithThePublishedCodes) {
    EXPECT_EQ(funcs_.newp(nullptr, nullptr, 1, 0, nullptr, nullptr, nullptr),
              NPERR_INVALID_INSTANCE_ERROR);
    const char* text = nullptr;
    EXPECT_EQ(funcs_.getvalue(&a_.npp, NPPVpluginNameString, &text), NPERR_GENERIC_ERROR);
    ASSERT_EQ(New(a_), NPERR_NO_ERROR);
    ASSERT_NE(a_.npp.pdata, nullptr);
    EXPECT_EQ(funcs_.getvalue(&a_.npp, NPPVpluginNameString, &text), NPERR_NO_ERROR);
    EXPECT_STREQ(text, "npPixmend");
    EXPECT_EQ(funcs_.getvalue(&a_.npp, NPPVpluginDescriptionString, &text), NPERR_NO_ERROR);
    EXPECT_STREQ(text, "Pixmend\xBF\xD8\xBC\xFE");
    for (NPPVariable other : {NPPVpluginNeedsXEmbed, NPPVpluginWindowBool, NPPVformValue})
        EXPECT_EQ(funcs_.getvalue(&a_.npp, other, &text), NPERR_GENERIC_ERROR) << other;
    char bytes[1000] = {};
    EXPECT_EQ(funcs_.writeready(&a_.npp, nullptr), 268435455);
    EXPECT_EQ(funcs_.write(&a_.npp, nullptr, 0, 1000, bytes), 1000);
    EXPECT_EQ(funcs_.newstream(&a_.npp, nullptr, nullptr, 0, nullptr), NPERR_NO_ERROR);
    // Every function checks its instance first.
    EXPECT_EQ(funcs_.destroy(nullptr, nullptr), NPERR_INVALID_INSTANCE_ERROR);
    EXPECT_EQ(funcs_.setwindow(nullptr, &a_.record), NPERR_INVALID_INSTANCE_ERROR);
    EXPECT_EQ(funcs_.getvalue(nullptr, NPPVpluginNameString, &text), NPERR_INVALID_INSTANCE_ERROR);
    EXPECT_EQ(funcs_.newstream(nullptr, nullptr, nullptr, 0, nullptr), NPERR_INVALID_INSTANCE_ERROR);
    EXPECT_EQ(funcs_.destroystream(nullptr, nullptr, 0), NPERR_INVALID_INSTANCE_ERROR);
    EXPECT_EQ(funcs_.setvalue(nullptr, NPNVjavascriptEnabledBool, nullptr),
              NPERR_INVALID_INSTANCE_ERROR);
    EXPECT_EQ(funcs_.writeready(nullptr, nullptr), 2);
    EXPECT_EQ(funcs_.write(nullptr, nullptr, 0, 1000, bytes), 2);
    EXPECT_EQ(funcs_.setwindow(&a_.npp, nullptr), NPERR_GENERIC_ERROR);
    // Destroyed without ever getting a window.
    EXPECT_EQ(funcs_.destroy(&a_.npp, nullptr), NPERR_NO_ERROR);
    EXPECT_EQ(a_.npp.pdata, nullptr);
    EXPECT_EQ(funcs_.setwindow(&a_.npp, &a_.record), NPERR_GENERIC_ERROR);
}

TEST_F(PluginBrowser, ScriptObjectIsSharedAndOnlyForScriptingBrowsers) {
    ASSERT_EQ(New(a_), NPERR_NO_ERROR);
    a_.script = Script(a_);
    ASSERT_NE(a_.script, nullptr);
    NPObject* again = Script(a_);
    EXPECT_EQ(again, a_.script);
    EXPECT_EQ(browser_.RefCount(a_.script), 3u);  // the plug-in's and two callers'
    browser_.Drop(again);

    ASSERT_EQ(New(b_), NPERR_NO_ERROR);
    browser_.failCreateObject = true;
    EXPECT_EQ(Script(b_), nullptr);
    browser_.failCreateObject = false;
    browser_.funcs.version = 13;  // before npruntime
    NPObject* none = nullptr;
    EXPECT_EQ(funcs_.getvalue(&b_.npp, NPPVpluginScriptableNPObject, &none), NPERR_GENERIC_ERROR);
    browser_.funcs.version = 27;
}

TEST_F(PluginBrowser, EveryScriptNameWithEveryValueType) {
    ASSERT_EQ(New(a_), NPERR_NO_ERROR);
    a_.script = Script(a_);
    NPObject* page = browser_.NewPageObject();
    ScriptString text("320");
    const NPVariant values[] = {IntVariant(320), DoubleVariant(320.9), BoolVariant(true),
                                text.Variant(), NullVariant(), ObjectVariant(page)};
    const char* writable[] = {"Object", "Debug", "LogFile", "PostUrl", "EncodeType", "JpegQuality",
                              "ClipWidth", "ClipHeight", "ImageUploadType", "Watermark",
                              "DefaultFolder", "OnError", "OnComplete"};
    for (const NPVariant& v : values) {
        for (const char* name : writable) EXPECT_TRUE(Set(a_.script, name, v)) << name;
        EXPECT_FALSE(Set(a_.script, "Response", v));
        EXPECT_FALSE(Set(a_.script, "Version", v));
        EXPECT_FALSE(Set(a_.script, "ClearFields", v));
    }
    EXPECT_EQ(browser_.RefCount(page), 4u);  // the test's, Object, OnError, OnComplete
    NPVariant read;
    ASSERT_TRUE(a_.script->_class->getProperty(a_.script, browser_.Id("Object"), &read));
    EXPECT_EQ(read.value.objectValue, page);
    browser_.Release(read);
    EXPECT_EQ(GetText(a_.script, "Version"), "1,0,3,20662");
    EXPECT_EQ(GetText(a_.script, "Response"), "");
    EXPECT_EQ(GetText(a_.script, "PostUrl"), "<failed>");
    NPVariant args[] = {text.Variant(), IntVariant(7)};
    for (const char* method : {"AddField", "ClearFields"}) {
        EXPECT_TRUE(a_.script->_class->invoke(a_.script, browser_.Id(method), args, 2, &read));
        EXPECT_FALSE(a_.script->_class->hasProperty(a_.script, browser_.Id(method)));
    }
    ASSERT_TRUE(a_.script->_class->invokeDefault(a_.script, nullptr, 0, &read));
    EXPECT_EQ(VariantText(read), "default method return val");
    browser_.Release(read);

    // The browser may keep the object after the instance is gone: it then
    // fails every call, and the instance's stored objects are released.
    EXPECT_EQ(funcs_.destroy(&a_.npp, nullptr), NPERR_NO_ERROR);
    EXPECT_EQ(browser_.RefCount(page), 1u);
    EXPECT_EQ(browser_.RefCount(a_.script), 1u);
    EXPECT_FALSE(Set(a_.script, "ClipWidth", values[0]));
    EXPECT_EQ(GetText(a_.script, "Version"), "<failed>");
    browser_.Drop(page);
}

TEST_F(PluginBrowser, WindowIsSubclassedOnceAndGivenBack) {
    ASSERT_EQ(New(a_), NPERR_NO_ERROR);
    a_.window = MakeWindow(L"PxTestChild", ChildProc, page_);
    SetWindowLongPtrW(a_.window, GWLP_USERDATA, 0x5EED);
    const LONG_PTR original = GetWindowLongPtrW(a_.window, GWLP_WNDPROC);
    a_.record.window = nullptr;  // no handle yet: nothing happens
    EXPECT_EQ(funcs_.setwindow(&a_.npp, &a_.record), NPERR_NO_ERROR);
    EXPECT_EQ(GetWindowLongPtrW(a_.window, GWLP_WNDPROC), original);
    ASSERT_EQ(Attach(a_), NPERR_NO_ERROR);
    const LONG_PTR subclassed = GetWindowLongPtrW(a_.window, GWLP_WNDPROC);
    EXPECT_NE(subclassed, original);
    // The open button's picture comes from the DLL's own resources.
    EXPECT_GE(DistinctColours(a_.window, {2, 2, 49, 52}), 8u);
    ASSERT_EQ(Attach(a_), NPERR_NO_ERROR);
    EXPECT_EQ(GetWindowLongPtrW(a_.window, GWLP_WNDPROC), subclassed);
    gChildMessages = 0;
    SendMessageW(a_.window, WM_USER + 500, 0, 0);
    EXPECT_EQ(gChildMessages, 1) << "messages the editor leaves reach the browser's procedure once";

    // A second instance on the page keeps its own procedure and user data.
    ASSERT_EQ(New(b_), NPERR_NO_ERROR);
    b_.window = MakeWindow(L"PxTestOther", OtherChildProc, page_);
    SetWindowLongPtrW(b_.window, GWLP_USERDATA, 0xB0B);
    ASSERT_EQ(Attach(b_), NPERR_NO_ERROR);
    a_.script = Script(a_);
    b_.script = Script(b_);
    EXPECT_EQ(funcs_.destroy(&a_.npp, nullptr), NPERR_NO_ERROR);
    EXPECT_EQ(GetWindowLongPtrW(a_.window, GWLP_WNDPROC), original);
    EXPECT_EQ(GetWindowLongPtrW(a_.window, GWLP_USERDATA), 0x5EED);
    EXPECT_NE(GetWindowLongPtrW(b_.window, GWLP_WNDPROC),
              reinterpret_cast<LONG_PTR>(OtherChildProc));
    EXPECT_FALSE(Set(a_.script, "ClipWidth", IntVariant(1)));
    EXPECT_TRUE(Set(b_.script, "ClipWidth", IntVariant(1)));
    EXPECT_EQ(funcs_.destroy(&b_.npp, nullptr), NPERR_NO_ERROR);
    EXPECT_EQ(GetWindowLongPtrW(b_.window, GWLP_WNDPROC),
              reinterpret_cast<LONG_PTR>(OtherChildProc));
    EXPECT_EQ(GetWindowLongPtrW(b_.window, GWLP_USERDATA), 0xB0B);
}

// --- End to end: a picture through the open dialog, OK, the upload -------

std::string Port() {
    const char* port = std::getenv("PIXMEND_TEST_HTTP_PORT");
    return port ? port : "";
}

// A 64 x 48 24-bit BMP in the temporary folder.
std::string WritePicture() {
    char folder[MAX_PATH];
    GetTempPathA(MAX_PATH, folder);
    const std::string path =
        std::string(folder) + "pxnp_" + std::to_string(GetCurrentProcessId()) + ".bmp";
    const int w = 64, h = 48, stride = w * 3, size = 54 + stride * h;
    std::string file(size, '\0');
    auto put = [&](int at, uint32_t v, int n) {
        for (int i = 0; i < n; ++i) file[at + i] = static_cast<char>(v >> (8 * i));
    };
    file[0] = 'B', file[1] = 'M';
    put(2, size, 4), put(10, 54, 4), put(14, 40, 4), put(18, w, 4), put(22, h, 4);
    put(26, 1, 2), put(28, 24, 2);
    for (int i = 54; i < size; ++i) file[i] = static_cast<char>(i * 7);
    FILE* out = std::fopen(path.c_str(), "wb");
    if (out) std::fwrite(file.data(), 1, file.size(), out), std::fclose(out);
    return path;
}

// Fills in the open dialog once it shows up (from another thread, since the
// dialog runs its own modal loop on the test's thread).
void AnswerOpenDialog(const std::string& path, std::atomic<bool>* answered) {
    for (int tries = 0; tries < 2000 && !*answered; ++tries) {
        HWND dialog = nullptr;
        EnumWindows([](HWND w, LPARAM out) -> BOOL {
            DWORD pid = 0;
            char cls[16] = {};
            GetWindowThreadProcessId(w, &pid);
            GetClassNameA(w, cls, sizeof cls);
            if (pid != GetCurrentProcessId() || std::string(cls) != "#32770" || !IsWindowVisible(w))
                return TRUE;
            *reinterpret_cast<HWND*>(out) = w;
            return FALSE;
        }, reinterpret_cast<LPARAM>(&dialog));
        if (dialog) {
            const int nameBox = GetDlgItem(dialog, 0x47C) ? 0x47C : 0x480;  // cmb13, edt1
            SetDlgItemTextA(dialog, nameBox, path.c_str());
            PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
            *answered = true;
        }
        Sleep(10);
    }
}

class PluginUpload : public PluginBrowser {
protected:
    void SetUp() override {
        if (Port().empty()) GTEST_SKIP() << "run through upload_server.py";
        PluginBrowser::SetUp();
        picture_ = WritePicture();
        ASSERT_EQ(New(a_), NPERR_NO_ERROR);
        ASSERT_EQ(Attach(a_), NPERR_NO_ERROR);
        a_.script = Script(a_);
        onComplete_ = browser_.NewPageObject();
        onError_ = browser_.NewPageObject();
        argument_ = browser_.NewPageObject();
        EXPECT_TRUE(Set(a_.script, "OnComplete", ObjectVariant(onComplete_)));
        EXPECT_TRUE(Set(a_.script, "OnError", ObjectVariant(onError_)));
        EXPECT_TRUE(Set(a_.script, "Object", ObjectVariant(argument_)));
        for (NPObject* o : {onComplete_, onError_, argument_})  // the page drops its own
            browser_.Drop(o);
    }
    void TearDown() override {
        if (!picture_.empty()) std::remove(picture_.c_str());
        if (!Port().empty()) PluginBrowser::TearDown();
    }
    // Opens the picture through the toolbar's open button, sets the page's
    // values, presses OK.
    void Upload(const std::string& path) {
        std::atomic<bool> answered{false};
        std::thread answer(AnswerOpenDialog, picture_, &answered);
        Click(a_.window, 25, 27);
        EXPECT_TRUE(Pump([&] { return answered.load(); }));
        answer.join();
        Pump([] { return false; }, 300);  // let the dialog close and the picture load
        ScriptString url("http://127.0.0.1:" + Port() + path), type("PNG"), width("32"),
            z("z"), a("a"), one("1");
        EXPECT_TRUE(Set(a_.script, "PostUrl", url.Variant()));
        EXPECT_TRUE(Set(a_.script, "ImageUploadType", type.Variant()));
        EXPECT_TRUE(Set(a_.script, "ClipWidth", width.Variant()));
        EXPECT_TRUE(Set(a_.script, "ClipHeight", DoubleVariant(24.9)));
        NPVariant zField[] = {z.Variant(), one.Variant()}, aField[] = {a.Variant(), IntVariant(7)};
        NPVariant ignored;
        a_.script->_class->invoke(a_.script, browser_.Id("AddField"), zField, 2, &ignored);
        a_.script->_class->invoke(a_.script, browser_.Id("AddField"), aField, 2, &ignored);
        Click(a_.window, 98, 300 - 19);  // OK
    }
    bool WaitPageCall() {
        return Pump([&] { return !browser_.pageCalls.empty(); });
    }
    std::string picture_;
    NPObject* onComplete_ = nullptr;
    NPObject* onError_ = nullptr;
    NPObject* argument_ = nullptr;
};

std::string Unhex(const std::string& hex) {
    std::string bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        bytes.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    return bytes;
}

TEST_F(PluginUpload, CompletionCallsOnCompleteOnTheBrowserThread) {
    Upload("/echo");
    ASSERT_TRUE(WaitPageCall()) << "no callback: the picture or the OK click did not arrive";
    ASSERT_EQ(browser_.pageCalls.size(), 1u);
    const FakeBrowser::PageCall& call = browser_.pageCalls[0];
    EXPECT_EQ(call.function, onComplete_);
    EXPECT_EQ(call.argObject, argument_);
    EXPECT_EQ(call.thread, std::this_thread::get_id());
    EXPECT_EQ(browser_.asyncCallsRun, 1u) << "delivered through NPN_PluginThreadAsyncCall";
    const std::string response = GetText(a_.script, "Response");
    const std::size_t body = response.find("body=");
    ASSERT_NE(body, std::string::npos) << response;
    const std::string form = Unhex(response.substr(body + 5, response.find('\n', body) - body - 5));
    const std::size_t a = form.find("name=\"a\"\r\n\r\n7\r\n"), z = form.find("name=\"z\"\r\n\r\n1\r\n");
    EXPECT_NE(a, std::string::npos);
    EXPECT_LT(a, z) << "fields go out ordered by name";
    EXPECT_NE(form.find("name=\"width\"\r\n\r\n32\r\n"), std::string::npos);
    EXPECT_NE(form.find("name=\"height\"\r\n\r\n24\r\n"), std::string::npos);
    EXPECT_NE(form.find("filename=\"img.png\""), std::string::npos);
}

TEST_F(PluginUpload, FailureCallsOnErrorThroughTheWindowOnOldBrowsers) {
    browser_.funcs.version = 18;  // no NPN_PluginThreadAsyncCall yet
    Upload("/fail");
    ASSERT_TRUE(WaitPageCall());
    EXPECT_EQ(browser_.pageCalls[0].function, onError_);
    EXPECT_EQ(browser_.pageCalls[0].argObject, argument_);
    EXPECT_EQ(browser_.pageCalls[0].thread, std::this_thread::get_id());
    EXPECT_EQ(browser_.PendingAsyncCalls(), 0u);
    EXPECT_EQ(GetText(a_.script, "Response"), "");
    browser_.funcs.version = 27;
}

TEST_F(PluginUpload, DeliveryQueuedBeforeDestroyIsDropped) {
    browser_.wake = nullptr;  // queue, but let nothing run the queue
    Upload("/echo");
    ASSERT_TRUE(Pump([&] { return browser_.PendingAsyncCalls() == 1; }));
    EXPECT_EQ(funcs_.destroy(&a_.npp, nullptr), NPERR_NO_ERROR);
    EXPECT_EQ(browser_.RunAsyncCalls(), 1u);
    EXPECT_TRUE(browser_.pageCalls.empty());
}

TEST_F(PluginUpload, PageMayDestroyThePlugInFromItsCallback) {
    browser_.onPageCall = [this](NPObject*) {
        EXPECT_EQ(funcs_.destroy(&a_.npp, nullptr), NPERR_NO_ERROR);
    };
    Upload("/echo");
    ASSERT_TRUE(WaitPageCall());
    EXPECT_EQ(a_.npp.pdata, nullptr);
    EXPECT_TRUE(Pump([&] { return browser_.LiveObjects() == 1; }, 2000))
        << "only the browser's reference to the script object is left";
}

}  // namespace
