#include "support/ConfigMgr.h"

#include "support/Convert.h"

ConfigMgr& ConfigMgr::Instance() {
    static ConfigMgr instance;
    return instance;
}

void ConfigMgr::SetJpegQuality(int16_t quality) {
    std::lock_guard<std::mutex> hold(mutex_);
    jpegQuality_ = quality;
}

int16_t ConfigMgr::GetJpegQuality() const {
    std::lock_guard<std::mutex> hold(mutex_);
    return jpegQuality_;
}

void ConfigMgr::SetWatermark(bool on) {
    std::lock_guard<std::mutex> hold(mutex_);
    watermark_ = on;
}

bool ConfigMgr::GetWatermark() const {
    std::lock_guard<std::mutex> hold(mutex_);
    return watermark_;
}

void ConfigMgr::SetDefaultFolder(const std::string& utf8Folder) {
    std::string folder = Utf8ToAnsi(utf8Folder);
    std::lock_guard<std::mutex> hold(mutex_);
    defaultFolder_.swap(folder);
}

std::string ConfigMgr::GetDefaultFolder() const {
    std::lock_guard<std::mutex> hold(mutex_);
    return defaultFolder_;
}

std::string ConfigMgr::GetFileFieldName() const { return "img"; }
