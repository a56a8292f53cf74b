#include "hosts/npapi/ScriptablePluginObject.h"

#include <cstdio>
#include <cstring>
#include <limits>
#include <new>

#include "editor/EditorSettings.h"
#include "hosts/npapi/Browser.h"
#include "hosts/npapi/ScriptRefs.h"
#include "hosts/npapi/ScriptValues.h"
#include "support/ConfigMgr.h"
#include "support/Loger.h"

namespace {

const char* const kNames[] = {
    "Object", "Debug", "LogFile", "Response", "PostUrl", "EncodeType", "JpegQuality",
    "ClipWidth", "ClipHeight", "ImageUploadType", "Watermark", "DefaultFolder", "OnError",
    "OnComplete", "Version", "ClearFields", "AddField",
};
static_assert(sizeof(kNames) / sizeof(kNames[0]) == static_cast<int>(ScriptName::Count),
              "one text per name");

// Browser thread only, like every script call.
NPIdentifier gScriptIds[static_cast<int>(ScriptName::Count)];

bool IsMethod(ScriptName name) {
    return name == ScriptName::ClearFields || name == ScriptName::AddField;
}

int16_t Saturate16(int32_t value) {
    if (value > std::numeric_limits<int16_t>::max()) return std::numeric_limits<int16_t>::max();
    if (value < std::numeric_limits<int16_t>::min()) return std::numeric_limits<int16_t>::min();
    return static_cast<int16_t>(value);
}

ScriptablePluginObjectBase* Self(NPObject* object) {
    return static_cast<ScriptablePluginObjectBase*>(object);
}

// The NPClass members: turn the object pointer back into the object and call
// its operation. Nothing may throw across the browser boundary.
template <typename F>
bool Guard(F f) {
    try {
        return f();
    } catch (...) {
        return false;
    }
}

NPObject* Allocate(NPP npp, NPClass*) {
    return new (std::nothrow) ScriptablePluginObject(npp);
}
void Deallocate(NPObject* o) { delete Self(o); }
void Invalidate(NPObject* o) { Self(o)->invalidate(); }
bool HasMethod(NPObject* o, NPIdentifier n) {
    return Guard([&] { return Self(o)->hasMethod(n); });
}
bool Invoke(NPObject* o, NPIdentifier n, const NPVariant* a, uint32_t c, NPVariant* r) {
    return Guard([&] { return Self(o)->invoke(n, a, c, r); });
}
bool InvokeDefault(NPObject* o, const NPVariant* a, uint32_t c, NPVariant* r) {
    return Guard([&] { return Self(o)->invokeDefault(a, c, r); });
}
bool HasProperty(NPObject* o, NPIdentifier n) {
    return Guard([&] { return Self(o)->hasProperty(n); });
}
bool GetProperty(NPObject* o, NPIdentifier n, NPVariant* r) {
    return Guard([&] { return Self(o)->getProperty(n, r); });
}
bool SetProperty(NPObject* o, NPIdentifier n, const NPVariant* v) {
    return Guard([&] { return Self(o)->setProperty(n, v); });
}
bool RemoveProperty(NPObject* o, NPIdentifier n) {
    return Guard([&] { return Self(o)->removeProperty(n); });
}
bool Enumerate(NPObject* o, NPIdentifier** ids, uint32_t* count) {
    return Guard([&] { return Self(o)->enumerate(ids, count); });
}
bool Construct(NPObject* o, const NPVariant* a, uint32_t c, NPVariant* r) {
    return Guard([&] { return Self(o)->construct(a, c, r); });
}

NPClass gClass = {
    NP_CLASS_STRUCT_VERSION_CTOR, Allocate, Deallocate, Invalidate, HasMethod, Invoke,
    InvokeDefault, HasProperty, GetProperty, SetProperty, RemoveProperty, Enumerate, Construct,
};

}  // namespace

void RefreshScriptIds() {
    for (int i = 0; i < static_cast<int>(ScriptName::Count); ++i)
        gScriptIds[i] = Browser::GetStringIdentifier(kNames[i]);
}

ScriptName FindScriptName(NPIdentifier id) {
    if (id == nullptr) return ScriptName::None;
    for (int i = 0; i < static_cast<int>(ScriptName::Count); ++i)
        if (gScriptIds[i] == id) return static_cast<ScriptName>(i);
    return ScriptName::None;
}

bool ReturnScriptString(const std::string& text, NPVariant* result) {
    const std::size_t length = std::strlen(text.c_str());  // up to the first zero byte
    if (result == nullptr || length >= std::numeric_limits<uint32_t>::max()) return false;
    char* copy = static_cast<char*>(Browser::MemAlloc(static_cast<uint32_t>(length + 1)));
    if (copy == nullptr) return false;
    std::memcpy(copy, text.c_str(), length + 1);
    STRINGN_TO_NPVARIANT(copy, static_cast<uint32_t>(length), *result);
    return true;
}

// --- ScriptablePluginObjectBase ----------------------------------------

