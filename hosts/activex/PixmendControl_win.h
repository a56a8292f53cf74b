#pragma once
// CPixmend: the ActiveX control through which a page in a COM-hosting browser
// uses the editor. This file is its COM identity and script surface: the
// IPixmend dual interface (dispatch driven by the type library inside the
// DLL), IObjectSafety, aggregation, and the page's callbacks. The OLE control
// side (in-place activation, its window, drawing, persistence, site) is in
// PixmendOle_win.cpp and PixmendView_win.cpp, callback delivery across
// threads in PixmendCallback_win.cpp.
//
// Threading: apartment-threaded; every method runs on the thread that created
// the control (other threads reach it through the marshalled proxy).
// Lifetime: one module lock from construction to destruction; the stored
// script objects are released when replaced and when the control goes.
#include <windows.h>
#include <ole2.h>
#include <objsafe.h>
#include <ocidl.h>

#include <atomic>

#include "editor/Editor.h"
#include "editor/EditorHost.h"
#include "hosts/activex/PageObject_win.h"
#include "hosts/activex/Pixmend.h"

class CPixmend final : public IPixmend,
                       public IPersistStreamInit,
                       public IOleControl,
                       public IOleObject,
                       public IOleInPlaceActiveObject,
                       public IViewObjectEx,
                       public IOleInPlaceObjectWindowless,
                       public IObjectWithSite,
                       public IObjectSafety,
                       private EditorHost {
public:
    // The class factory's creation function (ClassFactory_win.h's contract).
    static HRESULT CreateInstance(IUnknown* outer, REFIID riid, void** out);

    // IUnknown: the controlling unknown's (the aggregate's when aggregated).
    STDMETHODIMP QueryInterface(REFIID riid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // IDispatch through IPixmend's type information.
    STDMETHODIMP GetTypeInfoCount(UINT* count) override;
    STDMETHODIMP GetTypeInfo(UINT index, LCID lcid, ITypeInfo** out) override;
    STDMETHODIMP GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid,
                               DISPID* ids) override;
    STDMETHODIMP Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params,
                        VARIANT* result, EXCEPINFO* exception, UINT* argError) override;

    // IPixmend, in interface order.
    STDMETHODIMP put_BackColor(OLE_COLOR clr) override;
    STDMETHODIMP get_BackColor(OLE_COLOR* pclr) override;
    STDMETHODIMP put_FillColor(OLE_COLOR clr) override;
    STDMETHODIMP get_FillColor(OLE_COLOR* pclr) override;
    STDMETHODIMP AddField(BSTR name, BSTR field) override;
    STDMETHODIMP ClearFields() override;
    STDMETHODIMP OpenFile(BSTR newVal) override;
    STDMETHODIMP FireComplete() override;
    STDMETHODIMP FireError() override;
    STDMETHODIMP put_PostUrl(BSTR newVal) override;
    STDMETHODIMP put_FileFieldName(BSTR newVal) override;
    STDMETHODIMP put_Object(IDispatchEx* newVal) override;
    STDMETHODIMP put_ImageType(BSTR newVal) override;
    STDMETHODIMP put_JpgQuality(LONG newVal) override;
    STDMETHODIMP put_ClipWidth(LONG newVal) override;
    STDMETHODIMP put_ClipHeight(LONG newVal) override;
    STDMETHODIMP put_OnComplete(IDispatchEx* newVal) override;
    STDMETHODIMP put_OnError(IDispatchEx* newVal) override;
    STDMETHODIMP get_Version(BSTR* pVal) override;
    STDMETHODIMP get_Response(BSTR* pVal) override;

    // IObjectSafety: safe for untrusted callers, never for untrusted data.
    STDMETHODIMP GetInterfaceSafetyOptions(REFIID riid, DWORD* supported,
                                           DWORD* enabled) override;
    STDMETHODIMP SetInterfaceSafetyOptions(REFIID riid, DWORD mask, DWORD options) override;

    // IPersist / IPersistStreamInit: the extent and the two stock colours.
    STDMETHODIMP GetClassID(CLSID* clsid) override;
    STDMETHODIMP IsDirty() override;
    STDMETHODIMP Load(LPSTREAM stream) override;
    STDMETHODIMP Save(LPSTREAM stream, BOOL clearDirty) override;
    STDMETHODIMP GetSizeMax(ULARGE_INTEGER* size) override;
    STDMETHODIMP InitNew() override;

    // IOleControl.
    STDMETHODIMP GetControlInfo(CONTROLINFO* info) override;
    STDMETHODIMP OnMnemonic(MSG* msg) override;
    STDMETHODIMP OnAmbientPropertyChange(DISPID id) override;
    STDMETHODIMP FreezeEvents(BOOL freeze) override;

    // IOleObject.
    STDMETHODIMP SetClientSite(IOleClientSite* site) override;
    STDMETHODIMP GetClientSite(IOleClientSite** site) override;
    STDMETHODIMP SetHostNames(LPCOLESTR app, LPCOLESTR object) override;
    STDMETHODIMP Close(DWORD saveOption) override;
    STDMETHODIMP SetMoniker(DWORD which, IMoniker* moniker) override;
    STDMETHODIMP GetMoniker(DWORD assign, DWORD which, IMoniker** moniker) override;
    STDMETHODIMP InitFromData(IDataObject* data, BOOL creation, DWORD reserved) override;
    STDMETHODIMP GetClipboardData(DWORD reserved, IDataObject** data) override;
    STDMETHODIMP DoVerb(LONG verb, LPMSG msg, IOleClientSite* site, LONG index, HWND parent,
                        LPCRECT pos) override;
    STDMETHODIMP EnumVerbs(IEnumOLEVERB** verbs) override;
    STDMETHODIMP Update() override;
    STDMETHODIMP IsUpToDate() override;
    STDMETHODIMP GetUserClassID(CLSID* clsid) override;
    STDMETHODIMP GetUserType(DWORD form, LPOLESTR* type) override;
    STDMETHODIMP SetExtent(DWORD aspect, SIZEL* size) override;
    STDMETHODIMP GetExtent(DWORD aspect, SIZEL* size) override;
    STDMETHODIMP Advise(IAdviseSink* sink, DWORD* connection) override;
    STDMETHODIMP Unadvise(DWORD connection) override;
    STDMETHODIMP EnumAdvise(IEnumSTATDATA** advise) override;
    STDMETHODIMP GetMiscStatus(DWORD aspect, DWORD* status) override;
    STDMETHODIMP SetColorScheme(LOGPALETTE* palette) override;

    // IOleWindow / IOleInPlaceObject(Windowless) / IOleInPlaceActiveObject.
    STDMETHODIMP GetWindow(HWND* window) override;
    STDMETHODIMP ContextSensitiveHelp(BOOL enter) override;
    STDMETHODIMP InPlaceDeactivate() override;
    STDMETHODIMP UIDeactivate() override;
    STDMETHODIMP SetObjectRects(LPCRECT pos, LPCRECT clip) override;
    STDMETHODIMP ReactivateAndUndo() override;
    STDMETHODIMP OnWindowMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) override;
    STDMETHODIMP GetDropTarget(IDropTarget** target) override;
    STDMETHODIMP TranslateAccelerator(LPMSG msg) override;
    STDMETHODIMP OnFrameWindowActivate(BOOL activate) override;
    STDMETHODIMP OnDocWindowActivate(BOOL activate) override;
    STDMETHODIMP ResizeBorder(LPCRECT border, IOleInPlaceUIWindow* window, BOOL frame) override;
    STDMETHODIMP EnableModeless(BOOL enable) override;

    // IViewObject / IViewObject2 / IViewObjectEx.
    STDMETHODIMP Draw(DWORD aspect, LONG index, void* aspectInfo, DVTARGETDEVICE* device,
                      HDC targetDc, HDC dc, LPCRECTL bounds, LPCRECTL metaBounds,
                      BOOL(STDMETHODCALLTYPE* keepGoing)(ULONG_PTR), ULONG_PTR argument) override;
    STDMETHODIMP GetColorSet(DWORD aspect, LONG index, void* aspectInfo, DVTARGETDEVICE* device,
                             HDC targetDc, LOGPALETTE** colors) override;
    STDMETHODIMP Freeze(DWORD aspect, LONG index, void* aspectInfo, DWORD* freeze) override;
    STDMETHODIMP Unfreeze(DWORD freeze) override;
    STDMETHODIMP SetAdvise(DWORD aspects, DWORD flags, IAdviseSink* sink) override;
    STDMETHODIMP GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** sink) override;
    STDMETHODIMP GetExtent(DWORD aspect, LONG index, DVTARGETDEVICE* device, LPSIZEL size) override;
    STDMETHODIMP GetRect(DWORD aspect, LPRECTL rect) override;
    STDMETHODIMP GetViewStatus(DWORD* status) override;
    STDMETHODIMP QueryHitPoint(DWORD aspect, LPCRECT bounds, POINT point, LONG closeHint,
                               DWORD* result) override;
    STDMETHODIMP QueryHitRect(DWORD aspect, LPCRECT bounds, LPCRECT rect, LONG closeHint,
                              DWORD* result) override;
    STDMETHODIMP GetNaturalExtent(DWORD aspect, LONG index, DVTARGETDEVICE* device, HDC targetDc,
                                  DVEXTENTINFO* info, LPSIZEL size) override;

    // IObjectWithSite.
    STDMETHODIMP SetSite(IUnknown* site) override;
    STDMETHODIMP GetSite(REFIID riid, void** out) override;

