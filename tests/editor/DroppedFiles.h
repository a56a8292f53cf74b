#pragma once
// A file list as a drop hands it over: DROPFILES with wide names put on the
// clipboard, read back as OLE's data object. With no files the clipboard
// holds text only. OLE must be initialised; the caller releases the object.
// Shared by the editor tests and the editor benchmark.
#include <windows.h>
#include <ole2.h>
#include <shlobj.h>

#include <cstring>
#include <string>
#include <vector>

inline IDataObject* FileListData(const std::vector<std::string>& files) {
    std::wstring names;
    for (const std::string& f : files) names += std::wstring(f.begin(), f.end()) + L'\0';
    names += L'\0';
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DROPFILES) + names.size() * 2);
    DROPFILES* drop = static_cast<DROPFILES*>(GlobalLock(memory));
    drop->pFiles = sizeof(DROPFILES);
    drop->fWide = TRUE;
    std::memcpy(drop + 1, names.data(), names.size() * 2);
    GlobalUnlock(memory);
    IDataObject* data = nullptr;
    if (OpenClipboard(nullptr)) {
        EmptyClipboard();
        SetClipboardData(files.empty() ? CF_UNICODETEXT : CF_HDROP, memory);
        CloseClipboard();
        OleGetClipboard(&data);
    }
    return data;
}
