#pragma once
// The Netscape plug-in interface (NPAPI) and its scripting runtime
// (npruntime) as published: the structures, constants and function types the
// plug-in exchanges with a browser. Browsers were compiled against the same
// published layout, so every field below keeps its order and type; the
// static_asserts at the end pin the sizes and offsets browsers rely on for
// the 32-bit (shipped) and 64-bit (tested) builds.
//
// Portable C layout: the test browser and the native tests use it too. On
// Windows the three exported entry points use the system calling convention
// (NP_CALLBACK); every function pointer in the tables uses the C one.
#include <cstddef>
#include <cstdint>

#if defined(_WIN32)
#define NP_CALLBACK __stdcall
#else
#define NP_CALLBACK
#endif

extern "C" {

typedef unsigned char NPBool;
typedef int16_t NPError;
typedef int16_t NPReason;
typedef char* NPMIMEType;
typedef char NPUTF8;
typedef void* NPIdentifier;

// Interface version: major in the high byte, minor in the low byte.
enum : uint16_t {
    NP_VERSION_MAJOR = 0,
    NP_VERSION_MINOR = 27,
    // Minor versions at which browser table entries first exist.
    NPVERS_HAS_NPRUNTIME_SCRIPTING = 14,
    NPVERS_HAS_PLUGIN_THREAD_ASYNC_CALL = 19,
};

enum : NPError {
    NPERR_NO_ERROR = 0,
    NPERR_GENERIC_ERROR = 1,
    NPERR_INVALID_INSTANCE_ERROR = 2,
    NPERR_INVALID_FUNCTABLE_ERROR = 3,
    NPERR_MODULE_LOAD_FAILED_ERROR = 4,
    NPERR_OUT_OF_MEMORY_ERROR = 5,
    NPERR_INVALID_PLUGIN_ERROR = 6,
    NPERR_INVALID_PLUGIN_DIR_ERROR = 7,
    NPERR_INCOMPATIBLE_VERSION_ERROR = 8,
    NPERR_INVALID_PARAM = 9,
    NPERR_INVALID_URL = 10,
    NPERR_FILE_NOT_FOUND = 11,
    NPERR_NO_DATA = 12,
    NPERR_STREAM_NOT_SEEKABLE = 13,
};

// What the browser asks the plug-in for (NPP_GetValue). Windows builds use
// no ABI mask, so the values are the plain numbers.
typedef enum {
    NPPVpluginNameString = 1,
    NPPVpluginDescriptionString = 2,
    NPPVpluginWindowBool = 3,
    NPPVpluginTransparentBool = 4,
    NPPVjavaClass = 5,
    NPPVpluginWindowSize = 6,
    NPPVpluginTimerInterval = 7,
    NPPVpluginScriptableInstance = 10,
    NPPVpluginScriptableIID = 11,
    NPPVjavascriptPushCallerBool = 12,
    NPPVpluginKeepLibraryInMemory = 13,
    NPPVpluginNeedsXEmbed = 14,
    NPPVpluginScriptableNPObject = 15,
    NPPVformValue = 16,
} NPPVariable;

// What the plug-in asks or tells the browser (NPN_GetValue, NPP_SetValue).
typedef enum {
    NPNVxDisplay = 1,
    NPNVxtAppContext = 2,
    NPNVnetscapeWindow = 3,
    NPNVjavascriptEnabledBool = 4,
    NPNVasdEnabledBool = 5,
    NPNVisOfflineBool = 6,
    NPNVWindowNPObject = 15,
    NPNVPluginElementNPObject = 16,
} NPNVariable;

typedef enum { NPWindowTypeWindow = 1, NPWindowTypeDrawable = 2 } NPWindowType;

// One plug-in instance. pdata is the plug-in's, ndata the browser's.
typedef struct _NPP {
    void* pdata;
    void* ndata;
} NPP_t;
typedef NPP_t* NPP;

typedef struct _NPRect {
    uint16_t top;
    uint16_t left;
    uint16_t bottom;
    uint16_t right;
} NPRect;

// The browser's description of the plug-in's window. For a windowed plug-in
// on Windows, window is the HWND of a child window the browser created.
typedef struct _NPWindow {
    void* window;
    int32_t x;
    int32_t y;
    uint32_t width;
    uint32_t height;
    NPRect clipRect;
    NPWindowType type;
} NPWindow;

// Only passed through: the plug-in never looks inside these.
typedef struct _NPSavedData {
    int32_t len;
    void* buf;
} NPSavedData;
struct _NPStream;
typedef struct _NPStream NPStream;
struct _NPPrint;
typedef struct _NPPrint NPPrint;

// --- npruntime ---------------------------------------------------------

typedef struct _NPString {
    const NPUTF8* UTF8Characters;  // not zero-terminated
    uint32_t UTF8Length;           // in bytes
} NPString;

typedef enum {
    NPVariantType_Void = 0,
    NPVariantType_Null = 1,
    NPVariantType_Bool = 2,
    NPVariantType_Int32 = 3,
    NPVariantType_Double = 4,
    NPVariantType_String = 5,
    NPVariantType_Object = 6,
} NPVariantType;

struct NPObject;

typedef struct _NPVariant {
    NPVariantType type;
    union {
        bool boolValue;
        int32_t intValue;
        double doubleValue;
        NPString stringValue;
        NPObject* objectValue;
    } value;
} NPVariant;

struct NPClass;

// A script object: the browser manages the reference count; the class's
// functions do the work. Plug-in objects derive from it.
struct NPObject {
    NPClass* _class;
    uint32_t referenceCount;
};

typedef NPObject* (*NPAllocateFunctionPtr)(NPP npp, NPClass* aClass);
typedef void (*NPDeallocateFunctionPtr)(NPObject* npobj);
typedef void (*NPInvalidateFunctionPtr)(NPObject* npobj);
typedef bool (*NPHasMethodFunctionPtr)(NPObject* npobj, NPIdentifier name);
typedef bool (*NPInvokeFunctionPtr)(NPObject* npobj, NPIdentifier name, const NPVariant* args,
                                    uint32_t argCount, NPVariant* result);
typedef bool (*NPInvokeDefaultFunctionPtr)(NPObject* npobj, const NPVariant* args,
                                           uint32_t argCount, NPVariant* result);
typedef bool (*NPHasPropertyFunctionPtr)(NPObject* npobj, NPIdentifier name);
typedef bool (*NPGetPropertyFunctionPtr)(NPObject* npobj, NPIdentifier name, NPVariant* result);
typedef bool (*NPSetPropertyFunctionPtr)(NPObject* npobj, NPIdentifier name,
                                         const NPVariant* value);
typedef bool (*NPRemovePropertyFunctionPtr)(NPObject* npobj, NPIdentifier name);
typedef bool (*NPEnumerationFunctionPtr)(NPObject* npobj, NPIdentifier** value, uint32_t* count);
typedef bool (*NPConstructFunctionPtr)(NPObject* npobj, const NPVariant* args, uint32_t argCount,
                                       NPVariant* result);

enum : uint32_t { NP_CLASS_STRUCT_VERSION_CTOR = 3 };

struct NPClass {
    uint32_t structVersion;
    NPAllocateFunctionPtr allocate;
    NPDeallocateFunctionPtr deallocate;
    NPInvalidateFunctionPtr invalidate;
    NPHasMethodFunctionPtr hasMethod;
    NPInvokeFunctionPtr invoke;
    NPInvokeDefaultFunctionPtr invokeDefault;
    NPHasPropertyFunctionPtr hasProperty;
    NPGetPropertyFunctionPtr getProperty;
    NPSetPropertyFunctionPtr setProperty;
    NPRemovePropertyFunctionPtr removeProperty;
    NPEnumerationFunctionPtr enumerate;
    NPConstructFunctionPtr construct;
};

// --- Plug-in side: the table the plug-in fills in NP_GetEntryPoints -----

typedef NPError (*NPP_NewProcPtr)(NPMIMEType pluginType, NPP instance, uint16_t mode,
                                  int16_t argc, char* argn[], char* argv[], NPSavedData* saved);
typedef NPError (*NPP_DestroyProcPtr)(NPP instance, NPSavedData** save);
typedef NPError (*NPP_SetWindowProcPtr)(NPP instance, NPWindow* window);
typedef NPError (*NPP_NewStreamProcPtr)(NPP instance, NPMIMEType type, NPStream* stream,
                                        NPBool seekable, uint16_t* stype);
typedef NPError (*NPP_DestroyStreamProcPtr)(NPP instance, NPStream* stream, NPReason reason);
typedef int32_t (*NPP_WriteReadyProcPtr)(NPP instance, NPStream* stream);
typedef int32_t (*NPP_WriteProcPtr)(NPP instance, NPStream* stream, int32_t offset, int32_t len,
                                    void* buffer);
typedef void (*NPP_StreamAsFileProcPtr)(NPP instance, NPStream* stream, const char* fname);
typedef void (*NPP_PrintProcPtr)(NPP instance, NPPrint* platformPrint);
typedef int16_t (*NPP_HandleEventProcPtr)(NPP instance, void* event);
typedef void (*NPP_URLNotifyProcPtr)(NPP instance, const char* url, NPReason reason,
                                     void* notifyData);
typedef NPError (*NPP_GetValueProcPtr)(NPP instance, NPPVariable variable, void* value);
typedef NPError (*NPP_SetValueProcPtr)(NPP instance, NPNVariable variable, void* value);

typedef struct _NPPluginFuncs {
    uint16_t size;
    uint16_t version;
    NPP_NewProcPtr newp;
    NPP_DestroyProcPtr destroy;
    NPP_SetWindowProcPtr setwindow;
    NPP_NewStreamProcPtr newstream;
    NPP_DestroyStreamProcPtr destroystream;
    NPP_StreamAsFileProcPtr asfile;
    NPP_WriteReadyProcPtr writeready;
    NPP_WriteProcPtr write;
    NPP_PrintProcPtr print;
    NPP_HandleEventProcPtr event;
    NPP_URLNotifyProcPtr urlnotify;
    void* javaClass;
    NPP_GetValueProcPtr getvalue;
    NPP_SetValueProcPtr setvalue;
    // Later entries (focus, redirects, site data) are never written by this
    // plug-in; the browser's size field covers only what it allocated.
} NPPluginFuncs;

// --- Browser side: the table the browser hands to NP_Initialize ---------

typedef void (*NPN_GenericProcPtr)(void);  // entries this plug-in never calls
typedef void* (*NPN_MemAllocProcPtr)(uint32_t size);
typedef void (*NPN_MemFreeProcPtr)(void* ptr);
typedef NPIdentifier (*NPN_GetStringIdentifierProcPtr)(const NPUTF8* name);
typedef NPUTF8* (*NPN_UTF8FromIdentifierProcPtr)(NPIdentifier identifier);
typedef NPObject* (*NPN_CreateObjectProcPtr)(NPP npp, NPClass* aClass);
typedef NPObject* (*NPN_RetainObjectProcPtr)(NPObject* obj);
typedef void (*NPN_ReleaseObjectProcPtr)(NPObject* obj);
typedef bool (*NPN_InvokeDefaultProcPtr)(NPP npp, NPObject* obj, const NPVariant* args,
                                         uint32_t argCount, NPVariant* result);
typedef void (*NPN_ReleaseVariantValueProcPtr)(NPVariant* variant);
typedef void (*NPN_PluginThreadAsyncCallProcPtr)(NPP instance, void (*func)(void*),
                                                 void* userData);

typedef struct _NPNetscapeFuncs {
    uint16_t size;
    uint16_t version;
    NPN_GenericProcPtr geturl;
    NPN_GenericProcPtr posturl;
    NPN_GenericProcPtr requestread;
    NPN_GenericProcPtr newstream;
    NPN_GenericProcPtr write;
    NPN_GenericProcPtr destroystream;
    NPN_GenericProcPtr status;
    NPN_GenericProcPtr uagent;
    NPN_MemAllocProcPtr memalloc;
    NPN_MemFreeProcPtr memfree;
    NPN_GenericProcPtr memflush;
    NPN_GenericProcPtr reloadplugins;
    NPN_GenericProcPtr getJavaEnv;
    NPN_GenericProcPtr getJavaPeer;
    NPN_GenericProcPtr geturlnotify;
    NPN_GenericProcPtr posturlnotify;
    NPN_GenericProcPtr getvalue;
    NPN_GenericProcPtr setvalue;
    NPN_GenericProcPtr invalidaterect;
    NPN_GenericProcPtr invalidateregion;
    NPN_GenericProcPtr forceredraw;
    NPN_GetStringIdentifierProcPtr getstringidentifier;
    NPN_GenericProcPtr getstringidentifiers;
    NPN_GenericProcPtr getintidentifier;
    NPN_GenericProcPtr identifierisstring;
    NPN_UTF8FromIdentifierProcPtr utf8fromidentifier;
    NPN_GenericProcPtr intfromidentifier;
    NPN_CreateObjectProcPtr createobject;
    NPN_RetainObjectProcPtr retainobject;
    NPN_ReleaseObjectProcPtr releaseobject;
    NPN_GenericProcPtr invoke;
    NPN_InvokeDefaultProcPtr invokeDefault;
    NPN_GenericProcPtr evaluate;
    NPN_GenericProcPtr getproperty;
    NPN_GenericProcPtr setproperty;
    NPN_GenericProcPtr removeproperty;
    NPN_GenericProcPtr hasproperty;
    NPN_GenericProcPtr hasmethod;
    NPN_ReleaseVariantValueProcPtr releasevariantvalue;
    NPN_GenericProcPtr setexception;
    NPN_GenericProcPtr pushpopupsenabledstate;
    NPN_GenericProcPtr poppopupsenabledstate;
    NPN_GenericProcPtr enumerate;
    NPN_PluginThreadAsyncCallProcPtr pluginthreadasynccall;
    NPN_GenericProcPtr construct;
    // Later entries (URL values, timers, menus) are never called.
} NPNetscapeFuncs;

// The exported entry points.
typedef NPError(NP_CALLBACK* NP_GetEntryPointsFunc)(NPPluginFuncs* pluginFuncs);
typedef NPError(NP_CALLBACK* NP_InitializeFunc)(NPNetscapeFuncs* browserFuncs);
typedef NPError(NP_CALLBACK* NP_ShutdownFunc)(void);

}  // extern "C"

