#pragma once
// The skin pictures as the resources must carry them: size and PNG colour
// type (2 RGB, 6 RGBA; 8 bits per channel throughout).
#include <cstdint>
#include <cstring>

struct SkinKind {
    const char* name;
    uint32_t width, height;
    int colourType;
};

inline const SkinKind kSkinKinds[] = {
    {"CANVAS_BK", 16, 16, 2},          {"top-bk", 1, 58, 6},
    {"btnOk", 56, 22, 6},              {"btnOkHover", 56, 22, 2},
    {"btnCancel", 56, 22, 6},          {"btnCancelHover", 56, 22, 2},
    {"btnMin", 47, 50, 6},             {"btnMinHover", 47, 50, 6},
    {"btnMinDown", 47, 50, 6},         {"btnMax", 47, 50, 6},
    {"btnMaxHover", 47, 51, 2},        {"btnMaxDown", 47, 50, 6},
    {"btnRotationL", 47, 50, 6},       {"btnRotationLHover", 47, 50, 6},
    {"btnRotationLDown", 47, 50, 6},   {"btnRotationR", 47, 50, 6},
    {"btnRotationRHover", 47, 50, 6},  {"btnRotationRDown", 47, 50, 6},
    {"btnReset", 47, 50, 6},           {"btnResetHover", 47, 50, 6},
    {"btnResetDown", 47, 50, 6},       {"btnOpen", 47, 50, 6},
    {"btnOpenHover", 47, 51, 2},       {"btnOpenDown", 47, 50, 6},
};

// The kind of a picture name, null when the name is not a skin picture.
inline const SkinKind* FindSkinKind(const char* name) {
    for (const SkinKind& k : kSkinKinds)
        if (std::strcmp(name, k.name) == 0) return &k;
    return nullptr;
}
