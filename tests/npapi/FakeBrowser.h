#pragma once
// A browser's side of the plug-in interface for tests: a complete function
// table with working npruntime behaviour (identifiers, objects with reference
// counts, variants, NPN_MemAlloc, queued async calls), plus page objects
// whose default call the test observes. One FakeBrowser at a time; its
// functions run on the test's thread except PluginThreadAsyncCall, which
// only queues.
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "hosts/npapi/NpapiTypes.h"

class FakeBrowser {
public:
    FakeBrowser();
    ~FakeBrowser();
    FakeBrowser(const FakeBrowser&) = delete;
    FakeBrowser& operator=(const FakeBrowser&) = delete;

    // Handed to NP_Initialize: version 0.27, full size.
    NPNetscapeFuncs funcs;

    NPIdentifier Id(const std::string& name);

    // A page function or plain page object; the caller owns one reference.
    NPObject* NewPageObject();
    uint32_t RefCount(NPObject* object) const { return object->referenceCount; }
    // Objects created through the table and not yet deallocated.
    std::size_t LiveObjects() const { return live_.size(); }
    // NPN_MemAlloc blocks not yet freed.
    std::size_t OutstandingMemory() const { return memory_.size(); }
    // Releases of dead objects, frees of unknown memory.
    int misuse = 0;

    bool failMemAlloc = false;
    bool failCreateObject = false;

    // One default call of a page object.
    struct PageCall {
        NPObject* function;
        uint32_t argCount;
        NPVariantType argType;
        NPObject* argObject;
        std::thread::id thread;
    };
    std::vector<PageCall> pageCalls;
    // Runs inside every page call (the page's own script).
    std::function<void(NPObject* function)> onPageCall;
    // Page calls fail, leaving a result a careless caller would free.
    bool pageCallFails = false;

    // Queued by NPN_PluginThreadAsyncCall; wake (if set) runs on the queuing
    // thread after each, so a message loop can come and run them.
    std::function<void()> wake;
    std::size_t PendingAsyncCalls();
    // Runs the queued calls in order; returns how many ran.
    std::size_t RunAsyncCalls();
    std::size_t asyncCallsRun = 0;

    // Deletes a string variant's buffer or drops an object reference.
    void Release(NPVariant& value);
    void Drop(NPObject* object) { ReleaseObject(object); }

private:
    static FakeBrowser* current_;
    static void* MemAlloc(uint32_t size);
    static void MemFree(void* ptr);
    static NPIdentifier GetStringIdentifier(const NPUTF8* name);
    static NPObject* CreateObject(NPP npp, NPClass* npClass);
    static NPObject* RetainObject(NPObject* object);
    static void ReleaseObject(NPObject* object);
    static bool InvokeDefault(NPP npp, NPObject* object, const NPVariant* args, uint32_t count,
                              NPVariant* result);
    static void ReleaseVariantValue(NPVariant* value);
    static void PluginThreadAsyncCall(NPP npp, void (*func)(void*), void* data);
    static bool PageInvokeDefault(NPObject* object, const NPVariant* args, uint32_t count,
                                  NPVariant* result);

    std::map<std::string, std::unique_ptr<std::string>> ids_;
    std::set<NPObject*> live_;
    std::set<void*> memory_;
    std::mutex asyncMutex_;
    std::deque<std::pair<void (*)(void*), void*>> async_;
};

// A script string as a browser passes it: exactly its bytes, no terminator,
// so reading past the length is caught by the sanitizers.
class ScriptString {
public:
    explicit ScriptString(const std::string& text);
    NPVariant Variant() const;

private:
    std::unique_ptr<char[]> bytes_;
    uint32_t length_;
};

NPVariant IntVariant(int32_t value);
NPVariant DoubleVariant(double value);
NPVariant BoolVariant(bool value);
NPVariant NullVariant();
NPVariant ObjectVariant(NPObject* object);
// The text of a string variant (by its length).
std::string VariantText(const NPVariant& value);
