#pragma once
// Pixmend: numeric ids of the "PNG" resources. Shared by the resource scripts,
// the skin store's lookup table (ui/SkinTable_ax.cpp) and the canvas, which
// loads its background tile itself.
#define PXRES_AX_TOP_BK              201
#define PXRES_AX_BTN_CANCEL          202
#define PXRES_AX_BTN_OK              203
#define PXRES_AX_CANVAS_BK           204
#define PXRES_AX_BTN_MAX             205
#define PXRES_AX_BTN_MAX_HOVER       206
#define PXRES_AX_BTN_MIN             207
#define PXRES_AX_BTN_MIN_HOVER       208
#define PXRES_AX_BTN_ROTL            209
#define PXRES_AX_BTN_ROTL_HOVER      210
#define PXRES_AX_BTN_ROTR            211
#define PXRES_AX_BTN_ROTR_HOVER      212
#define PXRES_AX_BTN_MAX_DOWN        213
#define PXRES_AX_BTN_MIN_DOWN        214
#define PXRES_AX_BTN_ROTL_DOWN       215
#define PXRES_AX_BTN_ROTR_DOWN       216
#define PXRES_AX_BTN_CANCEL_HOVER    217
#define PXRES_AX_BTN_OK_HOVER        218
#define PXRES_AX_BTN_RESET           219
#define PXRES_AX_BTN_RESET_DOWN      220
#define PXRES_AX_BTN_RESET_HOVER     221
#define PXRES_AX_BTN_OPEN            222
#define PXRES_AX_BTN_OPEN_DOWN       223
#define PXRES_AX_BTN_OPEN_HOVER      224
