// Pixmend.dll in a container of our own (client site, in-place site and
// frame): activation and its window, drawing, persistence, the mouse path to
// OK and an upload whose page callback comes back through the global
// interface table, and the control being freed afterwards. The upload cases
// run inside tests/upload/upload_server.py.
#include <dispex.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "tests/TempName.h"
#include "tests/activex/PixmendDll.h"
#include "tests/ui/DibCanvas.h"

namespace {

// Client site, in-place site and frame in one object on the test's stack.
class Container : public IOleClientSite, public IOleInPlaceSite, public IOleInPlaceFrame {
public:
    HWND window = nullptr;
    RECT pos{10, 10, 410, 330};
    int activations = 0, deactivations = 0;

    STDMETHODIMP QueryInterface(REFIID riid, void** out) override {
        *out = nullptr;
        if (riid == IID_IUnknown || riid == IID_IOleClientSite) *out = static_cast<IOleClientSite*>(this);
        if (riid == IID_IOleInPlaceSite) *out = static_cast<IOleInPlaceSite*>(this);
        if (riid == IID_IOleInPlaceFrame || riid == IID_IOleInPlaceUIWindow)
            *out = static_cast<IOleInPlaceFrame*>(this);
        return *out != nullptr ? S_OK : E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    // IOleClientSite
    STDMETHODIMP SaveObject() override { return S_OK; }
    STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker**) override { return E_NOTIMPL; }
    STDMETHODIMP GetContainer(IOleContainer**) override { return E_NOINTERFACE; }
    STDMETHODIMP ShowObject() override { return S_OK; }
    STDMETHODIMP OnShowWindow(BOOL) override { return S_OK; }
    STDMETHODIMP RequestNewObjectLayout() override { return E_NOTIMPL; }
    // IOleWindow, IOleInPlaceSite
    STDMETHODIMP GetWindow(HWND* out) override { return *out = window, S_OK; }
    STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP CanInPlaceActivate() override { return S_OK; }
    STDMETHODIMP OnInPlaceActivate() override { return ++activations, S_OK; }
    STDMETHODIMP OnUIActivate() override { return S_OK; }
    STDMETHODIMP GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** doc, LPRECT p,
                                  LPRECT clip, LPOLEINPLACEFRAMEINFO) override {
        return *frame = this, *doc = nullptr, *p = *clip = pos, S_OK;
    }
    STDMETHODIMP Scroll(SIZE) override { return E_NOTIMPL; }
    STDMETHODIMP OnUIDeactivate(BOOL) override { return S_OK; }
    STDMETHODIMP OnInPlaceDeactivate() override { return ++deactivations, S_OK; }
    STDMETHODIMP DiscardUndoState() override { return S_OK; }
    STDMETHODIMP DeactivateAndUndo() override { return S_OK; }
    STDMETHODIMP OnPosRectChange(LPCRECT) override { return S_OK; }
    // IOleInPlaceUIWindow, IOleInPlaceFrame: no tools, menus or status line
    STDMETHODIMP GetBorder(LPRECT) override { return INPLACE_E_NOTOOLSPACE; }
    STDMETHODIMP RequestBorderSpace(LPCBORDERWIDTHS) override { return INPLACE_E_NOTOOLSPACE; }
    STDMETHODIMP SetBorderSpace(LPCBORDERWIDTHS) override { return S_OK; }
    STDMETHODIMP SetActiveObject(IOleInPlaceActiveObject*, LPCOLESTR) override { return S_OK; }
    STDMETHODIMP InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) override { return S_OK; }
    STDMETHODIMP SetMenu(HMENU, HOLEMENU, HWND) override { return S_OK; }
    STDMETHODIMP RemoveMenus(HMENU) override { return S_OK; }
    STDMETHODIMP SetStatusText(LPCOLESTR) override { return S_OK; }
    STDMETHODIMP EnableModeless(BOOL) override { return S_OK; }
    STDMETHODIMP TranslateAccelerator(LPMSG, WORD) override { return S_FALSE; }
};

