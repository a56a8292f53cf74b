#include "hosts/npapi/ScriptRefs.h"

#include "hosts/npapi/Browser.h"

void ScriptRef::Reset(NPObject* object) {
    Browser::RetainObject(object);
    NPObject* old = object_;
    object_ = object;
    Browser::ReleaseObject(old);
}

void CallPageFunction(NPP npp, const ScriptRefs& refs, UploadOutcome outcome) {
    const ScriptRef function(outcome == UploadOutcome::Complete ? refs.onComplete.Get()
                                                                : refs.onError.Get());
    if (function.Get() == nullptr) return;
    const ScriptRef argument(refs.callbackArgument.Get());
    NPVariant arg;
    if (argument.Get())
        OBJECT_TO_NPVARIANT(argument.Get(), arg);
    else
        NULL_TO_NPVARIANT(arg);
    NPVariant result;
    VOID_TO_NPVARIANT(result);
    if (Browser::InvokeDefault(npp, function.Get(), &arg, 1, &result))
        Browser::ReleaseVariantValue(&result);
}
