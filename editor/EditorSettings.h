#pragma once
// What page script has configured for one editor. Portable: the editor, both
// script layers and the tests share it, and nothing here touches Windows.
//
// Every value is per editor: two editors on one page never see each other's
// image type, quality, file field name or fields.
#include <cstdint>
#include <utility>
#include <vector>

#include "support/Flavour.h"

// The page's extra text fields, in the order they are sent. npPixmend keeps
// them sorted by name (ascending byte order); Pixmend keeps the order in
// which names were first added. Adding a present name replaces its value in
// place in both.
class EditorFields {
public:
    typedef std::pair<PxString, PxString> Field;

    void Set(const PxString& name, const PxString& value);
    void Clear() { fields_.clear(); }
    const std::vector<Field>& Items() const { return fields_; }

private:
    std::vector<Field> fields_;
};

struct EditorSettings {
    PxString postUrl;        // as script gave it; read at the first upload only
    int32_t clipWidth = 0;
    int32_t clipHeight = 0;
    EditorFields fields;
    PxString imageType = PX_TEXT("jpg");      // lower-cased
    int jpegQuality = 100;                    // what script set, unclamped
    bool jpegQualitySet = false;              // npPixmend applies it only once set
    PxString fileFieldName = PX_TEXT("img");  // name of the file part
    PxString response;                        // reply of the last successful upload
    PxString charset = PX_TEXT("utf-8");      // npPixmend's "EncodeType"; read by nothing
};

// The constant version text both script APIs report.
extern const PxChar kEditorVersion[];
