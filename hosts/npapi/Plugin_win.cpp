#include "hosts/npapi/Plugin_win.h"

#include <map>

#include "editor/Editor.h"
#include "hosts/npapi/Browser.h"

namespace {

// Live instances by token. Browser thread only: instances are created and
// destroyed there and queued deliveries run there.
std::map<uintptr_t, CPlugin*>& LiveInstances() {
    static std::map<uintptr_t, CPlugin*> live;
    return live;
}
uintptr_t gNextToken = 1;

}  // namespace

class CPlugin::CallScope {
public:
    explicit CallScope(CPlugin* plugin) : plugin_(plugin) { ++plugin_->callDepth_; }
    ~CallScope() {
        if (--plugin_->callDepth_ == 0 && plugin_->doomed_) delete plugin_;
    }
    CallScope(const CallScope&) = delete;
    CallScope& operator=(const CallScope&) = delete;

private:
    CPlugin* plugin_;
};

CPlugin::CPlugin(NPP instance) : instance_(instance), token_(gNextToken++) {
    editor_.reset(new Editor(*this));
    LiveInstances()[token_] = this;
    RefreshScriptIds();
}

CPlugin::~CPlugin() {
    LiveInstances().erase(token_);
    DetachWindow();
    if (ScriptablePluginObject* object = ScriptablePluginObject::From(scriptObject_))
        object->SetOwner(nullptr);
    Browser::ReleaseObject(scriptObject_);
    scriptObject_ = nullptr;
    // Stops and joins a running upload; a delivery it queues now finds no
    // live instance and is dropped.
    editor_.reset();
    refs_.onComplete.Reset(nullptr);
    refs_.onError.Reset(nullptr);
    refs_.callbackArgument.Reset(nullptr);
}

void CPlugin::Destroy(CPlugin* plugin) {
    if (plugin == nullptr) return;
    if (plugin->callDepth_ == 0) {
        delete plugin;
        return;
    }
    // Still inside one of its own calls: stop taking deliveries and script
    // calls now, delete when the call returns.
    plugin->doomed_ = true;
    LiveInstances().erase(plugin->token_);
    if (ScriptablePluginObject* object = ScriptablePluginObject::From(plugin->scriptObject_))
        object->SetOwner(nullptr);
}

bool CPlugin::AttachWindow(NPWindow* record) {
    if (record == nullptr || record->window == nullptr) return false;
    HWND window = static_cast<HWND>(record->window);
    if (attached_) return window == window_;
    // Route the window's messages first: building the controls already
    // sends some.
    previousUserData_ = GetWindowLongPtrW(window, GWLP_USERDATA);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    previousProc_ = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CPlugin::WindowProc)));
    window_ = window;
    attached_ = true;
    if (!editor_->AttachWindow(window)) {
        DetachWindow();
        return false;
    }
    return true;
}

void CPlugin::DetachWindow() {
    if (window_ == nullptr) return;
    editor_->DetachWindow();
    SetWindowLongPtrW(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previousProc_));
    SetWindowLongPtrW(window_, GWLP_USERDATA, previousUserData_);
    window_ = nullptr;
    previousProc_ = nullptr;
    attached_ = false;
}

LRESULT CALLBACK CPlugin::WindowProc(HWND window, UINT msg, WPARAM wp, LPARAM lp) {
    CPlugin* self = reinterpret_cast<CPlugin*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self == nullptr || self->window_ != window) return DefWindowProcW(window, msg, wp, lp);
    CallScope scope(self);
    if (msg == WM_NCDESTROY) {
        // The browser destroys the window under us: hand it back first.
        const WNDPROC previous = self->previousProc_;
        self->DetachWindow();
        return CallWindowProcW(previous, window, msg, wp, lp);
    }
    LRESULT result = 0;
    if (self->editor_->HandleMessage(msg, wp, lp, result)) return result;
    return CallWindowProcW(self->previousProc_, window, msg, wp, lp);
}

NPObject* CPlugin::AcquireScriptObject() {
    if (scriptObject_ == nullptr) {
        scriptObject_ = Browser::CreateObject(instance_, ScriptablePluginObject::Class());
        if (ScriptablePluginObject* object = ScriptablePluginObject::From(scriptObject_))
            object->SetOwner(this);
    }
    return Browser::RetainObject(scriptObject_);
}

bool CPlugin::ScheduleFinish(Editor&) {
    return Browser::PluginThreadAsyncCall(instance_, &CPlugin::DeliverFinish,
                                          reinterpret_cast<void*>(token_));
}

void CPlugin::DeliverFinish(void* token) {
    auto& live = LiveInstances();
    auto found = live.find(reinterpret_cast<uintptr_t>(token));
    if (found == live.end()) return;  // destroyed since the upload queued it
    CPlugin* self = found->second;
    CallScope scope(self);
    self->editor_->FinishUpload();
}

// Reached only from FinishUpload, so always inside a CallScope of
// DeliverFinish or WindowProc: a page that destroys the instance from its
// callback gets the deletion after the editor has returned.
void CPlugin::CallPage(UploadOutcome outcome) {
    CallPageFunction(instance_, refs_, outcome);
}

// --- What script changes in the editor ----------------------------------

void CPlugin::SetPostUrl(const std::string& url) { editor_->SetPostUrl(url); }
void CPlugin::SetCharset(const std::string& charset) { editor_->Settings().charset = charset; }
void CPlugin::SetClipWidth(int32_t width) { editor_->SetClipWidth(width); }
void CPlugin::SetClipHeight(int32_t height) { editor_->SetClipHeight(height); }
void CPlugin::SetImageType(const std::string& type) { editor_->SetImageType(type); }
void CPlugin::SetJpegQuality(int quality) { editor_->SetJpegQuality(quality); }
void CPlugin::AddField(const std::string& name, const std::string& value) {
    editor_->AddField(name, value);
}
void CPlugin::ClearFields() { editor_->ClearFields(); }
std::string CPlugin::GetResponse() const { return editor_->GetResponse(); }
