#pragma once
// Script objects the plug-in keeps for the page: one counted reference each,
// taken when script stores the object and dropped when it is replaced or the
// plug-in goes away. Browser thread only.
#include "editor/EditorHost.h"
#include "hosts/npapi/NpapiTypes.h"

class ScriptRef {
public:
    ScriptRef() = default;
    // Takes a reference of its own to object (may be null).
    explicit ScriptRef(NPObject* object) { Reset(object); }
    ~ScriptRef() { Reset(nullptr); }
    ScriptRef(const ScriptRef&) = delete;
    ScriptRef& operator=(const ScriptRef&) = delete;

    // Retains the new object before releasing the old one, so storing the
    // object already held keeps it alive.
    void Reset(NPObject* object);
    NPObject* Get() const { return object_; }

private:
    NPObject* object_ = nullptr;
};

// What the page stored through "Object", "OnComplete" and "OnError".
struct ScriptRefs {
    ScriptRef callbackArgument;
    ScriptRef onComplete;
    ScriptRef onError;
};

// Calls the page's onComplete or onError (when stored) with the callback
// argument as its one argument (a null value when none is stored), on the
// browser's thread. The function and the argument are held for the length of
// the call, since the page may replace them from inside it. The result is
// released only when the call succeeded; it is otherwise ignored.
void CallPageFunction(NPP npp, const ScriptRefs& refs, UploadOutcome outcome);
