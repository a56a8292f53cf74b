#include "editor/EditorSettings.h"

#include <algorithm>
#include <type_traits>

const PxChar kEditorVersion[] = PX_TEXT("1,0,3,20662");

void EditorFields::Set(const PxString& name, const PxString& value) {
    auto same = [&](const Field& f) { return f.first == name; };
    auto found = std::find_if(fields_.begin(), fields_.end(), same);
    if (found != fields_.end()) {
        found->second = value;
        return;
    }
    if (FlavourTraits::kFieldsSortedByName) {
        // Byte order of the names: compare as unsigned, as a std::map of
        // 8-bit strings would.
        auto before = [&](const Field& f) {
            return std::lexicographical_compare(
                name.begin(), name.end(), f.first.begin(), f.first.end(),
                [](PxChar a, PxChar b) {
                    typedef std::make_unsigned<PxChar>::type U;
                    return U(a) < U(b);
                });
        };
        fields_.insert(std::find_if(fields_.begin(), fields_.end(), before), Field(name, value));
    } else {
        fields_.emplace_back(name, value);
    }
}
