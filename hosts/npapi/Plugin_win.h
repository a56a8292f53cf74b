#pragma once
// CPlugin: one npPixmend instance. Owns the editor, attaches it to the
// browser's child window by subclassing that window, gives the page its
// scriptable object, and carries upload outcomes back to page script.
//
// Every piece of state is per instance: two plug-ins on one page each keep
// their own window procedure, user data, script object and script references.
// Browser thread only, except ScheduleFinish (upload thread).
#include <windows.h>

#include <cstdint>
#include <memory>

#include "editor/EditorHost.h"
#include "hosts/npapi/NpapiTypes.h"
#include "hosts/npapi/ScriptRefs.h"
#include "hosts/npapi/ScriptablePluginObject.h"

class Editor;

class CPlugin final : public EditorHost, public ScriptOwner {
public:
    // Starts the editor (and with it GDI+). Throws std::bad_alloc.
    explicit CPlugin(NPP instance);
    // Detaches, drops the script object (which then fails every call), stops
    // the editor and releases what the page stored.
    ~CPlugin();
    CPlugin(const CPlugin&) = delete;
    CPlugin& operator=(const CPlugin&) = delete;

    // Subclasses the record's window and builds the editor in it. False for
    // a null record or handle.
    bool AttachWindow(NPWindow* window);
    // Gives the window back its own procedure and user data. Safe to repeat.
    void DetachWindow();
    bool IsAttached() const { return attached_; }
    // The script object with one reference for the caller; created on first
    // use. Null when the browser cannot create it.
    NPObject* AcquireScriptObject();

    // NPP_Destroy: deletes the instance now, or, when the page destroyed it
    // from inside a call this instance is making (a callback, a message the
    // editor is handling), once that call has returned.
    static void Destroy(CPlugin* plugin);

    // EditorHost
    bool ScheduleFinish(Editor& editor) override;
    void CallPage(UploadOutcome outcome) override;

    // ScriptOwner
    void SetPostUrl(const std::string& url) override;
    void SetCharset(const std::string& charset) override;
    void SetClipWidth(int32_t width) override;
    void SetClipHeight(int32_t height) override;
    void SetImageType(const std::string& type) override;
    void SetJpegQuality(int quality) override;
    void AddField(const std::string& name, const std::string& value) override;
    void ClearFields() override;
    std::string GetResponse() const override;
    ScriptRefs& Refs() override { return refs_; }

private:
    // Keeps the instance alive across a call out of the plug-in; the last
    // one to leave deletes an instance that NPP_Destroy doomed meanwhile.
    class CallScope;

    static LRESULT CALLBACK WindowProc(HWND window, UINT msg, WPARAM wp, LPARAM lp);
    static void DeliverFinish(void* token);

    NPP instance_;
    HWND window_ = nullptr;
    bool attached_ = false;
    WNDPROC previousProc_ = nullptr;
    LONG_PTR previousUserData_ = 0;
    NPObject* scriptObject_ = nullptr;  // one reference, the plug-in's
    ScriptRefs refs_;
    // Names this instance in deliveries queued from the upload thread; looked
    // up among the live instances when the delivery runs.
    const uintptr_t token_;
    int callDepth_ = 0;
    bool doomed_ = false;
    std::unique_ptr<Editor> editor_;
};
