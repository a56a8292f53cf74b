// Pixmend's skin table: picture names and "PNG" resource ids, in load order.
// The canvas tile (PXRES_AX_CANVAS_BK) is not in the store: the canvas loads
// it itself.
#include "resources/SkinIds_ax.h"
#include "ui/ImageLister.h"

namespace Corvane {
namespace UI {

namespace {
const SkinEntry kSkins[] = {
    {"top-bk", PXRES_AX_TOP_BK},
    {"btnOk", PXRES_AX_BTN_OK},
    {"btnOkHover", PXRES_AX_BTN_OK_HOVER},
    {"btnCancel", PXRES_AX_BTN_CANCEL},
    {"btnCancelHover", PXRES_AX_BTN_CANCEL_HOVER},
    {"btnMin", PXRES_AX_BTN_MIN},
    {"btnMinHover", PXRES_AX_BTN_MIN_HOVER},
    {"btnMinDown", PXRES_AX_BTN_MIN_DOWN},
    {"btnMax", PXRES_AX_BTN_MAX},
    {"btnMaxHover", PXRES_AX_BTN_MAX_HOVER},
    {"btnMaxDown", PXRES_AX_BTN_MAX_DOWN},
    {"btnRotationL", PXRES_AX_BTN_ROTL},
    {"btnRotationLHover", PXRES_AX_BTN_ROTL_HOVER},
    {"btnRotationLDown", PXRES_AX_BTN_ROTL_DOWN},
    {"btnRotationR", PXRES_AX_BTN_ROTR},
    {"btnRotationRHover", PXRES_AX_BTN_ROTR_HOVER},
    {"btnRotationRDown", PXRES_AX_BTN_ROTR_DOWN},
    {"btnReset", PXRES_AX_BTN_RESET},
    {"btnResetHover", PXRES_AX_BTN_RESET_HOVER},
    {"btnResetDown", PXRES_AX_BTN_RESET_DOWN},
    {"btnOpen", PXRES_AX_BTN_OPEN},
    {"btnOpenHover", PXRES_AX_BTN_OPEN_HOVER},
    {"btnOpenDown", PXRES_AX_BTN_OPEN_DOWN},
};
}  // namespace

const SkinEntry* SkinTable(std::size_t* count) {
    *count = sizeof(kSkins) / sizeof(kSkins[0]);
    return kSkins;
}

}  // namespace UI
}  // namespace Corvane
