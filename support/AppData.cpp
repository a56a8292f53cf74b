#include "support/AppData.h"

#include "support/Convert.h"

AppData& AppData::Instance() {
    static AppData instance;
    return instance;
}

AppData::AppData() : imageType_(PX_TEXT("jpg")), fileFieldName_(PX_TEXT("img")), jpegQuality_(100) {}

void AppData::SetImageType(const PxString& type) {
    PxString lower = type;
    ToLower(lower);
    std::lock_guard<std::mutex> hold(mutex_);
    imageType_ = lower;
}

PxString AppData::GetImageType() const {
    std::lock_guard<std::mutex> hold(mutex_);
    return imageType_;
}

PxString AppData::GetUploadFileName() const {
    return PX_TEXT("img.") + GetImageType();
}

void AppData::SetFileFieldName(const PxString& name) {
    std::lock_guard<std::mutex> hold(mutex_);
    fileFieldName_ = name;
}

PxString AppData::GetFileFieldName() const {
    std::lock_guard<std::mutex> hold(mutex_);
    return fileFieldName_;
}

void AppData::SetJpegQuality(int quality) {
    std::lock_guard<std::mutex> hold(mutex_);
    jpegQuality_ = quality;
}

int AppData::GetJpegQuality() const {
    std::lock_guard<std::mutex> hold(mutex_);
    return jpegQuality_;
}
