#pragma once
// npPixmend: numeric ids of the "PNG" resources. Shared by the resource
// scripts and the skin store's lookup table (ui/SkinTable_np.cpp).
#define PXRES_NP_BADGE               264
#define PXRES_NP_BTN_CANCEL          271
#define PXRES_NP_BTN_CANCEL_HOVER    272
#define PXRES_NP_BTN_MAX             273
#define PXRES_NP_BTN_MAX_DOWN        274
#define PXRES_NP_BTN_MAX_HOVER       275
#define PXRES_NP_BTN_MIN             276
#define PXRES_NP_BTN_MIN_DOWN        277
#define PXRES_NP_BTN_MIN_HOVER       278
#define PXRES_NP_BTN_OK              279
#define PXRES_NP_BTN_OK_HOVER        280
#define PXRES_NP_BTN_OPEN            281
#define PXRES_NP_BTN_OPEN_DOWN       282
#define PXRES_NP_BTN_OPEN_HOVER      283
#define PXRES_NP_BTN_RESET           284
#define PXRES_NP_BTN_RESET_DOWN      285
#define PXRES_NP_BTN_RESET_HOVER     286
#define PXRES_NP_BTN_ROTL            287
#define PXRES_NP_BTN_ROTL_DOWN       288
#define PXRES_NP_BTN_ROTL_HOVER      289
#define PXRES_NP_BTN_ROTR            290
#define PXRES_NP_BTN_ROTR_DOWN       291
#define PXRES_NP_BTN_ROTR_HOVER      292
#define PXRES_NP_CANVAS_BK           293
#define PXRES_NP_TOP_BK              294
