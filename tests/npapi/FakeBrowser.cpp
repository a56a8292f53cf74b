#include "tests/npapi/FakeBrowser.h"

#include <cstdlib>
#include <cstring>

FakeBrowser* FakeBrowser::current_ = nullptr;

namespace {
NPClass MakePageClass() {
    NPClass c = {};
    c.structVersion = NP_CLASS_STRUCT_VERSION_CTOR;
    return c;
}
NPClass gPageClass = MakePageClass();
}

FakeBrowser::FakeBrowser() {
    std::memset(&funcs, 0, sizeof funcs);
    funcs.size = sizeof funcs;
    funcs.version = (NP_VERSION_MAJOR << 8) | NP_VERSION_MINOR;
    funcs.memalloc = MemAlloc;
    funcs.memfree = MemFree;
    funcs.getstringidentifier = GetStringIdentifier;
    funcs.createobject = CreateObject;
    funcs.retainobject = RetainObject;
    funcs.releaseobject = ReleaseObject;
    funcs.invokeDefault = InvokeDefault;
    funcs.releasevariantvalue = ReleaseVariantValue;
    funcs.pluginthreadasynccall = PluginThreadAsyncCall;
    gPageClass.invokeDefault = PageInvokeDefault;
    current_ = this;
}

FakeBrowser::~FakeBrowser() {
    for (void* block : memory_) std::free(block);
    current_ = nullptr;
}

NPIdentifier FakeBrowser::Id(const std::string& name) { return GetStringIdentifier(name.c_str()); }

NPObject* FakeBrowser::NewPageObject() { return CreateObject(nullptr, &gPageClass); }

std::size_t FakeBrowser::PendingAsyncCalls() {
    std::lock_guard<std::mutex> hold(asyncMutex_);
    return async_.size();
}

std::size_t FakeBrowser::RunAsyncCalls() {
    std::deque<std::pair<void (*)(void*), void*>> calls;
    {
        std::lock_guard<std::mutex> hold(asyncMutex_);
        calls.swap(async_);
    }
    for (auto& call : calls) call.first(call.second);
    asyncCallsRun += calls.size();
    return calls.size();
}

void FakeBrowser::Release(NPVariant& value) { ReleaseVariantValue(&value); }

void* FakeBrowser::MemAlloc(uint32_t size) {
    if (current_->failMemAlloc) return nullptr;
    void* block = std::malloc(size ? size : 1);
    if (block) current_->memory_.insert(block);
    return block;
}

void FakeBrowser::MemFree(void* ptr) {
    if (current_->memory_.erase(ptr) == 0) {
        ++current_->misuse;
        return;
    }
    std::free(ptr);
}

NPIdentifier FakeBrowser::GetStringIdentifier(const NPUTF8* name) {
    auto& slot = current_->ids_[name];
    if (!slot) slot.reset(new std::string(name));
    return slot.get();
}

NPObject* FakeBrowser::CreateObject(NPP npp, NPClass* npClass) {
    if (current_->failCreateObject || npClass == nullptr) return nullptr;
    NPObject* object = npClass->allocate ? npClass->allocate(npp, npClass) : new NPObject;
    if (object == nullptr) return nullptr;
    object->_class = npClass;
    object->referenceCount = 1;
    current_->live_.insert(object);
    return object;
}

NPObject* FakeBrowser::RetainObject(NPObject* object) {
    if (current_->live_.count(object) == 0) {
        ++current_->misuse;
        return object;
    }
    ++object->referenceCount;
    return object;
}

void FakeBrowser::ReleaseObject(NPObject* object) {
    if (current_->live_.count(object) == 0 || object->referenceCount == 0) {
        ++current_->misuse;
        return;
    }
    if (--object->referenceCount > 0) return;
    current_->live_.erase(object);
    if (object->_class->deallocate)
        object->_class->deallocate(object);
    else
        delete object;
}

bool FakeBrowser::InvokeDefault(NPP, NPObject* object, const NPVariant* args, uint32_t count,
                                NPVariant* result) {
    if (current_->live_.count(object) == 0) {
        ++current_->misuse;
        return false;
    }
    return object->_class->invokeDefault &&
           object->_class->invokeDefault(object, args, count, result);
}

void FakeBrowser::ReleaseVariantValue(NPVariant* value) {
    if (value->type == NPVariantType_String)
        MemFree(const_cast<NPUTF8*>(value->value.stringValue.UTF8Characters));
    else if (value->type == NPVariantType_Object)
        ReleaseObject(value->value.objectValue);
    VOID_TO_NPVARIANT(*value);
}

void FakeBrowser::PluginThreadAsyncCall(NPP, void (*func)(void*), void* data) {
    FakeBrowser* self = current_;
    {
        std::lock_guard<std::mutex> hold(self->asyncMutex_);
        self->async_.emplace_back(func, data);
    }
    if (self->wake) self->wake();
}

bool FakeBrowser::PageInvokeDefault(NPObject* object, const NPVariant* args, uint32_t count,
                                    NPVariant* result) {
    PageCall call = {object, count, count ? args[0].type : NPVariantType_Void,
                     count && args[0].type == NPVariantType_Object ? args[0].value.objectValue
                                                                   : nullptr,
                     std::this_thread::get_id()};
    // The argument must still be alive while the page runs.
    if (call.argObject && current_->live_.count(call.argObject) == 0) ++current_->misuse;
    current_->pageCalls.push_back(call);
    if (current_->onPageCall) current_->onPageCall(object);
    if (current_->pageCallFails) {
        // What a browser may leave behind on failure: nothing the caller owns.
        static const char kJunk[] = "not yours";
        STRINGN_TO_NPVARIANT(kJunk, 9, *result);
        return false;
    }
    NULL_TO_NPVARIANT(*result);
    return true;
}

ScriptString::ScriptString(const std::string& text)
    : bytes_(new char[text.size() ? text.size() : 1]), length_(static_cast<uint32_t>(text.size())) {
    std::memcpy(bytes_.get(), text.data(), text.size());
}

NPVariant ScriptString::Variant() const {
    NPVariant v;
    STRINGN_TO_NPVARIANT(bytes_.get(), length_, v);
    return v;
}

NPVariant IntVariant(int32_t value) {
    NPVariant v;
    v.type = NPVariantType_Int32;
    v.value.intValue = value;
    return v;
}
NPVariant DoubleVariant(double value) {
    NPVariant v;
    v.type = NPVariantType_Double;
    v.value.doubleValue = value;
    return v;
}
NPVariant BoolVariant(bool value) {
    NPVariant v;
    v.type = NPVariantType_Bool;
    v.value.objectValue = nullptr;
    v.value.boolValue = value;
    return v;
}
NPVariant NullVariant() {
    NPVariant v;
    NULL_TO_NPVARIANT(v);
    return v;
}
NPVariant ObjectVariant(NPObject* object) {
    NPVariant v;
    OBJECT_TO_NPVARIANT(object, v);
    return v;
}
std::string VariantText(const NPVariant& value) {
    if (value.type != NPVariantType_String) return "<not a string>";
    return std::string(value.value.stringValue.UTF8Characters, value.value.stringValue.UTF8Length);
}
