// npPixmend's skin table: picture names and "PNG" resource ids, in load order.
#include "resources/SkinIds_np.h"
#include "ui/ImageLister.h"

namespace Corvane {
namespace UI {

namespace {
const SkinEntry kSkins[] = {
    {"CANVAS_BK", PXRES_NP_CANVAS_BK},
    {"top-bk", PXRES_NP_TOP_BK},
    {"btnOk", PXRES_NP_BTN_OK},
    {"btnOkHover", PXRES_NP_BTN_OK_HOVER},
    {"btnCancel", PXRES_NP_BTN_CANCEL},
    {"btnCancelHover", PXRES_NP_BTN_CANCEL_HOVER},
    {"btnMin", PXRES_NP_BTN_MIN},
    {"btnMinHover", PXRES_NP_BTN_MIN_HOVER},
    {"btnMinDown", PXRES_NP_BTN_MIN_DOWN},
    {"btnMax", PXRES_NP_BTN_MAX},
    {"btnMaxHover", PXRES_NP_BTN_MAX_HOVER},
    {"btnMaxDown", PXRES_NP_BTN_MAX_DOWN},
    {"btnRotationL", PXRES_NP_BTN_ROTL},
    {"btnRotationLHover", PXRES_NP_BTN_ROTL_HOVER},
    {"btnRotationLDown", PXRES_NP_BTN_ROTL_DOWN},
    {"btnRotationR", PXRES_NP_BTN_ROTR},
    {"btnRotationRHover", PXRES_NP_BTN_ROTR_HOVER},
    {"btnRotationRDown", PXRES_NP_BTN_ROTR_DOWN},
    {"btnReset", PXRES_NP_BTN_RESET},
    {"btnResetHover", PXRES_NP_BTN_RESET_HOVER},
    {"btnResetDown", PXRES_NP_BTN_RESET_DOWN},
    {"btnOpen", PXRES_NP_BTN_OPEN},
    {"btnOpenHover", PXRES_NP_BTN_OPEN_HOVER},
    {"btnOpenDown", PXRES_NP_BTN_OPEN_DOWN},
};
}  // namespace

const SkinEntry* SkinTable(std::size_t* count) {
    *count = sizeof(kSkins) / sizeof(kSkins[0]);
    return kSkins;
}

}  // namespace UI
}  // namespace Corvane
