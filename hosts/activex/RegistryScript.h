#pragma once
// The text format of the control's "REGISTRY" resources: a tree of keys with
// default and named values, each key marked for what removal does to it.
//
//   HKCR
//   {
//       NoRemove CLSID                       kept on removal; its listed
//       {                                    children are still removed
//           ForceRemove {guid} = s 'Name'    replaced whole on registration,
//           {                                removed whole on removal
//               val AppID = s '%APPID%'      named value (s text, d number)
//           }
//       }
//   }
//
// Names are bare words or quoted with ' (a quote inside is written twice).
// Portable: parsing knows nothing of the registry itself.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

struct RegistryValue {
    enum Kind { kString, kDword };
    Kind kind = kString;
    std::wstring text;    // kString
    uint32_t number = 0;  // kDword
};

struct RegistryKey {
    enum Removal {
        kRemovable,    // removed on removal once no subkeys are left
        kNoRemove,     // kept on removal
        kForceRemove,  // replaced whole on registration, removed whole on removal
        kDelete,       // removed whole on registration, left alone on removal
    };
    std::wstring name;
    Removal removal = kRemovable;
    bool hasDefault = false;
    RegistryValue defaultValue;
    std::vector<std::pair<std::wstring, RegistryValue>> values;
    std::vector<RegistryKey> subkeys;
};

struct RegistryRoot {
    std::wstring name;  // as written: HKCR, HKEY_CLASSES_ROOT, ...
    std::vector<RegistryKey> keys;
};

typedef std::vector<std::pair<std::wstring, std::wstring>> RegistryReplacements;

// Replaces every %NAME% by its replacement, with quotes doubled so that the
// text stays one quoted name or value; "%%" is one "%". False for a name
// without a replacement or a "%" without its closing partner.
bool ExpandRegistryScript(const std::wstring& text, const RegistryReplacements& replacements,
                          std::wstring& out);

// False on a syntax error; roots then holds nothing useful.
bool ParseRegistryScript(const std::wstring& text, std::vector<RegistryRoot>& roots);