bool ScriptablePluginObjectBase::hasMethod(NPIdentifier) { return false; }
bool ScriptablePluginObjectBase::invoke(NPIdentifier, const NPVariant*, uint32_t, NPVariant*) {
    return false;
}
bool ScriptablePluginObjectBase::invokeDefault(const NPVariant*, uint32_t, NPVariant*) {
    return false;
}
bool ScriptablePluginObjectBase::hasProperty(NPIdentifier) { return false; }
bool ScriptablePluginObjectBase::getProperty(NPIdentifier, NPVariant*) { return false; }
bool ScriptablePluginObjectBase::removeProperty(NPIdentifier) { return false; }
bool ScriptablePluginObjectBase::enumerate(NPIdentifier**, uint32_t*) { return false; }
bool ScriptablePluginObjectBase::construct(const NPVariant*, uint32_t, NPVariant*) {
    return false;
}

bool ScriptablePluginObjectBase::setProperty(NPIdentifier id, const NPVariant* value) {
    if (owner_ == nullptr || value == nullptr) return false;
    const NPVariant& v = *value;
    switch (FindScriptName(id)) {
    case ScriptName::Object:
        owner_->Refs().callbackArgument.Reset(ScriptObject(v));
        return true;
    case ScriptName::OnComplete:
        owner_->Refs().onComplete.Reset(ScriptObject(v));
        return true;
    case ScriptName::OnError:
        owner_->Refs().onError.Reset(ScriptObject(v));
        return true;
    case ScriptName::Debug:
        Loger::Instance().GetLog().SetEnabled(ScriptFlag(v) ? 1 : 0);
        return true;
    case ScriptName::LogFile:
        Loger::Instance().SetLogFile(ScriptText(v));
        return true;
    case ScriptName::PostUrl:
        owner_->SetPostUrl(ScriptText(v));
        return true;
    case ScriptName::EncodeType:
        owner_->SetCharset(ScriptText(v));
        return true;
    case ScriptName::JpegQuality:
        ConfigMgr::Instance().SetJpegQuality(Saturate16(ScriptInteger(v)));
        owner_->SetJpegQuality(ScriptInteger(v));
        return true;
    case ScriptName::ClipWidth:
        owner_->SetClipWidth(ScriptInteger(v));
        return true;
    case ScriptName::ClipHeight:
        owner_->SetClipHeight(ScriptInteger(v));
        return true;
    case ScriptName::ImageUploadType:
        owner_->SetImageType(ScriptText(v));
        return true;
    case ScriptName::Watermark:
        ConfigMgr::Instance().SetWatermark(ScriptFlag(v));
        return true;
    case ScriptName::DefaultFolder:
        ConfigMgr::Instance().SetDefaultFolder(ScriptText(v));
        return true;
    default:  // Response, Version, the methods and unknown names
        return false;
    }
}

// --- ScriptablePluginObject ---------------------------------------------

NPClass* ScriptablePluginObject::Class() { return &gClass; }

ScriptablePluginObject* ScriptablePluginObject::From(NPObject* object) {
    if (object == nullptr || object->_class != &gClass) return nullptr;
    return static_cast<ScriptablePluginObject*>(Self(object));
}

bool ScriptablePluginObject::hasMethod(NPIdentifier id) {
    return owner_ != nullptr && IsMethod(FindScriptName(id));
}

bool ScriptablePluginObject::hasProperty(NPIdentifier id) {
    const ScriptName name = FindScriptName(id);
    return owner_ != nullptr && name != ScriptName::None && !IsMethod(name);
}

bool ScriptablePluginObject::invoke(NPIdentifier id, const NPVariant* args, uint32_t argCount,
                                    NPVariant*) {
    if (owner_ == nullptr) return false;
    switch (FindScriptName(id)) {
    case ScriptName::ClearFields:
        owner_->ClearFields();
        return true;
    case ScriptName::AddField: {
        if (args == nullptr || argCount < 2 || args[0].type != NPVariantType_String) return true;
        std::string value;
        if (ScriptFieldValue(args[1], &value)) owner_->AddField(ScriptText(args[0]), value);
        return true;
    }
    default:
        return false;
    }
}

bool ScriptablePluginObject::invokeDefault(const NPVariant*, uint32_t, NPVariant* result) {
    std::fputs("ScriptablePluginObject default method called!\n", stdout);
    std::fflush(stdout);
    return ReturnScriptString("default method return val", result);
}

bool ScriptablePluginObject::getProperty(NPIdentifier id, NPVariant* result) {
    if (owner_ == nullptr || result == nullptr) return false;
    switch (FindScriptName(id)) {
    case ScriptName::Object: {
        NPObject* argument = owner_->Refs().callbackArgument.Get();
        if (argument == nullptr) {
            NULL_TO_NPVARIANT(*result);
        } else {
            OBJECT_TO_NPVARIANT(Browser::RetainObject(argument), *result);
        }
        return true;
    }
    case ScriptName::Response:
        return ReturnScriptString(owner_->GetResponse(), result);
    case ScriptName::Version:
        return ReturnScriptString(kEditorVersion, result);
    default:  // write-only properties, methods and unknown names
        return false;
    }
}
