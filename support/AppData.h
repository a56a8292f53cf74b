#pragma once
// Process-wide upload naming values, created on first use (thread-safe) and
// never replaced. Every accessor takes the holder's lock, so script writes on
// the browser's thread and reads on an upload thread do not race.
//
// The encoded image itself is not held here: each editor owns its own stream
// and hands it to its uploader's Post, so two editors in one process never
// share image bytes.
#include <mutex>

#include "support/Flavour.h"

class AppData {
public:
    static AppData& Instance();

    // Stored lower-cased; default "jpg".
    void SetImageType(const PxString& type);
    PxString GetImageType() const;
    // "img." followed by the image type.
    PxString GetUploadFileName() const;

    // Field name of the file part; default "img". Pixmend's script sets it;
    // npPixmend takes its name from ConfigMgr instead (see UploadFileFieldName).
    void SetFileFieldName(const PxString& name);
    PxString GetFileFieldName() const;

    // JPEG quality applied by Pixmend's encoder; default 100.
    void SetJpegQuality(int quality);
    int GetJpegQuality() const;

    AppData(const AppData&) = delete;
    AppData& operator=(const AppData&) = delete;

private:
    AppData();

    mutable std::mutex mutex_;
    PxString imageType_;
    PxString fileFieldName_;
    int jpegQuality_;
};

// The field name the file part carries in this flavour's uploads.
PxString UploadFileFieldName();
