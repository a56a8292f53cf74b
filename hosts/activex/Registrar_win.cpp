#include "hosts/activex/Registrar_win.h"

#include <vector>

#include "support/Convert.h"

namespace {

struct RegKey {
    HKEY h = nullptr;
    RegKey() = default;
    ~RegKey() {
        if (h != nullptr) RegCloseKey(h);
    }
    RegKey(const RegKey&) = delete;
    RegKey& operator=(const RegKey&) = delete;
};

HRESULT FromWin32(LONG error) { return error == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(error); }

bool Missing(LONG error) { return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND; }

// RegDeleteKeyExW takes the registry view; older systems only have
// RegDeleteKeyW. Looked up once, at the first removal.
LONG DeleteOneKey(HKEY parent, const wchar_t* name, REGSAM view) {
    typedef LONG(WINAPI * DeleteKeyEx)(HKEY, LPCWSTR, REGSAM, DWORD);
    static const DeleteKeyEx deleteKeyEx = [] {
        HMODULE advapi = GetModuleHandleW(L"advapi32.dll");
        return advapi == nullptr
                   ? nullptr
                   : reinterpret_cast<DeleteKeyEx>(
                         reinterpret_cast<void*>(GetProcAddress(advapi, "RegDeleteKeyExW")));
    }();
    if (deleteKeyEx != nullptr) return deleteKeyEx(parent, name, view, 0);
    return RegDeleteKeyW(parent, name);
}

HKEY RootKey(const std::wstring& name) {
    static const struct {
        const wchar_t* shortName;
        const wchar_t* longName;
        HKEY key;
    } kRoots[] = {
        {L"HKCR", L"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},
        {L"HKCU", L"HKEY_CURRENT_USER", HKEY_CURRENT_USER},
        {L"HKLM", L"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},
        {L"HKU", L"HKEY_USERS", HKEY_USERS},
    };
    for (const auto& r : kRoots)
        if (_wcsicmp(name.c_str(), r.shortName) == 0 || _wcsicmp(name.c_str(), r.longName) == 0)
            return r.key;
    return nullptr;
}

LONG SetValue(HKEY key, const wchar_t* name, const RegistryValue& value) {
    if (value.kind == RegistryValue::kDword) {
        const DWORD number = value.number;
        return RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number),
                              sizeof number);
    }
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.text.c_str()),
                          DWORD((value.text.size() + 1) * sizeof(wchar_t)));
}

const REGSAM kView = 0;  // the caller's own registry view

LONG InstallKey(HKEY parent, const RegistryKey& key) {
    if (key.removal == RegistryKey::kDelete) return DeleteRegistryTree(parent, key.name, kView);
    if (key.removal == RegistryKey::kForceRemove) {
        const LONG error = DeleteRegistryTree(parent, key.name, kView);
        if (error != ERROR_SUCCESS) return error;
    }
    RegKey h;
    LONG error = RegCreateKeyExW(parent, key.name.c_str(), 0, nullptr, 0,
                                 KEY_READ | KEY_WRITE | kView, nullptr, &h.h, nullptr);
    if (error != ERROR_SUCCESS) return error;
    if (key.hasDefault && (error = SetValue(h.h, nullptr, key.defaultValue)) != ERROR_SUCCESS)
        return error;
    for (const auto& v : key.values)
        if ((error = SetValue(h.h, v.first.c_str(), v.second)) != ERROR_SUCCESS) return error;
    for (const RegistryKey& sub : key.subkeys)
        if ((error = InstallKey(h.h, sub)) != ERROR_SUCCESS) return error;
    return ERROR_SUCCESS;
}