// A page function: runs `body` on each call and records the calling thread.
class PageFunction : public IDispatch {
public:
    std::function<void()> body;
    std::vector<DWORD> threads;
    STDMETHODIMP QueryInterface(REFIID riid, void** out) override {
        *out = riid == IID_IUnknown || riid == IID_IDispatch ? this : nullptr;
        return *out != nullptr ? S_OK : E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
        threads.push_back(GetCurrentThreadId());
        if (body) body();
        return S_OK;
    }
};

bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 20000) {
    for (const DWORD start = GetTickCount(); !done();) {
        if (GetTickCount() - start > timeoutMs) return false;
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
    return true;
}

// One interface of a COM object, released at the end of the statement or scope.
template <class T>
struct Face {
    Face(IUnknown* object, REFIID iid) { object->QueryInterface(iid, reinterpret_cast<void**>(&p)); }
    ~Face() { if (p != nullptr) p->Release(); }
    T* operator->() const { return p; }
    T* p = nullptr;
};

// A 24-bit BMP of w x h in a gradient; returns its path.
std::string WriteBmp(int w, int h) {
    const int stride = (w * 3 + 3) & ~3;
    std::vector<unsigned char> file(54 + size_t(stride) * h);
    *reinterpret_cast<BITMAPFILEHEADER*>(file.data()) = BITMAPFILEHEADER{0x4D42, DWORD(file.size()), 0, 0, 54};
    *reinterpret_cast<BITMAPINFOHEADER*>(file.data() + 14) =
        BITMAPINFOHEADER{sizeof(BITMAPINFOHEADER), w, h, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    for (size_t i = 54; i < file.size(); ++i) file[i] = (unsigned char)(i * 7 + i / stride * 3);
    const std::string path = UniqueTempName("container.bmp");
    FILE* f = std::fopen(path.c_str(), "wb");
    const bool written = f != nullptr && std::fwrite(file.data(), 1, file.size(), f) == file.size();
    if (f != nullptr) std::fclose(f);
    return written ? path : std::string();
}

// An upload's finish that the editor posts to its own window (when the
// control could not deliver it through COM), counted by a subclass.
const UINT kFinishMessage = WM_USER + 101;
int g_finishMessages = 0;
WNDPROC g_controlProc = nullptr;
LRESULT CALLBACK CountFinish(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == kFinishMessage) ++g_finishMessages;
    return CallWindowProcW(g_controlProc, hwnd, msg, wp, lp);
}

class Container_ : public ComTest {
protected:
    void SetUp() override {
        ComTest::SetUp();
        site.window = CreateWindowW(L"STATIC", L"container", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0,
                                    460, 400, nullptr, nullptr, nullptr, nullptr);
        control = dll.Create();
        ASSERT_NE(control, nullptr);
        control->QueryInterface(IID_IOleObject, reinterpret_cast<void**>(&ole));
        ASSERT_EQ(ole->SetClientSite(&site), S_OK);
    }
    void TearDown() override {
        if (ole != nullptr) ole->Release();
        if (control != nullptr) control->Release();
        DestroyWindow(site.window);
        ComTest::TearDown();
    }
    HWND Activate() {
        HWND hwnd = nullptr;
        EXPECT_EQ(ole->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, &site, 0, site.window, &site.pos), S_OK);
        Face<IOleWindow>(control, IID_IOleWindow)->GetWindow(&hwnd);
        return hwnd;
    }
    void Deactivate() { EXPECT_EQ(Face<IOleInPlaceObject>(control, IID_IOleInPlaceObject)->InPlaceDeactivate(), S_OK); }
    // Drops a picture file on the control's window as OLE would.
    void DropPicture(HWND hwnd) {
        IDropTarget* target = static_cast<IDropTarget*>(GetPropW(hwnd, L"OleDropTargetInterface"));
        ASSERT_NE(target, nullptr);
        const std::string path = WriteBmp(640, 480);
        std::wstring names(path.begin(), path.end());
        names.append(2, L'\0');
        HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DROPFILES) + names.size() * 2);
        DROPFILES* drop = static_cast<DROPFILES*>(GlobalLock(memory));
        *drop = DROPFILES{sizeof(DROPFILES), {0, 0}, FALSE, TRUE};
        memcpy(drop + 1, names.data(), names.size() * 2);
        GlobalUnlock(memory);
        IDataObject* data = nullptr;
        ASSERT_TRUE(OpenClipboard(nullptr));
        EmptyClipboard();
        SetClipboardData(CF_HDROP, memory);
        CloseClipboard();
        ASSERT_EQ(OleGetClipboard(&data), S_OK);
        DWORD effect = DROPEFFECT_COPY;
        POINTL at{50, 100};
        target->DragEnter(data, 0, at, &effect);
        EXPECT_EQ(target->Drop(data, 0, at, &effect), S_OK);
        data->Release();
    }
    // Draws the control through IViewObject into a fresh w x h bitmap.
    std::vector<DWORD> Drawn(int w, int h) {
        return Capture(nullptr, w, h, [&](HDC dc) {
            const RECTL bounds{0, 0, w, h};
            EXPECT_EQ(Face<IViewObject>(control, IID_IViewObject)
                          ->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, dc, &bounds, nullptr, nullptr, 0),
                      S_OK);
        });
    }
    // Pixels of a w x h 32-bit bitmap after fill(dc) or a copy of window's.
    static std::vector<DWORD> Capture(HWND window, int w, int h, const std::function<void(HDC)>& fill) {
        DibCanvas canvas(w, h);
        if (fill)
            fill(canvas.Dc());
        else
            canvas.CopyFrom(window, 0, 0);
        const std::vector<uint32_t> pixels = canvas.Pixels();
        return std::vector<DWORD>(pixels.begin(), pixels.end());
    }
    static void Click(HWND hwnd, int x, int y) {
        SendMessageW(hwnd, WM_MOUSEMOVE, 0, MAKELPARAM(x, y));
        SendMessageW(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
        SendMessageW(hwnd, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
    }
    static void ClickOk(HWND hwnd) { Click(hwnd, 98, 320 - 19); }  // the button's middle
    // The control's drawing after a picture drop and one rotate-right press.
    std::vector<DWORD> RotatedOnce(HWND hwnd) {
        DropPicture(hwnd);
        Click(hwnd, 213, 27);
        SendMessageW(hwnd, WM_MOUSEMOVE, 0, MAKELPARAM(300, 200));  // away from every button
        return Drawn(400, 320);
    }
    // Configures an upload of the dropped picture to path on the local server.
    void PrepareUpload(HWND hwnd, const char* path) {
        const char* port = std::getenv("PIXMEND_TEST_HTTP_PORT");
        ASSERT_NE(port, nullptr) << "run inside upload_server.py";
        const std::string url = std::string("http://127.0.0.1:") + port + path;
        BSTR text = SysAllocString(std::wstring(url.begin(), url.end()).c_str());
        control->put_PostUrl(text);
        SysFreeString(text);
        control->put_ClipWidth(200);
        control->put_ClipHeight(150);
        control->put_OnComplete(reinterpret_cast<IDispatchEx*>(&complete));
        control->put_OnError(reinterpret_cast<IDispatchEx*>(&error));
        DropPicture(hwnd);
        g_finishMessages = 0;
        g_controlProc = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CountFinish)));
    }
    // Releases everything the test holds and pumps until the DLL may unload.
    bool ControlFreed() {
        if (ole != nullptr) ole->Release();
        if (control != nullptr) control->Release();
        ole = nullptr;
        control = nullptr;
        return PumpUntil([&] { return dll.canUnloadNow() == S_OK; }, 5000);
    }

    Container site;
    IPixmend* control = nullptr;
    IOleObject* ole = nullptr;
    PageFunction complete, error;
};

