#pragma once
// The one place where the two deliverables differ at compile time.
//
// Every component library is compiled twice (see cmake/Flavours.cmake):
//   PIXMEND_FLAVOUR_NP  npPixmend, the NPAPI plug-in: 8-bit text (UTF-8 from
//                       script, ANSI file names), BMP/GIF/JPEG/PNG/TIFF.
//   PIXMEND_FLAVOUR_AX  Pixmend, the ActiveX control: UTF-16 text, BMP/JPEG/PNG.
// Code asks FlavourTraits (constexpr, so dead branches vanish) or uses the
// text types below instead of testing the macros itself. Sources that exist in
// one flavour only are selected by the build, not by #ifdef.
#include <string>

#if defined(PIXMEND_FLAVOUR_NP) == defined(PIXMEND_FLAVOUR_AX)
#error "define exactly one of PIXMEND_FLAVOUR_NP and PIXMEND_FLAVOUR_AX"
#endif

#if defined(PIXMEND_FLAVOUR_NP)
// Character type of file names and script-visible text.
typedef char PxChar;
#define PX_TEXT(s) s
#else
typedef wchar_t PxChar;
#define PX_TEXT(s) L##s
#endif
typedef std::basic_string<PxChar> PxString;

struct FlavourTraits {
#if defined(PIXMEND_FLAVOUR_NP)
    static constexpr bool kIsNpapi = true;
    static constexpr const char* kProductName = "npPixmend";
    // Codec-option slots of ImageInfo: unknown, BMP, GIF, JPEG, PNG, TIFF.
    static constexpr int kCodecOptionSlots = 6;
    static constexpr bool kHasGif = true;
    static constexpr bool kHasTiff = true;
    // The page's extra fields go out sorted by name (byte order).
    static constexpr bool kFieldsSortedByName = true;
    // Charset of a new form: how the file name is written into the file part.
    static constexpr const PxChar* kDefaultFormCharset = PX_TEXT("gb2312");
    // The socket uploader keeps the reply text of a failed (non-200) upload
    // for script to read.
    static constexpr bool kKeepsFailedReplyText = true;
    // Size texts above 1 KB: shortest float form ("1.5KB") rather than two
    // decimals ("1.50KB").
    static constexpr bool kShortSizeText = true;
#else
    static constexpr bool kIsNpapi = false;
    static constexpr const char* kProductName = "Pixmend";
    // Codec-option slots of ImageInfo: unknown, BMP, JPEG, PNG.
    static constexpr int kCodecOptionSlots = 4;
    static constexpr bool kHasGif = false;
    static constexpr bool kHasTiff = false;
    // The page's extra fields go out in the order they were first added.
    static constexpr bool kFieldsSortedByName = false;
    static constexpr const PxChar* kDefaultFormCharset = PX_TEXT("utf-8");
    static constexpr bool kKeepsFailedReplyText = false;
    static constexpr bool kShortSizeText = false;
#endif
};
