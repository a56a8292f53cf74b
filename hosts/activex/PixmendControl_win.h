#pragma once
// CPixmend: the ActiveX control through which a page in a COM-hosting browser
// uses the editor. This file is its COM identity and script surface: the
// IPixmend dual interface (dispatch driven by the type library inside the
// DLL), IObjectSafety, aggregation, and the page's callbacks.
//
// Threading: apartment-threaded; every method runs on the thread that created
// the control (other threads reach it through the marshalled proxy).
// Lifetime: one module lock from construction to destruction; the stored
// script objects are released when replaced and when the control goes.
#include <windows.h>
#include <ole2.h>
#include <objsafe.h>

#include "editor/Editor.h"
#include "editor/EditorHost.h"
#include "hosts/activex/PageObject_win.h"
#include "hosts/activex/Pixmend.h"

class CPixmend final : public IPixmend, public IObjectSafety, private EditorHost {
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

    // DISPIDs of the members that take script objects.
    static const DISPID kDispidObject = 8, kDispidOnComplete = 11, kDispidOnError = 12;
    // The member a null write through IDispatch clears, or null.
    PageObject* NullWrite(DISPID id, WORD flags, const DISPPARAMS* params);

    // EditorHost, on the window thread once an upload has ended.
    void CallPage(UploadOutcome outcome) override;
    // Calls one of the page's functions with the callback argument.
    void CallPageFunction(const PageObject& function);
    // A stock colour changed: the control needs saving.
    void StockPropertyChanged();
    HRESULT WriteColor(OLE_COLOR& member, OLE_COLOR value);

    Inner inner_;
    IUnknown* outer_;  // controlling unknown: the aggregate, or &inner_
    volatile LONG refs_ = 0;

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
};