TEST_F(Container_, ActivationWindowDrawingAndReactivation) {
    const struct { IID iid; HRESULT hr; } faces[] = {
        {IID_IPixmend, S_OK}, {IID_IDispatch, S_OK}, {IID_IViewObjectEx, S_OK},
        {IID_IViewObject2, S_OK}, {IID_IViewObject, S_OK}, {IID_IOleInPlaceObjectWindowless, S_OK},
        {IID_IOleInPlaceObject, S_OK}, {IID_IOleWindow, S_OK}, {IID_IOleInPlaceActiveObject, S_OK},
        {IID_IOleControl, S_OK}, {IID_IOleObject, S_OK}, {IID_IPersistStreamInit, S_OK},
        {IID_IPersist, S_OK}, {IID_IObjectWithSite, S_OK}, {IID_IObjectSafety, S_OK},
        {IID_IConnectionPointContainer, E_NOINTERFACE}, {IID_IDataObject, E_NOINTERFACE},
        {IID_IPersistPropertyBag, E_NOINTERFACE}, {IID_IDropTarget, E_NOINTERFACE}};
    for (const auto& face : faces) {
        IUnknown* got = nullptr;
        EXPECT_EQ(control->QueryInterface(face.iid, reinterpret_cast<void**>(&got)), face.hr);
        if (got != nullptr) got->Release();
    }

    const HWND hwnd = Activate();
    ASSERT_TRUE(IsWindow(hwnd));
    EXPECT_EQ(GetParent(hwnd), site.window);
    EXPECT_EQ(site.activations, 1);
    EXPECT_EQ(GetClassLongPtrW(hwnd, GCL_STYLE), LONG_PTR(CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS));
    EXPECT_EQ(GetClassLongPtrW(hwnd, GCLP_HBRBACKGROUND), LONG_PTR(COLOR_WINDOW + 1));
    RECT client;
    GetClientRect(hwnd, &client);
    EXPECT_EQ(client.right, 400);
    EXPECT_EQ(client.bottom, 320);
    EXPECT_NE(GetPropW(hwnd, L"OleDropTargetInterface"), nullptr) << "drop target registered";

    // IViewObject::Draw gives the pixels that WM_PAINT puts on the window.
    DropPicture(hwnd);
    RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    PumpUntil([] { return false; }, 200);
    const std::vector<DWORD> drawn = Drawn(400, 320);
    EXPECT_EQ(drawn[0], DWORD(RGB(229, 187, 154))) << "the outline (BGR in a DIB)";
    EXPECT_TRUE(drawn == Capture(hwnd, 400, 320, nullptr));

    // Re-activation builds no second set of controls: one press of
    // rotate-right still turns the picture once, exactly as in a control
    // that was activated only once.
    Deactivate();
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_EQ(site.deactivations, 1);
    const HWND again = Activate();
    ASSERT_TRUE(IsWindow(again));
    EXPECT_NE(GetPropW(again, L"OleDropTargetInterface"), nullptr);
    const std::vector<DWORD> reactivated = RotatedOnce(again);
    Deactivate();
    ole->Release();
    control->Release();
    control = dll.Create();
    control->QueryInterface(IID_IOleObject, reinterpret_cast<void**>(&ole));
    ole->SetClientSite(&site);
    EXPECT_TRUE(RotatedOnce(Activate()) == reactivated) << "background and one turn, as in a fresh control";
    Deactivate();
}

