#include "hosts/npapi/Browser.h"

#include <atomic>
#include <cstddef>

namespace Browser {
namespace {

// Written by NP_Initialize and NP_Shutdown on the browser's thread; read
// there and by the upload thread's PluginThreadAsyncCall.
std::atomic<NPNetscapeFuncs*> gFuncs{nullptr};

// The table holds the entry at offset `offset` of pointer size and the
// browser's minor version is at least `minor`.
NPNetscapeFuncs* With(std::size_t offset, uint16_t minor) {
    NPNetscapeFuncs* funcs = gFuncs.load();
    if (funcs == nullptr) return nullptr;
    if ((funcs->version & 0xFF) < minor) return nullptr;
    if (funcs->size < offset + sizeof(void*)) return nullptr;
    return funcs;
}

// The last npruntime entry the script object calls.
NPNetscapeFuncs* Scripting() {
    return With(offsetof(NPNetscapeFuncs, releasevariantvalue), NPVERS_HAS_NPRUNTIME_SCRIPTING);
}

}  // namespace

void SetFuncs(NPNetscapeFuncs* funcs) { gFuncs.store(funcs); }

bool HasScripting() {
    NPNetscapeFuncs* f = Scripting();
    return f && f->memalloc && f->getstringidentifier && f->createobject && f->retainobject &&
           f->releaseobject && f->invokeDefault && f->releasevariantvalue;
}

static NPNetscapeFuncs* AsyncCall() {
    NPNetscapeFuncs* f =
        With(offsetof(NPNetscapeFuncs, pluginthreadasynccall), NPVERS_HAS_PLUGIN_THREAD_ASYNC_CALL);
    return f && f->pluginthreadasynccall ? f : nullptr;
}

bool HasAsyncCall() { return AsyncCall() != nullptr; }

void* MemAlloc(uint32_t size) {
    NPNetscapeFuncs* f = With(offsetof(NPNetscapeFuncs, memalloc), 0);
    return f && f->memalloc ? f->memalloc(size) : nullptr;
}

NPIdentifier GetStringIdentifier(const char* name) {
    NPNetscapeFuncs* f = Scripting();
    return f && f->getstringidentifier ? f->getstringidentifier(name) : nullptr;
}

NPObject* CreateObject(NPP npp, NPClass* npClass) {
    NPNetscapeFuncs* f = Scripting();
    return f && f->createobject ? f->createobject(npp, npClass) : nullptr;
}

NPObject* RetainObject(NPObject* object) {
    NPNetscapeFuncs* f = Scripting();
    if (object && f && f->retainobject) f->retainobject(object);
    return object;
}

void ReleaseObject(NPObject* object) {
    NPNetscapeFuncs* f = Scripting();
    if (object && f && f->releaseobject) f->releaseobject(object);
}

bool InvokeDefault(NPP npp, NPObject* object, const NPVariant* args, uint32_t argCount,
                   NPVariant* result) {
    NPNetscapeFuncs* f = Scripting();
    return object && f && f->invokeDefault && f->invokeDefault(npp, object, args, argCount, result);
}

void ReleaseVariantValue(NPVariant* variant) {
    NPNetscapeFuncs* f = Scripting();
    if (variant && f && f->releasevariantvalue) f->releasevariantvalue(variant);
}

bool PluginThreadAsyncCall(NPP npp, void (*func)(void*), void* userData) {
    NPNetscapeFuncs* f = AsyncCall();
    if (f == nullptr) return false;
    f->pluginthreadasynccall(npp, func, userData);
    return true;
}

}  // namespace Browser
