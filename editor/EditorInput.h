#pragma once
// The rules behind the editor's file input, without Windows: which dropped
// names are pictures, which drop effect a drag gets, and which size the
// open-file dialog's structure declares. Tested natively and under Wine.
#include <cstdint>

#include "support/Flavour.h"

// True when the name ends in .jpg, .jpeg, .png, .bmp or .gif in any case.
// The check runs on a lower-cased copy; the caller opens the name as given.
bool IsPictureFileName(const PxString& name);

// Drop-effect and key-state bits as OLE defines them.
enum : uint32_t {
    kEffectNone = 0,
    kEffectCopy = 1,
    kEffectMove = 2,
    kKeyShift = 0x4,
    kKeyControl = 0x8,
};

// The effect shown while dragging: Control asks for copy and Shift for move
// when the source permits it; otherwise move if permitted, else copy if
// permitted, else none. allowed false (no file list) gives none.
uint32_t ChooseDragEffect(bool allowed, uint32_t keys, uint32_t permitted);
// The effect reported when the files are dropped: copy when the source
// permits it, else none. Never move.
uint32_t ChooseDropEffect(bool allowed, uint32_t permitted);

// Whether the open-file dialog's structure declares the old (pre-4.90)
// layout: for systems below 4.90 and when the version could not be read.
bool UsesOldOpenFileNameLayout(bool versionKnown, uint32_t major, uint32_t minor);