TEST_F(Container_, PersistenceRoundTripAndRefusedStreams) {
    Face<IPersistStreamInit> persist(control, IID_IPersistStreamInit);
    EXPECT_EQ(persist->IsDirty(), S_FALSE);
    control->put_BackColor(0x123456);
    control->put_FillColor(0x80000005);
    SIZEL extent{3000, 2000};
    ole->SetExtent(DVASPECT_CONTENT, &extent);
    EXPECT_EQ(persist->IsDirty(), S_OK);
    IStream* stream = SHCreateMemStream(nullptr, 0);
    ASSERT_EQ(persist->Save(stream, TRUE), S_OK);
    EXPECT_EQ(persist->IsDirty(), S_FALSE);
    ULARGE_INTEGER size{}, max{};
    IStream_Size(stream, &size);
    persist->GetSizeMax(&max);
    ASSERT_EQ(size.QuadPart, max.QuadPart);
    std::vector<BYTE> saved(size_t(size.QuadPart));
    IStream_Reset(stream);
    IStream_Read(stream, saved.data(), ULONG(saved.size()));
    stream->Release();

    const struct { size_t cut; int flip; HRESULT hr; } cases[] = {  // flip: a byte to corrupt
        {0, -1, S_OK}, {1, -1, STG_E_READFAULT}, {23, -1, STG_E_READFAULT},
        {0, 0, E_FAIL} /* version */, {0, 12, E_FAIL} /* BackColor's type */};
    for (const auto& c : cases) {
        IPixmend* other = dll.Create();
        other->put_BackColor(7);
        std::vector<BYTE> bytes(saved.begin(), saved.end() - c.cut);
        if (c.flip >= 0) bytes[size_t(c.flip)] ^= 0x40;
        IStream* in = SHCreateMemStream(bytes.data(), UINT(bytes.size()));
        EXPECT_EQ(Face<IPersistStreamInit>(other, IID_IPersistStreamInit)->Load(in), c.hr) << c.cut << c.flip;
        in->Release();
        OLE_COLOR back = 0, fill = 0;
        SIZEL read{};
        other->get_BackColor(&back);
        other->get_FillColor(&fill);
        Face<IOleObject>(other, IID_IOleObject)->GetExtent(DVASPECT_CONTENT, &read);
        const bool loaded = c.hr == S_OK;  // else nothing changed
        EXPECT_EQ(std::vector<LONG>({LONG(back), LONG(fill), read.cx, read.cy}),
                  loaded ? std::vector<LONG>({0x123456, LONG(0x80000005), 3000, 2000})
                         : std::vector<LONG>({7, 0, 5080, 5080}));
        other->Release();
    }
}