LONG RemoveKey(HKEY parent, const RegistryKey& key) {
    if (key.removal == RegistryKey::kDelete) return ERROR_SUCCESS;
    if (key.removal == RegistryKey::kForceRemove)
        return DeleteRegistryTree(parent, key.name, kView);
    RegKey h;
    LONG error = RegOpenKeyExW(parent, key.name.c_str(), 0, KEY_READ | KEY_WRITE | kView, &h.h);
    if (Missing(error)) return ERROR_SUCCESS;
    if (error != ERROR_SUCCESS) return error;
    for (const auto& v : key.values) {
        error = RegDeleteValueW(h.h, v.first.c_str());
        if (error != ERROR_SUCCESS && !Missing(error)) return error;
    }
    for (const RegistryKey& sub : key.subkeys)
        if ((error = RemoveKey(h.h, sub)) != ERROR_SUCCESS) return error;
    if (key.removal == RegistryKey::kNoRemove) return ERROR_SUCCESS;
    // Subkeys the script does not list belong to someone else: keep the key.
    DWORD subkeys = 0;
    error = RegQueryInfoKeyW(h.h, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr,
                             nullptr, nullptr, nullptr, nullptr);
    if (error != ERROR_SUCCESS) return error;
    if (subkeys != 0) return ERROR_SUCCESS;
    RegCloseKey(h.h);
    h.h = nullptr;
    error = DeleteOneKey(parent, key.name.c_str(), kView);
    return Missing(error) ? ERROR_SUCCESS : error;
}

}  // namespace

LONG DeleteRegistryTree(HKEY parent, const std::wstring& name, REGSAM view) {
    {
        RegKey h;
        LONG error = RegOpenKeyExW(parent, name.c_str(), 0, KEY_READ | KEY_WRITE | view, &h.h);
        if (Missing(error)) return ERROR_SUCCESS;
        if (error != ERROR_SUCCESS) return error;
        // A key with subkeys cannot be deleted: empty it first, always
        // taking the first remaining subkey (deleting shifts the indexes).
        for (;;) {
            wchar_t sub[256];
            DWORD length = 256;
            error = RegEnumKeyExW(h.h, 0, sub, &length, nullptr, nullptr, nullptr, nullptr);
            if (error == ERROR_NO_MORE_ITEMS) break;
            if (error != ERROR_SUCCESS) return error;
            if ((error = DeleteRegistryTree(h.h, sub, view)) != ERROR_SUCCESS) return error;
        }
    }
    const LONG error = DeleteOneKey(parent, name.c_str(), view);
    return Missing(error) ? ERROR_SUCCESS : error;
}

HRESULT Registrar::ApplyResource(HMODULE module, UINT id, bool install) const {
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(id), L"REGISTRY");
    HGLOBAL loaded = found != nullptr ? LoadResource(module, found) : nullptr;
    const char* bytes = loaded != nullptr ? static_cast<const char*>(LockResource(loaded)) : nullptr;
    if (bytes == nullptr) return DISP_E_EXCEPTION;
    const std::string text(bytes, SizeofResource(module, found));
    return Apply(MultiByteToWide(text, false), install);
}

HRESULT Registrar::Apply(const std::wstring& script, bool install) const {
    std::wstring expanded;
    std::vector<RegistryRoot> roots;
    if (!ExpandRegistryScript(script, replacements_, expanded) ||
        !ParseRegistryScript(expanded, roots))
        return DISP_E_EXCEPTION;
    for (const RegistryRoot& root : roots)
        if (RootKey(root.name) == nullptr) return DISP_E_EXCEPTION;
    for (const RegistryRoot& root : roots) {
        const HKEY rootKey = RootKey(root.name);
        for (const RegistryKey& key : root.keys) {
            const LONG error = install ? InstallKey(rootKey, key) : RemoveKey(rootKey, key);
            if (error != ERROR_SUCCESS) return FromWin32(error);
        }
    }
    return S_OK;
}

ClassesRootRedirect::~ClassesRootRedirect() {
    if (active_) RegOverridePredefKey(HKEY_CLASSES_ROOT, nullptr);
    if (userClasses_ != nullptr) RegCloseKey(userClasses_);
}

HRESULT ClassesRootRedirect::Begin() {
    LONG error = RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Classes", 0, nullptr, 0,
                                 KEY_ALL_ACCESS, nullptr, &userClasses_, nullptr);
    if (error == ERROR_SUCCESS) error = RegOverridePredefKey(HKEY_CLASSES_ROOT, userClasses_);
    active_ = error == ERROR_SUCCESS;
    return FromWin32(error);
}
