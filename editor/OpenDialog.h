#pragma once
// The open-file dialog of the editor: filter, buffers, flags and structure
// size, and a run that returns the chosen path.
#include <windows.h>
#include <commdlg.h>

#include "support/Flavour.h"

#if defined(PIXMEND_FLAVOUR_NP)
typedef OPENFILENAMEA PxOpenFileName;
#else
typedef OPENFILENAMEW PxOpenFileName;
#endif

// The dialog's structure and the buffers it points into; buffers live as
// long as the object, which must not be copied (the structure points into it).
struct OpenDialogSetup {
    static const int kFileChars = 260;
    static const int kTitleChars = 256;

    PxOpenFileName ofn;
    PxChar file[kFileChars];
    PxChar title[kTitleChars];
    PxString folder;  // the starting folder; empty for none

    OpenDialogSetup(HWND owner, const PxString& initialFolder);
    OpenDialogSetup(const OpenDialogSetup&) = delete;
    OpenDialogSetup& operator=(const OpenDialogSetup&) = delete;
};

// The filter pairs, each string terminated, the list ended by an empty one.
const PxChar* OpenDialogFilter();

// Shows the dialog; true with the chosen path when the user confirmed.
bool RunOpenDialog(OpenDialogSetup& setup, PxString& path);

// Called with the dialog window once it is ready (tests answer it this way).
typedef void (*OpenDialogObserver)(HWND dialog);
void SetOpenDialogObserver(OpenDialogObserver observer);