// Variant helpers, as the published runtime header defines them.
inline void VOID_TO_NPVARIANT(NPVariant& v) {
    v.type = NPVariantType_Void;
    v.value.objectValue = nullptr;
}
inline void NULL_TO_NPVARIANT(NPVariant& v) {
    v.type = NPVariantType_Null;
    v.value.objectValue = nullptr;
}
inline void OBJECT_TO_NPVARIANT(NPObject* o, NPVariant& v) {
    v.type = NPVariantType_Object;
    v.value.objectValue = o;
}
inline void STRINGN_TO_NPVARIANT(const NPUTF8* s, uint32_t n, NPVariant& v) {
    v.type = NPVariantType_String;
    v.value.stringValue.UTF8Characters = s;
    v.value.stringValue.UTF8Length = n;
}

// The layout browsers were built with, for both Windows architectures.
namespace npapi_layout {
constexpr bool k64 = sizeof(void*) == 8;
constexpr std::size_t Pick(std::size_t i686, std::size_t x86_64) { return k64 ? x86_64 : i686; }
static_assert(sizeof(void*) == 4 || sizeof(void*) == 8, "32- or 64-bit pointers only");

static_assert(sizeof(NPP_t) == Pick(8, 16), "NPP_t");
static_assert(offsetof(NPWindow, clipRect) == Pick(20, 24), "NPWindow::clipRect");
static_assert(offsetof(NPWindow, type) == Pick(28, 32), "NPWindow::type");
static_assert(sizeof(NPWindow) == Pick(32, 40), "NPWindow");
static_assert(sizeof(NPString) == Pick(8, 16), "NPString");
static_assert(offsetof(NPVariant, value) == 8, "NPVariant::value");
static_assert(sizeof(NPVariant) == Pick(16, 24), "NPVariant");
static_assert(sizeof(NPObject) == Pick(8, 16), "NPObject");
static_assert(offsetof(NPObject, referenceCount) == Pick(4, 8), "NPObject::referenceCount");
static_assert(offsetof(NPClass, allocate) == Pick(4, 8), "NPClass::allocate");
static_assert(offsetof(NPClass, construct) == Pick(48, 96), "NPClass::construct");
static_assert(sizeof(NPClass) == Pick(52, 104), "NPClass");
static_assert(offsetof(NPPluginFuncs, newp) == Pick(4, 8), "NPPluginFuncs::newp");
static_assert(offsetof(NPPluginFuncs, javaClass) == Pick(48, 96), "NPPluginFuncs::javaClass");
static_assert(offsetof(NPPluginFuncs, setvalue) == Pick(56, 112), "NPPluginFuncs::setvalue");
static_assert(sizeof(NPPluginFuncs) == Pick(60, 120), "NPPluginFuncs");
static_assert(offsetof(NPNetscapeFuncs, memalloc) == Pick(36, 72), "NPNetscapeFuncs::memalloc");
static_assert(offsetof(NPNetscapeFuncs, getstringidentifier) == Pick(88, 176),
              "NPNetscapeFuncs::getstringidentifier");
static_assert(offsetof(NPNetscapeFuncs, createobject) == Pick(112, 224),
              "NPNetscapeFuncs::createobject");
static_assert(offsetof(NPNetscapeFuncs, invokeDefault) == Pick(128, 256),
              "NPNetscapeFuncs::invokeDefault");
static_assert(offsetof(NPNetscapeFuncs, releasevariantvalue) == Pick(156, 312),
              "NPNetscapeFuncs::releasevariantvalue");
static_assert(offsetof(NPNetscapeFuncs, pluginthreadasynccall) == Pick(176, 352),
              "NPNetscapeFuncs::pluginthreadasynccall");
}  // namespace npapi_layout
