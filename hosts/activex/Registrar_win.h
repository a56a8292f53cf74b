#pragma once
// Applies a registry script (RegistryScript.h) to the registry: writes it on
// registration, removes what it wrote on removal. Keys under HKCR follow the
// process's classes root, so a caller that redirects HKEY_CLASSES_ROOT
// (ClassesRootRedirect) registers for the current user only.
//
// Not transactional: a failure leaves what was written before it.
#include <windows.h>

#include <string>

#include "hosts/activex/RegistryScript.h"

class Registrar {
public:
    explicit Registrar(RegistryReplacements replacements) : replacements_(std::move(replacements)) {}

    // The script in resource "REGISTRY" id of module (bytes in the ANSI code
    // page). A missing or unparsable script fails with DISP_E_EXCEPTION,
    // registry errors with their HRESULT_FROM_WIN32 code.
    HRESULT ApplyResource(HMODULE module, UINT id, bool install) const;
    HRESULT Apply(const std::wstring& script, bool install) const;

private:
    RegistryReplacements replacements_;
};

// Removes a key and everything under it; a missing key is success.
LONG DeleteRegistryTree(HKEY parent, const std::wstring& name, REGSAM view);

// While alive, HKEY_CLASSES_ROOT of this process means
// HKEY_CURRENT_USER\Software\Classes.
class ClassesRootRedirect {
public:
    ClassesRootRedirect() = default;
    ~ClassesRootRedirect();
    ClassesRootRedirect(const ClassesRootRedirect&) = delete;
    ClassesRootRedirect& operator=(const ClassesRootRedirect&) = delete;

    HRESULT Begin();

private:
    HKEY userClasses_ = nullptr;
    bool active_ = false;
};
