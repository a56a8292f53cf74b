#pragma once
// The page's view of one npPixmend instance: the scriptable object the
// browser gets from NPP_GetValue(NPPVpluginScriptableNPObject).
//
// Each object works on its owner, the plug-in instance that created it. The
// owner clears itself when it goes away; from then on every property and
// method operation fails, while the browser may still hold the object.
// Browser thread only.
#include <cstdint>
#include <string>

#include "hosts/npapi/NpapiTypes.h"

struct ScriptRefs;

// What script reaches through the object; CPlugin implements it over its
// editor. Text is UTF-8 as script gave it.
class ScriptOwner {
public:
    virtual void SetPostUrl(const std::string& url) = 0;
    virtual void SetCharset(const std::string& charset) = 0;
    virtual void SetClipWidth(int32_t width) = 0;
    // Applies (clipWidth, height) to the frame on screen when clipWidth > 0.
    virtual void SetClipHeight(int32_t height) = 0;
    virtual void SetImageType(const std::string& type) = 0;
    virtual void SetJpegQuality(int quality) = 0;
    virtual void AddField(const std::string& name, const std::string& value) = 0;
    virtual void ClearFields() = 0;
    virtual std::string GetResponse() const = 0;
    virtual ScriptRefs& Refs() = 0;

protected:
    ~ScriptOwner() = default;
};

// The names script uses, in the order of the identifier table.
enum class ScriptName {
    Object, Debug, LogFile, Response, PostUrl, EncodeType, JpegQuality, ClipWidth, ClipHeight,
    ImageUploadType, Watermark, DefaultFolder, OnError, OnComplete, Version, ClearFields,
    AddField, Count, None = Count
};

// The identifiers of the names, obtained from the browser. Refreshed at every
// instance construction (a browser that reloads the module hands out new
// identifiers); identifiers are process-wide in the browser too.
void RefreshScriptIds();
ScriptName FindScriptName(NPIdentifier id);

class ScriptablePluginObjectBase : public NPObject {
public:
    explicit ScriptablePluginObjectBase(NPP npp) : npp_(npp) {}
    virtual ~ScriptablePluginObjectBase() = default;
    ScriptablePluginObjectBase(const ScriptablePluginObjectBase&) = delete;
    ScriptablePluginObjectBase& operator=(const ScriptablePluginObjectBase&) = delete;

    // The NPClass operations, in slot order. The base answers false to all
    // but setProperty, the property writer every derived class shares.
    virtual void invalidate() {}
    virtual bool hasMethod(NPIdentifier name);
    virtual bool invoke(NPIdentifier name, const NPVariant* args, uint32_t argCount,
                        NPVariant* result);
    virtual bool invokeDefault(const NPVariant* args, uint32_t argCount, NPVariant* result);
    virtual bool hasProperty(NPIdentifier name);
    virtual bool getProperty(NPIdentifier name, NPVariant* result);
    virtual bool setProperty(NPIdentifier name, const NPVariant* value);
    virtual bool removeProperty(NPIdentifier name);
    virtual bool enumerate(NPIdentifier** identifiers, uint32_t* count);
    virtual bool construct(const NPVariant* args, uint32_t argCount, NPVariant* result);

    // Set by the owning instance right after creation, cleared (null) by it
    // before it goes away.
    void SetOwner(ScriptOwner* owner) { owner_ = owner; }

protected:
    NPP npp_;
    ScriptOwner* owner_ = nullptr;
};

class ScriptablePluginObject : public ScriptablePluginObjectBase {
public:
    explicit ScriptablePluginObject(NPP npp) : ScriptablePluginObjectBase(npp) {}

    // The class handed to NPN_CreateObject.
    static NPClass* Class();
    // The object behind an NPObject of Class(), else null.
    static ScriptablePluginObject* From(NPObject* object);

    bool hasMethod(NPIdentifier name) override;
    bool invoke(NPIdentifier name, const NPVariant* args, uint32_t argCount,
                NPVariant* result) override;
    bool invokeDefault(const NPVariant* args, uint32_t argCount, NPVariant* result) override;
    bool hasProperty(NPIdentifier name) override;
    bool getProperty(NPIdentifier name, NPVariant* result) override;
};

// Returns text to script: a copy in memory from NPN_MemAlloc (the browser
// frees it), as long as the text up to its first zero byte. False, with the
// result left void, when the browser gives no memory.
bool ReturnScriptString(const std::string& text, NPVariant* result);