// The page's callback runs on the control's thread through the table entry
// made at OK. An OK pressed inside the callback's modal loop is ignored and
// deadlocks nothing, and one right after it starts the next upload while the
// first worker may still hold its proxy. Each way a container lets go
// revokes the entry, so the control is freed once the container releases
// it; also from inside the callback, where the worker's proxy holds the last
// reference.
TEST_F(Container_, UploadCallbackThroughTheTableThenTheControlIsFreed) {
    enum Release { kClose, kNullSite, kDeactivate, kInsideCallback };
    for (Release how : {kClose, kNullSite, kDeactivate, kInsideCallback}) {
        if (how != kClose) {  // a fresh container and control for each way
            DestroyWindow(site.window);
            ComTest::TearDown();
            SetUp();
        }
        const HWND hwnd = Activate();
        PrepareUpload(hwnd, "/echo");
        std::wstring response;
        complete.threads.clear();
        complete.body = [&] {
            ClickOk(hwnd);
            PumpUntil([] { return false; }, 300);  // the page's modal dialog
            BSTR text = nullptr;
            control->get_Response(&text);
            response.assign(text, SysStringLen(text));
            SysFreeString(text);
            if (how != kInsideCallback) return;
            ole->Close(OLECLOSE_NOSAVE);
            ole->SetClientSite(nullptr);
            ole->Release();
            control->Release();
            ole = nullptr;
            control = nullptr;
        };
        ClickOk(hwnd);
        ASSERT_TRUE(PumpUntil([&] { return !complete.threads.empty(); })) << how;
        PumpUntil([] { return false; }, 300);  // time for a wrong second call
        EXPECT_EQ(complete.threads, std::vector<DWORD>{GetCurrentThreadId()}) << "once, on the control's thread";
        EXPECT_EQ(g_finishMessages, 0) << "delivered through the marshalled proxy, not the fallback";
        EXPECT_NE(response.find(L"body="), std::wstring::npos) << "the reply, read inside the callback";
        if (how == kDeactivate) {  // the next upload, at once
            complete.body = nullptr;
            ClickOk(hwnd);
            ASSERT_TRUE(PumpUntil([&] { return complete.threads.size() == 2; }));
        }
        EXPECT_TRUE(error.threads.empty());
        EXPECT_EQ(g_finishMessages, 0);
        if (how == kClose) ole->Close(OLECLOSE_NOSAVE);
        if (how == kNullSite) ole->SetClientSite(nullptr);
        if (how == kDeactivate) Deactivate();
        EXPECT_TRUE(ControlFreed()) << how;
    }
}

}  // namespace
