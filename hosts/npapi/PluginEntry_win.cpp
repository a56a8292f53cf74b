// The module's exports and the plug-in functions the browser calls. Every
// entry checks its instance first and answers with the published codes;
// nothing throws across the boundary.
#include <windows.h>

#include <cstddef>
#include <new>

#include "hosts/npapi/Browser.h"
#include "hosts/npapi/NpapiTypes.h"
#include "hosts/npapi/Plugin_win.h"
#include "ui/ImageLister.h"

namespace {

const char kPluginName[] = "npPixmend";
// "Pixmend" and two characters in code page 936, as browsers of the
// deliverable's market display it.
const char kPluginDescription[] = "Pixmend\xBF\xD8\xBC\xFE";

CPlugin* PluginOf(NPP instance) { return static_cast<CPlugin*>(instance->pdata); }

NPError NPP_New(NPMIMEType, NPP instance, uint16_t, int16_t, char*[], char*[], NPSavedData*) {
    if (instance == nullptr) return NPERR_INVALID_INSTANCE_ERROR;
    try {
        instance->pdata = new CPlugin(instance);
    } catch (...) {
        instance->pdata = nullptr;
        return NPERR_OUT_OF_MEMORY_ERROR;
    }
    return NPERR_NO_ERROR;
}

NPError NPP_Destroy(NPP instance, NPSavedData**) {
    if (instance == nullptr) return NPERR_INVALID_INSTANCE_ERROR;
    CPlugin* plugin = PluginOf(instance);
    instance->pdata = nullptr;
    CPlugin::Destroy(plugin);
    return NPERR_NO_ERROR;
}

NPError NPP_SetWindow(NPP instance, NPWindow* window) {
    if (instance == nullptr) return NPERR_INVALID_INSTANCE_ERROR;
    CPlugin* plugin = PluginOf(instance);
    if (window == nullptr || plugin == nullptr) return NPERR_GENERIC_ERROR;
    // Only the first real handle attaches; resizes reach the editor as
    // WM_SIZE, and a null handle or a new one while attached changes nothing.
    if (plugin->IsAttached() || window->window == nullptr) return NPERR_NO_ERROR;
    bool attached = false;
    try {
        attached = plugin->AttachWindow(window);
    } catch (...) {
    }
    if (!attached) {
        instance->pdata = nullptr;
        CPlugin::Destroy(plugin);
        return NPERR_MODULE_LOAD_FAILED_ERROR;
    }
    return NPERR_NO_ERROR;
}

NPError NPP_NewStream(NPP instance, NPMIMEType, NPStream*, NPBool, uint16_t*) {
    return instance ? NPERR_NO_ERROR : NPERR_INVALID_INSTANCE_ERROR;
}
NPError NPP_DestroyStream(NPP instance, NPStream*, NPReason) {
    return instance ? NPERR_NO_ERROR : NPERR_INVALID_INSTANCE_ERROR;
}
NPError NPP_SetValue(NPP instance, NPNVariable, void*) {
    return instance ? NPERR_NO_ERROR : NPERR_INVALID_INSTANCE_ERROR;
}

// No stream is ever consumed: accept everything and discard it.
int32_t NPP_WriteReady(NPP instance, NPStream*) { return instance ? 0x0FFFFFFF : 2; }
int32_t NPP_Write(NPP instance, NPStream*, int32_t, int32_t len, void*) {
    return instance ? len : 2;
}

void NPP_StreamAsFile(NPP, NPStream*, const char*) {}
void NPP_Print(NPP, NPPrint*) {}
void NPP_URLNotify(NPP, const char*, NPReason, void*) {}

// A windowed plug-in gets its input through its window procedure.
int16_t NPP_HandleEvent(NPP, void*) { return 0; }

NPError NPP_GetValue(NPP instance, NPPVariable variable, void* value) {
    if (instance == nullptr) return NPERR_INVALID_INSTANCE_ERROR;
    CPlugin* plugin = PluginOf(instance);
    if (plugin == nullptr || value == nullptr) return NPERR_GENERIC_ERROR;
    switch (variable) {
    case NPPVpluginNameString:
        *static_cast<const char**>(value) = kPluginName;
        return NPERR_NO_ERROR;
    case NPPVpluginDescriptionString:
        *static_cast<const char**>(value) = kPluginDescription;
        return NPERR_NO_ERROR;
    case NPPVpluginScriptableNPObject:
        // A browser without the npruntime entries gets no scripting at all.
        if (!Browser::HasScripting()) return NPERR_GENERIC_ERROR;
        *static_cast<NPObject**>(value) = plugin->AcquireScriptObject();
        return NPERR_NO_ERROR;
    default:
        return NPERR_GENERIC_ERROR;
    }
}

}  // namespace

extern "C" {

NPError NP_CALLBACK NP_GetEntryPoints(NPPluginFuncs* funcs) {
    if (funcs == nullptr) return NPERR_INVALID_FUNCTABLE_ERROR;
    // Write nothing past what the browser allocated.
    if (funcs->size < offsetof(NPPluginFuncs, setvalue) + sizeof(funcs->setvalue))
        return NPERR_INVALID_FUNCTABLE_ERROR;
    funcs->version = (NP_VERSION_MAJOR << 8) | NP_VERSION_MINOR;
    funcs->newp = NPP_New;
    funcs->destroy = NPP_Destroy;
    funcs->setwindow = NPP_SetWindow;
    funcs->newstream = NPP_NewStream;
    funcs->destroystream = NPP_DestroyStream;
    funcs->asfile = NPP_StreamAsFile;
    funcs->writeready = NPP_WriteReady;
    funcs->write = NPP_Write;
    funcs->print = NPP_Print;
    funcs->event = NPP_HandleEvent;
    funcs->urlnotify = NPP_URLNotify;
    funcs->javaClass = nullptr;
    funcs->getvalue = NPP_GetValue;
    funcs->setvalue = NPP_SetValue;
    return NPERR_NO_ERROR;
}

NPError NP_CALLBACK NP_Initialize(NPNetscapeFuncs* funcs) {
    if (funcs == nullptr) return NPERR_INVALID_FUNCTABLE_ERROR;
    if ((funcs->version >> 8) > NP_VERSION_MAJOR) return NPERR_INCOMPATIBLE_VERSION_ERROR;
    // The table's size and minor version are checked at each call: an old
    // browser loses scripting or the direct upload delivery, nothing else.
    Browser::SetFuncs(funcs);
    return NPERR_NO_ERROR;
}

NPError NP_CALLBACK NP_Shutdown(void) { return NPERR_NO_ERROR; }

BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        Corvane::UI::ImageLister::Instance().SetModule(module);
    }
    return TRUE;
}

}  // extern "C"
