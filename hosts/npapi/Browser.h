#pragma once
// The browser's function table and the calls the plug-in makes through it.
//
// NP_Initialize keeps the browser's own table (not a copy) for the life of the
// module; every call below goes through it and runs on the browser's thread,
// except PluginThreadAsyncCall, which browsers allow from any thread. Each
// call checks that the table is long enough and new enough to hold its entry,
// so an old browser loses the feature instead of calling through garbage.
#include "hosts/npapi/NpapiTypes.h"

namespace Browser {

// The table NP_Initialize accepted (the browser's own, not a copy).
void SetFuncs(NPNetscapeFuncs* funcs);

// The npruntime entries the script object needs are present (minor version
// 14 or later and a table that reaches them).
bool HasScripting();
// NPN_PluginThreadAsyncCall is present (minor version 19 or later).
bool HasAsyncCall();

// Null when the browser has no allocator or refuses.
void* MemAlloc(uint32_t size);
// Null when the table has no scripting.
NPIdentifier GetStringIdentifier(const char* name);
NPObject* CreateObject(NPP npp, NPClass* npClass);
// Both accept null and do nothing with it.
NPObject* RetainObject(NPObject* object);
void ReleaseObject(NPObject* object);
bool InvokeDefault(NPP npp, NPObject* object, const NPVariant* args, uint32_t argCount,
                   NPVariant* result);
void ReleaseVariantValue(NPVariant* variant);
// False (nothing queued) when the browser lacks the entry.
bool PluginThreadAsyncCall(NPP npp, void (*func)(void*), void* userData);

}  // namespace Browser