private:
    // The object's own IUnknown: the inner unknown of an aggregate, and the
    // controlling unknown of a plain control.
    class Inner final : public IUnknown {
    public:
        explicit Inner(CPixmend& owner) : owner_(owner) {}
        STDMETHODIMP QueryInterface(REFIID riid, void** out) override;
        STDMETHODIMP_(ULONG) AddRef() override;
        STDMETHODIMP_(ULONG) Release() override;

    private:
        CPixmend& owner_;
    };

    explicit CPixmend(IUnknown* outer);
    ~CPixmend();
    HRESULT InnerQueryInterface(REFIID riid, void** out);

    // The extent before the container sets one: 2 x 2 inches in HIMETRIC.
    static const LONG kDefaultExtent = 5080;
    // DISPIDs of the members that take script objects.
    static const DISPID kDispidObject = 8, kDispidOnComplete = 11, kDispidOnError = 12;
    // The member a null write through IDispatch clears, or null.
    PageObject* NullWrite(DISPID id, WORD flags, const DISPPARAMS* params);

    // EditorHost. UploadStarting (window thread, at OK) registers the
    // control in the global interface table; ScheduleFinish (upload thread)
    // calls FireComplete or FireError through the marshalled proxy, which
    // finishes the upload and calls the page on the window thread.
    void UploadStarting() override;
    bool ScheduleFinish(Editor& editor) override;
    void CallPage(UploadOutcome outcome) override;
    // FireComplete / FireError: the pending upload's finish when there is
    // one (the worker's delivery), else the page's function directly.
    void Fire(const PageObject& function);
    // Revokes the global-interface-table entry, if any (window thread).
    void RevokeCallbackEntry();
    // Window thread: waits, answering COM calls, until no worker is inside
    // ScheduleFinish any more.
    void WaitForDelivery();

    // In-place activation and the control's window (PixmendOle_win.cpp).
    HRESULT InPlaceActivate(LONG verb, IOleClientSite* site, HWND parent, LPCRECT pos);
    HRESULT UIActivate();
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp);
    // Asks the container to redraw: the window when active, else the view
    // advise sink.
    void ViewChanged();
    // Calls one of the page's functions with the callback argument.
    void CallPageFunction(const PageObject& function);
    // A stock colour changed: the control needs saving.
    void StockPropertyChanged();
    HRESULT WriteColor(OLE_COLOR& member, OLE_COLOR value);

    Inner inner_;
    IUnknown* outer_;  // controlling unknown: the aggregate, or &inner_
    volatile LONG refs_ = 0;

    // What the upload thread touches inside ScheduleFinish. Declared before
    // the editor, whose teardown waits for that thread, so it outlives it.
    struct Delivery {
        Delivery();
        ~Delivery();
        std::atomic<DWORD> cookie{0};  // the global-interface-table entry, or 0
        CRITICAL_SECTION lock;         // guards the three below
        LONG inside = 0;               // workers inside ScheduleFinish
        bool deleteDeferred = false;   // the last reference went while one was
        HANDLE idle = nullptr;         // manual-reset, set while inside == 0
        HWND messageWindow = nullptr;  // on the control's thread: deferred delete
    } delivery_;
    // The last reference went: delete now, or once no worker is inside
    // ScheduleFinish (its proxy release is what dropped the reference, and
    // the editor's teardown would wait for that worker while it waits for us).
    void FinalRelease();
    static LRESULT CALLBACK MessageWindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

    // The editor this control carries; script reaches it through the
    // members in PixmendEditor_win.cpp.
    Editor editor_;

    PageObject callbackArgument_;  // "Object"
    PageObject onComplete_;
    PageObject onError_;
    OLE_COLOR backColor_ = 0;
    OLE_COLOR fillColor_ = 0;
    bool dirty_ = false;  // persisted properties changed since the last save
    DWORD safety_ = 0;    // enabled IObjectSafety options

    // OLE control state; the pointers hold one reference each.
    IOleClientSite* clientSite_ = nullptr;
    IOleInPlaceSite* inPlaceSite_ = nullptr;  // set while in-place active
    IOleInPlaceFrame* frame_ = nullptr;        // set while UI active
    IOleInPlaceUIWindow* document_ = nullptr;  // likewise, may stay null
    IUnknown* site_ = nullptr;                 // IObjectWithSite
    IOleAdviseHolder* adviseHolder_ = nullptr;
    IAdviseSink* viewSink_ = nullptr;
    DWORD viewAspects_ = 0, viewFlags_ = 0;
    HWND window_ = nullptr;  // the control's window while in-place active
    bool uiActive_ = false;
    SIZEL extent_;           // HIMETRIC, persisted as "_cx", "_cy"
    LONG freezeCount_ = 0;

    IGlobalInterfaceTable* callbackTable_ = nullptr;  // window thread only
    unsigned pageCalls_ = 0;  // CallPage runs, to tell a finish from a page's own Fire
};
